// What becomes of a photo once the run comes to it: its picture, when it
// arrived, is named by the user's choice, given its upload time, placed in
// the album's folder without ever replacing a saved picture, and recorded; a
// live photo's video goes beside it under the same name. Every photo's end
// is counted, and every failure is said with its reason and kept for a retry.
#pragma once

#include <optional>
#include <string>

#include "download/album_failures.h"
#include "download/download_options.h"
#include "download/picture_queue.h"
#include "download/run_events.h"
#include "util/regex_matcher.h"

namespace wa {

class RecordStore;
class AlbumIndex;

// What goes with each picture besides its bytes: its story written inside
// it, and its entry in the album's index.
struct PictureExtras {
    bool story = false;           // 写入照片信息
    std::string creator;          // the user's name
    std::string door;             // the key of the album's door
    AlbumIndex* index = nullptr;  // 保存相册索引: where each saved photo is entered
};

// Why a picture (or a video) that was fetched cannot be kept, in the words
// the log gives: the server's answer, the connection, or the disk.
std::string FetchFailureReason(const std::string& url, const PictureFetch& fetch, bool video);
// Why a file could not be written: "磁盘已满", "没有写入权限"...
std::string WriteFailureReason(int error);

class PictureFinisher {
public:
    // Counts what it does into `outcome` (the run's figures before this
    // album are `before`) and tells `observer`.
    PictureFinisher(RunObserver& observer, const OptionsSource& options, RecordStore& store, AlbumFailures& failures,
                    AlbumOutcome& outcome, const PhotoCounts& before);

    void SetExtras(PictureExtras extras) { extras_ = std::move(extras); }

    // Names, places and records one fetched picture, the `sequence`-th listed
    // in its album; the name it was given, nullopt when it failed.
    std::optional<std::string> Picture(const PhotoRecord& photo, PictureQueue::Taken& taken, long long sequence);
    // Places a live photo's video beside its saved still `still`, or says it failed.
    void Video(const PhotoRecord& photo, PictureQueue::Taken& taken, const std::string& still);

    // A picture that failed without being fetched: `tag` and `reason` as the log says them.
    void PictureFailed(const PhotoRecord& photo, long long sequence, const std::string& tag, const std::string& reason);
    // A photo that ended some other way.
    void Ended(PhotoResult result);

private:
    void GiveUploadTime(PictureFile& file, const PhotoRecord& photo) const;
    // Writes the photo's story into its picture; false when the picture
    // could be kept neither with it nor as it came.
    bool TellStory(PictureFile& file, const PhotoRecord& photo);
    void Log(std::string line) { observer_.Logged({std::move(line), false}); }
    void Failed(const RecordStore::FailedItem& item, const std::string& line, PhotoResult result);

    RunObserver& observer_;
    const OptionsSource& options_;
    RecordStore& store_;
    AlbumFailures& failures_;
    AlbumOutcome& outcome_;
    PhotoCounts before_;
    RegexMatcher matcher_;
    PictureExtras extras_;
    std::string served_, told_;  // a picture as served and with its story: room used again
    bool upload_time_as_file_time_ = true;
    bool use_24_hour_clock_ = true;
};

}  // namespace wa
