// Where the album tab's pictures get their posts from, for the length of a
// run: the posts read so far, the user's timeline read twenty posts at a
// time as far as the pictures need, and statuses/show for each post the
// timeline did not bring.
#pragma once

#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "doors/album_tab.h"

namespace wa {

// What the posts a run keeps may take: some hundred thousand real posts.
inline constexpr std::size_t kPostCacheBytes = 64u << 20;
// Timeline pages read for one post before the rest of the posts are asked
// for one by one: a thousand posts between two with pictures.
inline constexpr int kMaxTimelinePagesPerPost = 50;

// The posts a run has read, shared by its albums: the wall and the named
// albums hold the same pictures. Past `budget` bytes the first kept go first.
class PostCache {
public:
    explicit PostCache(std::size_t budget = kPostCacheBytes) : budget_(budget) {}
    std::optional<Post> Find(const std::string& mid) const;
    void Add(const Post& post);
    // A post kept already, now known better.
    void Replace(const Post& post);
    std::size_t Bytes() const;

private:
    mutable std::mutex mutex_;
    std::size_t budget_;
    std::size_t bytes_ = 0;
    std::map<std::string, Post> posts_;
    std::deque<std::string> order_;  // the posts' ids as they came
};

// The user's timeline, newest first like the wall, read page by page only
// while the post wanted is older than the last post read. Every post of the
// user's own with all its pictures named goes into the cache; posts the user
// liked, posts of others and posts without pictures do not. It ends, for the
// run, at a cursor seen before or longer than a cursor is, at a page whose
// posts are no older than the last page's, and after kMaxTimelinePagesPerPost
// pages read for one post.
class Timeline {
public:
    Timeline() = default;
    ~Timeline();  // waits for a page fetched ahead
    Timeline(const Timeline&) = delete;
    Timeline& operator=(const Timeline&) = delete;

    // Reads on until `mid` is in `posts`, is newer than the last post read
    // (the timeline does not hold it), or the timeline ends: no answer, an
    // empty page (past its depth, or while throttled) or no cursor. With
    // `ahead`, the page after the last one read is fetched on a thread of
    // its own.
    void ReadUntil(const std::string& mid, const std::string& uid, const ServiceRequest& request,
                   const AttemptWait& wait, PostCache& posts, bool ahead);

private:
    struct Fetched {
        std::optional<TimelinePage> page;
        Attempts attempts;
        std::vector<std::string> held;  // lines of a fetch ahead, logged when its page is used
    };
    static Fetched Fetch(int number, std::string cursor, std::string uid, ServiceRequest request, AttemptWait wait,
                         bool hold);

    // True when the page just read ends the timeline; says why.
    bool EndsHere(const TimelinePage& page, const std::string& oldest, int read_for_post,
                  const ServiceRequest& request);

    std::mutex mutex_;
    int read_ = 0;           // pages read so far
    std::string cursor_;     // from the last page read
    std::string last_mid_;   // the oldest post read so far
    bool ended_ = false;
    std::set<std::size_t> cursors_;  // hashes of the cursors so far
    std::future<Fetched> next_;
};

// What the album tab keeps for a run.
struct AlbumTabRun {
    PostCache posts;
    std::mutex mutex;
    std::map<std::string, std::unique_ptr<Timeline>> timelines;  // by uid

    Timeline& TimelineOf(const std::string& uid);
};

}  // namespace wa
