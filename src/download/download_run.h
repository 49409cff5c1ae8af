// A download run: the chosen albums of one user, one after the other, on a
// worker thread that the user can pause, continue and stop. The run takes
// values (the user, the albums, an options source) and tells an observer
// what happens; it never waits for whoever shows it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "doors/album_ref.h"
#include "download/album_download.h"

namespace wa {

class JobToken;
class SyncObserver;
struct SyncUser;

struct ChosenAlbum {
    int number = 0;  // its place in the list the user ticked it in
    AlbumRef album;
};

struct RunRequest {
    ResolvedUser user;
    std::vector<ChosenAlbum> albums;  // the ticked ones, in list order
    // Before the albums: what the user's runs before could not get, as the
    // user's record store keeps it, and only that.
    bool retry_failed = false;
};

// The worker's body: logs the chosen albums, downloads each and, unless
// stopped, ends with the run's closing line. Tells `observer` RunFinished.
RunOutcome DownloadRun(RunObserver& observer, const OptionsSource& options, const RunRequest& request,
                       DownloadContext context);

// Starts, pauses, continues and stops runs. The caller's thread never waits
// for a worker; a new run waits, on its own thread, for a stopping one to end.
class DownloadJob {
public:
    DownloadJob() = default;
    ~DownloadJob();  // stops the run and waits for it
    DownloadJob(const DownloadJob&) = delete;
    DownloadJob& operator=(const DownloadJob&) = delete;

    // Logs the two switches, creates the user's record store when missing
    // and starts the worker. `observer` must outlive the run.
    void Start(RunObserver& observer, OptionsSource options, RunRequest request, DownloadContext context);
    // The same for a sync of `users` (see sync_run.h); Wait() then gives the
    // users' runs added up.
    void StartSync(SyncObserver& observer, OptionsSource options, std::vector<SyncUser> users, DownloadContext context);
    void Pause();
    void Continue();
    void Stop();

    // True while the latest run's worker has not ended (a stopping one too).
    bool Running() const;

    // Blocks until the latest run has ended; for front ends that have nothing
    // else to do, and at exit.
    RunOutcome Wait();

private:
    void Launch(DownloadContext context, std::function<RunOutcome(DownloadContext)> body);

    struct Run;
    std::shared_ptr<Run> run_;
};

}  // namespace wa
