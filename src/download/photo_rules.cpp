#include "download/photo_rules.h"

#include "download/record_store.h"
#include "util/date_time.h"

namespace wa {

PhotoRules::PhotoRules(const DownloadOptions& options)
    : window_on_(options.window.on), new_only_(options.new_only),
      skip_recorded_(options.record_store || options.new_only), live_video_(options.live_video) {
    if (!window_on_) return;
    window_start_ = SecondsOfBeijingTime(options.window.start);
    window_end_ = SecondsOfBeijingTime(options.window.end);
    // A date alone means through that day: its photos are taken.
    const DateTime& end = options.window.end;
    if (end.hour == 0 && end.minute == 0 && end.second == 0) window_end_ += 24 * 3600;
}

Decision PhotoRules::Decide(const PhotoRecord& photo, bool asked_again, RecordStore& store) const {
    if (photo.recorded_before) return Decision::kRecorded;  // saved by an earlier run: not even its date is known
    if (!asked_again) {
        // Without a date window no photo is skipped or ends the album for
        // its date, however odd the date.
        if (window_on_ && !photo.upload_seconds) {
            return Decision::kUnknownDate;  // an upload time nobody knows is outside any window
        } else if (window_on_ && *photo.upload_seconds < window_start_) {
            return Decision::kEndOfWindow;
        } else if (window_on_ && (*photo.upload_seconds == window_start_ || *photo.upload_seconds >= window_end_)) {
            return Decision::kOutsideWindow;
        }
    }
    if (skip_recorded_ && store.ContainsPhotoId(photo.photo_id)) return Decision::kRecorded;
    return photo.addressable ? Decision::kFetch : Decision::kBadAddress;
}

}  // namespace wa
