// weibo-albums-cli: the download engine from a terminal or a script. Lists a
// user's albums or downloads them, with the options of "配置.ini" beside the
// program unless flags say otherwise.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "download/download_host.h"
#include "download/download_run.h"
#include "download/record_store.h"
#include "shell/file_locations.h"
#include "shell/saved_options.h"
#include "util/folders.h"
#include "util/ini_file.h"
#include "util/text.h"
#include "weibo/album_list.h"
#include "util/job_token.h"
#include "weibo/cookie_jar.h"
#include "weibo/service_request.h"
#include "weibo/user_resolution.h"
#include "weibo/weibo_service.h"

namespace {

using namespace wa;

constexpr int kExitOk = 0;
constexpr int kExitPictureFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitStopped = 130;
constexpr long kMaxAlbumNumber = 1'000'000;  // as a shell reports a program ended by Ctrl-C

constexpr const char* kHelp = R"(usage: weibo-albums-cli albums <home-page address or uid> [options]
       weibo-albums-cli download <home-page address or uid> [--albums 1,3,...] [options]

Lists or downloads the photo albums of a Sina Weibo user.

  albums     prints every album: number, name, photo count and id@@type
             (albums of the album tab: page:wall for 全部图片, page:<containerid>,
             and no count)
  download   downloads the albums with the given numbers (all when --albums
             is left out) into <save folder>/<user>/<album><count>/

Options (defaults come from 配置.ini: beside the program when its folder is
writable, else in ~/.config/weibo-albums/):
  --albums LIST          album numbers as "albums" prints them, e.g. 1,3,4
  --save-folder DIR      where the user's folder is made
  --format NAME          picture names: 序号加内容 (number+text, default),
                         内容加序号, 内容, 内容加日期, 日期加内容
                         (or number-text, text-number, text, text-date, date-text)
  --sequence NAME        默认 (1, 2, 3 ...) or 循环 (1-1 ... 1-100, 2-1 ...)
                         (or running, cycle)
  --skip-downloaded      skip photos recorded as downloaded before
  --no-skip-downloaded   download them again
  --from DATE            only photos uploaded after DATE (2014-05-06 or
  --to DATE              2014年5月6日, optionally with a time) and before
                         --to; either one turns the date window on
  --no-window            ignore the date window of 配置.ini
  --parallel N           pictures downloaded at once, 1 to 16 (default 4);
                         names, logs and records are the same for any N
  --source DOOR          where the albums are found: auto (the photo service,
                         else the album tab of the user's page; the default),
                         photo (the photo service only) or page (the album tab)
  --no-live-video        do not save the videos of live photos
  --cookies FILE         cookies of a logged-in browser, Netscape format
  --config FILE          another settings file instead of 配置.ini
  --help                 this text

A uid alone stands for the home page <Weibo home page>/u/<uid>.
Log lines go to standard output; a progress bar goes to standard error when it
is a terminal. Ctrl-C stops like the stop button: the record store is closed
and no partial file is left.

Exit status: 0 every chosen album finished without a failed picture or page,
1 some picture or photo-list page failed, or the album list could not be had,
2 bad usage, an unusable address,
an album number the user does not have, or a login is needed, 130 stopped.
)";

struct Arguments {
    std::string command;
    std::string target;
    std::set<int> albums;
    std::string config;
    std::string cookies;
    std::optional<std::string> save_folder;
    std::optional<NameFormat> format;
    std::optional<SequenceScheme> sequence;
    std::optional<bool> skip_downloaded;
    std::optional<DateTime> from;
    std::optional<DateTime> to;
    bool no_window = false;
    std::optional<int> parallel;
    std::optional<AlbumDoor> door;
    bool no_live_video = false;
};

bool Fail(const std::string& message) {
    std::cerr << "weibo-albums-cli: " << message << "\n(see weibo-albums-cli --help)\n";
    return false;
}

std::optional<NameFormat> ParseFormat(const std::string& text) {
    if (text == "number-text") return NameFormat::kNumberThenContent;
    if (text == "text-number") return NameFormat::kContentThenNumber;
    if (text == "text") return NameFormat::kContent;
    if (text == "text-date") return NameFormat::kContentThenDate;
    if (text == "date-text") return NameFormat::kDateThenContent;
    if (text.empty()) return std::nullopt;
    return NameFormatFromText(text);
}

bool ParseArguments(int argc, char** argv, Arguments& args) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&](std::string& out) {
            if (i + 1 >= argc) return Fail(arg + " needs a value");
            out = argv[++i];
            return true;
        };
        std::string text;
        if (arg == "--albums") {
            if (!value(text)) return false;
            for (const std::string& piece : SplitText(text, ",")) {
                char* end = nullptr;
                errno = 0;
                const long number = std::strtol(piece.c_str(), &end, 10);
                if (piece.empty() || *end != '\0' || number < 1) return Fail("bad album number \"" + piece + "\"");
                // No user has that many albums: a number past any int is simply not one of them.
                if (errno == ERANGE || number > kMaxAlbumNumber) return Fail("there is no album " + piece);
                args.albums.insert(static_cast<int>(number));
            }
        } else if (arg == "--save-folder") {
            if (!value(text)) return false;
            args.save_folder = text;
        } else if (arg == "--format") {
            if (!value(text)) return false;
            args.format = ParseFormat(text);
            if (!args.format) return Fail("unknown naming format \"" + text + "\"");
        } else if (arg == "--sequence") {
            if (!value(text)) return false;
            if (text == "默认" || text == "running") {
                args.sequence = SequenceScheme::kRunning;
            } else if (text == "循环" || text == "cycle") {
                args.sequence = SequenceScheme::kPageCycle;
            } else {
                return Fail("unknown sequence scheme \"" + text + "\"");
            }
        } else if (arg == "--skip-downloaded" || arg == "--no-skip-downloaded") {
            args.skip_downloaded = arg == "--skip-downloaded";
        } else if (arg == "--from" || arg == "--to") {
            if (!value(text)) return false;
            const DateTime date = ParseDateText(text);
            if (date.year == 100) return Fail("not a date: \"" + text + "\"");
            (arg == "--from" ? args.from : args.to) = date;
        } else if (arg == "--parallel") {
            if (!value(text)) return false;
            args.parallel = ParallelFromText(text);
            if (!args.parallel) return Fail("--parallel takes a number from 1 to 16, not \"" + text + "\"");
        } else if (arg == "--source") {
            if (!value(text)) return false;
            if (text == "auto" || text == "photo" || text == "page") {
                args.door = text == "auto" ? AlbumDoor::kAuto : text == "photo" ? AlbumDoor::kPhotoService : AlbumDoor::kAlbumTab;
            } else {
                return Fail("--source takes auto, photo or page, not \"" + text + "\"");
            }
        } else if (arg == "--no-live-video") {
            args.no_live_video = true;
        } else if (arg == "--no-window") {
            args.no_window = true;
        } else if (arg == "--cookies") {
            if (!value(args.cookies)) return false;
        } else if (arg == "--config") {
            if (!value(args.config)) return false;
        } else if (arg.starts_with("--")) {
            return Fail("unknown option " + arg);
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) return Fail("expected a command and an address");
    args.command = positional[0];
    args.target = positional[1];
    if (args.command != "albums" && args.command != "download") return Fail("unknown command " + args.command);
    return true;
}

// The terminal as the engine's window: log lines to standard output, a
// progress bar to standard error.
class TerminalHost : public DownloadHost {
public:
    TerminalHost(std::vector<AlbumRow> rows, SavedOptions options)
        : rows_(std::move(rows)), options_(std::move(options)), bar_(::isatty(STDERR_FILENO) == 1) {}

    int AlbumRowCount() override { return static_cast<int>(rows_.size()); }
    AlbumRow AlbumRowAt(int index) override { return rows_[static_cast<std::size_t>(index)]; }
    bool RecordStoreEnabled() override { return options_.record_store; }
    bool TimeWindowEnabled() override { return options_.time_window; }
    DateTime TimeWindowStart() override { return options_.start_date; }
    DateTime TimeWindowEnd() override { return options_.end_date; }
    std::string SaveFolder() override { return options_.save_folder; }
    NameFormat CheckedNameFormat() override { return options_.name_format.value_or(NameFormat::kContent); }
    SequenceScheme CheckedSequenceScheme() override { return options_.sequence; }
    bool LiveVideoEnabled() override { return options_.live_video; }
    std::string CompletionSoundPath() override { return {}; }

    void AppendLog(const std::string& text) override {
        std::lock_guard lock(mutex_);
        ClearBar();
        std::string lines = text;
        ReplaceAll(lines, "\r\n", "\n");
        std::fputs(lines.c_str(), stdout);
        std::fflush(stdout);
    }
    void SetProgress(int position, int maximum) override {
        std::lock_guard lock(mutex_);
        position_ = maximum > 0 ? position : -1;
        DrawBar();
    }
    void SetLabel(StatusLabel label, const std::string& text) override {
        std::lock_guard lock(mutex_);
        if (label == StatusLabel::kPhotoCounter) counter_ = text;
        if (label == StatusLabel::kCurrentAlbum) album_ = text;
        if (label == StatusLabel::kStatusLine) status_ = text;
        DrawBar();
    }
    void SetRunState(RunState) override {}
    void PlaySound(const std::string&) override {}
    void ShowMessage(const std::string&) override {
        std::lock_guard lock(mutex_);
        ClearBar();
    }

private:
    // Its callers hold the mutex: a countdown may come from a second thread.
    void DrawBar() {
        if (!bar_) return;
        if (!status_.empty()) {
            std::fprintf(stderr, "\r%s\033[K", status_.c_str());
            std::fflush(stderr);
            return;
        }
        if (position_ < 0) {  // no total: the counter alone
            std::fprintf(stderr, "\r%s %s\033[K", album_.c_str(), counter_.c_str());
            std::fflush(stderr);
            return;
        }
        const int filled = position_ * 30 / 100;
        std::fprintf(stderr, "\r%s [%s%s] %3d%% %s\033[K", album_.c_str(), std::string(filled, '#').c_str(),
                     std::string(30 - filled, '.').c_str(), position_, counter_.c_str());
        std::fflush(stderr);
    }
    void ClearBar() {
        if (bar_) std::fputs("\r\033[K", stderr);
    }

    std::vector<AlbumRow> rows_;
    SavedOptions options_;
    bool bar_;
    int position_ = 0;
    std::string counter_;
    std::string album_;
    std::string status_;
    std::mutex mutex_;
};

int LoginNeeded() {
    std::cerr << "weibo-albums-cli: " << kLoginNeededLine
              << " (a login is needed: export the cookies of a logged-in browser and pass them with --cookies FILE)\n";
    return kExitUsage;
}

// Ctrl-C and SIGTERM stop the listing or the run at its next safe point.
void StopOnSignals(JobToken& listing, DownloadJob& job) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    std::thread([signals, &listing, &job] {
        int received = 0;
        sigwait(&signals, &received);
        std::fputs("\nstopping...\n", stderr);
        listing.RequestStop();
        job.Stop();
    }).detach();
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return kExitOk;
        }
    }
    // Signals go to the thread that waits for them, never to a worker.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    Arguments args;
    if (!ParseArguments(argc, argv, args)) return kExitUsage;

    const FileLocations where = LocateFiles(ProgramFolder());
    const std::string config = args.config.empty() ? where.config_path : args.config;
    if (const std::string problem = SettingsFileProblem(config); !problem.empty()) {
        std::cerr << "weibo-albums-cli: the settings file " << config << " cannot be used (" << problem
                  << "); the defaults apply\n";
    }
    SetCurrentService(ServiceAddresses::FromSettings(config));
    if (!args.cookies.empty() && !CookieJar::Shared().LoadNetscapeFile(args.cookies)) {
        Fail("cannot read the cookie file " + args.cookies);
        return kExitUsage;
    }

    SavedOptions options = ReadSavedOptions(config, where.default_save_folder);
    SetRequestSpacing(std::chrono::milliseconds(options.request_spacing_ms));
    // Ctrl-C stops the listing as it stops the run.
    JobToken listing;
    DownloadJob job;
    StopOnSignals(listing, job);

    const ServiceAddresses service = CurrentService();
    const UserLookup lookup = ResolveUserPage(args.target, &listing);
    if (listing.StopRequested()) return kExitStopped;
    ResolvedUser user = lookup.user;
    if (user.uid.empty()) {
        if (lookup.login_wall) return LoginNeeded();
        std::cerr << "weibo-albums-cli: no Weibo user found at " << HomeAddressOf(args.target)
                  << " (not a home page, or a login is needed: see --cookies)\n";
        return kExitUsage;
    }

    ServiceRequest request;
    request.job = &listing;
    request.log = [](std::string line) {
        ReplaceAll(line, "\r\n", "\n");
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout);
    };
    if (::isatty(STDERR_FILENO) == 1) {
        request.countdown = [](long long left) {
            if (left > 0) std::fprintf(stderr, "\r请求过于频繁，%lld秒后重试\033[K", left);
            else std::fputs("\r\033[K", stderr);
        };
    }
    AlbumListing listed = ListAlbums(user.uid, args.door.value_or(options.album_door), request);
    if (listed.problem == ListingProblem::kStopped) return kExitStopped;
    if (listed.problem == ListingProblem::kNoAnswer) {
        std::cerr << "weibo-albums-cli: 相册列表获取失败：" << listed.reason << "\n";
        return kExitPictureFailed;
    }
    if (listed.problem == ListingProblem::kLoginNeeded) return LoginNeeded();
    if (listed.problem == ListingProblem::kUnknownUser) {
        std::cerr << "weibo-albums-cli: " << kUnknownUserLine << " (user " << user.uid << ")\n";
        return kExitUsage;
    }
    std::vector<AlbumInfo> albums = std::move(listed.albums);
    std::erase_if(albums, [](const AlbumInfo& album) { return album.IsEmpty(); });
    if (albums.empty()) {
        std::cerr << "weibo-albums-cli: 获取到相册个数为：0 (user " << user.uid << ")\n";
        return kExitUsage;
    }
    if (args.command == "albums") {
        std::printf("%s (uid %s)\n", user.title.c_str(), user.uid.c_str());
        for (std::size_t i = 0; i < albums.size(); ++i) {
            std::printf("%zu\t%s\t%s\t%s\n", i + 1, albums[i].name.c_str(), albums[i].count.c_str(),
                        albums[i].IdText().c_str());
        }
        return kExitOk;
    }

    for (const int number : args.albums) {
        if (number > static_cast<int>(albums.size())) {
            Fail("there is no album " + std::to_string(number) + " (the user has " + std::to_string(albums.size()) + ")");
            return kExitUsage;
        }
    }
    if (args.save_folder) options.save_folder = *args.save_folder;
    if (args.format) options.name_format = args.format;
    if (args.sequence) options.sequence = *args.sequence;
    if (args.skip_downloaded) options.record_store = *args.skip_downloaded;
    if (args.no_window) options.time_window = false;
    if (args.no_live_video) options.live_video = false;
    if (args.from || args.to) {
        options.time_window = true;
        options.start_date = args.from.value_or(DateTime{1970, 1, 1});
        options.end_date = args.to.value_or(DateTime{9999, 12, 31});
    }
    std::string store_folder = RecordStoreFolder(where.data_folder);
    EnsureDirectory(store_folder);

    std::vector<AlbumRow> rows;
    for (std::size_t i = 0; i < albums.size(); ++i) {
        const int number = static_cast<int>(i + 1);
        rows.push_back({args.albums.empty() || args.albums.contains(number), std::to_string(number),
                        albums[i].name, albums[i].count, albums[i].IdText()});
    }
    TerminalHost host(std::move(rows), options);
    DownloadContext context;
    context.program_folder = where.data_folder;
    context.referer = service.home_page;
    context.parallel = args.parallel.value_or(options.parallel);
    std::printf("要下载用户：%s\n", user.title.c_str());
    job.Start(host, user, context);
    if (listing.StopRequested()) job.Stop();  // a signal that came before the run began
    const RunOutcome outcome = job.Wait();
    if (outcome.login_needed) return LoginNeeded();
    if (outcome.stopped) {
        std::fputs("下载已停止\n", stdout);
        return kExitStopped;
    }
    const std::string videos = outcome.videos > 0 ? ", live videos " + std::to_string(outcome.videos) : "";
    std::printf("saved %d%s, skipped %d, failed %d, photo-list pages failed %d\n", outcome.saved, videos.c_str(),
                outcome.skipped, outcome.failed, outcome.failed_pages);
    return outcome.failed > 0 || outcome.failed_pages > 0 ? kExitPictureFailed : kExitOk;
}
