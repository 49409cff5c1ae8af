// Where the program keeps its files. Run from a folder it may write (the
// build tree, a copied folder) everything stays beside the program; installed
// under a read-only prefix it follows the user's XDG folders instead.
#pragma once

#include <string>

namespace wa {

struct FileLocations {
    bool portable = true;             // everything beside the program
    std::string config_folder;        // 配置.ini and the skin file
    std::string config_path;          // config_folder + "/配置.ini"
    std::string data_folder;          // holds the folder 防止重复下载数据库
    std::string default_save_folder;  // the save folder when none is set
    // The embedded browser's profile, which holds the login: under the data
    // folder, where the command line finds it too.
    std::string browser_folder;
};

// Beside `program_folder` when the user may write there and the program is
// not installed (an installed one has <prefix>/share/weibo-albums/installed);
// otherwise $XDG_CONFIG_HOME/weibo-albums, $XDG_DATA_HOME/weibo-albums and the
// user's pictures folder (home when there is none). Creates the folders it
// chooses.
FileLocations LocateFiles(const std::string& program_folder);

// The user's pictures folder as the XDG user-dirs file names it, else
// ~/Pictures when it exists, else home.
std::string UserPicturesFolder();

// Where a program run from its own folder kept the browser profile before it
// was kept beside it: $XDG_DATA_HOME/weibo-albums/QtWebEngine/weibo-albums.
std::string EarlierBrowserFolder();

// Moves the profile from its earlier place beside the program once, so a
// login made before stays; nothing when it is there already.
void MoveEarlierBrowserProfile(const FileLocations& where);

}  // namespace wa
