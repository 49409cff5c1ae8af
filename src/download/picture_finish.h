// What becomes of a picture once its bytes have arrived: it is named by the
// user's choice, given its upload time, placed in the album's folder without
// ever replacing a saved picture, and recorded; a live photo's video goes
// beside it under the same name.
#pragma once

#include <optional>
#include <string>

#include "download/download_options.h"
#include "download/picture_queue.h"
#include "download/run_events.h"
#include "util/regex_matcher.h"

namespace wa {

class RecordStore;

class PictureFinisher {
public:
    // Counts what it does into `outcome` and tells `observer`.
    PictureFinisher(RunObserver& observer, const OptionsSource& options, RecordStore& store, AlbumOutcome& outcome);

    // Names, places and records one fetched picture, the `sequence`-th listed
    // in its album; the path it was given, nullopt when it failed.
    std::optional<std::string> Picture(const PhotoRecord& photo, PictureQueue::Taken& taken, long long sequence);
    // Places a live photo's video beside its saved still, or says it failed.
    void Video(const PhotoRecord& photo, PictureQueue::Taken& taken, const std::string& still);

    // A picture that failed before it was fetched, or was never fetched.
    void Failed(const std::string& line);

private:
    void GiveUploadTime(PictureFile& file, const PhotoRecord& photo) const;
    void Log(std::string line) { observer_.Logged({std::move(line), false}); }

    RunObserver& observer_;
    const OptionsSource& options_;
    RecordStore& store_;
    AlbumOutcome& outcome_;
    RegexMatcher matcher_;
    bool upload_time_as_file_time_ = true;
    bool use_24_hour_clock_ = true;
};

}  // namespace wa
