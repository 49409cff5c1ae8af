#include "settings/file_locations.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "settings/settings.h"
#include "util/folders.h"
#include "util/text.h"

namespace wa {
namespace {

// Qt's own place for a named profile below an application's data folder.
constexpr const char* kBrowserProfile = "/QtWebEngine/weibo-albums";

std::string MadeFolder(std::string path) {
    EnsureDirectory(path);
    while (path.size() > 1 && path.ends_with('/')) path.pop_back();
    return path;
}

}  // namespace

std::string UserPicturesFolder() {
    // The user-dirs file holds lines such as XDG_PICTURES_DIR="$HOME/图片".
    std::ifstream dirs(XdgFolder("XDG_CONFIG_HOME", ".config") + "/user-dirs.dirs");
    for (std::string line; std::getline(dirs, line);) {
        std::string_view text = TrimBlanks(line);
        if (!text.starts_with("XDG_PICTURES_DIR=")) continue;
        text.remove_prefix(std::string_view("XDG_PICTURES_DIR=").size());
        if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
        std::string path(text);
        if (path.starts_with("$HOME")) path = HomeFolder() + path.substr(5);
        if (path.starts_with('/') && IsDirectory(path)) return path;
    }
    const std::string pictures = HomeFolder() + "/Pictures";
    return IsDirectory(pictures) ? pictures : HomeFolder();
}

FileLocations LocateFiles(const std::string& program_folder) {
    FileLocations where;
    // An installed program (its share folder says so) never writes beside
    // itself, even for root; one run from a writable folder keeps its files there.
    const bool installed = ::access((program_folder + "/../share/weibo-albums/installed").c_str(), F_OK) == 0;
    if (!installed && ::access(program_folder.c_str(), W_OK) == 0) {
        where.config_folder = where.data_folder = where.default_save_folder = program_folder;
    } else {
        where.portable = false;
        where.config_folder = MadeFolder(XdgFolder("XDG_CONFIG_HOME", ".config") + "/weibo-albums");
        where.data_folder = MadeFolder(XdgFolder("XDG_DATA_HOME", ".local/share") + "/weibo-albums");
        where.default_save_folder = UserPicturesFolder();
    }
    where.config_path = ConfigPathIn(where.config_folder);
    where.browser_folder = where.data_folder + kBrowserProfile;
    return where;
}

std::string EarlierBrowserFolder() { return XdgFolder("XDG_DATA_HOME", ".local/share") + "/weibo-albums" + kBrowserProfile; }

void MoveEarlierBrowserProfile(const FileLocations& where) {
    namespace fs = std::filesystem;
    const std::string earlier = EarlierBrowserFolder();
    std::error_code error;
    if (earlier == where.browser_folder || fs::exists(where.browser_folder, error) || !fs::is_directory(earlier, error)) return;
    fs::create_directories(fs::path(where.browser_folder).parent_path(), error);
    fs::rename(earlier, where.browser_folder, error);  // on another file system: a new login is needed
}

}  // namespace wa
