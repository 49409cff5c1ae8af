// A download run: every ticked album of the list, one after the other, on a
// worker thread that the user can pause, continue and stop.
#pragma once

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "download/album_download.h"

namespace wa {

class DownloadHost;
class JobToken;

// "count--@@--id@@type--@@--name" and back; a name holding "--@@--" is cut
// there.
std::string EntryText(const AlbumEntry& entry);
AlbumEntry SplitEntryText(std::string_view text);

struct RunOutcome {
    int albums = 0;
    int saved = 0;
    int videos = 0;
    int skipped = 0;
    int failed = 0;
    int failed_pages = 0;
    bool stopped = false;
    bool login_needed = false;  // ended early: the service asked for a login
};

// The worker's body: collects the ticked rows, downloads each album and, unless
// stopped, ends the run with its log line, labels, sound and message.
RunOutcome DownloadRun(DownloadHost& host, ResolvedUser user, DownloadContext context);

// Starts, pauses, continues and stops runs. The caller's thread never waits
// for a worker; a new run waits, on its own thread, for a stopping one to end.
class DownloadJob {
public:
    DownloadJob() = default;
    ~DownloadJob();  // stops the run and waits for it
    DownloadJob(const DownloadJob&) = delete;
    DownloadJob& operator=(const DownloadJob&) = delete;

    // Logs the two switches, creates the user's record store when missing,
    // shows the running state and starts the worker.
    void Start(DownloadHost& host, ResolvedUser user, DownloadContext context);
    void Pause();
    void Continue();
    void Stop();

    // True while the latest run's worker has not ended (a stopping one too).
    bool Running() const;

    // Blocks until the latest run has ended; for front ends that have nothing
    // else to do, and at exit.
    RunOutcome Wait();

private:
    struct Run;
    std::shared_ptr<Run> run_;
};

}  // namespace wa
