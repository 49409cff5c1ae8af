#include "download/picture_finish.h"

#include <cerrno>
#include <cstring>

#include "download/album_index.h"
#include "download/picture_naming.h"
#include "download/picture_story.h"
#include "download/record_store.h"
#include "net/http_text.h"
#include "net/net_failure.h"
#include "util/date_time.h"

namespace wa {
namespace {

constexpr long long kMaxCollisionNumber = 100'000;

using Placement = PictureFile::Placement;

struct Placed {
    std::string name;
    Placement placement = Placement::kFailed;
};

bool IsSaved(Placement placement) { return placement == Placement::kPlaced || placement == Placement::kAlreadyThere; }

// Gives the file `path`, or when another file holds that name, the first
// free one of path(2), path(3) ...; nullopt when none.
std::optional<Placed> PlaceNumbered(PictureFile& file, const std::string& path) {
    Placement placement = file.MoveTo(path);
    if (IsSaved(placement)) return Placed{path, placement};
    for (long long n = 2; placement == Placement::kTaken && n < kMaxCollisionNumber; ++n) {
        const std::string numbered = NumberedPath(path, n);
        placement = file.MoveTo(numbered);
        if (IsSaved(placement)) return Placed{numbered, placement};
    }
    return std::nullopt;
}

// Gives the picture the first free name of the naming attempts, then of the
// last attempt with a collision number; a name holding the same picture
// already counts as saved. No saved picture is ever replaced.
std::optional<Placed> PlacePicture(PictureFile& file, PictureNamer& namer, PictureNamer::Choice& choice,
                                   const OptionsSource& options) {
    std::string path;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        choice.format = options().NameFormatOrContent();
        path = namer.PicturePath(attempt, choice);
        if (attempt == 3) break;
        if (const Placement placement = file.MoveTo(path); IsSaved(placement)) return Placed{path, placement};
    }
    return PlaceNumbered(file, path);
}

// The picture as the first name `choice` gives, when that name holds these
// very bytes: there already.
std::optional<Placed> AlreadyAtFirstName(PictureFile& file, PictureNamer& namer, PictureNamer::Choice& choice,
                                         const OptionsSource& options) {
    choice.format = options().NameFormatOrContent();
    const std::string first = namer.PicturePath(1, choice);
    if (file.AlreadyAt(first) != Placement::kAlreadyThere) return std::nullopt;
    return Placed{first, Placement::kAlreadyThere};
}

}  // namespace

std::string WriteFailureReason(int error) {
    switch (error) {
        case ENOSPC: return "磁盘已满";
        case EDQUOT: return "超出磁盘配额";
        case EACCES:
        case EPERM: return "没有写入权限";
        case EROFS: return "磁盘只读";
        case ENAMETOOLONG: return "文件名过长";
        case EBADF: return "相册文件夹无法建立";  // there is no folder to write in
        case 0: return "无法写入";
        default: return std::strerror(error);
    }
}

std::string FetchFailureReason(const std::string& url, const PictureFetch& fetch, bool video) {
    if (fetch.write_failed) return WriteFailureReason(fetch.write_error);
    if (fetch.status == 200) return UrlHost(url, true) + (video ? " 的回答不是视频" : " 的回答不是图片");
    return FailureReason(url, fetch.Answer());
}

PictureFinisher::PictureFinisher(RunObserver& observer, const OptionsSource& options, RecordStore& store,
                                 AlbumFailures& failures, AlbumOutcome& outcome, const PhotoCounts& before)
    : observer_(observer), options_(options), store_(store), failures_(failures), outcome_(outcome), before_(before),
      upload_time_as_file_time_(options().upload_time_as_file_time),
      use_24_hour_clock_(Uses24HourClock()) {}  // the user's setting, asked once per album

void PictureFinisher::Ended(PhotoResult result) {
    outcome_.Count(result);
    PhotoEnd end{result, before_};
    end.run.Add(outcome_);
    observer_.PhotoDone(end);
}

void PictureFinisher::GiveUploadTime(PictureFile& file, const PhotoRecord& photo) const {
    // The upload time as the file's modification time, when the user wants
    // it (文件时间); a file that already holds the same bytes keeps its own.
    if (upload_time_as_file_time_ && photo.upload_seconds && *photo.upload_seconds > 0) {
        file.SetModifiedTime(*photo.upload_seconds);
    }
}

bool PictureFinisher::TellStory(PictureFile& file, const PhotoRecord& photo) {
    if (!file.ReadBack(served_)) {
        Log("照片信息没有写入：" + photo.photo_id + "（无法读回图片），图片按原样保存");
        return true;
    }
    const std::string why = WriteStory(
        served_, {photo.upload_seconds, photo.WholeCaption(), extras_.creator, photo.post_url, photo.photo_id}, told_);
    if (!why.empty()) {
        Log("照片信息没有写入：" + photo.photo_id + "（" + why + "），图片按原样保存");
        return true;
    }
    if (file.Replace(told_)) return true;
    // The picture with its story did not fit: as it came, or not at all.
    Log("照片信息没有写入：" + photo.photo_id + "（" + WriteFailureReason(file.Error()) + "）");
    return file.Replace(served_);
}

void PictureFinisher::Failed(const RecordStore::FailedItem& item, const std::string& line, PhotoResult result) {
    Log(line);
    failures_.Failed(item);
    Ended(result);
}

void PictureFinisher::PictureFailed(const PhotoRecord& photo, long long sequence, const std::string& tag,
                                    const std::string& reason) {
    Failed(RecordStore::FailedItem::Picture(photo, sequence, reason),
           "图片下载失败[" + tag + "]：" + photo.picture_url + "（" + reason + "）", PhotoResult::kFailed);
}

std::optional<std::string> PictureFinisher::Picture(const PhotoRecord& photo, PictureQueue::Taken& taken,
                                                    long long sequence) {
    const PictureFetch& picture = taken.fetch;
    RecordStore::FailedItem failed = RecordStore::FailedItem::Picture(photo, sequence, "");
    if (picture.write_failed || !picture.ok) {
        failed.reason = FetchFailureReason(photo.picture_url, picture, false);
        const std::string line = picture.write_failed
                                     ? "图片保存失败：" + photo.photo_id + "（" + failed.reason + "）"
                                     : "图片下载失败[" + FailureTag(picture.Answer()) + "]：" + photo.picture_url + "（" +
                                           failed.reason + "）";
        Failed(failed, line, PhotoResult::kFailed);
        return std::nullopt;
    }
    // A name that holds this very picture already is free for it: a
    // second run without the record store saves nothing twice.
    PictureFile& file = *taken.file;
    PictureNamer namer("", photo, sequence, matcher_,
                       [&file](const std::string& path) { return file.NameTakenByAnother(path); });
    PictureNamer::Choice choice;
    choice.scheme = options_().sequence;
    choice.use_24_hour_clock = use_24_hour_clock_;
    std::optional<Placed> placed;
    // A picture saved under the name its address gave before its bytes named it is there already.
    if (const std::string by_bytes = PictureExtension(photo.kind, file.Head()); by_bytes != PictureExtension(photo.kind)) {
        placed = AlreadyAtFirstName(file, namer, choice, options_);
        choice.extension = by_bytes;
    }
    if (!placed && extras_.story && photo.kind != PhotoKind::kGif && TakesStory(file.Head())) {
        // So is one a run that wrote no story saved as it came.
        placed = AlreadyAtFirstName(file, namer, choice, options_);
        if (!placed && !TellStory(file, photo)) {
            failed.reason = WriteFailureReason(file.Error());
            Failed(failed, "图片保存失败：" + photo.photo_id + "（" + failed.reason + "）", PhotoResult::kFailed);
            return std::nullopt;
        }
    }
    if (!placed) {
        GiveUploadTime(file, photo);
        placed = PlacePicture(file, namer, choice, options_);
    }
    if (!placed) {
        failed.reason = file.Error() ? WriteFailureReason(file.Error()) : "没有可用的文件名";
        Failed(failed, "图片保存失败：" + photo.photo_id + "（" + failed.reason + "）", PhotoResult::kFailed);
        return std::nullopt;
    }
    Ended(placed->placement == Placement::kAlreadyThere ? PhotoResult::kAlreadyThere : PhotoResult::kSaved);
    if (extras_.index) {
        extras_.index->Saved({placed->name, "", photo.photo_id, photo.post_id, photo.post_url, photo.WholeCaption(),
                              photo.upload_seconds, extras_.door, photo.picture_url});
    }
    if (!store_.ContainsPhotoId(photo.photo_id)) store_.AppendPhotoId(photo.photo_id);
    failures_.Got(failed.Key());
    return placed->name;
}

void PictureFinisher::Video(const PhotoRecord& photo, PictureQueue::Taken& taken, const std::string& still) {
    const PictureFetch& fetch = taken.fetch;
    RecordStore::FailedItem failed = RecordStore::FailedItem::Video(photo, still, "");
    std::optional<Placed> placed;
    if (fetch.ok && !fetch.write_failed) {
        GiveUploadTime(*taken.file, photo);
        placed = PlaceNumbered(*taken.file, VideoPath(still, photo.video_url, taken.file->HoldsMp4()));
    }
    if (!placed) {
        const std::string tag = fetch.write_failed ? "0" : FailureTag(fetch.Answer());
        failed.reason = fetch.ok && !fetch.write_failed ? WriteFailureReason(taken.file->Error())
                                                        : FetchFailureReason(photo.video_url, fetch, true);
        Failed(failed, "实况视频下载失败[" + tag + "]：" + photo.video_url + "（" + failed.reason + "）",
               PhotoResult::kVideoFailed);
        return;
    }
    Ended(placed->placement == Placement::kAlreadyThere ? PhotoResult::kVideoAlreadyThere : PhotoResult::kVideoSaved);
    if (extras_.index) extras_.index->VideoSaved(still, placed->name);
    failures_.Got(failed.Key());
}

}  // namespace wa
