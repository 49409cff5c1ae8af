// What a download run tells whoever shows it, as typed events: the window's
// presenter and the terminal turn them into labels, bars and lines. Events
// come on the run's worker thread, and a rate-limit countdown may also come
// from the thread that fetches the next page ahead; an observer never makes
// the run wait.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "weibo/service_request.h"

namespace wa {

// One line of the log, without its line end; `blank_after` puts an empty
// line after it, as the lines that close a part of the run have.
struct LogLine {
    std::string text;
    bool blank_after = false;
};

struct RunStart {
    std::vector<int> numbers;  // of the ticked albums as the list shows them
    std::vector<std::string> keys;  // of every album the run will download, in order
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

// How one photo of an album ended.
enum class PhotoResult {
    kSaved,              // its picture was written now
    kAlreadyThere,       // a file of its name held the same picture: nothing written
    kRecorded,           // skipped: the record store has it as downloaded before
    kOutsideWindow,      // skipped: uploaded outside the date window, or when nobody knows
    kFailed,             // its picture was not fetched or not written
    kVideoSaved,         // a live photo's video, beside its still
    kVideoAlreadyThere,
    kVideoFailed,
};

// What became of a run's photos, counted as each ends: the command line's
// summary, the window's status line and box, the sync rows and the
// notifications all show these same figures.
struct PhotoCounts {
    int saved = 0;           // pictures written now
    int videos = 0;          // live-photo videos written now
    int already_there = 0;   // pictures and videos whose file held the same bytes already
    int recorded = 0;        // skipped as downloaded before (the record store)
    int outside_window = 0;  // skipped for the date window
    int failed = 0;          // pictures not fetched, not pictures, or not written
    int videos_failed = 0;
    int failed_pages = 0;    // photo-list pages that never came

    void Count(PhotoResult result);
    void Add(const PhotoCounts& other);
    // Pictures, videos and pages that failed.
    int Failures() const { return failed + videos_failed + failed_pages; }
};

// "保存120张、实况视频2个，已存在16张，跳过已下载3张，时间段外5张，失败1张，2页照片列表获取失败":
// the figures that are not 0, besides saved and failed, which always are.
std::string CountsText(const PhotoCounts& counts);
// "下载结束，但有44张图片、5页照片列表没有获取": what a run with failures says first.
std::string FailuresText(const PhotoCounts& counts);

// A photo ended, and where the run's figures stand with it counted.
struct PhotoEnd {
    PhotoResult result = PhotoResult::kSaved;
    PhotoCounts run;
};

struct AlbumOutcome : PhotoCounts {
    bool stopped = false;
    bool login_needed = false;  // a photo page came back as a login page
    std::string network_lost;   // why the network was given up on after waiting for it
};

struct RunOutcome : PhotoCounts {
    int albums = 0;
    bool stopped = false;
    bool login_needed = false;  // ended early: the service asked for a login
    std::string network_lost;   // ended early: nothing could be reached for minutes

    void Add(const AlbumOutcome& album);
};

// The pace of the run's requests changed: slowed by the service's limit, a
// step faster after a quiet stretch, or forgotten.
struct PaceChange {
    bool slowed = false;  // slower than 请求间隔 now
    std::string text;     // "服务限流：已放慢到每15秒一次请求"; empty when not slowed
};

// Everything a run tells; an observer overrides what it shows.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    virtual void RunStarted(const RunStart&) {}
    virtual void AlbumStarted(const AlbumStart&) {}
    virtual void AlbumProgressed(const AlbumProgress&) {}
    virtual void PhotoDone(const PhotoEnd&) {}
    virtual void Logged(const LogLine&) {}
    // A wait, counted down a second at a time; seconds_left 0 when it is over.
    virtual void Waiting(const RunWait&) {}
    // From the thread of the request that changed it.
    virtual void PaceChanged(const PaceChange&) {}
    virtual void AlbumFinished(const AlbumOutcome&) {}
    // The run ended: done, stopped, or cut short by a login wall or a lost network.
    virtual void RunFinished(const RunOutcome&) {}
};

}  // namespace wa
