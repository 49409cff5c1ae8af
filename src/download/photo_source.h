// Where an album's photos come from, one page of PhotoRecords at a time: the
// photo service's numbered pages or the album tab's cursor pages. The album
// loop reads pages from a source and never sees which door they came through.
#pragma once

#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "download/photo_list.h"

namespace wa {

class DownloadHost;
class JobToken;
struct AlbumEntry;
struct DownloadContext;
struct ServiceRequest;

// An album is read no further than this many pages, whatever its count or
// its cursors say.
inline constexpr int kMaxPhotoPages = 100'000;
// So many pages in a row without a new photo end an album (a count of thirty
// nines, or cursors that only ever bring the same pictures, would otherwise
// go on for ever).
inline constexpr int kMaxEmptyPagesInARow = 3;

class PhotoSource {
public:
    virtual ~PhotoSource() = default;
    // The album's next page; nullopt once the album has no more.
    virtual std::optional<PhotoPage> Next() = 0;
    // Starts fetching the page after the one Next returned last, so that it
    // arrives while this one's pictures download; nothing when there is none.
    virtual void FetchAhead() = 0;
};

// Fetches a source's pages, now or on a thread of its own ahead of time; the
// lines a fetch ahead would log are held back until its page is taken, so
// the log reads as if every page had been fetched when it was used.
class PageFetcher {
public:
    using Fetch = std::function<PhotoPage(const ServiceRequest& request)>;

    PageFetcher(DownloadHost& host, JobToken* job) : host_(host), job_(job) {}
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

    DownloadHost& host_;
    JobToken* job_;
    std::future<PhotoPage> next_;
    int next_number_ = 0;
    std::vector<std::string> held_;  // written by the fetch ahead, read once it is done
};

// The source of an album as its list row names it. With `ahead` false every
// request goes out when its page is used, in the old order.
std::unique_ptr<PhotoSource> MakePhotoSource(const AlbumEntry& entry, const std::string& uid,
                                             const DownloadContext& context, DownloadHost& host, bool ahead);

}  // namespace wa
