#include "util/job_token.h"

#include <gtest/gtest.h>

#include <thread>

namespace wa {
namespace {

using namespace std::chrono_literals;

TEST(JobToken, CheckpointHoldsWhilePausedAndReleasesOnStop) {
    JobToken job;
    EXPECT_TRUE(job.Checkpoint());
    job.Pause();
    std::thread stopper([&job] {
        std::this_thread::sleep_for(100ms);
        job.RequestStop();
    });
    EXPECT_FALSE(job.Checkpoint());
    stopper.join();
}

TEST(JobToken, WaitDoesNotCountPausedTime) {
    JobToken job;
    std::thread pauser([&job] {
        std::this_thread::sleep_for(50ms);
        job.Pause();
        std::this_thread::sleep_for(300ms);
        job.Resume();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(job.Wait(200ms));
    pauser.join();
    EXPECT_GE(std::chrono::steady_clock::now() - start, 450ms);
}

TEST(JobToken, StopEndsAWaitAtOnce) {
    JobToken job;
    std::thread stopper([&job] {
        std::this_thread::sleep_for(50ms);
        job.RequestStop();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(job.Wait(10s));
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

}  // namespace
}  // namespace wa
