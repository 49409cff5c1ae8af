#include "download/album_download.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <optional>
#include <set>
#include <vector>

#include "doors/registry.h"
#include "download/album_folder.h"
#include "download/album_index.h"
#include "download/picture_finish.h"
#include "download/photo_rules.h"
#include "download/photo_stream.h"
#include "download/picture_queue.h"
#include "download/retry_source.h"
#include "download/record_store.h"
#include "net/object_request.h"
#include "util/folders.h"
#include "util/job_token.h"

namespace wa {
namespace {

// True for a signed address ("…?Expires=<seconds>&ssig=…") whose time has passed.
bool LinkExpired(std::string_view url) {
    const std::size_t at = url.find("Expires=");
    if (at == std::string_view::npos || (at > 0 && url[at - 1] != '?' && url[at - 1] != '&')) return false;
    long long expires = 0;
    const char* begin = url.data() + at + 8;
    const auto [end, error] = std::from_chars(begin, url.data() + url.size(), expires);
    return error == std::errc() && end != begin && expires < static_cast<long long>(std::time(nullptr));
}

// One album's download: its record store, its folder, then its photos in
// the order the album lists them, their pictures several at a time and
// finished in photo order.
class AlbumDownloader {
public:
    AlbumDownloader(const AlbumRef& album, const ResolvedUser& user, RunObserver& observer,
                    const OptionsSource& options, DownloadContext& context, const RecordStore::FailedAlbum* retry)
        : album_(album), user_(user), observer_(observer), options_(options), context_(context), retry_(retry),
          failures_(store_, album_), finisher_(observer, options, store_, failures_, outcome_, context.run_counts) {}

    AlbumOutcome Run() {
        const DownloadOptions options = options_();
        OpenStore();
        failures_.Load();
        rules_ = PhotoRules(options);
        finisher_.SetExtras({options.write_metadata, UserNameOfTitle(user_.title), album_.door,
                             options.album_index ? &index_ : nullptr});
        Log(retry_ ? "准备重试相册《" + album_.name + "》没有获取的" + std::to_string(retry_->items.size()) + "项"
                   : "准备下载相册《" + album_.name + "》",
            true);
        if (!MakeFolder(options.save_folder)) return outcome_;
        if (rules_.NewOnly() && !retry_ && store_.IsOpen()) mark_ = store_.LastCompleteRun(album_.key);
        if (rules_.NewOnly() && !retry_ && !mark_) Log("只下载新照片：本相册没有完整下载过的记录，全部读取");
        const bool read = DownloadInto(options.parallel);
        if (options.album_index && folder_.handle.IsOpen()) {
            if (const std::string said = index_.Write(folder_.handle.fd()); !said.empty()) Log(said);
        }
        folder_.RemoveWhenEmpty();
        MarkThisRun(read);
        if (!read) return outcome_;
        if (ended_by_window_) Log("该相册【固定时间段】上传的图片下载完毕");
        Log("---完成相册《" + folder_.name + "》下载", true);
        return outcome_;
    }

private:
    void Log(std::string text, bool blank_after = false) { observer_.Logged({std::move(text), blank_after}); }

    // The album's photos into its folder, `parallel` pictures at a time; false
    // when the album ended early. Nothing of the run is left in the folder
    // once it returns but what was saved.
    bool DownloadInto(int parallel) {
        std::optional<RequestBatch> own_batch;
        RequestBatch* batch = context_.pictures;
        if (!batch) batch = &own_batch.emplace(parallel);
        QueueHooks hooks;
        hooks.log = [this](const std::string& line) { Log(line); };
        hooks.countdown = [this](const RunWait& wait) { observer_.Waiting(wait); };
        hooks.wait = context_.page_wait;
        // A page that comes while every picture started waits on a late one
        // is planned at once, not when the late one ends.
        hooks.more_to_start = [this] { return plan_waits_for_page_ && stream_ && stream_->At(plan_, false); };
        PictureQueue queue(*batch, folder_.handle.fd(), context_.referer, context_.job, std::move(hooks));
        queue_ = &queue;
        bool read = ReadPhotos(batch->Slots() > 1);
        if (read && retry_) read = RetryVideos();
        queue_ = nullptr;
        return read;
    }

    // The record store of the user, opened for this album only. Only a uid
    // of digits ever names one.
    void OpenStore() {
        const StoreOpening opening = OpenUserStore(store_, context_.program_folder, user_.uid, true);
        if (!opening.link.empty()) Log("防止重复下载数据库文件夹是符号链接，不使用：" + opening.link);
        if (opening.made || opening.make_failed) Log(opening.made ? "防止重复下载数据库创建成功" : "防止重复下载数据库创建失败");
        if (!opening.open_error.empty()) {
            Log("防止重复下载数据库打开失败（" + opening.open_error + "），本相册不跳过已下载的照片");
        } else if (store_.ReadOnly()) {
            Log("防止重复下载数据库只读，本相册下载的照片不会被记录");
        }
    }

    // The album's folder; false when there is none to save in. A folder that
    // cannot be made leaves every picture failing to be saved.
    bool MakeFolder(const std::string& save_folder) {
        folder_ = OpenAlbumFolder(save_folder.empty() ? context_.program_folder : save_folder, user_.title, album_,
                                  store_, [this](const std::string& line) { Log(line); });
        switch (folder_.problem) {
            case AlbumFolder::Problem::kBadName: Log("相册文件夹名称无效：" + folder_.name); return false;
            case AlbumFolder::Problem::kLink:
                Log("相册文件夹是符号链接，已跳过：" + folder_.path);
                ++outcome_.failed;
                return false;
            case AlbumFolder::Problem::kNone: break;
        }
        if (!folder_.handle.IsOpen()) Log("相册文件夹无法建立：" + folder_.path);
        return true;
    }

    // What the album's door is given for this album.
    SourceContext SourceContextFor(bool ahead) {
        SourceContext source_context;
        source_context.uid = user_.uid;
        source_context.job = context_.job;
        source_context.pacer = context_.pacer;
        source_context.page_wait = context_.page_wait;
        source_context.ahead = ahead;  // one at a time keeps every request in its old order
        source_context.log = [this](const std::string& line) { Log(line); };
        source_context.countdown = [this](const RunWait& wait) { observer_.Waiting(wait); };
        source_context.scratch = context_.scratch;
        const DownloadOptions options = options_();
        source_context.whole_captions = options.write_metadata || options.album_index;
        if (rules_.SkipRecorded() && store_.IsOpen()) {
            source_context.recorded = [this](const std::string& photo_id) { return store_.ContainsPhotoId(photo_id); };
        }
        return source_context;
    }

    // Every photo of the album's source in turn; false when the album ended
    // early (stopped, or a login is needed).
    bool ReadPhotos(bool ahead) {
        std::unique_ptr<PhotoSource> source;
        if (!retry_) {
            source = SourceOf(album_, SourceContextFor(ahead));
        } else if (auto again = std::make_unique<RetrySource>(album_, retry_->items, SourceContextFor(ahead));
                   again->DoorKnown()) {
            source = std::move(again);
        }
        if (!source) {
            Log("相册《" + album_.name + "》来自不认识的来源“" + album_.door + "”，无法下载");
            ++outcome_.failed_pages;
            return false;
        }
        source_ = source.get();
        PhotoStream stream(*source, [this](PhotoPage& page) { return mark_ && !retry_ && CutAtKnownPhoto(page); });
        stream_ = &stream;
        plan_ = 0;
        bool read = true;
        for (PhotoStream::Item* item; read && !ended_by_window_ && (item = stream.At(stream.First(), true));
             stream.DropFirst()) {
            read = Handle(*item, stream.First());
        }
        newest_ = stream.Newest();
        stream_ = nullptr;
        source_ = nullptr;
        return read;
    }

    // The item the run has come to; false when the album ends here.
    bool Handle(PhotoStream::Item& item, long long index) {
        switch (item.kind) {
            case PhotoStream::Item::Kind::kPageStart: return EnterPage(item.page, item.sequence);
            case PhotoStream::Item::Kind::kPageEnd:
                for (const std::string& line : item.lines) Log(line);
                return true;
            case PhotoStream::Item::Kind::kPhoto: return FinishPhoto(item, index);
        }
        return true;
    }

    // What is said of a page as the run comes to it; false when it ends the
    // album. `numbered`: the numbers the pages before it take up.
    bool EnterPage(const PhotoPage& page, long long numbered) {
        for (const std::string& line : page.lines) Log(line);
        if (page.stopped) return outcome_.stopped = true, false;
        if (page.login_wall) {
            Log(std::string(kLoginNeededLine));
            return outcome_.login_needed = true, false;
        }
        const PageMark mark{page.number, page.cursor, numbered, false};
        if (!page.fetched) {
            Log("第" + std::to_string(page.number) + "页照片列表获取失败：" + page.failure);
            ++outcome_.failed_pages;
            failures_.Failed(RecordStore::FailedItem::Pages(mark, page.failure));
        } else {
            failures_.Got(RecordStore::FailedItem::Pages(mark, "").Key());
        }
        if (page.left_out > 0) {
            Log("第" + std::to_string(page.number) + "页照片列表超出一页能读取的上限，其中" +
                std::to_string(page.left_out) + "项未读取");
        }
        return true;
    }

    // Cuts the page before the first photo the last complete run had saved:
    // its newest photo, or one recorded and uploaded no later than that.
    bool CutAtKnownPhoto(PhotoPage& page) {
        const auto known = [this](const PhotoRecord& photo) {
            if (photo.photo_id == mark_->newest_id) return true;
            return mark_->newest_uploaded >= 0 && photo.upload_seconds &&
                   *photo.upload_seconds <= mark_->newest_uploaded && store_.ContainsPhotoId(photo.photo_id);
        };
        const auto at = std::find_if(page.photos.begin(), page.photos.end(), known);
        if (at == page.photos.end()) return false;
        page.photos.erase(at, page.photos.end());
        return true;
    }

    // A run read to its end without a failure, and without a date window
    // that left photos out, is where the next new-only run may stop; any
    // other run means the next one reads the album whole.
    void MarkThisRun(bool read) {
        if (!store_.IsOpen() || store_.ReadOnly()) return;
        if (retry_) {  // all a run got once nothing it failed is left
            if (read && retry_->complete && store_.FailureKeys(album_.key).empty()) {
                store_.SetLastCompleteRun(album_.key, retry_->complete);
            }
            return;
        }
        std::optional<RecordStore::AlbumMark> mark;
        if (read && !rules_.WindowOn() && newest_) {
            mark = RecordStore::AlbumMark{newest_->photo_id, newest_->upload_seconds.value_or(-1)};
        }
        // What failed is kept, with where this run stopped for when a retry gets it.
        if (read) failures_.ReadToEnd(mark);
        if (read && !rules_.WindowOn() && !newest_ && outcome_.Failures() == 0) return;  // nothing listed: the old mark stands
        store_.SetLastCompleteRun(album_.key, outcome_.Failures() == 0 ? mark : std::nullopt);
    }

    // Decides the photos from the one being finished on, and starts their
    // pictures while the queue has room, reading on into pages that have
    // come. A photo whose id an unfinished one shares waits for it, so the
    // record store answers as it would one at a time.
    void Plan() {
        const long long head = stream_->First();
        plan_ = std::max(plan_, head);
        plan_waits_for_page_ = false;
        while (!window_end_planned_) {
            PhotoStream::Item* item = stream_->At(plan_, plan_ == head);
            if (!item) {
                plan_waits_for_page_ = plan_ != head;
                return;
            }
            if (item->kind == PhotoStream::Item::Kind::kPageStart && (item->page.stopped || item->page.login_wall)) return;
            if (item->kind != PhotoStream::Item::Kind::kPhoto) {
                ++plan_;
                continue;
            }
            if (plan_ != head && (!queue_->HasRoom() || (rules_.SkipRecorded() && unfinished_.contains(StoredId(item->photo))))) {
                return;
            }
            item->decision = rules_.Decide(item->photo, item->asked_again, store_);
            window_end_planned_ = item->decision == Decision::kEndOfWindow;  // nothing later is looked at
            if (item->decision == Decision::kFetch) StartPicture(*item, plan_);
            ++plan_;
        }
    }

    void StartPicture(const PhotoStream::Item& item, long long index) {
        queue_->Start(index, item.photo.picture_url);
        if (rules_.SkipRecorded()) unfinished_.insert(StoredId(item.photo));
        if (rules_.WantsVideo(item.photo) && queue_->HasRoom()) {
            queue_->Start(VideoIndex(index), VideoUrl(item.photo), PictureQueue::Kind::kVideo);
        }
    }
    static std::string StoredId(const PhotoRecord& photo) { return std::string(StoredPhotoId(photo.photo_id)); }

    // The video's address; a signed one whose time has passed is signed anew
    // through its post first.
    std::string VideoUrl(const PhotoRecord& photo) {
        if (!LinkExpired(photo.video_url)) return photo.video_url;
        const std::string fresh = Refreshed(photo);
        return fresh.empty() ? photo.video_url : fresh;
    }
    // Once per photo: a second refusal is the answer.
    std::string Refreshed(const PhotoRecord& photo) {
        if (!source_ || !refreshed_.insert(photo.photo_id).second) return {};
        return source_->FreshVideoUrl(photo);
    }
    static long long VideoIndex(long long index) { return -1 - index; }

    // Shows where the album stands at the `sequence`-th photo listed: with a
    // count, how far that is into it (the photos listed when there are more).
    void ShowProgress(long long sequence) {
        if (!album_.count) {  // how many photos the album holds nobody says
            observer_.AlbumProgressed({-1, sequence, std::nullopt});
            return;
        }
        const long long total = std::max({*album_.count, stream_->Numbered(), 1LL});
        const double exact = std::trunc(static_cast<double>(sequence) * 100.0 / static_cast<double>(total));
        observer_.AlbumProgressed({static_cast<int>(std::clamp(exact, 0.0, 100.0)), sequence, total});
    }

    // The photo the run has come to: decided, its picture taken when it has
    // come and finished. False when the album was stopped.
    bool FinishPhoto(PhotoStream::Item& item, long long index) {
        if (context_.job && !context_.job->Checkpoint()) return outcome_.stopped = true, false;
        const PhotoRecord& photo = item.photo;
        ShowProgress(item.sequence);
        Plan();
        switch (item.decision) {
            case Decision::kEndOfWindow: ended_by_window_ = true; return true;
            case Decision::kRecorded: finisher_.Ended(PhotoResult::kRecorded); return true;
            case Decision::kOutsideWindow: finisher_.Ended(PhotoResult::kOutsideWindow); return true;
            case Decision::kUnknownDate:
                Log("上传时间不明，不在固定时间段内，已跳过：" + photo.photo_id);
                finisher_.Ended(PhotoResult::kOutsideWindow);
                return true;
            case Decision::kBadAddress:  // no request, no name lookup
                finisher_.PictureFailed(photo, item.sequence, "0", "不是 http 或 https 地址");
                return true;
            case Decision::kUndecided:
            case Decision::kFetch: break;
        }
        PictureQueue::Taken taken = queue_->Take(index, [this] { Plan(); });
        if (rules_.SkipRecorded()) unfinished_.erase(unfinished_.find(StoredId(photo)));
        if (taken.fetch.stopped) return outcome_.stopped = true, false;
        if (!queue_->NetworkLost().empty() && !taken.fetch.ok) return KeepTheRest(index - 1);
        const std::optional<std::string> placed = finisher_.Picture(photo, taken, item.sequence);
        return !rules_.WantsVideo(photo) || FinishVideo(photo, VideoIndex(index), placed) || (outcome_.stopped = true, false);
    }

    // The videos of live photos whose still was saved and whose video was not.
    bool RetryVideos() {
        long long index = -(1LL << 40);  // below every index the pictures and their videos take
        for (const RecordStore::FailedItem& item : retry_->items) {
            if (item.kind != RecordStore::FailedItem::Kind::kVideo) continue;
            if (context_.job && !context_.job->Checkpoint()) return outcome_.stopped = true, false;
            queue_->Start(--index, VideoUrl(item.photo), PictureQueue::Kind::kVideo);
            PictureQueue::Taken taken = queue_->Take(index);
            if (taken.fetch.stopped) return outcome_.stopped = true, false;
            finisher_.Video(item.photo, taken, item.still);
        }
        return true;
    }

    // The network has been gone for minutes: the album ends here, and its
    // pictures after `index` and its pages not read are kept for a retry;
    // none of them counts as failed.
    bool KeepTheRest(long long index) {
        outcome_.network_lost = queue_->NetworkLost();
        Log("网络连接中断超过两分钟（" + outcome_.network_lost + "），本相册其余的照片没有下载", true);
        for (PhotoStream::Item* item; (item = stream_->At(++index, false));) {
            if (item->kind != PhotoStream::Item::Kind::kPhoto) continue;
            if (item->decision == Decision::kUndecided) item->decision = rules_.Decide(item->photo, false, store_);
            if (item->decision == Decision::kEndOfWindow) break;
            if (item->decision != Decision::kFetch) continue;
            failures_.Failed(RecordStore::FailedItem::Picture(item->photo, item->sequence, outcome_.network_lost));
        }
        if (const std::optional<PageMark> unread = stream_->Unread(); unread && !window_end_planned_) {
            failures_.Failed(RecordStore::FailedItem::Pages(*unread, outcome_.network_lost));
        }
        return false;
    }

    // A live photo's video, after its still and beside it under the still's
    // name; nothing when the still was not saved. False when stopped.
    bool FinishVideo(const PhotoRecord& photo, long long index, const std::optional<std::string>& still) {
        if (!still) {  // not saved: its video is not wanted after all
            return !queue_->Started(index) || !queue_->Take(index).fetch.stopped;
        }
        if (!queue_->Started(index)) queue_->Start(index, VideoUrl(photo), PictureQueue::Kind::kVideo);
        PictureQueue::Taken taken = queue_->Take(index, [this] { Plan(); });
        if (taken.fetch.stopped) return false;
        if (taken.fetch.status == 403) {  // a signed link refused: asked once more through its post
            if (const std::string fresh = Refreshed(photo); !fresh.empty()) {
                queue_->Start(index, fresh, PictureQueue::Kind::kVideo);
                taken = queue_->Take(index, [this] { Plan(); });
                if (taken.fetch.stopped) return false;
            }
        }
        finisher_.Video(photo, taken, *still);
        return true;
    }

    const AlbumRef& album_;
    ResolvedUser user_;
    RunObserver& observer_;
    const OptionsSource& options_;
    DownloadContext& context_;
    const RecordStore::FailedAlbum* retry_;
    AlbumOutcome outcome_;
    RecordStore store_;
    AlbumFailures failures_;
    PictureFinisher finisher_;
    AlbumIndex index_;  // the photos saved, for 相册索引.json
    PhotoRules rules_{DownloadOptions{}};
    std::optional<RecordStore::AlbumMark> mark_;  // where the last complete run stopped
    std::optional<PhotoRecord> newest_;           // the first photo this run listed
    AlbumFolder folder_;
    PictureQueue* queue_ = nullptr;      // while the photos are read
    PhotoSource* source_ = nullptr;
    PhotoStream* stream_ = nullptr;
    long long plan_ = 0;                 // the first item not decided yet
    bool plan_waits_for_page_ = false;   // its page has not come yet
    bool window_end_planned_ = false;    // a photo decided ends the album
    std::multiset<std::string> unfinished_;  // stored ids of the pictures started and not finished
    std::set<std::string> refreshed_;    // photos whose video was signed anew
    bool ended_by_window_ = false;
};

}  // namespace

AlbumOutcome AlbumDownload(const AlbumRef& album, const ResolvedUser& user, RunObserver& observer,
                           const OptionsSource& options, DownloadContext& context,
                           const RecordStore::FailedAlbum* retry) {
    return AlbumDownloader(album, user, observer, options, context, retry).Run();
}

}  // namespace wa
