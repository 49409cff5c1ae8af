#include "cli/arguments.h"

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <memory>
#include <iostream>
#include <algorithm>
#include <map>

#include "doors/registry.h"
#include "settings/settings.h"
#include "util/text.h"

namespace wa::cli {

namespace {

const char* const kHelp = R"(usage: weibo-albums-cli albums <home-page address or uid> [--json] [options]
       weibo-albums-cli download <address or uid>... [--albums 1,3,...] [options]
       weibo-albums-cli download --users-file FILE [options]
       weibo-albums-cli sync [--notify] [options]

Lists or downloads the photo albums of Sina Weibo users.

  albums     prints every album: number, name, photo count and id
%DOOR KEYS%             with --json one JSON array of objects with
             number, name, count, id and cover, valid UTF-8 whatever the
             service wrote
  download   downloads the albums with the given numbers (all when --albums
             is left out) of each user in turn into
             <save folder>/<user>/<album><count>/, a summary line each
  sync       downloads the new photos of every user of the sync list
             (同步列表.txt beside 配置.ini, or --users-file): download
             --users-file <the list> --new-only, with the record store on;
             a line may name its albums: <uid> albums=<id@@type>,page:wall

Options (defaults come from 配置.ini: beside the program when its folder is
writable, else in ~/.config/weibo-albums/):
  --albums LIST          album numbers as "albums" prints them, e.g. 1,3,4
  --retry-failed         download: only the pictures and photo-list pages the
                         user's last runs could not get (kept in the record
                         store until got), under the names and in the folders
                         meant for them; nothing else is asked for
  --users-file FILE      the users to download, an address or uid a line
                         (blank lines and lines starting with # left out;
                         albums=<ids> after it takes only those albums)
  --notify               sync: a desktop notification when new photos came;
                         a click on it opens the save folder
  --save-folder DIR      where the user's folder is made
  --format NAME          picture names: 序号加内容 (number+text, default),
                         内容加序号, 内容, 内容加日期, 日期加内容
                         (or number-text, text-number, text, text-date, date-text)
  --sequence NAME        默认 (1, 2, 3 ...) or 循环 (1-1 ... 1-100, 2-1 ...)
                         (or running, cycle)
  --skip-downloaded      skip photos recorded as downloaded before
  --no-skip-downloaded   download them again
  --new-only             read each album only down to the newest photo of its
                         last complete run (it needs, and turns on, the record
                         of downloaded photos); an album whose last run was
                         stopped or failed is read whole
  --from DATE            only photos uploaded after DATE (2014-05-06 or
  --to DATE              2014年5月6日, optionally with a time) and before
                         --to (a date alone: through that day); either one
                         turns the date window on
  --no-window            ignore the date window of 配置.ini
  --no-mtime             files keep the time they were downloaded, not the
                         time their photo was uploaded
  --parallel N           pictures downloaded at once, 1 to 16 (default 4);
                         names, logs and records are the same for any N
  --source DOOR          where the albums are found:
%DOORS%
  --no-live-video        do not save the videos of live photos
  --metadata             write the upload date (Beijing time), the post's
                         whole text, the user's name and the post's address
                         into each JPEG and PNG saved (写入照片信息)
  --no-metadata          save the pictures exactly as the server gives them
  --index                keep 相册索引.json in each album's folder: one entry
                         a saved photo, with its file, text, time and post
  --cookies FILE         cookies of a logged-in browser, Netscape format
  --cookies-from-browser BROWSER[:PROFILE]
                         the login of firefox, chromium or chrome (their
                         default profile, or PROFILE: a folder, a name, or
                         Chromium's --user-data-dir folder); stops when that
                         browser holds no Weibo login
  --config FILE          another settings file instead of 配置.ini
  --help                 this text

Without --cookies or --cookies-from-browser the login of the window's
embedded browser is used. A uid alone stands for the home page
<Weibo home page>/u/<uid>. Requests go through the proxy of 配置.ini (代理),
else through http_proxy, https_proxy, all_proxy and no_proxy as curl does.
Log lines go to standard output; a progress bar goes to standard error when it
is a terminal. Ctrl-C stops like the stop button, for every user at once: the
record store is closed and no partial file is left.

Exit status, the worst of all users: 0 every chosen album finished without a
failed picture or page, 1 some picture or photo-list page failed, or an album
list could not be had, 2 bad usage, an unusable address, an album number the
user does not have, or a login is needed, 130 stopped.
)";

// `text` at the help's indent of `indent` spaces, cut into lines of its width.
std::string Indented(const std::string& text, int indent) {
    std::string out;
    std::string line;
    for (const std::string& word : SplitText(text, " ")) {
        if (!line.empty() && line.size() + 1 + word.size() > 79 - static_cast<std::size_t>(indent)) {
            out += std::string(static_cast<std::size_t>(indent), ' ') + line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    return out + std::string(static_cast<std::size_t>(indent), ' ') + line + "\n";
}

}  // namespace

std::string HelpText() {
    std::string keys;
    std::string doors = Indented(std::string(kAutoDoorWords.key) + ": " + std::string(kAutoDoorWords.about) + " (the default)", 25);
    for (const Door* door : AllDoors()) {
        const DoorWords words = door->Words();
        keys += Indented("(" + std::string(words.about) + ": " + std::string(words.keys) + ")", 13);
        doors += Indented(std::string(words.key) + ": " + std::string(words.about) + " only", 25);
    }
    std::string help = kHelp;
    ReplaceAll(help, "%DOOR KEYS%", keys);
    ReplaceAll(help, "%DOORS%\n", doors);
    return help;
}

namespace {

constexpr long kMaxAlbumNumber = 1'000'000;

std::optional<NameFormat> ParseFormat(const std::string& text) {
    if (text == "number-text") return NameFormat::kNumberThenContent;
    if (text == "text-number") return NameFormat::kContentThenNumber;
    if (text == "text") return NameFormat::kContent;
    if (text == "text-date") return NameFormat::kContentThenDate;
    if (text == "date-text") return NameFormat::kDateThenContent;
    for (const auto& [word, format] : kNameFormatKey.words) {
        if (!word.empty() && word == text) return format;
    }
    return std::nullopt;
}

bool ParseAlbums(const std::string& text, std::set<int>& albums) {
    for (const std::string& piece : SplitText(text, ",")) {
        char* end = nullptr;
        errno = 0;
        const long number = std::strtol(piece.c_str(), &end, 10);
        if (piece.empty() || *end != '\0' || number < 1) return Fail("bad album number \"" + piece + "\"");
        // No user has that many albums: a number past any int is simply not one of them.
        if (errno == ERANGE || number > kMaxAlbumNumber) return Fail("there is no album " + piece);
        albums.insert(static_cast<int>(number));
    }
    return true;
}

// An option that takes a value; false when the value is not usable.
bool TakeValue(const std::string& option, const std::string& text, Arguments& args) {
    if (option == "--albums") return ParseAlbums(text, args.albums);
    if (option == "--save-folder") return args.save_folder = text, true;
    if (option == "--cookies") return args.cookies = text, true;
    if (option == "--cookies-from-browser") return args.cookies_from_browser = text, true;
    if (option == "--config") return args.config = text, true;
    if (option == "--users-file") return args.users_file = text, true;
    if (option == "--format") {
        args.format = ParseFormat(text);
        return args.format || Fail("unknown naming format \"" + text + "\"");
    }
    if (option == "--sequence") {
        if (text == "默认" || text == "running") return args.sequence = SequenceScheme::kRunning, true;
        if (text == "循环" || text == "cycle") return args.sequence = SequenceScheme::kPageCycle, true;
        return Fail("unknown sequence scheme \"" + text + "\"");
    }
    if (option == "--from" || option == "--to") {
        const DateTime date = ParseDateText(text);
        if (date.year == 100) return Fail("not a date: \"" + text + "\"");
        (option == "--from" ? args.from : args.to) = date;
        return true;
    }
    if (option == "--parallel") {
        args.parallel = ParallelFromText(text);
        return args.parallel || Fail("--parallel takes a number from 1 to 16, not \"" + text + "\"");
    }
    // --source: auto, or the key of a door
    if (text == kAutoDoorWords.key) return args.door = "", true;
    if (DoorOfKey(text)) return args.door = text, true;
    std::string keys(kAutoDoorWords.key);
    for (const Door* door : AllDoors()) keys += ", " + std::string(door->Words().key);
    return Fail("--source takes " + keys + ", not \"" + text + "\"");
}

bool TakeSwitch(const std::string& option, Arguments& args) {
    const std::map<std::string, bool*> switches = {
        {"--no-window", &args.no_window},     {"--no-live-video", &args.no_live_video}, {"--new-only", &args.new_only},
        {"--no-mtime", &args.no_mtime},       {"--json", &args.json},               {"--notify", &args.notify},
        {"--retry-failed", &args.retry_failed}, {"--index", &args.index},
    };
    if (option == "--metadata" || option == "--no-metadata") {
        args.metadata = option == "--metadata";
        return true;
    }
    if (option == "--skip-downloaded" || option == "--no-skip-downloaded") {
        args.skip_downloaded = option == "--skip-downloaded";
        return true;
    }
    const auto found = switches.find(option);
    if (found == switches.end()) return false;
    *found->second = true;
    return true;
}

constexpr const char* kValueOptions[] = {"--albums", "--save-folder", "--format", "--sequence", "--from", "--to",
                                         "--parallel", "--source", "--cookies", "--cookies-from-browser",
                                         "--config", "--users-file"};

}  // namespace

bool Fail(const std::string& message) {
    std::cerr << "weibo-albums-cli: " << message << "\n(see weibo-albums-cli --help)\n";
    return false;
}

bool ParseArguments(int argc, char** argv, Arguments& args) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (std::find(std::begin(kValueOptions), std::end(kValueOptions), arg) != std::end(kValueOptions)) {
            if (i + 1 >= argc) return Fail(arg + " needs a value");
            if (!TakeValue(arg, argv[++i], args)) return false;
        } else if (arg.starts_with("--")) {
            if (!TakeSwitch(arg, args)) return Fail("unknown option " + arg);
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.empty()) return Fail("expected a command and an address");
    args.command = positional[0];
    args.targets.assign(positional.begin() + 1, positional.end());
    if (args.command == "albums") {
        if (args.targets.size() != 1 || !args.users_file.empty()) return Fail("albums takes one address");
    } else if (args.command == "download") {
        if (args.targets.empty() && args.users_file.empty()) return Fail("expected an address (or --users-file)");
    } else if (args.command == "sync") {
        if (!args.targets.empty()) return Fail("sync takes no address: it syncs the users of the sync list");
        if (!args.albums.empty()) return Fail("--albums goes with download: the sync list names each user's albums");
    } else {
        return Fail("unknown command " + args.command);
    }
    if (args.json && args.command != "albums") return Fail("--json goes with albums");
    if (args.notify && args.command != "sync") return Fail("--notify goes with sync");
    if (args.retry_failed && args.command != "download") return Fail("--retry-failed goes with download");
    if (args.retry_failed && !args.albums.empty()) {
        return Fail("--retry-failed takes what failed in every album; --albums does not go with it");
    }
    if (!args.cookies.empty() && !args.cookies_from_browser.empty()) {
        return Fail("--cookies and --cookies-from-browser do not go together");
    }
    return true;
}

void ApplyFlags(const Arguments& args, DownloadOptions& options) {
    if (args.save_folder) options.save_folder = *args.save_folder;
    if (args.format) options.name_format = args.format;
    if (args.sequence) options.sequence = *args.sequence;
    if (args.skip_downloaded) options.record_store = *args.skip_downloaded;
    if (args.no_window) options.window.on = false;
    if (args.no_live_video) options.live_video = false;
    if (args.metadata) options.write_metadata = *args.metadata;
    if (args.index) options.album_index = true;
    if (args.new_only) options.new_only = true;
    if (args.no_mtime) options.upload_time_as_file_time = false;
    if (args.parallel) options.parallel = *args.parallel;
    if (args.door) options.door = *args.door;
    if (args.from || args.to) {
        options.window.on = true;
        options.window.start = args.from.value_or(DateTime{1970, 1, 1});
        options.window.end = args.to.value_or(DateTime{9999, 12, 31});
    }
}

UsersFile ReadUsersFile(const std::string& path) {
    UsersFile file;
    const SyncList list = ReadSyncList(path);
    switch (list.problem) {
        case SyncList::Problem::kNone: break;
        case SyncList::Problem::kMissing:
        case SyncList::Problem::kUnreadable: return file.error = "cannot read the users file " + path, file;
        case SyncList::Problem::kNotAFile: return file.error = "the users file " + path + " is not a regular file", file;
        case SyncList::Problem::kOpenToOthers:
            return file.error = "the users file " + path + " can be written by other users (" + list.open_to_others +
                                "): it is not used",
                   file;
    }
    // A line that cannot be read costs that line alone; past the bounds, the rest.
    for (const SyncList::Refusal& refusal : list.refused) {
        const std::string line = "line " + std::to_string(refusal.line) + " of the users file " + path;
        switch (refusal.why) {
            case SyncList::LineProblem::kTooLong:
                file.notes.push_back(line + " is left out: it is longer than " + std::to_string(kMaxListLine) + " bytes");
                break;
            case SyncList::LineProblem::kNulByte: file.notes.push_back(line + " is left out: it holds a NUL byte"); break;
            case SyncList::LineProblem::kTooManyUsers:
                file.notes.push_back("the users file " + path + " names more than " + std::to_string(kMaxListUsers) +
                                     " users: " + line + " and those after it are left out");
                break;
            case SyncList::LineProblem::kTooManyLines:
                file.notes.push_back("the users file " + path + " holds more than " + std::to_string(kMaxListLines) +
                                     " lines or " + std::to_string(kMaxListBytes >> 20) + " MiB: " + line +
                                     " and those after it are left out");
                break;
        }
    }
    for (std::size_t i = 0; i < list.lines.size(); ++i) {
        if (!list.lines[i].not_understood.empty()) {
            file.notes.push_back("line " + std::to_string(list.lines[i].number) + " of the users file " + path + " is left out: \"" +
                                 list.lines[i].not_understood + "\" is neither albums=<ids> nor a note after \" #\"");
        }
    }
    file.users = list.Entries();
    return file;
}

}  // namespace wa::cli
