#include "ui/display_buffer.h"

#include <algorithm>
#include <cmath>

namespace wa {

void DisplayBuffer::Change(const std::function<void(Pending&)>& change) {
    bool was_empty = false;
    {
        std::lock_guard lock(mutex_);
        was_empty = pending_.Empty();
        change(pending_);
    }
    if (was_empty) first_change_();
}

void DisplayBuffer::SetLabel(RunLabel label, const std::string& text) {
    Change([&](Pending& pending) { pending.labels[label] = text; });
}

void DisplayBuffer::SetRow(const std::string& key, const AlbumRowState& state) {
    Change([&](Pending& pending) { pending.rows[key] = state; });
}

void DisplayBuffer::SetProgress(int position, int maximum) {
    Change([&](Pending& pending) { pending.progress = std::pair{position, maximum}; });
}

void DisplayBuffer::AppendLog(const std::string& text) {
    Change([&](Pending& pending) { pending.log += text; });
}

void DisplayBuffer::SetWaiting(const RunWait& wait) {
    Change([&](Pending& pending) { pending.waiting = wait; });
}

void DisplayBuffer::SetFinished(const RunOutcome& outcome) {
    Change([&](Pending& pending) { pending.finished = outcome; });
}

DisplayBuffer::Pending DisplayBuffer::Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(pending_, Pending{});
}

void FramePace::Painted(double milliseconds) {
    paint_milliseconds_ = 0.8 * paint_milliseconds_ + 0.2 * std::max(0.0, milliseconds);
}

int FramePace::IntervalMilliseconds() const {
    const double twentyfold = std::ceil(20 * paint_milliseconds_);
    return static_cast<int>(std::clamp<double>(twentyfold, kShortestMilliseconds, kLongestMilliseconds));
}

}  // namespace wa
