#include "download/album_download.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "download/download_host.h"
#include "download/picture_file.h"
#include "download/picture_naming.h"
#include "download/picture_queue.h"
#include "download/photo_source.h"
#include "download/record_store.h"
#include "util/folders.h"
#include "util/job_token.h"
#include "util/regex_matcher.h"
#include "util/text.h"
#include "weibo/object_request.h"
#include "weibo/service_request.h"
#include "weibo/weibo_service.h"

namespace wa {
namespace {

// The date window when the user has not set one.
constexpr std::int64_t kWindowOffStart = 100'000'000;
constexpr std::int64_t kWindowOffEnd = 2'147'483'647;
constexpr long long kMaxCollisionNumber = 100'000;

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// A path component the engine may make: no separator, not "." or "..".
// Empty is allowed: it adds no folder.
bool IsPlainName(std::string_view name) {
    return name.find('/') == std::string_view::npos && name != "." && name != "..";
}

// A picture the photo list names fully, on an http(s) server.
bool IsPictureAddress(const PhotoRecord& photo) {
    const std::string host = AsciiLower(photo.pic_host);
    return (host.starts_with("http://") || host.starts_with("https://")) && host.find_first_of(" \t\r\n") == std::string::npos &&
           !photo.pic_name.empty() && photo.pic_name != "null";
}

// Timestamps count seconds, or milliseconds when they have 13 digits.
std::int64_t UploadSeconds(std::string_view timestamp_text) {
    const long long value = CountValue(timestamp_text);
    return value > 9'999'999'999LL ? value / 1000 : value;
}

enum class Decision { kUndecided, kEndOfWindow, kSkip, kBadAddress, kFetch };

// Two ids the record store keeps as one.
bool SameStoredId(std::string_view a, std::string_view b) {
    return a.substr(0, kPhotoIdWidth) == b.substr(0, kPhotoIdWidth);
}

// Gives the picture the first free name of the naming attempts, then of the
// last attempt with a collision number; a name holding the same picture
// already counts as saved. No saved picture is ever replaced.
bool PlacePicture(PictureFile& file, PictureNamer& namer, PictureNamer::Choice& choice, DownloadHost& host) {
    using Placement = PictureFile::Placement;
    Placement placement = Placement::kFailed;
    std::string path;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        choice.format = host.CheckedNameFormat();
        path = namer.PicturePath(attempt, choice);
        placement = file.MoveTo(path);
        if (placement == Placement::kPlaced || placement == Placement::kAlreadyThere) return true;
    }
    for (long long n = 2; placement == Placement::kTaken && n < kMaxCollisionNumber; ++n) {
        placement = file.MoveTo(NumberedPath(path, n));
    }
    return placement == Placement::kPlaced || placement == Placement::kAlreadyThere;
}

// One album's download: its record store, its folder, then its photo-list
// pages one after the other, each page's pictures several at a time and
// finished in photo order.
class AlbumDownloader {
public:
    AlbumDownloader(const AlbumEntry& entry, ResolvedUser& user, DownloadHost& host, DownloadContext& context)
        : entry_(entry), user_(user), host_(host), context_(context) {}

    AlbumOutcome Run() {
        OpenStore();
        if (host_.TimeWindowEnabled()) {
            window_start_ = LocalTimeToUnix(host_.TimeWindowStart());
            window_end_ = LocalTimeToUnix(host_.TimeWindowEnd());
        }
        skip_recorded_ = host_.RecordStoreEnabled();
        use_24_hour_clock_ = Uses24HourClock();  // the user's setting, asked once per album

        host_.SetLabel(StatusLabel::kProgressPercent, "");
        host_.SetProgress(0, 100);
        host_.AppendLog("准备下载相册《" + entry_.name + "》\r\n\r\n");
        if (!MakeFolder()) return outcome_;

        std::optional<RequestBatch> own_batch;
        batch_ = context_.pictures;
        if (!batch_) batch_ = &own_batch.emplace(context_.parallel);
        if (!ReadPages()) return outcome_;
        if (ended_by_window_) host_.AppendLog("该相册【固定时间段】上传的图片下载完毕\r\n");
        host_.AppendLog("---完成相册《" + folder_name_ + "》下载\r\n\r\n");
        host_.SetLabel(StatusLabel::kPhotoCounter, "");
        return outcome_;
    }

private:
    // The record store of the user, opened for this album only. Only a uid
    // of digits ever names one.
    void OpenStore() {
        if (!IsUid(user_.uid)) return;
        const std::string store_path = RecordStorePath(context_.program_folder, user_.uid);
        bool present = FileExists(store_path);
        if (!present) {
            std::string folder = RecordStoreFolder(context_.program_folder);
            EnsureDirectory(folder);
            const bool created = RecordStore::CreateStore(store_path);
            host_.AppendLog(created ? "防止重复下载数据库创建成功\r\n" : "防止重复下载数据库创建失败\r\n");
            present = created || FileExists(store_path);  // another run may have made it meanwhile
        }
        std::string store_error;
        if (present && !store_.OpenStore(store_path, &store_error)) {
            host_.AppendLog("防止重复下载数据库打开失败（" + store_error + "），本相册不跳过已下载的照片\r\n");
        } else if (store_.ReadOnly()) {
            host_.AppendLog("防止重复下载数据库只读，本相册下载的照片不会被记录\r\n");
        }
    }

    // Save folder / user / album name and count; false when the names are
    // no plain folder names.
    bool MakeFolder() {
        // Only the digits of the count reach the folder name.
        std::string count_digits = entry_.count;
        std::erase_if(count_digits, [](char c) { return c < '0' || c > '9'; });
        folder_name_ = CleanName(entry_.name) + count_digits;
        user_.title = CleanName(user_.title);

        std::string base = host_.SaveFolder();
        if (base.empty()) base = context_.program_folder;
        if (!base.ends_with('/')) base += '/';
        album_folder_ = base + user_.title + "/" + folder_name_;
        if (!IsPlainName(user_.title) || !IsPlainName(folder_name_)) {
            // Cleaning keeps every name below the save folder; this never lets one out.
            host_.AppendLog("相册文件夹名称无效：" + folder_name_ + "\r\n");
            return false;
        }
        if (!IsDirectory(album_folder_) && !EnsureDirectory(album_folder_)) EnsureDirectory(album_folder_);
        PictureFile::RemoveLeftovers(album_folder_);
        return true;
    }

    // Every page of the album's source in turn; false when the album ended
    // early (stopped, or a login is needed).
    bool ReadPages() {
        const bool ahead = batch_->Slots() > 1;  // one at a time keeps every request in its old order
        const std::unique_ptr<PhotoSource> source = MakePhotoSource(entry_, user_.uid, context_, host_, ahead);
        const int pages = PhotoPageCount(entry_.count);
        count_ = CountValue(entry_.count);
        while (!ended_by_window_) {
            const std::optional<PhotoPage> list = source->Next();
            if (!list) break;
            if (list->stopped) return outcome_.stopped = true, false;
            if (list->login_wall) {
                host_.AppendLog(std::string(kLoginNeededLine) + "\r\n");
                return outcome_.login_needed = true, false;
            }
            if (!list->fetched) {
                host_.AppendLog("第" + std::to_string(list->number) + "页照片列表获取失败：" + list->failure + "\r\n");
                ++outcome_.failed_pages;
            }
            const long long listed_before = listed_;
            listed_ += static_cast<long long>(list->photos.size());
            source->FetchAhead();  // the next page is asked for while this one's pictures download
            if (!DownloadPage(*list, list->number, pages, listed_before)) return false;
        }
        return true;
    }

    // Pictures are started ahead, up to the batch's size, and finished in
    // photo order; a photo whose id an unfinished one shares waits for it, so
    // the record store answers as it would one at a time. False when the
    // album was stopped.
    bool DownloadPage(const PhotoPage& list, int page, int pages, long long listed_before) {
        const int n = static_cast<int>(list.photos.size());
        // When the listing disagrees with the page arithmetic (short pages, a
        // count that is too low), progress and the counter follow the photos
        // actually listed.
        const bool by_listing =
            listed_before != static_cast<long long>(page - 1) * kPhotosPerPage || listed_ > count_;
        const long long total = std::max(count_, listed_);
        const std::string count_text = listed_ > count_ ? std::to_string(listed_) : entry_.count;

        PictureQueue queue(*batch_, album_folder_, context_.referer, context_.job);
        std::vector<Decision> decisions(static_cast<std::size_t>(n), Decision::kUndecided);
        int next_to_plan = 0;
        bool window_end_planned = false;
        const auto plan = [&](int head) {
            while (next_to_plan < n && queue.HasRoom() && !window_end_planned) {
                const PhotoRecord& photo = list.photos[static_cast<std::size_t>(next_to_plan)];
                if (skip_recorded_ && store_.IsOpen()) {
                    bool shared = false;
                    for (int i = head; i < next_to_plan && !shared; ++i) {
                        shared = decisions[static_cast<std::size_t>(i)] == Decision::kFetch &&
                                 SameStoredId(list.photos[static_cast<std::size_t>(i)].photo_id, photo.photo_id);
                    }
                    if (shared) return;
                }
                Decision& decision = decisions[static_cast<std::size_t>(next_to_plan)];
                const std::int64_t uploaded = UploadSeconds(photo.timestamp);
                if (uploaded < window_start_) {
                    decision = Decision::kEndOfWindow;
                    window_end_planned = true;  // nothing later is looked at
                } else if (uploaded == window_start_ || uploaded >= window_end_ ||
                           (skip_recorded_ && store_.ContainsPhotoId(photo.photo_id))) {
                    decision = Decision::kSkip;
                } else if (!IsPictureAddress(photo)) {
                    decision = Decision::kBadAddress;
                } else {
                    decision = Decision::kFetch;
                    queue.Start(next_to_plan, LargePictureUrl(photo.pic_host, photo.pic_name));
                }
                ++next_to_plan;
            }
        };
        for (int position = 1; position <= n; ++position) {
            if (context_.job && !context_.job->Checkpoint()) return outcome_.stopped = true, false;
            const int index = position - 1;
            const PhotoRecord& photo = list.photos[static_cast<std::size_t>(index)];
            const long long running =
                by_listing ? listed_before + position : static_cast<long long>(page - 1) * kPhotosPerPage + position;

            const double exact = std::trunc(by_listing ? running * 100.0 / static_cast<double>(total)
                                                       : running * 100.0 / n / pages);
            const int bar = static_cast<int>(std::clamp(exact, 0.0, 100.0));
            host_.SetProgress(bar, 100);
            host_.SetLabel(StatusLabel::kProgressPercent, std::to_string(bar) + "%");
            host_.SetLabel(StatusLabel::kPhotoCounter, count_text + "/" + std::to_string(running));

            plan(index);
            const Decision decision = decisions[static_cast<std::size_t>(index)];
            if (decision == Decision::kEndOfWindow) {
                ended_by_window_ = true;
                break;
            }
            if (decision == Decision::kSkip) {
                ++outcome_.skipped;
                continue;
            }
            const std::string url = LargePictureUrl(photo.pic_host, photo.pic_name);
            if (decision == Decision::kBadAddress) {  // no request, no name lookup
                host_.AppendLog("图片下载失败[0]：" + url + "\r\n");
                ++outcome_.failed;
                continue;
            }
            PictureQueue::Taken taken = queue.Take(index);
            if (taken.fetch.stopped) return outcome_.stopped = true, false;
            FinishPhoto(photo, url, taken, page, position);
        }
        return true;
    }

    // Names, places and records one fetched picture.
    void FinishPhoto(const PhotoRecord& photo, const std::string& url, PictureQueue::Taken& taken, int page,
                     int position) {
        const PictureFetch& picture = taken.fetch;
        if (picture.write_failed) {
            host_.AppendLog("图片保存失败：" + photo.photo_id + "\r\n");
            ++outcome_.failed;
            return;
        }
        if (!picture.ok) {
            FailedAnswer answer;
            answer.status = picture.status;
            answer.failure = picture.failure;
            host_.AppendLog("图片下载失败[" + FailureTag(answer) + "]：" + url + "\r\n");
            ++outcome_.failed;
            return;
        }
        // A name that holds this very picture already is free for it: a
        // second run without the record store saves nothing twice.
        PictureFile& file = *taken.file;
        PictureNamer namer(album_folder_, photo, page, position, matcher_,
                           [&file](const std::string& path) { return file.NameTakenByAnother(path); });
        PictureNamer::Choice choice;
        choice.scheme = host_.CheckedSequenceScheme();
        choice.use_24_hour_clock = use_24_hour_clock_;
        if (!PlacePicture(file, namer, choice, host_)) {
            host_.AppendLog("图片保存失败：" + photo.photo_id + "\r\n");
            ++outcome_.failed;
            return;
        }
        ++outcome_.saved;
        if (!store_.ContainsPhotoId(photo.photo_id)) store_.AppendPhotoId(photo.photo_id);
    }

    const AlbumEntry& entry_;
    ResolvedUser& user_;
    DownloadHost& host_;
    DownloadContext& context_;
    AlbumOutcome outcome_;
    RegexMatcher matcher_;
    RecordStore store_;
    std::int64_t window_start_ = kWindowOffStart;
    std::int64_t window_end_ = kWindowOffEnd;
    bool skip_recorded_ = false;
    bool use_24_hour_clock_ = true;
    std::string folder_name_;
    std::string album_folder_;
    RequestBatch* batch_ = nullptr;
    long long count_ = 0;
    long long listed_ = 0;  // photos of the pages read so far
    bool ended_by_window_ = false;
};

}  // namespace

AlbumOutcome AlbumDownload(const AlbumEntry& entry, ResolvedUser& user, DownloadHost& host,
                           DownloadContext& context) {
    return AlbumDownloader(entry, user, host, context).Run();
}

}  // namespace wa
