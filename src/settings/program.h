// Values the whole program shares, set once at start-up.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "settings/file_locations.h"
#include "weibo/pacer.h"

namespace wa {

// The program's name as its menu entry shows it: the window's title.
inline constexpr const char* kProgramName = "微博相册批量下载";
inline constexpr const char* kVersionText = "2.1";
inline constexpr const char* kVersionKey = "weibo";

struct Globals {
    std::string program_folder;  // the folder of the program file, no trailing "/"
    // Where the program keeps its files; a folder left empty is the
    // program's folder, and an empty browser folder the place Qt gives a
    // named profile in the user's home.
    FileLocations files;
    std::vector<std::string> notices;  // what start-up has to tell the user, once the window shows
    // The pace of every request to the service, kept beside 配置.ini.
    std::shared_ptr<Pacer> pacer = std::make_shared<Pacer>();
};

}  // namespace wa
