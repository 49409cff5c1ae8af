// The terminal as a download run's or a sync's observer: log lines to
// standard output, a progress bar (or a rate-limit countdown) to standard
// error when it is a terminal, and a sync's users as they begin and end.
#pragma once

#include <mutex>
#include <string>

#include "download/sync_run.h"

namespace wa::cli {

class TerminalObserver : public SyncObserver {
public:
    TerminalObserver();

    void AlbumStarted(const AlbumStart& album) override;
    void AlbumProgressed(const AlbumProgress& progress) override;
    void Logged(const LogLine& line) override;
    void Waiting(const RunWait& wait) override;
    void RunFinished(const RunOutcome&) override;
    void UserStarted(const SyncUserStart& start) override;
    void UserFinished(const SyncUserOutcome& outcome) override;

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

// "<title> (uid <uid>): saved 3, already there 0, skipped as downloaded 1, outside
// the date window 0, failed 0, photo-list pages failed 0": the run's figures.
void PrintUserSummary(const ResolvedUser& user, const RunOutcome& outcome);

}  // namespace wa::cli
