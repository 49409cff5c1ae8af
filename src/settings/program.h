// Values the whole program shares, set once at start-up.
#pragma once

#include <string>
#include <vector>

namespace wa {

// The program's name as its menu entry shows it: the window's title.
inline constexpr const char* kProgramName = "微博相册批量下载";
inline constexpr const char* kVersionText = "2.1";
inline constexpr const char* kVersionKey = "weibo";

struct Globals {
    std::string program_folder;  // the folder of the program file, no trailing "/"
    std::string config_path;     // 配置.ini, beside the program or in the user's config folder
    // Where the browser keeps its profile (cookies, cache); empty for the
    // place Qt gives a named profile in the user's home.
    std::string browser_storage;
    // Where the skin file is kept, the record stores' folder lives, and
    // pictures go when no save folder is set; the program's folder when empty.
    std::string config_folder;
    std::string data_folder;
    std::string default_save_folder;
    std::vector<std::string> notices;  // what start-up has to tell the user, once the window shows
};

}  // namespace wa
