// Which photos of an album a run takes: the date window, the photos recorded
// before, the videos of live photos. Decided photo by photo, in the order
// the album lists them.
#pragma once

#include <cstdint>

#include "download/download_options.h"
#include "download/photo_stream.h"

namespace wa {

class RecordStore;

class PhotoRules {
public:
    explicit PhotoRules(const DownloadOptions& options);

    // What becomes of `photo`, `store` telling which photos were saved
    // before. `asked_again`: a picture a run before failed, which that run
    // had decided on by its date already.
    Decision Decide(const PhotoRecord& photo, bool asked_again, RecordStore& store) const;

    bool WindowOn() const { return window_on_; }
    // Only new photos: the run may stop where the last complete run began.
    bool NewOnly() const { return new_only_; }
    // Photos in the record store are skipped (only new photos needs them too).
    bool SkipRecorded() const { return skip_recorded_; }
    bool WantsVideo(const PhotoRecord& photo) const { return live_video_ && !photo.video_url.empty(); }

private:
    bool window_on_ = false;
    std::int64_t window_start_ = 0;
    std::int64_t window_end_ = 0;
    bool new_only_ = false;
    bool skip_recorded_ = false;
    bool live_video_ = true;
};

}  // namespace wa
