// What weibo-albums-cli was asked to do: the command, the users, and the flags
// that override the options of 配置.ini.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "download/download_options.h"
#include "settings/sync_list.h"
#include "util/date_time.h"

namespace wa::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;   // a picture, a photo-list page or the album list failed
inline constexpr int kExitUsage = 2;    // bad usage, an unusable address or album, a login needed
inline constexpr int kExitStopped = 130;  // as a shell reports a program ended by Ctrl-C

// What --help prints; the doors speak for themselves in it.
std::string HelpText();

struct Arguments {
    std::string command;               // "albums", "download" or "sync"
    std::vector<std::string> targets;  // home-page addresses or uids, in order
    std::string users_file;            // one address or uid a line; for sync the sync list
    std::set<int> albums;
    std::string config;
    std::string cookies;               // a cookie file in the Netscape format
    std::string cookies_from_browser;  // "firefox[:PROFILE]", "chromium[:PROFILE]", "chrome[:PROFILE]"
    std::optional<std::string> save_folder;
    std::optional<NameFormat> format;
    std::optional<SequenceScheme> sequence;
    std::optional<bool> skip_downloaded;
    std::optional<DateTime> from;
    std::optional<DateTime> to;
    bool no_window = false;
    std::optional<int> parallel;
    std::optional<std::string> door;   // a door's key, or "" for 自动
    bool no_live_video = false;
    std::optional<bool> metadata;  // --metadata / --no-metadata
    bool index = false;            // --index
    bool new_only = false;
    bool no_mtime = false;
    bool json = false;
    bool notify = false;               // sync: a desktop notification when new photos came
    bool retry_failed = false;         // download: only what the user's last runs could not get
};

// Prints the usage error on standard error; false when the arguments are
// not usable.
bool ParseArguments(int argc, char** argv, Arguments& args);

// The options of the settings file with the flags put over them.
void ApplyFlags(const Arguments& args, DownloadOptions& options);

// The users of a users file, in the sync list's format (see
// settings/sync_list.h): a line each, with the albums to take when the line
// names them. A file that cannot be read, is no regular file or that others
// may write gives no users and `error` saying so; a line over kMaxListLine
// bytes, holding a NUL or not understood is left out, and past the list's
// bounds the rest, each said in `notes` with the line's number.
struct UsersFile {
    std::vector<SyncEntry> users;
    std::string error;
    std::vector<std::string> notes;
};
UsersFile ReadUsersFile(const std::string& path);

// "weibo-albums-cli: <message>" and the pointer to --help on standard error.
bool Fail(const std::string& message);

}  // namespace wa::cli
