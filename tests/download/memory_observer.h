// A run's observer that keeps everything in memory, and the options a test
// sets as the window's controls would hold them: for engine tests.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "download/download_options.h"
#include "download/run_events.h"

namespace wa::test {

// Base is RunObserver, or an observer that adds events of its own.
template <class Base = RunObserver>
class MemoryObserverOf : public Base {
public:
    DownloadOptions options;
    // Called on every progress event, from the worker.
    std::function<void(const AlbumProgress& progress)> on_progress;

    MemoryObserverOf() { options.parallel = 1; }  // one picture at a time unless a test asks for more
    OptionsSource Source() {
        return [this] { return options; };
    }

    // The log as the window shows it, each line ended by CR LF.
    std::string Log() const {
        std::lock_guard lock(mutex_);
        return log_;
    }
    std::optional<AlbumProgress> LastProgress() const {
        std::lock_guard lock(mutex_);
        return progress_;
    }
    // "count/position" of the last progress event, "?" for an unknown count.
    std::string LastCounter() const {
        const std::optional<AlbumProgress> last = LastProgress();
        return last ? last->Counter() : "";
    }
    std::vector<RunStart> Starts() const {
        std::lock_guard lock(mutex_);
        return starts_;
    }
    std::vector<AlbumStart> Albums() const {
        std::lock_guard lock(mutex_);
        return albums_;
    }
    std::vector<RunOutcome> Finished() const {
        std::lock_guard lock(mutex_);
        return finished_;
    }
    std::vector<PhotoResult> Results() const {
        std::lock_guard lock(mutex_);
        return results_;
    }

    void RunStarted(const RunStart& start) override {
        std::lock_guard lock(mutex_);
        starts_.push_back(start);
    }
    void AlbumStarted(const AlbumStart& album) override {
        std::lock_guard lock(mutex_);
        albums_.push_back(album);
    }
    void AlbumProgressed(const AlbumProgress& progress) override {
        {
            std::lock_guard lock(mutex_);
            progress_ = progress;
        }
        if (on_progress) on_progress(progress);
    }
    void PhotoDone(const PhotoEnd& end) override {
        std::lock_guard lock(mutex_);
        results_.push_back(end.result);
        counts_ = end.run;
    }
    // The run's figures as the last photo's end gave them.
    PhotoCounts Counts() const {
        std::lock_guard lock(mutex_);
        return counts_;
    }
    void Logged(const LogLine& line) override {
        std::lock_guard lock(mutex_);
        log_ += line.text + (line.blank_after ? "\r\n\r\n" : "\r\n");
    }
    void Waiting(const RunWait&) override {}
    void PaceChanged(const PaceChange& change) override {
        std::lock_guard lock(mutex_);
        paces_.push_back(change);
    }
    std::vector<PaceChange> Paces() const {
        std::lock_guard lock(mutex_);
        return paces_;
    }
    void AlbumFinished(const AlbumOutcome&) override {}
    void RunFinished(const RunOutcome& outcome) override {
        std::lock_guard lock(mutex_);
        finished_.push_back(outcome);
    }

private:
    mutable std::mutex mutex_;
    std::string log_;
    std::optional<AlbumProgress> progress_;
    std::vector<RunStart> starts_;
    std::vector<PaceChange> paces_;
    std::vector<AlbumStart> albums_;
    std::vector<RunOutcome> finished_;
    std::vector<PhotoResult> results_;
    PhotoCounts counts_;
};
using MemoryObserver = MemoryObserverOf<>;

}  // namespace wa::test
