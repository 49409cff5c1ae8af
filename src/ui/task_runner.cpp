#include "ui/task_runner.h"

namespace wa {

TaskRunner::~TaskRunner() {
    StopAll();
    for (Task& task : tasks_) {
        if (task.done.valid()) task.done.wait();
    }
}

std::shared_ptr<JobToken> TaskRunner::Run(std::function<void(JobToken*)> work) {
    // Finished tasks leave the list as new ones arrive.
    std::erase_if(tasks_, [](Task& task) { return task.done.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    Task task{std::make_shared<JobToken>(), {}};
    task.done = std::async(std::launch::async, [work = std::move(work), job = task.job] { work(job.get()); });
    std::shared_ptr<JobToken> job = task.job;
    tasks_.push_back(std::move(task));
    return job;
}

void TaskRunner::StopAll() {
    for (Task& task : tasks_) task.job->RequestStop();
}

bool TaskRunner::Busy() const {
    for (const Task& task : tasks_) {
        if (task.done.valid() && task.done.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return true;
    }
    return false;
}

}  // namespace wa
