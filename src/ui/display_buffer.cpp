#include "ui/display_buffer.h"

namespace wa {

bool DisplayBuffer::SetLabel(StatusLabel label, const std::string& text) {
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

DisplayBuffer::Pending DisplayBuffer::Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(pending_, Pending{});
}

}  // namespace wa
