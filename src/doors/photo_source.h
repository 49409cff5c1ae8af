// Where an album's photos come from, one page of PhotoRecords at a time. Each
// door gives the source of its albums; the album loop reads pages from it and
// never sees which door they came through.
#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "weibo/service_request.h"

namespace wa {

// An album is read no further than this many pages, whatever its count or
// its cursors say.
inline constexpr int kMaxPhotoPages = 100'000;
// So many pages in a row without a new photo end an album (a count of thirty
// nines, or cursors that only ever bring the same pictures, would otherwise
// go on for ever).
inline constexpr int kMaxEmptyPagesInARow = 3;

// What a photo is: a still picture, a gif, or a live photo whose video is
// saved beside its still.
enum class PhotoKind { kStill, kGif, kLive };

// Real post ids are 16 digits: what is longer is none.
inline constexpr std::size_t kMaxPostIdDigits = 20;
// True for a post id: 1 to kMaxPostIdDigits decimal digits.
inline bool IsPostId(std::string_view text) {
    return !text.empty() && text.size() <= kMaxPostIdDigits && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// One photo as any door knows it. A field the door does not know is left
// empty (or none), never made up from another door's fields.
struct PhotoRecord {
    std::string photo_id;
    std::string post_id;         // the post it belongs to, where the door knows it
    std::string post_url;        // that post's address on weibo.com, where the door knows it
    std::string picture_url;     // where the picture is fetched from
    bool addressable = true;     // the picture_url names a picture on an http(s) server
    PhotoKind kind = PhotoKind::kStill;
    std::string video_url;       // a live photo's video
    std::string caption;         // the post's text as written: plain text, line breaks and all
    std::string whole_caption;   // a long post's whole text, when asked for: `caption` is then its start
    const std::string& WholeCaption() const { return whole_caption.empty() ? caption : whole_caption; }
    std::optional<std::int64_t> upload_seconds;  // Unix seconds; none when unknown
    bool recorded_before = false;  // saved by an earlier run: only its id is known, and it is skipped
};

// Where reading an album starts again: a page that never came, alone where
// the door's pages stand apart (numbered pages), else with every page after
// it; or, `to_end`, from it to the album's end.
struct PageMark {
    int number = 1;          // the page, from 1
    std::string cursor;      // where it starts, for a door that pages by cursor
    long long numbered = 0;  // the sequence numbers the pages before it take up
    bool to_end = false;
};

struct PhotoPage {
    int number = 0;  // 1 for the first page of the album
    std::string cursor;  // where it starts, for a door that pages by cursor
    std::vector<PhotoRecord> photos;
    // The sequence numbers the page takes up: one a photo, or for a page
    // that never came, as many as the door's pages hold, so that a later run
    // that gets it numbers its photos as this one would have.
    long long numbers = 0;
    // Where the numbers start again: the first page read from a mark.
    std::optional<long long> numbered_from;
    // Photos a run before could not get, asked for again: each with the
    // number it was to be named by, and no page around them.
    bool asked_again = false;
    std::vector<long long> sequences;
    std::string next_cursor;  // where the next page starts, for a source that pages by cursor
    std::size_t left_out = 0;  // entries or pictures past what one answer is read for
    bool fetched = false;  // an answer arrived within the attempts
    bool stopped = false;  // the job was stopped while fetching
    bool login_wall = false;  // the service answered with a login page
    int attempts = 0;
    std::string failure;  // why the page did not come, when it did not
    // Lines about the page written while it was fetched ahead, held back so
    // that the log says them when the run comes to the page.
    std::vector<std::string> lines;

    // How the page's attempts went.
    void Took(const Attempts& made);
};

class PhotoSource {
public:
    virtual ~PhotoSource() = default;
    // The album's next page; nullopt once the album has no more.
    virtual std::optional<PhotoPage> Next() = 0;
    // True when Next would answer without waiting: the page fetched ahead
    // has come, or there is none.
    virtual bool Ready() const = 0;
    // Starts fetching the page after the one Next returned last, so that it
    // arrives while this one's pictures download; nothing when there is none.
    virtual void FetchAhead() = 0;
    // A live photo's video address signed anew, for one whose link expired;
    // empty where the door has none to give.
    virtual std::string FreshVideoUrl(const PhotoRecord&) { return {}; }
    // How many pages after the last one Next gave the album's count says it
    // still has; none where the door cannot tell.
    virtual std::optional<int> PagesLeft() const { return std::nullopt; }
};

// What a door's source is given for one album of a run.
struct SourceContext {
    std::string uid;
    JobToken* job = nullptr;
    AttemptWait page_wait;  // between attempts at a page; WaitOnJob by default
    bool ahead = false;     // the next page may be fetched while this one's pictures download
    // Lines about the album's pages, in order, and the rate-limit countdown.
    std::function<void(const std::string& line)> log;
    std::function<void(const RunWait& wait)> countdown;
    Pacer* pacer = nullptr;               // the run's requests take their turns from it
    // The photos' captions are wanted whole: a long post's text is asked for.
    bool whole_captions = false;
    class RunScratch* scratch = nullptr;  // what doors keep for the length of the run
    // True for a photo the run will skip as saved before: a door need not
    // complete it. From any of the source's threads.
    std::function<bool(const std::string& photo_id)> recorded;
    // Read from here instead of the album's first page: pages a run before
    // did not get.
    std::optional<PageMark> resume;
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
    // Page `number`: the one fetched ahead when it is that page (with the
    // lines its fetch wrote), else fetched now.
    PhotoPage Get(int number, const Fetch& fetch);
    // True when page `number` was fetched ahead and has come.
    bool Ready(int number) const;
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
