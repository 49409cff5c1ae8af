#include "download/picture_finish.h"

#include "download/picture_naming.h"
#include "download/record_store.h"
#include "net/net_failure.h"
#include "util/date_time.h"

namespace wa {
namespace {

constexpr long long kMaxCollisionNumber = 100'000;

bool IsSaved(PictureFile::Placement placement) {
    return placement == PictureFile::Placement::kPlaced || placement == PictureFile::Placement::kAlreadyThere;
}

// Gives the file `path`, or when another file holds that name, the first
// free one of path(2), path(3) ...; the path it got, nullopt when none.
std::optional<std::string> PlaceNumbered(PictureFile& file, const std::string& path) {
    PictureFile::Placement placement = file.MoveTo(path);
    if (IsSaved(placement)) return path;
    for (long long n = 2; placement == PictureFile::Placement::kTaken && n < kMaxCollisionNumber; ++n) {
        const std::string numbered = NumberedPath(path, n);
        placement = file.MoveTo(numbered);
        if (IsSaved(placement)) return numbered;
    }
    return std::nullopt;
}

// Gives the picture the first free name of the naming attempts, then of the
// last attempt with a collision number; a name holding the same picture
// already counts as saved. No saved picture is ever replaced.
std::optional<std::string> PlacePicture(PictureFile& file, PictureNamer& namer, PictureNamer::Choice& choice,
                                        const OptionsSource& options) {
    std::string path;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        choice.format = options().NameFormatOrContent();
        path = namer.PicturePath(attempt, choice);
        if (attempt == 3) break;
        if (IsSaved(file.MoveTo(path))) return path;
    }
    return PlaceNumbered(file, path);
}

}  // namespace

PictureFinisher::PictureFinisher(RunObserver& observer, const OptionsSource& options, RecordStore& store,
                                 AlbumOutcome& outcome)
    : observer_(observer), options_(options), store_(store), outcome_(outcome),
      upload_time_as_file_time_(options().upload_time_as_file_time),
      use_24_hour_clock_(Uses24HourClock()) {}  // the user's setting, asked once per album

void PictureFinisher::GiveUploadTime(PictureFile& file, const PhotoRecord& photo) const {
    // The upload time as the file's modification time, when the user wants
    // it (文件时间); a file that already holds the same bytes keeps its own.
    if (upload_time_as_file_time_ && photo.upload_seconds && *photo.upload_seconds > 0) {
        file.SetModifiedTime(*photo.upload_seconds);
    }
}

void PictureFinisher::Failed(const std::string& line) {
    Log(line);
    ++outcome_.failed;
    observer_.PhotoDone(PhotoResult::kFailed);
}

std::optional<std::string> PictureFinisher::Picture(const PhotoRecord& photo, PictureQueue::Taken& taken,
                                                    long long sequence) {
    const PictureFetch& picture = taken.fetch;
    if (picture.write_failed) {
        Failed("图片保存失败：" + photo.photo_id);
        return std::nullopt;
    }
    if (!picture.ok) {
        Failed("图片下载失败[" + FailureTag(picture.Answer()) + "]：" + photo.picture_url);
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
    GiveUploadTime(file, photo);
    std::optional<std::string> placed = PlacePicture(file, namer, choice, options_);
    if (!placed) {
        Failed("图片保存失败：" + photo.photo_id);
        return std::nullopt;
    }
    ++outcome_.saved;
    observer_.PhotoDone(PhotoResult::kSaved);
    if (!store_.ContainsPhotoId(photo.photo_id)) store_.AppendPhotoId(photo.photo_id);
    return placed;
}

void PictureFinisher::Video(const PhotoRecord& photo, PictureQueue::Taken& taken, const std::string& still) {
    const PictureFetch& fetch = taken.fetch;
    if (fetch.ok && !fetch.write_failed) GiveUploadTime(*taken.file, photo);
    if (!fetch.ok || fetch.write_failed ||
        !PlaceNumbered(*taken.file, VideoPath(still, photo.video_url, taken.file->HoldsMp4()))) {
        const std::string tag = fetch.write_failed ? "0" : FailureTag(fetch.Answer());
        Log("实况视频下载失败[" + tag + "]：" + photo.video_url);
        ++outcome_.failed;
        observer_.PhotoDone(PhotoResult::kVideoFailed);
        return;
    }
    ++outcome_.videos;
    observer_.PhotoDone(PhotoResult::kVideoSaved);
}

}  // namespace wa
