#include "cli/commands.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "cli/album_json.h"
#include "cli/terminal_observer.h"
#include "desktop/notification.h"
#include "download/download_run.h"
#include "download/sync_run.h"
#include "download/record_store.h"
#include "download/user_albums.h"
#include "login/browser_login.h"
#include "net/cookie_jar.h"
#include "net/curl_transfer.h"
#include "settings/file_locations.h"
#include "settings/pace_memory.h"
#include "settings/settings.h"
#include "settings/sync_list.h"
#include "util/folders.h"
#include "util/job_token.h"
#include "util/text.h"
#include "weibo/pacer.h"
#include "weibo/service_request.h"
#include "weibo/user_resolution.h"
#include "weibo/weibo_service.h"

namespace wa::cli {
namespace {

int LoginNeeded() {
    std::cerr << "weibo-albums-cli: " << kLoginNeededLine
              << " (a login is needed: log in in the window, or use --cookies-from-browser or --cookies FILE)\n";
    return kExitUsage;
}

// Ctrl-C and SIGTERM stop the listing or the run at its next safe point, and
// every user after it.
void StopOnSignals(JobToken& stop, DownloadJob& job) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    std::thread([signals, &stop, &job] {
        int received = 0;
        sigwait(&signals, &received);
        std::fputs("\nstopping...\n", stderr);
        stop.RequestStop();
        job.Stop();
    }).detach();
}

// The login of a cookie file, of a browser, or else of the window; false
// when the one asked for cannot be had, or holds no login of Weibo.
bool LoadLogin(const Arguments& args, const FileLocations& where) {
    if (!args.cookies.empty()) {
        return CookieJar::Shared().LoadNetscapeFile(args.cookies) || Fail("cannot read the cookie file " + args.cookies);
    }
    const bool asked = !args.cookies_from_browser.empty();
    const std::vector<std::string> hosts = LoginDomains(CurrentService());
    BrowserLogin login = asked ? LoginOfBrowser(args.cookies_from_browser, hosts) : WindowLogin(where.browser_folder, hosts);
    if (!asked && login.cookies.empty() && login.error.empty()) login = WindowLogin(EarlierBrowserFolder(), hosts);
    const std::string source = TerminalSafe(login.source);
    if (!login.error.empty()) {
        std::cerr << "weibo-albums-cli: 无法使用" << source << "的登录：" << TerminalSafe(login.error) << "\n";
        return !asked;
    }
    if (!login.note.empty()) std::cerr << "weibo-albums-cli: " << login.note << "\n";
    if (login.left_out > 0) {
        std::cerr << "weibo-albums-cli: " << source << "在其他网站的嵌入页或容器标签页中的" << login.left_out
                  << "个微博Cookie不予使用\n";
    }
    if (asked && !login.HasWeiboLogin()) {
        std::cerr << "weibo-albums-cli: " << source << "里没有微博的登录：先在" << source
                  << "里登录 weibo.com，或用 --cookies-from-browser 指定另一个浏览器或配置文件\n";
        return false;
    }
    for (const Cookie& cookie : login.cookies) CookieJar::Shared().SetCookie(cookie);
    if (!login.cookies.empty()) std::cerr << "使用" << source << "的登录（" << login.cookies.size() << "个Cookie）\n";
    return true;
}

struct Listed {
    ResolvedUser user;
    std::vector<AlbumRef> albums;
    int status = kExitOk;  // not 0: finding the user or listing failed, and was said
};

// What every step of a command shares.
struct Session {
    const FileLocations& where;
    JobToken& stop;
    DownloadJob& job;
    Pacer& pacer;  // every request to the service, from the user's lookup on

    DownloadContext Context() const {
        DownloadContext context;
        context.program_folder = where.data_folder;
        context.referer = CurrentService().home_page;
        context.pacer = &pacer;
        return context;
    }
};

// Finds the user and lists the albums; the listing's log lines go to
// standard output, or standard error when that is to hold JSON alone.
Listed ListUser(const std::string& target, const std::string& door, const Session& session, bool lines_to_stderr) {
    ServiceRequest request;
    request.job = &session.stop;
    request.pacer = &session.pacer;
    request.log = [lines_to_stderr](const std::string& line) {
        std::fputs(TerminalLine({line}).c_str(), lines_to_stderr ? stderr : stdout);
        std::fflush(lines_to_stderr ? stderr : stdout);
    };
    if (::isatty(STDERR_FILENO) == 1) {
        request.countdown = [](const RunWait& wait) {
            if (wait.seconds_left > 0) std::fprintf(stderr, "\r%s\033[K", RunWaitText(wait).c_str());
            else std::fputs("\r\033[K", stderr);
        };
    }
    UserAlbums found = FindUserAlbums(target, door, request, {}, session.where.data_folder);
    Listed listed;
    listed.user = found.user;
    const AlbumListing& listing = found.listing;
    switch (listing.problem) {
        case ListingProblem::kStopped: return listed.status = kExitStopped, listed;
        case ListingProblem::kLoginNeeded: return listed.status = LoginNeeded(), listed;
        case ListingProblem::kNoAnswer:
            std::cerr << "weibo-albums-cli: 相册列表获取失败：" << listing.reason << "\n";
            return listed.status = kExitFailed, listed;
        case ListingProblem::kUnknownUser:
        case ListingProblem::kNoUserPage:
            if (listed.user.uid.empty()) {
                std::cerr << "weibo-albums-cli: no Weibo user found at " << TerminalSafe(HomeAddressOf(target))
                          << " (not a home page, or a login is needed)\n";
            } else {
                std::cerr << "weibo-albums-cli: " << kUnknownUserLine << " (user " << listed.user.uid << ")\n";
            }
            return listed.status = kExitUsage, listed;
        case ListingProblem::kNone: break;
    }
    listed.albums = std::move(found.listing.albums);
    if (listed.albums.empty()) {
        std::cerr << "weibo-albums-cli: 获取到相册个数为：0 (user " << listed.user.uid << ")\n";
        listed.status = kExitUsage;
    }
    return listed;
}

// The albums as lines, or as one JSON array.
void PrintAlbums(const Listed& listed, bool json) {
    if (json) {
        std::fputs(AlbumsJson(listed.albums).c_str(), stdout);
        return;
    }
    // Nothing the service wrote drives the terminal; a tab would break the columns.
    const auto shown = [](const std::string& text) {
        std::string safe = TerminalSafe(text);
        std::replace(safe.begin(), safe.end(), '\t', ' ');
        std::replace(safe.begin(), safe.end(), '\n', ' ');
        return safe;
    };
    std::printf("%s (uid %s)\n", shown(listed.user.title).c_str(), listed.user.uid.c_str());
    for (std::size_t i = 0; i < listed.albums.size(); ++i) {
        const AlbumRef& album = listed.albums[i];
        const std::string count = album.count ? std::to_string(*album.count) : "";
        std::printf("%zu\t%s\t%s\t%s\n", i + 1, shown(album.name).c_str(), count.c_str(), shown(album.key).c_str());
    }
}

// Runs `request` as the user's run and prints its summary; its exit status.
int RunUser(RunRequest request, const DownloadOptions& options, const Session& session) {
    JobToken& stop = session.stop;
    DownloadJob& job = session.job;
    TerminalObserver observer;
    const DownloadContext context = session.Context();
    const ResolvedUser user = request.user;
    std::printf("要下载用户：%s\n", TerminalSafe(user.title).c_str());
    job.Start(observer, [options] { return options; }, std::move(request), context);
    if (stop.StopRequested()) job.Stop();  // a signal that came before the run began
    const RunOutcome outcome = job.Wait();
    if (outcome.login_needed) return LoginNeeded();
    if (outcome.stopped) {
        std::fputs("下载已停止\n", stdout);
        return kExitStopped;
    }
    PrintUserSummary(user, outcome);
    return outcome.Failures() > 0 || !outcome.network_lost.empty() ? kExitFailed : kExitOk;
}

// Asks again for what the user's last runs could not get; no album list is
// asked for.
int RetryUser(const std::string& target, const DownloadOptions& options, const Session& session) {
    const UserLookup lookup = ResolveUserPage(target, &session.stop, &session.pacer);
    if (session.stop.StopRequested()) return kExitStopped;
    if (lookup.login_wall) return LoginNeeded();
    if (lookup.user.uid.empty()) {
        return Fail("no Weibo user found at " + TerminalSafe(HomeAddressOf(target))), kExitUsage;
    }
    return RunUser({lookup.user, {}, true}, options, session);
}

// Downloads the chosen albums of one user (those its users-file line names,
// and of those the --albums numbers); its exit status.
int DownloadUser(const SyncEntry& target, const Arguments& args, const DownloadOptions& options,
                 const Session& session) {
    if (args.retry_failed) return RetryUser(target.target, options, session);
    const Listed listed = ListUser(target.target, options.door, session, false);
    if (listed.status != kExitOk) return listed.status;
    const int count = static_cast<int>(listed.albums.size());
    for (const int number : args.albums) {
        if (number > count) {
            Fail("there is no album " + std::to_string(number) + " (user " + listed.user.uid + " has " +
                 std::to_string(count) + ")");
            return kExitUsage;
        }
    }
    RunRequest request{listed.user, {}};
    for (int number = 1; number <= count; ++number) {
        const AlbumRef& album = listed.albums[static_cast<std::size_t>(number - 1)];
        const bool named = target.albums.empty() ||
                           std::find(target.albums.begin(), target.albums.end(), album.key) != target.albums.end();
        if (named && (args.albums.empty() || args.albums.contains(number))) request.albums.push_back({number, album});
    }
    if (request.albums.empty()) {
        Fail("none of the albums the users file names is listed (user " + listed.user.uid + ")");
        return kExitUsage;
    }
    return RunUser(std::move(request), options, session);
}

// Tells the desktop what a sync brought, and ends once it is shown: nobody
// stays to answer a click, so none is offered.
void NotifyDesktop(const SyncOutcome& synced) {
    if (synced.photos.saved <= 0) return;
    Notifier notifier;
    const NotificationSent sent = notifier.Send({SyncNewsTitle(synced), SyncNewsText(synced), std::string()});
    if (!sent.sent) std::cerr << "weibo-albums-cli: 桌面通知未发出：" << TerminalSafe(sent.problem) << "\n";
}

// Syncs the users of the sync list; the worst of their exit statuses.
int SyncListed(const std::vector<SyncEntry>& entries, const Arguments& args, const DownloadOptions& options,
               const Session& session) {
    JobToken& stop = session.stop;
    DownloadJob& job = session.job;
    std::vector<SyncUser> users;
    for (const SyncEntry& entry : entries) users.push_back({entry.target, entry.albums});
    SyncOutcome synced;
    struct Observer : TerminalObserver {
        SyncOutcome* out;
        explicit Observer(SyncOutcome* to) : out(to) {}
        void SyncFinished(const SyncOutcome& outcome) override { *out = outcome; }
    } observer(&synced);
    const DownloadContext context = session.Context();
    job.StartSync(observer, [options] { return options; }, std::move(users), context);
    if (stop.StopRequested()) job.Stop();
    const RunOutcome outcome = job.Wait();
    std::printf("%s\n", SyncSummary(synced).c_str());
    if (args.notify) NotifyDesktop(synced);
    if (outcome.login_needed) return LoginNeeded();
    if (outcome.stopped) return kExitStopped;
    return synced.failed > 0 || outcome.Failures() > 0 ? kExitFailed : kExitOk;
}

}  // namespace

int RunCommand(const Arguments& args) {
    const FileLocations where = LocateFiles(ProgramFolder());
    const Settings settings(args.config.empty() ? where.config_path : args.config);
    if (const std::string problem = settings.Problem(); !problem.empty()) {
        std::cerr << "weibo-albums-cli: the settings file " << settings.path() << " cannot be used (" << problem
                  << "); the defaults apply\n";
    }
    if (const std::string warning = settings.OpenToOthersWarning(); !warning.empty()) {
        std::cerr << "weibo-albums-cli: " << warning << "\n";
    }
    SetCurrentService(settings.Addresses());
    std::vector<SyncEntry> users;
    for (const std::string& target : args.targets) users.push_back({target, {}, {}});
    // sync reads the sync list beside the settings file unless told another.
    const std::string users_file =
        args.command == "sync" && args.users_file.empty() ? SyncListPath(std::filesystem::path(settings.path()).parent_path().string()) : args.users_file;
    if (args.command == "sync" && !std::filesystem::exists(users_file)) {
        return Fail("there is no sync list " + users_file +
                    ": add users on the window's 同步列表 page, or write an address or uid a line"),
               kExitUsage;
    }
    if (!users_file.empty()) {
        const UsersFile listed = ReadUsersFile(users_file);
        if (!listed.error.empty()) return Fail(TerminalSafe(listed.error)), kExitUsage;
        for (const std::string& note : listed.notes) std::cerr << "weibo-albums-cli: " << TerminalSafe(note) << "\n";
        users.insert(users.end(), listed.users.begin(), listed.users.end());
        if (users.empty()) return Fail("the users file " + users_file + " names nobody"), kExitUsage;
    }
    if (!LoadLogin(args, where)) return kExitUsage;

    DownloadOptions options = settings.Options(where.default_save_folder);
    ApplyFlags(args, options);
    if (args.command == "sync") options = SyncOptions(options);
    SetProxySetting(settings.Proxy());
    JobToken stop;  // Ctrl-C stops the listing as it stops the run
    DownloadJob job;
    StopOnSignals(stop, job);
    // The pace the window, the timer and earlier commands learned.
    Pacer pacer(PaceRules{.least = std::chrono::milliseconds(options.request_spacing_ms)});
    const std::string config = args.config.empty() ? where.config_path : args.config;
    const std::filesystem::path config_folder = std::filesystem::path(config).parent_path();
    KeepPace(pacer, PaceMemoryPath(config_folder.empty() ? "." : config_folder.string()));
    const Session session{where, stop, job, pacer};

    if (args.command == "albums") {
        const Listed listed = ListUser(users.front().target, options.door, session, args.json);
        if (listed.status == kExitOk) PrintAlbums(listed, args.json);
        return listed.status;
    }
    std::string store_folder = RecordStoreFolder(where.data_folder);
    EnsureDirectory(store_folder);
    if (args.command == "sync") return SyncListed(users, args, options, session);
    int worst = kExitOk;
    for (const SyncEntry& user : users) {
        worst = std::max(worst, DownloadUser(user, args, options, session));
        if (stop.StopRequested()) return kExitStopped;
    }
    return worst;
}

}  // namespace wa::cli
