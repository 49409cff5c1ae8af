// The album tab of a user's page on weibo.com as a door: its wall and named
// albums read by cursor, each picture completed from its post (caption,
// upload time, address, video), every post asked for once per run.
#include <map>
#include <set>

#include "doors/album_tab.h"
#include "doors/album_tab_posts.h"
#include "net/http_text.h"
#include "weibo/service_request.h"

namespace wa {
namespace {

// The record of one picture of a post; an unreadable post gives the picture
// by its id, without caption or upload time.
PhotoRecord RecordOf(const std::string& uid, const std::string& pid, const std::string& mid, const Post& post,
                     const PostPicture* picture) {
    PhotoRecord record;
    record.photo_id = pid;
    record.post_id = mid;
    record.post_url = PostAddress(uid, post.mblogid.empty() ? mid : post.mblogid);
    if (post.readable) {
        record.caption = post.caption;
        record.whole_caption = post.whole_caption;
    }
    record.upload_seconds = post.uploaded;
    if (picture && !picture->url.empty()) {
        record.picture_url = picture->url;
        record.video_url = picture->video_url;
        if (!picture->video_url.empty()) record.kind = PhotoKind::kLive;
    } else {
        record.picture_url = PictureByIdUrl(CurrentService(), pid);
    }
    record.addressable = IsWebAddress(record.picture_url);
    // A gif is saved as one whatever its address ends with; the rest go by it.
    if ((picture && picture->gif) || UrlFileName(record.picture_url).find(".gif") != std::string_view::npos) {
        record.kind = PhotoKind::kGif;
    }
    return record;
}

class AlbumTabSource : public PhotoSource {
public:
    AlbumTabSource(const AlbumRef& album, const SourceContext& context)
        : context_(context), uid_(context.uid), wall_(album.id == kWallId), containerid_(album.id),
          wait_(context.page_wait),
          run_(context.scratch ? context.scratch->Of<AlbumTabRun>(kAlbumTabKey) : std::make_shared<AlbumTabRun>()),
          ahead_(context.ahead), fetcher_(context) {
        if (context.resume) {  // the pages from one that never came on
            page_ = context.resume->number - 1;
            cursor_ = context.resume->cursor;
        }
    }

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
            page.lines.push_back("相册页第" + std::to_string(number) + "页给出的翻页位置过长（" +
                                 std::to_string(page.next_cursor.size()) + "字节），本相册读到此页为止");
            ended_ = true;
        }
        cursor_ = ended_ ? std::string() : page.next_cursor;
        return page;
    }

    void FetchAhead() override {
        if (ahead_ && !ended_) fetcher_.Ahead(page_ + 1, Fetch(page_ + 1, cursor_));
    }

    bool Ready() const override { return ended_ || fetcher_.Ready(page_ + 1); }

    // A live photo's video link signed anew: the post asked for again.
    std::string FreshVideoUrl(const PhotoRecord& photo) override {
        ServiceRequest plain;
        plain.job = context_.job;
        plain.pacer = context_.pacer;
        plain.log = context_.log;
        plain.countdown = context_.countdown;
        const std::optional<Post> post = AskPost(photo.post_id, AlbumTabRequest(plain, uid_)).post;
        if (!post) return {};
        for (const PostPicture& picture : post->pictures) {
            if (picture.pid == photo.photo_id) return picture.video_url;
        }
        return {};
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
            page.cursor = cursor;
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
            // A page that never came ends the album: no number goes missing.
            page.numbers = static_cast<long long>(page.photos.size());
            return page;
        };
    }

    // The pictures of the page's items, in order, each once per album. A
    // picture saved before needs no post: it is only to be skipped.
    void AddPhotos(const AlbumTabPage& tab, const ServiceRequest& request, PhotoPage& page) {
        for (const AlbumTabItem& item : tab.items) {
            if (!item.pid.empty() && context_.recorded && context_.recorded(item.pid)) {
                if (!listed_.insert(item.pid).second) continue;
                PhotoRecord record;
                record.photo_id = item.pid;
                record.post_id = item.mid;
                record.recorded_before = true;
                page.photos.push_back(std::move(record));
                continue;
            }
            Post post = PostOf(item.mid, request, page);
            if (page.stopped || page.login_wall) return;
            if (context_.whole_captions && post.readable && post.long_text) WholeCaption(post, request);
            if (!post.readable && item.pid.empty()) {  // nothing names its pictures
                if (request.log) request.log("微博" + item.mid + "无法查看（" + post.message + "），其中的图片无法获取");
                continue;
            }
            if (!post.readable && !item.mid.empty() && logged_.insert(item.mid).second && request.log) {
                request.log("微博" + item.mid + "无法查看（" + post.message + "），图片按序号保存");
            }
            const auto add = [&](const std::string& pid, const PostPicture* picture) {
                if (listed_.insert(pid).second) page.photos.push_back(RecordOf(uid_, pid, item.mid, post, picture));
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

    struct Asked {
        std::optional<Post> post;
        Attempts attempts;
    };
    Asked AskPost(const std::string& mid, const ServiceRequest& request) {
        Asked asked;
        asked.attempts = FetchWithAttempts(PostUrl(CurrentService(), mid), request, wait_, [&asked](const std::string& text) {
            asked.post = ReadPost(text);
            return asked.post.has_value();
        });
        return asked;
    }

    // A long post's whole text, asked for once a run; the caption stays its
    // start, for the picture's name, and the start is all there is when the
    // answer brings none.
    void WholeCaption(Post& post, const ServiceRequest& request) {
        const std::string id = post.mblogid.empty() ? post.mid : post.mblogid;
        std::optional<std::string> whole;
        FetchWithAttempts(LongTextUrl(CurrentService(), id), request, wait_, [&whole](const std::string& text) {
            whole = ReadLongText(text);
            return whole.has_value();
        });
        if (whole) post.whole_caption = std::move(*whole);
        post.long_text = false;
        run_->posts.Replace(post);
    }

    // The post `mid`: from the run's cache, else from the user's timeline,
    // else asked for on its own. An item without a post counts as a post
    // that cannot be read.
    Post PostOf(const std::string& mid, const ServiceRequest& request, PhotoPage& page) {
        if (mid.empty()) return Post{};
        if (std::optional<Post> known = run_->posts.Find(mid)) return *known;
        run_->TimelineOf(uid_).ReadUntil(mid, uid_, request, wait_, run_->posts, ahead_);
        if (std::optional<Post> known = run_->posts.Find(mid)) return *known;
        const Asked asked = AskPost(mid, request);
        page.stopped = asked.attempts.stopped;
        page.login_wall = asked.attempts.login_wall;
        if (!asked.attempts.accepted) {
            Post unread;
            unread.message = asked.attempts.failure;
            return unread;  // asked again by a later album of the run
        }
        Post post = *asked.post;
        post.mid = mid;
        run_->posts.Add(post);  // an answer that it cannot be read is kept too
        return post;
    }

    SourceContext context_;
    std::string uid_;
    bool wall_;
    std::string containerid_;
    AttemptWait wait_;
    std::shared_ptr<AlbumTabRun> run_;
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

std::optional<AlbumRef> AlbumTabAlbumOfKey(std::string_view key) {
    if (!key.starts_with(kAlbumTabPrefix) || key.size() == kAlbumTabPrefix.size()) return std::nullopt;
    AlbumRef album;
    album.id = key.substr(kAlbumTabPrefix.size());
    album.key = std::string(key);
    return album;
}

}  // namespace

const Door& AlbumTabDoor() {
    static const DoorOf<AlbumTabSource> door(
        {kAlbumTabKey, "相册页", "相册页", "the album tab of the user's page",
         "page:wall for 全部图片, page:<containerid>, and no count"},
        FetchAlbumTabList, AlbumTabAlbumOfKey);
    return door;
}

}  // namespace wa
