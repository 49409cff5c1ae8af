// The pictures of an album, fetched several at a time and handed back
// strictly in photo order, so that naming, logging and recording happen
// exactly as if they had come one after the other. A late picture holds
// only its own slot: the pictures after it that arrive wait, each in its
// private temporary file, while the free slots fetch the next ones.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "download/picture_file.h"
#include "download/run_events.h"
#include "net/net_failure.h"

namespace wa {

class JobToken;
class RequestBatch;

// What fetching one picture came to.
struct PictureFetch {
    long status = 0;
    NetFailure failure = NetFailure::kNone;  // why nothing answered, when nothing did
    std::string failure_detail;
    std::string proxy;  // a proxy that could not be reached
    bool ok = false;  // status 200 and the bytes of a picture (or of a video)
    bool stopped = false;
    bool write_failed = false;
    int write_error = 0;  // the errno of a failed write

    FailedAnswer Answer() const { return {status, failure, failure_detail, proxy}; }
};

// What the queue tells the run while the network is gone.
struct QueueHooks {
    std::function<void(const std::string& line)> log;
    std::function<void(const RunWait& wait)> countdown;
    // Waits between tries while the network is gone; false when the job is
    // to stop. Defaults to the job's own wait.
    std::function<bool(int milliseconds)> wait;
    // Asked while a picture is waited for: true when more pictures could be
    // started now (a page of them has come), so that the refill runs.
    std::function<bool()> more_to_start;
};

class PictureQueue {
public:
    // At most the batch's slot count of transfers run at once, and at most
    // MaxKept() pictures are started and not yet taken: that many open
    // files at most, whatever the album's size. `album_folder`: the
    // album's open folder descriptor.
    PictureQueue(RequestBatch& batch, int album_folder, std::string referer, JobToken* job, QueueHooks hooks = {});
    ~PictureQueue();  // abandons the transfers still running; their files go
    PictureQueue(const PictureQueue&) = delete;
    PictureQueue& operator=(const PictureQueue&) = delete;

    // True when another picture may start now: a slot is free, the kept
    // pictures are below their bound, and the network is not gone.
    bool HasRoom() const;
    int MaxKept() const { return max_kept_; }
    // Starts fetching picture `index` from `url` into a temporary file of the
    // album folder; a picture that is not a picture with status 200 is asked
    // for once more. A live photo's video goes under an index of its own and
    // must be the bytes of a video. Started while the network is gone, it
    // waits for the network.
    enum class Kind { kPicture, kVideo };
    void Start(long long index, const std::string& url, Kind kind = Kind::kPicture);
    bool Started(long long index) const { return pictures_.contains(index); }
    // Waits for picture `index`, which must have been started, and hands it
    // over with its file. Whenever a slot frees up meanwhile, `refill` is
    // called, so that it can start the pictures after.
    struct Taken {
        PictureFetch fetch;
        std::unique_ptr<PictureFile> file;
    };
    Taken Take(long long index, const std::function<void()>& refill = {});

    // Why the network was given up on after waiting for it, or empty.
    const std::string& NetworkLost() const { return network_lost_; }

private:
    struct Picture {
        std::string url;
        Kind kind = Kind::kPicture;
        std::unique_ptr<PictureFile> file;
        PictureFetch fetch;
        int attempts = 0;
        bool done = false;
        bool parked = false;  // waits for the network, a free slot or the end of a pause
        int refusals = 0;     // times its host refused it
    };
    bool Request(long long index, Picture& picture, int slot);
    // Drives the transfers until one ends; false when the job stopped.
    // With `may_wake`, returns early when more pictures could be started.
    bool DriveOne(bool may_wake);
    void Ended(long long index, Picture& picture, int slot, bool connection_lost);
    // A picture its host refused is parked to be asked again, and many
    // refusals in a row thin the transfers and pause them; true when parked.
    bool Refused(long long index, Picture& picture);
    bool Held() const;
    // A free slot within the transfers allowed now; -1 when none.
    int SlotFree() const;
    // Waits out a pause after refusals; false when the job stopped.
    bool WaitOutHold();
    // With nothing running and pictures parked: waits for the network, then
    // tries again; false when the job stopped.
    bool WaitForNetwork();
    void GiveUpOnNetwork();
    void Log(const std::string& line) const;

    RequestBatch& batch_;
    int album_folder_;
    std::string referer_;
    JobToken* job_;
    QueueHooks hooks_;
    int max_kept_;
    std::map<long long, Picture> pictures_;  // started and not taken
    std::map<int, long long> in_flight_;     // slot -> picture
    std::set<long long> parked_;             // pictures waiting for the network, a slot or a pause
    int allowed_;                            // transfers at once now: fewer while a host refuses
    int refused_in_a_row_ = 0;
    int fetched_in_a_row_ = 0;
    std::chrono::steady_clock::time_point held_until_{};
    int lost_in_a_row_ = 0;                  // transfers that could not connect, one after the other
    bool offline_ = false;
    int offline_tries_ = 0;
    std::string offline_reason_;
    std::string network_lost_;
};

}  // namespace wa
