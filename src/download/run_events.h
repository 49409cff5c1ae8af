// What a download run tells whoever shows it, as typed events: the window's
// presenter and the terminal turn them into labels, bars and lines. Events
// come on the run's worker thread, and a rate-limit countdown may also come
// from the thread that fetches the next page ahead; an observer never makes
// the run wait.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace wa {

// One line of the log, without its line end; `blank_after` puts an empty
// line after it, as the lines that close a part of the run have.
struct LogLine {
    std::string text;
    bool blank_after = false;
};

// Why a run waits, counted down a second at a time.
enum class WaitReason {
    kRateLimit,  // the service said "too many requests"
    kNetwork,    // nothing could be reached: the network is gone
};
struct RunWait {
    WaitReason reason = WaitReason::kRateLimit;
    long long seconds_left = 0;  // 0: the wait is over
};
// "请求过于频繁，30秒后重试", "网络连接中断，5秒后重试": on the status line.
std::string RunWaitText(const RunWait& wait);

struct RunStart {
    std::vector<int> numbers;  // of the ticked albums as the list shows them
    int albums = 0;            // the albums the run will download
    long long photos = -1;     // the photos their counts add up to; -1 when an album has none
};

struct AlbumStart {
    int index = 0;  // 1 for the first album of the run
    int of = 0;
    std::string name;
};

// Where the album stands. With a known count, the percentage; always the
// photos read so far.
struct AlbumProgress {
    int percent = -1;          // -1: how far the album is nobody can tell
    long long position = 0;    // the photo being handled, counted from the album's first
    std::optional<long long> total;  // the photo count to show beside it; none when unknown

    // "60/45": the count and the position; "?" for a count nobody knows.
    std::string Counter() const;
};

enum class PhotoResult { kSaved, kSkipped, kFailed, kVideoSaved, kVideoFailed };

struct AlbumOutcome {
    int saved = 0;
    int videos = 0;   // live-photo videos saved beside their stills
    int skipped = 0;  // outside the date window or downloaded before
    int failed = 0;   // not fetched, not a picture (or video), or not written
    int failed_pages = 0;  // photo-list pages that never came
    bool stopped = false;
    bool login_needed = false;  // a photo page came back as a login page
};

struct RunOutcome {
    int albums = 0;
    int saved = 0;
    int videos = 0;
    int skipped = 0;
    int failed = 0;
    int failed_pages = 0;
    bool stopped = false;
    bool login_needed = false;  // ended early: the service asked for a login

    void Add(const AlbumOutcome& album);
};

class RunObserver {
public:
    virtual ~RunObserver() = default;
    virtual void RunStarted(const RunStart& start) = 0;
    virtual void AlbumStarted(const AlbumStart& album) = 0;
    virtual void AlbumProgressed(const AlbumProgress& progress) = 0;
    virtual void PhotoDone(PhotoResult result) = 0;
    virtual void Logged(const LogLine& line) = 0;
    // A wait, counted down a second at a time; seconds_left 0 when it is over.
    virtual void Waiting(const RunWait& wait) = 0;
    virtual void AlbumFinished(const AlbumOutcome& outcome) = 0;
    // The run ended: done, stopped, or cut short by a login wall.
    virtual void RunFinished(const RunOutcome& outcome) = 0;
};

}  // namespace wa
