#include "download/download_run.h"

#include <sys/stat.h>

#include <algorithm>
#include <future>
#include <optional>
#include <random>

#include "doors/door.h"
#include "download/record_store.h"
#include "download/sync_run.h"
#include "util/folders.h"
#include "weibo/pacer.h"
#include "weibo/service_request.h"
#include "util/job_token.h"
#include "util/text.h"
#include "net/object_request.h"

namespace wa {
namespace {

std::string TrimBlanksAndFullWidth(std::string_view text) {
    std::string_view out = text;
    bool changed = true;
    while (changed) {
        changed = false;
        for (const std::string_view blank : {std::string_view(" "), std::string_view("\u3000")}) {
            while (out.starts_with(blank)) out.remove_prefix(blank.size()), changed = true;
            while (out.ends_with(blank)) out.remove_suffix(blank.size()), changed = true;
        }
    }
    return std::string(out);
}

std::string StandInAlbumName() {
    thread_local std::mt19937 engine{std::random_device{}()};
    return "未知相册_随机名称" + std::to_string(std::uniform_int_distribution<int>(10, 99)(engine));
}

}  // namespace

namespace {

// An album of a run: one the user chose, or one a run before failed in.
struct RunAlbum {
    int number = 0;  // in the list it was chosen from; 0 for a retry
    AlbumRef album;
    const RecordStore::FailedAlbum* retry = nullptr;
};

std::vector<RunAlbum> ChosenAlbums(const RunRequest& request) {
    std::vector<RunAlbum> albums;
    for (const ChosenAlbum& chosen : request.albums) {
        AlbumRef album = chosen.album;
        album.name = TrimBlanksAndFullWidth(album.name);
        if (album.name.empty()) album.name = StandInAlbumName();
        if (!album.id.empty()) albums.push_back({chosen.number, std::move(album), nullptr});
    }
    return albums;
}

std::vector<RecordStore::FailedAlbum> FailuresOf(const std::string& program_folder, const std::string& uid) {
    RecordStore store;
    OpenUserStore(store, program_folder, uid);
    return store.Failures();
}

RunStart StartOf(const std::vector<RunAlbum>& albums) {
    RunStart start;
    start.albums = static_cast<int>(albums.size());
    start.photos = 0;
    for (const RunAlbum& chosen : albums) {
        if (chosen.number > 0) start.numbers.push_back(chosen.number);
        start.keys.push_back(chosen.album.key);
        if (!chosen.album.count || chosen.retry || start.photos < 0) {  // a retry asks for a part of an album
            start.photos = -1;
            continue;
        }
        start.photos += *chosen.album.count;
    }
    return start;
}

// The albums a lost network kept the run from: read whole by a retry.
void KeepUnstarted(const std::vector<RunAlbum>& albums, std::size_t from, const DownloadContext& context,
                   const std::string& uid, const std::string& reason) {
    RecordStore store;
    if (from >= albums.size() || (OpenUserStore(store, context.program_folder, uid, true), !store.IsOpen())) return;
    for (std::size_t k = from; k < albums.size(); ++k) {
        if (albums[k].retry) continue;  // its failures stand as they were
        store.PutFailedAlbum(albums[k].album, std::nullopt);
        store.PutFailure(albums[k].album.key, RecordStore::FailedItem::Pages(PageMark{1, "", 0, true}, reason));
    }
}

// The line that closes a run that was not stopped.
std::string EndLine(const RunOutcome& outcome) {
    if (!outcome.network_lost.empty()) return "-------下载结束：网络连接中断（" + outcome.network_lost + "）--------";
    if (outcome.Failures() > 0) return "-------" + FailuresText(outcome) + "--------";
    return "-------全部下载完毕--------";
}

// Tells `observer` of the pace's changes for as long as it lives.
class PaceTold {
public:
    PaceTold(Pacer* pacer, RunObserver& observer) : pacer_(pacer) {
        if (!pacer_) return;
        listener_ = pacer_->OnChange([pacer, &observer](const PaceMemory&, bool) {
            const bool slowed = pacer->Slowed();
            observer.PaceChanged({slowed, slowed ? PaceLine(pacer->Spacing()) : std::string()});
        });
    }
    ~PaceTold() {
        if (pacer_) pacer_->StopTelling(listener_);
    }
    PaceTold(const PaceTold&) = delete;
    PaceTold& operator=(const PaceTold&) = delete;

private:
    Pacer* pacer_;
    int listener_ = 0;
};

}  // namespace

RunOutcome DownloadRun(RunObserver& observer, const OptionsSource& options, const RunRequest& request,
                       DownloadContext context) {
    RunOutcome outcome;
    // Every picture of the run on the same kept-alive connections, and the
    // doors' keepings for the run.
    std::optional<RequestBatch> batch;
    if (!context.pictures) context.pictures = &batch.emplace(options().parallel);
    RunScratch scratch;
    if (!context.scratch) context.scratch = &scratch;
    const PaceTold pace(context.pacer, observer);

    // What failed before goes first, then the chosen albums.
    std::vector<RecordStore::FailedAlbum> failed;
    if (request.retry_failed) failed = FailuresOf(context.program_folder, request.user.uid);
    std::vector<RunAlbum> albums;
    for (const RecordStore::FailedAlbum& album : failed) albums.push_back({0, album.album, &album});
    for (RunAlbum& chosen : ChosenAlbums(request)) albums.push_back(std::move(chosen));
    const RunStart start = StartOf(albums);
    observer.RunStarted(start);
    std::string numbers;
    for (const int number : start.numbers) numbers += std::to_string(number) + "、";
    if (request.retry_failed) {
        observer.Logged({failed.empty() ? "没有要重试的失败项" : "重试上次没有获取的照片：" + std::to_string(failed.size()) + "个相册", true});
    }
    if (!request.retry_failed || !request.albums.empty()) {
        observer.Logged({numbers.empty() ? "当前未选择任何相册" : "当前被选择相册编号:" + numbers, true});
    }
    for (std::size_t k = 0; k < albums.size(); ++k) {
        observer.AlbumStarted({static_cast<int>(k + 1), static_cast<int>(albums.size()), albums[k].album.name});
        context.run_counts = outcome;
        const AlbumOutcome album =
            AlbumDownload(albums[k].album, request.user, observer, options, context, albums[k].retry);
        observer.AlbumFinished(album);
        outcome.Add(album);
        if (album.stopped || (context.job && context.job->StopRequested())) {
            outcome.stopped = true;
            break;
        }
        if (album.login_needed) {
            // Every further page would meet the same wall: the run ends here.
            outcome.login_needed = true;
            break;
        }
        if (!album.network_lost.empty()) {  // and so would every further request
            outcome.network_lost = album.network_lost;
            KeepUnstarted(albums, k + 1, context, request.user.uid, album.network_lost);
            break;
        }
    }
    if (!outcome.stopped && !outcome.login_needed) observer.Logged({EndLine(outcome), true});
    observer.RunFinished(outcome);
    return outcome;
}

struct DownloadJob::Run {
    JobToken token;
    std::future<RunOutcome> result;
};

DownloadJob::~DownloadJob() {
    Stop();
    if (run_ && run_->result.valid()) run_->result.wait();
}

namespace {

// The two switches (and only-new), as a run begins.
void LogSwitches(RunObserver& observer, const DownloadOptions& now) {
    observer.Logged({now.record_store ? "已经勾选了防止重复下载功能,已经下载的不会再次下载" : "未勾选了防止重复下载功能", true});
    observer.Logged({now.window.on ? "【启用了】 固定时间段内的下载" : "【未启用】 固定时间段内的下载", true});
    if (now.new_only) {
        observer.Logged({now.record_store ? "【启用了】 只下载新照片" : "【启用了】 只下载新照片，它需要防止重复下载功能，本次下载已开启",
                         true});
    }
}

}  // namespace

void DownloadJob::Start(RunObserver& observer, OptionsSource options, RunRequest request, DownloadContext context) {
    LogSwitches(observer, options());
    RecordStore made;  // the user's store is there before the run begins
    OpenUserStore(made, context.program_folder, request.user.uid, true);
    Launch(std::move(context), [&observer, options = std::move(options), request = std::move(request)](
                                   DownloadContext run_context) {
        return DownloadRun(observer, options, request, std::move(run_context));
    });
}

void DownloadJob::StartSync(SyncObserver& observer, OptionsSource options, std::vector<SyncUser> users,
                            DownloadContext context) {
    LogSwitches(observer, SyncOptions(options()));
    Launch(std::move(context), [&observer, options = std::move(options), users = std::move(users)](
                                   DownloadContext run_context) {
        const SyncOutcome synced = SyncUsers(observer, options, users, std::move(run_context));
        RunOutcome outcome;
        outcome.PhotoCounts::Add(synced.photos);
        outcome.stopped = synced.stopped;
        outcome.login_needed = synced.login_needed;
        return outcome;
    });
}

void DownloadJob::Launch(DownloadContext context, std::function<RunOutcome(DownloadContext)> body) {
    auto previous = run_;
    if (previous) previous->token.RequestStop();
    run_ = std::make_shared<Run>();
    context.job = &run_->token;
    run_->result = std::async(std::launch::async, [body = std::move(body), context = std::move(context), previous]() mutable {
        // A run that is still stopping ends before this one touches anything.
        if (previous && previous->result.valid()) previous->result.wait();
        return body(std::move(context));
    });
}

void DownloadJob::Pause() {
    if (run_) run_->token.Pause();
}

void DownloadJob::Continue() {
    if (run_) run_->token.Resume();
}

void DownloadJob::Stop() {
    if (run_) run_->token.RequestStop();
}

bool DownloadJob::Running() const {
    return run_ && run_->result.valid() &&
           run_->result.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

RunOutcome DownloadJob::Wait() {
    if (!run_ || !run_->result.valid()) return {};
    return run_->result.get();
}

}  // namespace wa
