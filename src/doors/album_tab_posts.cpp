#include "doors/album_tab_posts.h"

#include "doors/photo_source.h"
#include "weibo/weibo_service.h"

namespace wa {

std::optional<Post> PostCache::Find(const std::string& mid) const {
    std::lock_guard lock(mutex_);
    const auto it = posts_.find(mid);
    return it == posts_.end() ? std::nullopt : std::optional<Post>(it->second);
}

namespace {

// What a post takes in memory, roughly.
std::size_t BytesOf(const Post& post) {
    std::size_t bytes = sizeof(Post) + 64 + post.message.size() + 2 * post.mid.size() + post.mblogid.size() +
                        post.author.size() + post.caption.size() + post.whole_caption.size();
    for (const PostPicture& picture : post.pictures) {
        bytes += sizeof(PostPicture) + picture.pid.size() + picture.url.size() + picture.video_url.size();
    }
    return bytes;
}

}  // namespace

void PostCache::Add(const Post& post) {
    const std::size_t bytes = BytesOf(post);
    std::lock_guard lock(mutex_);
    if (bytes > budget_ || !posts_.emplace(post.mid, post).second) return;
    order_.push_back(post.mid);
    bytes_ += bytes;
    while (bytes_ > budget_) {
        const auto first = posts_.find(order_.front());
        bytes_ -= BytesOf(first->second);
        posts_.erase(first);
        order_.pop_front();
    }
}

void PostCache::Replace(const Post& post) {
    std::lock_guard lock(mutex_);
    const auto kept = posts_.find(post.mid);
    if (kept == posts_.end()) return;
    bytes_ = bytes_ - BytesOf(kept->second) + BytesOf(post);
    kept->second = post;
}

std::size_t PostCache::Bytes() const {
    std::lock_guard lock(mutex_);
    return bytes_;
}

Timeline& AlbumTabRun::TimelineOf(const std::string& uid) {
    std::lock_guard lock(mutex);
    std::unique_ptr<Timeline>& timeline = timelines[uid];
    if (!timeline) timeline = std::make_unique<Timeline>();
    return *timeline;
}

Timeline::~Timeline() {
    if (next_.valid()) next_.wait();
}

Timeline::Fetched Timeline::Fetch(int number, std::string cursor, std::string uid, ServiceRequest request,
                                  AttemptWait wait, bool hold) {
    Fetched fetched;
    if (hold) {
        // A page fetched ahead may outlive the album that asked for it: it
        // says nothing to that album's log or status line but through `held`.
        request.log = [&fetched](const std::string& line) { fetched.held.push_back(line); };
        request.countdown = {};
    }
    fetched.attempts = FetchWithAttempts(TimelineUrl(CurrentService(), uid, number, cursor), request, wait,
                                         [&fetched](const std::string& text) {
                                             fetched.page = ReadTimelinePage(text);
                                             return fetched.page.has_value();
                                         });
    return fetched;
}

void Timeline::ReadUntil(const std::string& mid, const std::string& uid, const ServiceRequest& request,
                         const AttemptWait& wait, PostCache& posts, bool ahead) {
    // Only post ids of digits tell their time.
    if (mid.empty() || mid.find_first_not_of("0123456789") != std::string::npos) return;
    std::lock_guard lock(mutex_);
    for (int read_for_post = 1; !ended_ && !posts.Find(mid) && (last_mid_.empty() || LaterPost(last_mid_, mid));
         ++read_for_post) {
        Fetched fetched = next_.valid() ? next_.get() : Fetch(read_ + 1, cursor_, uid, request, wait, false);
        for (const std::string& line : fetched.held) {
            if (request.log) request.log(line);
        }
        ++read_;
        if (!fetched.page || fetched.page->posts.empty()) {
            ended_ = true;  // no answer, or past the depth the site shows: statuses/show does the rest
            break;
        }
        std::string oldest;  // of the page, but for a post pinned to its top
        for (const Post& post : fetched.page->posts) {
            if (!post.mid.empty() && !post.pinned && (oldest.empty() || LaterPost(oldest, post.mid))) oldest = post.mid;
            if (post.author == uid && !post.liked && !post.pictures.empty() && post.Complete()) posts.Add(post);
        }
        ended_ = EndsHere(*fetched.page, oldest, read_for_post, request);
        if (!oldest.empty()) last_mid_ = oldest;
        cursor_ = fetched.page->cursor;
        if (!ended_ && ahead) {
            next_ = std::async(std::launch::async, &Timeline::Fetch, read_ + 1, cursor_, uid, request, wait, true);
        }
    }
}

bool Timeline::EndsHere(const TimelinePage& page, const std::string& oldest, int read_for_post,
                        const ServiceRequest& request) {
    std::string why;
    if (!last_mid_.empty() && (oldest.empty() || !LaterPost(last_mid_, oldest))) {
        why = "第" + std::to_string(read_) + "页的微博不比上一页的早";
    } else if (page.cursor.size() > kMaxCursorBytes) {
        why = "第" + std::to_string(read_) + "页给出的翻页位置过长（" + std::to_string(page.cursor.size()) + "字节）";
    } else if (!page.cursor.empty() && !cursors_.insert(std::hash<std::string>{}(page.cursor)).second) {
        why = "第" + std::to_string(read_) + "页给出的翻页位置之前出现过";
    } else if (read_for_post >= kMaxTimelinePagesPerPost) {
        why = "读了" + std::to_string(read_for_post) + "页仍未读到要找的微博";
    }
    if (!why.empty() && request.log) request.log("用户的微博列表" + why + "，其余微博逐条获取");
    return !why.empty() || page.cursor.empty() || read_ >= kMaxPhotoPages;
}

}  // namespace wa
