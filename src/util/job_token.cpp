#include "util/job_token.h"

namespace wa {

void JobToken::RequestStop() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
}

void JobToken::Pause() {
    {
        std::lock_guard lock(mutex_);
        pause_ = true;
    }
    changed_.notify_all();
}

void JobToken::Resume() {
    {
        std::lock_guard lock(mutex_);
        pause_ = false;
    }
    changed_.notify_all();
}

bool JobToken::StopRequested() const {
    std::lock_guard lock(mutex_);
    return stop_;
}

bool JobToken::PauseRequested() const {
    std::lock_guard lock(mutex_);
    return pause_;
}

bool JobToken::Checkpoint() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stop_ || !pause_; });
    return !stop_;
}

bool JobToken::Wait(std::chrono::milliseconds duration) {
    using Clock = std::chrono::steady_clock;
    std::unique_lock lock(mutex_);
    auto left = std::chrono::duration_cast<Clock::duration>(duration);
    while (!stop_) {
        if (pause_) {
            changed_.wait(lock, [this] { return stop_ || !pause_; });
            continue;
        }
        if (left <= Clock::duration::zero()) return true;
        const auto start = Clock::now();
        changed_.wait_for(lock, left, [this] { return stop_ || pause_; });
        left -= Clock::now() - start;
    }
    return false;
}

}  // namespace wa
