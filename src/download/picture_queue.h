// The pictures of one photo-list page, fetched several at a time and handed
// back strictly in photo order, so that naming, logging and recording happen
// exactly as if they had come one after the other.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "download/picture_file.h"
#include "net/net_failure.h"

namespace wa {

class JobToken;
class RequestBatch;

// What fetching one picture came to.
struct PictureFetch {
    long status = 0;
    NetFailure failure = NetFailure::kNone;  // why nothing answered, when nothing did
    bool ok = false;  // status 200 and the bytes of a picture (or of a video)
    bool stopped = false;
    bool write_failed = false;

    FailedAnswer Answer() const { return {status, failure, {}, {}}; }
};

class PictureQueue {
public:
    // Up to the batch's slot count of pictures are started and not yet taken
    // at any moment: that many transfers and open files at most.
    // `album_folder`: the album's open folder descriptor.
    PictureQueue(RequestBatch& batch, int album_folder, std::string referer, JobToken* job);
    ~PictureQueue();  // abandons the transfers still running; their files go
    PictureQueue(const PictureQueue&) = delete;
    PictureQueue& operator=(const PictureQueue&) = delete;

    bool HasRoom() const;
    // Starts fetching picture `index` from `url` into a temporary file of the
    // album folder; a picture that is not a picture with status 200 is asked
    // for once more. A live photo's video goes under an index of its own and
    // must be the bytes of a video.
    enum class Kind { kPicture, kVideo };
    void Start(int index, const std::string& url, Kind kind = Kind::kPicture);
    bool Started(int index) const { return pictures_.contains(index); }
    // Waits for picture `index`, which must have been started, and hands it
    // over with its file.
    struct Taken {
        PictureFetch fetch;
        std::unique_ptr<PictureFile> file;
    };
    Taken Take(int index);

private:
    struct Picture {
        std::string url;
        Kind kind = Kind::kPicture;
        std::unique_ptr<PictureFile> file;
        PictureFetch fetch;
        int attempts = 0;
        bool done = false;
    };
    bool Request(int index, Picture& picture, int slot);
    // Drives the transfers until one ends; false when the job stopped.
    bool DriveOne();

    RequestBatch& batch_;
    int album_folder_;
    std::string referer_;
    JobToken* job_;
    std::map<int, Picture> pictures_;  // started and not taken
    std::map<int, int> in_flight_;     // slot -> picture
};

}  // namespace wa
