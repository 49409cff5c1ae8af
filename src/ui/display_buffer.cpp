#include "ui/display_buffer.h"

#include <algorithm>
#include <cmath>

namespace wa {

bool DisplayBuffer::SetLabel(RunLabel label, const std::string& text) {
    std::lock_guard lock(mutex_);
    const bool was_empty = WasEmpty();
    pending_.labels[label] = text;
    return was_empty;
}

bool DisplayBuffer::SetProgress(int position, int maximum) {
    std::lock_guard lock(mutex_);
    const bool was_empty = WasEmpty();
    pending_.progress = std::pair{position, maximum};
    return was_empty;
}

bool DisplayBuffer::AppendLog(const std::string& text) {
    std::lock_guard lock(mutex_);
    const bool was_empty = WasEmpty();
    pending_.log += text;
    return was_empty;
}

bool DisplayBuffer::SetWaiting(long long seconds_left) {
    std::lock_guard lock(mutex_);
    const bool was_empty = WasEmpty();
    pending_.waiting = seconds_left;
    return was_empty;
}

bool DisplayBuffer::SetFinished(const RunOutcome& outcome) {
    std::lock_guard lock(mutex_);
    const bool was_empty = WasEmpty();
    pending_.finished = outcome;
    return was_empty;
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
