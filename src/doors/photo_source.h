// Where an album's photos come from, one page of PhotoRecords at a time. Each
// door gives the source of its albums; the album loop reads pages from it and
// never sees which door they came through.
#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "weibo/service_request.h"

namespace wa {

// A page of the photo service holds this many photos; sequence numbers cycle
// by it, and a page that never came keeps as many numbers.
inline constexpr int kPhotosPerPage = 100;

// How many pages of kPhotosPerPage an album of `count_text` photos takes (at
// least 1): how far the album is, by its count.
int PhotoPageCount(std::string_view count_text);

// An album is read no further than this many pages, whatever its count or
// its cursors say.
inline constexpr int kMaxPhotoPages = 100'000;
// So many pages in a row without a new photo end an album (a count of thirty
// nines, or cursors that only ever bring the same pictures, would otherwise
// go on for ever).
inline constexpr int kMaxEmptyPagesInARow = 3;

// One photo of a page. Text fields of the photo service are in their
// JSON-text form with quotes (and for the host and name, backslashes)
// removed; a missing member reads "null".
struct PhotoRecord {
    std::string photo_id;
    std::string timestamp;  // seconds or milliseconds; empty when the upload time is unknown
    std::string pic_host;
    std::string pic_name;        // its extension names a gif
    std::string caption_render;  // still carries JSON escapes such as \n
    std::string post_id;         // the post it belongs to, where the door knows it
    std::string picture_url;     // where the picture is fetched from
    bool addressable = true;     // the picture_url names a picture on an http(s) server
    std::string video_url;       // a live photo's video
    std::optional<std::int64_t> upload_seconds;  // nullopt when unknown
    bool recorded_before = false;  // saved by an earlier run: only its id is known, and it is skipped
};

struct PhotoPage {
    int number = 0;  // 1 for the first page of the album
    std::vector<PhotoRecord> photos;
    std::string next_cursor;  // where the next page starts, for a source that pages by cursor
    std::size_t left_out = 0;  // entries or pictures past what one answer is read for
    bool fetched = false;  // an answer arrived within the attempts
    bool stopped = false;  // the job was stopped while fetching
    bool login_wall = false;  // the service answered with a login page
    int attempts = 0;
    std::string failure;  // why the page did not come, when it did not

    // How the page's attempts went.
    void Took(const Attempts& made);
};

class PhotoSource {
public:
    virtual ~PhotoSource() = default;
    // The album's next page; nullopt once the album has no more.
    virtual std::optional<PhotoPage> Next() = 0;
    // Starts fetching the page after the one Next returned last, so that it
    // arrives while this one's pictures download; nothing when there is none.
    virtual void FetchAhead() = 0;
    // A live photo's video address signed anew, for one whose link expired;
    // empty where the door has none to give.
    virtual std::string FreshVideoUrl(const PhotoRecord&) { return {}; }
};

// What a door's source is given for one album of a run.
struct SourceContext {
    std::string uid;
    JobToken* job = nullptr;
    AttemptWait page_wait;  // between attempts at a page; PumpingWait by default
    bool ahead = false;     // the next page may be fetched while this one's pictures download
    // Lines about the album's pages, in order, and the rate-limit countdown.
    std::function<void(const std::string& line)> log;
    std::function<void(long long seconds_left)> countdown;
    class RunScratch* scratch = nullptr;  // what doors keep for the length of the run
    // True for a photo the run will skip as saved before: a door need not
    // complete it. From any of the source's threads.
    std::function<bool(const std::string& photo_id)> recorded;
};

// Fetches a source's pages, now or on a thread of its own ahead of time; the
// lines a fetch ahead would log are held back until its page is taken, so
// the log reads as if every page had been fetched when it was used.
class PageFetcher {
public:
    using Fetch = std::function<PhotoPage(const ServiceRequest& request)>;

    explicit PageFetcher(const SourceContext& context) : context_(context) {}
    ~PageFetcher();  // waits for a fetch ahead; a stop of the job ends it at once
    PageFetcher(const PageFetcher&) = delete;
    PageFetcher& operator=(const PageFetcher&) = delete;

    // Starts `fetch` on a thread of its own, for the page `number`.
    void Ahead(int number, Fetch fetch);
    // Page `number`: the one fetched ahead when it is that page, else fetched now.
    PhotoPage Get(int number, const Fetch& fetch);
    // A line about the album's pages, logged at once.
    void Log(const std::string& line);

private:
    ServiceRequest Request(std::function<void(const std::string&)> log);

    SourceContext context_;
    std::future<PhotoPage> next_;
    int next_number_ = 0;
    std::vector<std::string> held_;  // written by the fetch ahead, read once it is done
};

}  // namespace wa
