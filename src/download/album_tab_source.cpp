#include "download/album_tab_source.h"

#include <set>

#include "download/album_download.h"
#include "net/http_text.h"
#include "weibo/service_request.h"

namespace wa {
namespace {

// Real cursors are a few dozen characters.
constexpr std::size_t kMaxCursorBytes = 1024;

// The record of one picture of a post; an unreadable post gives the picture
// by its id, without caption or upload time.
PhotoRecord RecordOf(const std::string& pid, const std::string& mid, const Post& post, const PostPicture* picture) {
    PhotoRecord record;
    record.photo_id = pid;
    record.post_id = mid;
    record.caption_render = post.readable ? post.caption : "";
    record.upload_seconds = post.uploaded;
    record.timestamp = post.uploaded ? std::to_string(*post.uploaded) : "";
    if (picture && !picture->url.empty()) {
        record.picture_url = picture->url;
        record.video_url = picture->video_url;
    } else {
        record.picture_url = PictureByIdUrl(CurrentService(), pid);
    }
    // A gif is saved as one whatever its address ends with; the rest go by it.
    const std::string_view name = UrlFileName(record.picture_url);
    record.pic_name = picture && picture->gif ? pid + ".gif" : (name.empty() ? pid + ".jpg" : std::string(name));
    return record;
}

class AlbumTabSource : public PhotoSource {
public:
    AlbumTabSource(const AlbumEntry& entry, std::string uid, const DownloadContext& context, DownloadHost& host,
                   bool ahead)
        : uid_(std::move(uid)), wall_(entry.id_text == kWallIdText),
          containerid_(entry.id_text.substr(kAlbumTabPrefix.size())), wait_(context.page_wait),
          posts_(context.posts ? context.posts : std::make_shared<PostCache>()), ahead_(ahead),
          fetcher_(host, context.job) {}

    std::optional<PhotoPage> Next() override {
        if (ended_) return std::nullopt;
        const int number = page_ + 1;
        PhotoPage page = fetcher_.Get(number, Fetch(number, cursor_));
        page_ = number;
        barren_in_a_row_ = page.photos.empty() ? barren_in_a_row_ + 1 : 0;
        // Peers disagree on the end marker: an empty page, a cursor seen
        // before, or pages that bring no new picture end it too.
        const bool seen = !cursors_.insert(std::hash<std::string>{}(page.next_cursor)).second;
        ended_ = !page.fetched || page.next_cursor.empty() || seen || barren_in_a_row_ >= kMaxEmptyPagesInARow ||
                 number >= kMaxPhotoPages;
        if (page.next_cursor.size() > kMaxCursorBytes) {
            fetcher_.Log("相册页第" + std::to_string(number) + "页给出的翻页位置过长（" +
                         std::to_string(page.next_cursor.size()) + "字节），本相册读到此页为止\r\n");
            ended_ = true;
        }
        cursor_ = ended_ ? std::string() : page.next_cursor;
        return page;
    }

    void FetchAhead() override {
        if (ahead_ && !ended_) fetcher_.Ahead(page_ + 1, Fetch(page_ + 1, cursor_));
    }

private:
    PageFetcher::Fetch Fetch(int number, std::string cursor) {
        return [this, number, cursor = std::move(cursor)](const ServiceRequest& plain) {
            const ServiceRequest request = AlbumTabRequest(plain, uid_);
            const ServiceAddresses service = CurrentService();
            const std::string url = wall_ ? ImageWallUrl(service, uid_, cursor)
                                          : AlbumDetailUrl(service, uid_, containerid_, cursor);
            PhotoPage page;
            page.number = number;
            std::optional<AlbumTabPage> tab;
            const Attempts attempts = FetchWithAttempts(url, request, wait_, [&tab](const std::string& text) {
                tab = ReadAlbumTabPage(text);
                return tab.has_value();
            });
            page.Took(attempts);
            if (tab) {
                page.next_cursor = tab->items.empty() ? std::string() : tab->cursor;
                page.left_out = tab->left_out;
                AddPhotos(*tab, request, page);
            }
            return page;
        };
    }

    // The pictures of the page's items, in order, each once per album.
    void AddPhotos(const AlbumTabPage& tab, const ServiceRequest& request, PhotoPage& page) {
        for (const AlbumTabItem& item : tab.items) {
            const Post post = PostOf(item.mid, request, page);
            if (page.stopped || page.login_wall) return;
            if (!post.readable && item.pid.empty()) {  // nothing names its pictures
                if (request.log) request.log("微博" + item.mid + "无法查看（" + post.message + "），其中的图片无法获取\r\n");
                continue;
            }
            if (!post.readable && !item.mid.empty() && logged_.insert(item.mid).second && request.log) {
                request.log("微博" + item.mid + "无法查看（" + post.message + "），图片按序号保存\r\n");
            }
            const auto add = [&](const std::string& pid, const PostPicture* picture) {
                if (listed_.insert(pid).second) page.photos.push_back(RecordOf(pid, item.mid, post, picture));
            };
            if (item.pid.empty()) {
                for (const PostPicture& picture : post.pictures) add(picture.pid, &picture);
                page.left_out += post.left_out;
                continue;
            }
            const PostPicture* found = nullptr;
            for (const PostPicture& picture : post.pictures) {
                if (picture.pid == item.pid) found = &picture;
            }
            add(item.pid, found);
        }
    }

    // The post `mid`, from the run's cache or asked for once; an item
    // without a post counts as a post that cannot be read.
    Post PostOf(const std::string& mid, const ServiceRequest& request, PhotoPage& page) {
        if (mid.empty()) return Post{};
        if (std::optional<Post> known = posts_->Find(mid)) return *known;
        std::optional<Post> post;
        const Attempts attempts = FetchWithAttempts(PostUrl(CurrentService(), mid), request, wait_,
                                                    [&post](const std::string& text) {
                                                        post = ReadPost(text);
                                                        return post.has_value();
                                                    });
        page.stopped = attempts.stopped;
        page.login_wall = attempts.login_wall;
        if (!attempts.accepted) {
            Post unread;
            unread.message = attempts.failure;
            return unread;  // asked again by a later album of the run
        }
        posts_->Add(mid, *post);
        return *post;
    }

    std::string uid_;
    bool wall_;
    std::string containerid_;
    AttemptWait wait_;
    std::shared_ptr<PostCache> posts_;
    bool ahead_;
    int page_ = 0;
    std::string cursor_;
    bool ended_ = false;
    int barren_in_a_row_ = 0;            // pages in a row without a new picture
    std::set<std::size_t> cursors_;      // hashes of the cursors so far
    // Written by the page being fetched, which is one at a time.
    std::set<std::string> listed_;  // pictures of the album so far
    std::set<std::string> logged_;  // posts said to be unreadable
    PageFetcher fetcher_;
};

}  // namespace

std::optional<Post> PostCache::Find(const std::string& mid) const {
    std::lock_guard lock(mutex_);
    const auto it = posts_.find(mid);
    return it == posts_.end() ? std::nullopt : std::optional<Post>(it->second);
}

void PostCache::Add(const std::string& mid, const Post& post) {
    std::lock_guard lock(mutex_);
    posts_.emplace(mid, post);
}

std::unique_ptr<PhotoSource> MakeAlbumTabSource(const AlbumEntry& entry, const std::string& uid,
                                                const DownloadContext& context, DownloadHost& host, bool ahead) {
    return std::make_unique<AlbumTabSource>(entry, uid, context, host, ahead);
}

}  // namespace wa
