// A sync: the users of a sync list one after the other, each found and
// listed afresh, the albums kept in sync of each downloaded with only new
// photos taken (and the record store on). One job: the same pause, continue
// and stop as a download, and one rate-limit wait holds every user.
#pragma once

#include <string>
#include <vector>

#include "download/download_run.h"

namespace wa {

struct SyncUser {
    std::string target;               // an address or a uid
    std::vector<std::string> albums;  // album keys; empty: every album
};

struct SyncUserStart {
    int index = 0;  // from 1
    int users = 0;
    std::string target;
};

struct SyncUserOutcome {
    int index = 0;
    std::string target;
    ResolvedUser user;     // no uid when none was found
    RunOutcome run;        // of its albums, when they were listed
    std::string failure;   // why the user was not synced, in the log's words; empty when it was
    bool busy = false;     // another sync was syncing the user: left to it
};

struct SyncOutcome {
    int users = 0;    // the users the sync came to
    int synced = 0;   // without a failure
    int failed = 0;
    int busy = 0;     // left to another sync that was syncing them
    PhotoCounts photos;  // all users together: the new pictures are photos.saved
    bool stopped = false;
    bool login_needed = false;  // ended early: the service asked for a login
    std::vector<SyncUserOutcome> per_user;
};

// Each user's albums are a run as a download's are (RunStarted to
// RunFinished); the sync tells what is around them.
class SyncObserver : public RunObserver {
public:
    // Where each user's run is told: this observer, or one it hands on to.
    virtual RunObserver& UserRun() { return *this; }
    virtual void UserStarted(const SyncUserStart&) {}
    virtual void UserFinished(const SyncUserOutcome&) {}
    virtual void SyncFinished(const SyncOutcome&) {}
};

// A sync takes what is new, and needs the record of what was taken: the
// options with only new photos and the record store on.
DownloadOptions SyncOptions(DownloadOptions options);

// "同步完毕：3个用户，新照片12张，失败1个"
std::string SyncSummary(const SyncOutcome& outcome);

// What the desktop is told of a sync that saved new photos: a title
// ("微博相册：新照片5张") and a line for each user who has some
// ("演示用户的微博：新照片2张").
std::string SyncNewsTitle(const SyncOutcome& outcome);
std::string SyncNewsText(const SyncOutcome& outcome);

// The worker's body. A complete user's sync is kept in its record store
// (RecordStore::LastSync).
SyncOutcome SyncUsers(SyncObserver& observer, const OptionsSource& options, const std::vector<SyncUser>& users,
                      DownloadContext context);

}  // namespace wa
