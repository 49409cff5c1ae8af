// Cooperative pause and stop for a download job: the worker checks it at safe
// points (between photos, inside waits, inside transfers) and never gets
// suspended or killed from outside.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace wa {

class JobToken {
public:
    void RequestStop();
    void Pause();
    void Resume();

    bool StopRequested() const;
    bool PauseRequested() const;

    // A safe point: holds while the job is paused; false when it is to stop.
    bool Checkpoint();

    // Waits `duration`, not counting time spent paused. False, at once, when
    // the job is to stop.
    bool Wait(std::chrono::milliseconds duration);

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool stop_ = false;
    bool pause_ = false;
};

}  // namespace wa
