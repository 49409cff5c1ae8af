// Values the whole program shares, set once at start-up.
#pragma once

#include <string>

namespace wa {

inline constexpr const char* kVersionText = "2.1";
inline constexpr const char* kVersionKey = "weibo";

struct Globals {
    std::string program_folder;  // the folder of the program file, no trailing "/"
    std::string config_path;     // program folder + "/配置.ini"
    // Where the browser keeps its profile (cookies, cache); empty for the
    // place Qt gives a named profile in the user's home.
    std::string browser_storage;
};

}  // namespace wa
