#include "doors/album_tab_posts.h"

#include "doors/photo_source.h"
#include "weibo/weibo_service.h"

namespace wa {

std::optional<Post> PostCache::Find(const std::string& mid) const {
    std::lock_guard lock(mutex_);
    const auto it = posts_.find(mid);
    return it == posts_.end() ? std::nullopt : std::optional<Post>(it->second);
}

void PostCache::Add(const Post& post) {
    std::lock_guard lock(mutex_);
    posts_.emplace(post.mid, post);
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
    if (hold) request.log = [&fetched](const std::string& line) { fetched.held.push_back(line); };
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
    while (!ended_ && !posts.Find(mid) && (last_mid_.empty() || LaterPost(last_mid_, mid))) {
        Fetched fetched = next_.valid() ? next_.get() : Fetch(read_ + 1, cursor_, uid, request, wait, false);
        for (const std::string& line : fetched.held) {
            if (request.log) request.log(line);
        }
        ++read_;
        if (!fetched.page || fetched.page->posts.empty()) {
            ended_ = true;  // no answer, or past the depth the site shows: statuses/show does the rest
            break;
        }
        for (const Post& post : fetched.page->posts) {
            if (!post.mid.empty()) last_mid_ = post.mid;
            if (post.author == uid && !post.liked && !post.pictures.empty() && post.Complete()) posts.Add(post);
        }
        cursor_ = fetched.page->cursor;
        ended_ = cursor_.empty() || read_ >= kMaxPhotoPages;
        if (!ended_ && ahead) {
            next_ = std::async(std::launch::async, &Timeline::Fetch, read_ + 1, cursor_, uid, request, wait, true);
        }
    }
}

}  // namespace wa
