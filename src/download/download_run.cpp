#include "download/download_run.h"

#include <sys/stat.h>

#include <future>
#include <optional>
#include <random>

#include "download/album_tab_source.h"
#include "download/download_host.h"
#include "download/record_store.h"
#include "util/folders.h"
#include "util/job_token.h"
#include "util/text.h"
#include "weibo/album_tab.h"
#include "net/object_request.h"

namespace wa {
namespace {

constexpr std::string_view kEntrySeparator = "--@@--";

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

std::string EntryText(const AlbumEntry& entry) {
    return entry.count + std::string(kEntrySeparator) + entry.id_text + std::string(kEntrySeparator) + entry.name;
}

AlbumEntry SplitEntryText(std::string_view text) {
    AlbumEntry entry;
    std::string* fields[] = {&entry.count, &entry.id_text, &entry.name};
    for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t at = text.find(kEntrySeparator);
        *fields[i] = std::string(text.substr(0, at));
        if (at == std::string_view::npos) break;
        text.remove_prefix(at + kEntrySeparator.size());
    }
    return entry;
}

RunOutcome DownloadRun(DownloadHost& host, ResolvedUser user, DownloadContext context) {
    RunOutcome outcome;
    // Every picture of the run on the same kept-alive connections.
    std::optional<RequestBatch> batch;
    if (!context.pictures) context.pictures = &batch.emplace(context.parallel);
    if (!context.posts) context.posts = std::make_shared<PostCache>();

    std::string numbers;
    std::vector<std::string> entries;
    const int rows = host.AlbumRowCount();
    for (int i = 0; i < rows; ++i) {
        const AlbumRow row = host.AlbumRowAt(i);
        if (!row.checked) continue;
        numbers += row.number + "、";
        AlbumEntry entry{row.count, row.id_text, TrimBlanksAndFullWidth(row.name)};
        if (entry.name.empty()) entry.name = StandInAlbumName();
        // An album-tab album has no count; any other needs one.
        if ((!entry.count.empty() || IsAlbumTabId(entry.id_text)) && !entry.id_text.empty()) {
            entries.push_back(EntryText(entry));
        }
    }
    host.AppendLog(numbers.empty() ? "当前未选择任何相册\r\n\r\n" : "当前被选择相册编号:" + numbers + "\r\n\r\n");
    host.SetLabel(StatusLabel::kAlbumsSelected, "总共需下载[" + std::to_string(entries.size()) + "]个相册");

    for (std::size_t k = 0; k < entries.size(); ++k) {
        host.SetLabel(StatusLabel::kCurrentAlbum, "下载到第[" + std::to_string(k + 1) + "]个相册");
        const AlbumOutcome album = AlbumDownload(SplitEntryText(entries[k]), user, host, context);
        ++outcome.albums;
        outcome.saved += album.saved;
        outcome.videos += album.videos;
        outcome.skipped += album.skipped;
        outcome.failed += album.failed;
        outcome.failed_pages += album.failed_pages;
        if (album.stopped || (context.job && context.job->StopRequested())) {
            outcome.stopped = true;
            return outcome;
        }
        if (album.login_needed) {
            // Every further page would meet the same wall: the run ends here.
            outcome.login_needed = true;
            host.SetRunState(RunState::kIdle);
            return outcome;
        }
    }

    host.SetRunState(RunState::kIdle);
    host.AppendLog("-------全部下载完毕--------\r\n\r\n");
    host.SetLabel(StatusLabel::kPhotoCounter, "下载完成");
    host.SetProgress(100, 100);
    host.SetLabel(StatusLabel::kProgressPercent, "100%");
    host.PlaySound(host.CompletionSoundPath());
    host.ShowMessage("全部下载完毕");
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

void DownloadJob::Start(DownloadHost& host, ResolvedUser user, DownloadContext context) {
    host.AppendLog(host.RecordStoreEnabled() ? "已经勾选了防止重复下载功能,已经下载的不会再次下载\r\n\r\n"
                                             : "未勾选了防止重复下载功能\r\n\r\n");
    host.AppendLog(host.TimeWindowEnabled() ? "【启用了】 固定时间段内的下载\r\n\r\n"
                                            : "【未启用】 固定时间段内的下载\r\n\r\n");
    if (host.NewOnlyEnabled()) {
        host.AppendLog(host.RecordStoreEnabled() ? "【启用了】 只下载新照片\r\n\r\n"
                                                 : "【启用了】 只下载新照片，它需要防止重复下载功能，本次下载已开启\r\n\r\n");
    }
    const std::string store = RecordStorePath(context.program_folder, user.uid);
    struct stat info {};
    if (::lstat(store.c_str(), &info) != 0 && !IsSymbolicLink(RecordStoreFolder(context.program_folder))) {
        RecordStore::CreateStore(store);
    }
    host.SetRunState(RunState::kRunning);

    auto previous = run_;
    if (previous) previous->token.RequestStop();
    run_ = std::make_shared<Run>();
    context.job = &run_->token;
    run_->result = std::async(std::launch::async, [&host, user = std::move(user), context = std::move(context),
                                                  previous]() mutable {
        // A run that is still stopping ends before this one touches anything.
        if (previous && previous->result.valid()) previous->result.wait();
        return DownloadRun(host, std::move(user), std::move(context));
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
