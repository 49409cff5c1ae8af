// The terminal as a download run's observer: log lines to standard output,
// a progress bar (or a rate-limit countdown) to standard error when it is a
// terminal.
#pragma once

#include <mutex>
#include <string>

#include "download/run_events.h"

namespace wa::cli {

class TerminalObserver : public RunObserver {
public:
    TerminalObserver();

    void RunStarted(const RunStart&) override {}
    void AlbumStarted(const AlbumStart& album) override;
    void AlbumProgressed(const AlbumProgress& progress) override;
    void PhotoDone(PhotoResult) override {}
    void Logged(const LogLine& line) override;
    void Waiting(long long seconds_left) override;
    void AlbumFinished(const AlbumOutcome&) override {}
    void RunFinished(const RunOutcome&) override;

private:
    // Its callers hold the mutex: a countdown may come from a second thread.
    void DrawBar();
    void ClearBar();

    bool bar_;
    int position_ = 0;  // -1: no total known
    std::string counter_;
    std::string album_;
    std::string status_;
    std::mutex mutex_;
};

// A log line as the terminal shows it: nothing the service wrote drives it.
std::string TerminalLine(const LogLine& line);

}  // namespace wa::cli
