#include "download/sync_run.h"

#include <algorithm>
#include <ctime>

#include "download/record_store.h"
#include "download/user_albums.h"
#include "util/folders.h"
#include "util/job_token.h"
#include "weibo/service_request.h"

namespace wa {
namespace {

// The listed albums the user keeps in sync, in list order; the keys no
// longer listed are logged.
std::vector<ChosenAlbum> KeptAlbums(const std::vector<AlbumRef>& listed, const SyncUser& user, RunObserver& observer) {
    std::vector<ChosenAlbum> chosen;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const bool kept = user.albums.empty() ||
                          std::find(user.albums.begin(), user.albums.end(), listed[i].key) != user.albums.end();
        if (kept) chosen.push_back({static_cast<int>(i + 1), listed[i]});
    }
    for (const std::string& key : user.albums) {
        const bool found = std::any_of(listed.begin(), listed.end(), [&key](const AlbumRef& a) { return a.key == key; });
        if (!found) observer.Logged({"相册" + key + "已不在相册列表中，不再同步", false});
    }
    return chosen;
}

// One user: found, listed, and the kept albums downloaded with new photos only.
SyncUserOutcome SyncOne(SyncObserver& observer, const OptionsSource& options, const SyncUser& user,
                        const DownloadContext& context) {
    SyncUserOutcome outcome;
    outcome.target = user.target;
    ServiceRequest request;
    request.job = context.job;
    request.pacer = context.pacer;
    request.log = [&observer](const std::string& line) { observer.Logged({line, false}); };
    request.countdown = [&observer](const RunWait& wait) { observer.Waiting(wait); };
    UserAlbums found = FindUserAlbums(user.target, options().door, request, {}, context.program_folder);
    outcome.user = found.user;
    if (found.listing.problem == ListingProblem::kStopped || (context.job && context.job->StopRequested())) {
        outcome.run.stopped = true;
        return outcome;
    }
    outcome.failure = ListingEndLine(found.listing);
    outcome.run.login_needed = found.listing.problem == ListingProblem::kLoginNeeded;
    if (!outcome.failure.empty()) return outcome;
    // What failed in the user's runs before is asked for again first.
    RunRequest run{found.user, KeptAlbums(found.listing.albums, user, observer), true};
    if (run.albums.empty()) {
        outcome.failure = "要同步的相册都已不在相册列表中";
        return outcome;
    }
    // Two syncs of one list (the timer's and the window's) never take one
    // user's photos at once: the second leaves the user to the first.
    std::string store_folder = RecordStoreFolder(context.program_folder);
    EnsureDirectory(store_folder);
    const FileLock syncing = FileLock::Try(RecordStorePath(context.program_folder, found.user.uid) + ".sync-lock");
    if (syncing.HeldElsewhere()) {
        observer.Logged({"用户" + found.user.title + "正由另一个同步下载，本次跳过", false});
        outcome.busy = true;
        return outcome;
    }
    observer.Logged({"要同步用户：" + found.user.title, false});
    outcome.run = DownloadRun(observer.UserRun(), options, run, context);
    if (outcome.run.login_needed) outcome.failure = std::string(kLoginNeededLine);
    if (!outcome.run.stopped && !outcome.run.login_needed) {
        RecordStore store;
        if (OpenUserStore(store, context.program_folder, found.user.uid, true), store.IsOpen()) {
            store.SetLastSync({static_cast<std::int64_t>(std::time(nullptr)), outcome.run.saved, found.user.title});
        }
    }
    return outcome;
}

}  // namespace

DownloadOptions SyncOptions(DownloadOptions options) {
    options.new_only = true;
    options.record_store = true;
    return options;
}

std::string SyncSummary(const SyncOutcome& outcome) {
    std::string text = "同步" + std::string(outcome.stopped ? "已结束" : "完毕") + "：" + std::to_string(outcome.synced) +
                       "个用户，新照片" + std::to_string(outcome.photos.saved) + "张";
    if (outcome.photos.videos > 0) text += "、实况视频" + std::to_string(outcome.photos.videos) + "个";
    if (outcome.failed > 0) text += "，失败" + std::to_string(outcome.failed) + "个";
    if (outcome.busy > 0) text += "，另一个同步正在同步的" + std::to_string(outcome.busy) + "个跳过";
    return text;
}

std::string SyncNewsTitle(const SyncOutcome& outcome) {
    return "微博相册：新照片" + std::to_string(outcome.photos.saved) + "张";
}

std::string SyncNewsText(const SyncOutcome& outcome) {
    std::string text;
    for (const SyncUserOutcome& user : outcome.per_user) {
        if (user.run.saved <= 0) continue;
        if (!text.empty()) text += "\n";
        text += (user.user.title.empty() ? user.target : user.user.title) + "：新照片" + std::to_string(user.run.saved) + "张";
    }
    return text;
}

SyncOutcome SyncUsers(SyncObserver& observer, const OptionsSource& options, const std::vector<SyncUser>& users,
                      DownloadContext context) {
    const OptionsSource sync_options = [&options] { return SyncOptions(options()); };
    SyncOutcome outcome;
    observer.Logged({"开始同步[" + std::to_string(users.size()) + "]个用户", true});
    for (std::size_t i = 0; i < users.size() && !outcome.stopped && !outcome.login_needed; ++i) {
        const int index = static_cast<int>(i + 1);
        observer.UserStarted({index, static_cast<int>(users.size()), users[i].target});
        SyncUserOutcome user = SyncOne(observer, sync_options, users[i], context);
        user.index = index;
        outcome.stopped = user.run.stopped;
        outcome.login_needed = user.run.login_needed;
        if (!outcome.stopped) {
            ++outcome.users;
            ++(user.busy ? outcome.busy : user.failure.empty() ? outcome.synced : outcome.failed);
            if (!user.failure.empty()) observer.Logged({user.failure, true});
        }
        outcome.photos.Add(user.run);
        observer.UserFinished(user);
        outcome.per_user.push_back(std::move(user));
    }
    if (!outcome.stopped) observer.Logged({"-------" + SyncSummary(outcome) + "--------", true});
    observer.SyncFinished(outcome);
    return outcome;
}

}  // namespace wa
