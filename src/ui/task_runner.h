// The window's background work besides a download run: finding a user,
// listing albums, checking for a new version. Each task gets a stop token
// that closing the window trips; no task ever waits for the window thread.
#pragma once

#include <functional>
#include <future>
#include <memory>
#include <vector>

#include "util/job_token.h"

namespace wa {

class TaskRunner {
public:
    TaskRunner() = default;
    ~TaskRunner();  // stops every task and waits for it
    TaskRunner(const TaskRunner&) = delete;
    TaskRunner& operator=(const TaskRunner&) = delete;

    // Runs `work` on a worker thread; its stop token, which stops it alone.
    std::shared_ptr<JobToken> Run(std::function<void(JobToken*)> work);
    // Asks every task to stop at its next safe point.
    void StopAll();
    // True while a task has not ended.
    bool Busy() const;

private:
    struct Task {
        std::shared_ptr<JobToken> job;
        std::future<void> done;
    };
    std::vector<Task> tasks_;
};

}  // namespace wa
