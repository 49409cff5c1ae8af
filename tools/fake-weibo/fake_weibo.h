// A fake Weibo web site and photo service on 127.0.0.1: users' home pages, the
// album and photo lists, pictures, covers, a login page and the version page,
// all from data a test or the demo chooses, with faults injected per request
// and every request recorded.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "pictures.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace wa::fake {

struct Photo {
    std::string photo_id;
    std::int64_t timestamp = 0;  // seconds; sent as 13-digit milliseconds
    std::string caption;
    std::string pic_name;        // defaults to photo_id + extension
    PictureFormat format = PictureFormat::kJpeg;
    std::size_t size = 0;        // padded picture size; 0 keeps the plain picture
    std::set<std::string> omit;  // members left out of the photo's JSON
    int delay_ms = 0;            // the picture answers this much later than the rest, every time
    bool id_as_number = false;   // "photo_id": 123 instead of "123"
    // On the album tab:
    std::string pid;             // the picture's id there; defaults to "006Xmpvgly1h" + photo_id
    std::string mid;             // its post; defaults to a post of its own, whose id grows with its time
    bool live = false;           // a live photo: its post also gives a .mov video
    bool wrapped_video = false;  // the video as the older video.weibo.com/media/play?livephoto= address
    std::string video_suffix = ".mov";  // what the video's address ends with
    bool mp4_video = false;      // the video's bytes are an MP4 file, not a QuickTime one
    bool video_link_expired = false;  // the first post answer naming the video gives a link already expired
    bool followers_only = false; // its post answers 暂无查看权限
    bool listed_without_pid = false;  // the wall and albums name its post, not the picture
    // Its post's text is long (isLongText): posts carry only its first ten
    // characters, statuses/longtext the whole caption.
    bool long_text = false;
    // The picture carries a capture date of its own (EXIF DateTimeOriginal,
    // "2019:05:04 10:11:12"); empty: none, as the service strips it.
    std::string capture_date;
    std::string bytes;  // served as the picture instead of one made up
};

// A picture's seed: the tint its bytes take.
inline unsigned Seed(const std::string& text) {
    unsigned seed = 2166136261u;
    for (const char c : text) seed = (seed ^ static_cast<unsigned char>(c)) * 16777619u;
    return seed;
}

// The bytes a photo's picture is served as.
inline std::string PictureOf(const Photo& photo) {
    if (!photo.bytes.empty()) return photo.bytes;
    const std::string picture = MakePicture(photo.format, Seed(photo.photo_id), photo.size);
    const bool dated = !photo.capture_date.empty() && photo.format == PictureFormat::kJpeg;
    return dated ? WithCaptureDate(picture, photo.capture_date) : picture;
}

struct Album {
    std::string album_id;
    std::string type = "3";
    std::string caption;
    bool cover = true;                      // serve a cover picture
    std::optional<std::string> count_text;  // defaults to the number of photos
    int page_size = 0;                      // photos a page holds, whatever was asked; 0: as asked
    std::vector<Photo> photos;              // any order; served newest first
};

// How a home page shows its uid: the 2014-2022 markers, the older spaced
// form, or not at all (built by script, as today; the title is then "微博").
enum class UidMarker { kConfigOid, kOwnerUid, kSpacedOid, kNone };

// How the album tab marks its last page: since_id 0, "0", "" or no since_id.
enum class CursorEnd { kZero, kZeroText, kEmpty, kMissing };

struct User {
    std::string uid;
    std::string title;
    std::string home_path;    // defaults to "/u/" + uid; /<uid> and /p/100505<uid> answer too
    std::string custom_name;  // when set, "/" + custom_name is a home page too
    std::string screen_name;  // of the user-info answer; defaults to the title before "的微博"
    UidMarker marker = UidMarker::kConfigOid;
    std::vector<Album> albums;
    bool photo_service_down = false;  // its album and photo lists answer 504
    bool photo_service_videos = false;  // photo-list entries of live photos carry "video"
    int tab_page_size = 20;           // entries of an album-tab page
    CursorEnd tab_end = CursorEnd::kZeroText;
    bool tab_loops = false;           // every album-tab page repeats the first under a new cursor, for ever
    std::size_t tab_cursor_padding = 0;  // characters added to every album-tab cursor
    // The user's timeline (statuses/mymblog): its picture posts, and besides
    // them posts without pictures and posts of others the user liked.
    int timeline_page_size = 20;
    int text_posts = 0;
    int liked_posts = 0;
    int timeline_depth = -1;      // posts past this many are not served: empty pages; -1 all
    int timeline_pic_cap = 0;     // pic_ids a timeline post names at most (pic_num stays whole); 0 all
    bool timeline_pinned = false;  // the first page starts with the oldest picture post, pinned (isTop)
    // A hostile timeline: every page this many made-up posts of the user's,
    // each with nine pictures and a long caption, newer than any real post
    // and older page by page, under a new cursor, for ever.
    int timeline_flood = 0;
    bool timeline_same_cursor = false;  // every page is the first, with the same since_id
    std::size_t timeline_cursor_padding = 0;  // characters added to every timeline cursor
};

struct Fault {
    int fail_first = 0;      // answer the first N matching requests with an empty 200
    int status = 0;          // answer this status with a short body
    int retry_after_s = -1;  // with `status`: a Retry-After header of these seconds
    bool html_instead = false;  // 200 with an HTML error page instead of the content
    int delay_ms = 0;        // wait before answering
    bool drop_half = false;  // close the connection half-way through the body
    bool malformed_json = false;
    std::string body;        // 200 with this JSON body
    std::string redirect_to; // 302 to this address
    int stall_ms = 0;        // send half the body, then go silent this long
    int times = -1;          // how many matching requests it applies to; -1 all
};

// Service requests past `requests` within `window_ms` answer `status`; with
// `block_ms`, so does every request for that long after, and a request
// during the block starts it again, as the real service's blocks do.
struct RateLimit {
    int requests = 0;  // 0: no limit
    int window_ms = 60'000;
    int status = 418;
    int retry_after_s = -1;  // the Retry-After header; -1 sends none
    int block_ms = 0;
};

struct RecordedRequest {
    std::string method;
    std::string target;  // path with the query as sent
    std::string path;
    std::multimap<std::string, std::string> headers;  // lower-case names
    int remote_port = 0;  // the same port means the same connection
    std::string Header(const std::string& name) const;
};

class FakeWeibo {
public:
    FakeWeibo();
    ~FakeWeibo();
    FakeWeibo(const FakeWeibo&) = delete;
    FakeWeibo& operator=(const FakeWeibo&) = delete;

    // Before Start: speak https with a certificate made now for 127.0.0.1 and
    // localhost, signed by a certificate authority written to `ca_file` (PEM).
    // The login cookie is then Secure.
    bool EnableTls(const std::string& ca_file);

    // Listens on 127.0.0.1 (port 0 picks a free one); false when it cannot.
    bool Start(int port = 0);
    void Stop();
    int port() const { return port_; }
    std::string BaseUrl() const;  // "http://127.0.0.1:<port>", or https

    void AddUser(User user);
    // Puts `user` in the place of the user of the same uid.
    void ReplaceUser(User user);
    // Posts `count` photos to album `album` (from 0) of user `uid` now: newer
    // than any the user has, each its own post, on both doors at once. False
    // when there is no such user or album. GET /fake/add-photos?uid=&album=&count=
    // does the same for a running demo.
    bool AddNewPhotos(const std::string& uid, int album, int count);
    void SetVersionPage(std::string body);
    // The album and photo lists answer only requests carrying the session
    // cookie (others get the 新浪通行证 login page), the user-info answer says
    // {"ok":-100}.
    void SetRequireLogin(bool require);
    // Logged-out visitors of home pages are sent to the visitor-system page.
    void SetVisitorWall(bool on);
    void SetRateLimit(RateLimit limit);
    // Every answer waits this long before its first byte, as over a real link.
    void SetLatency(int ms) { latency_ms_ = ms; }
    // Pictures answer 403 unless the Referer is the site's home page.
    void SetHotlinkProtection(bool on);
    // Applies to every request whose path and query contain `target_part`.
    void AddFault(std::string target_part, Fault fault);
    void ClearFaults();

    std::vector<RecordedRequest> Requests() const;
    int CountRequests(const std::string& target_part) const;
    void ClearRequests();
    // The answers the rate limit gave since the requests were last cleared.
    int LimitedAnswers() const;

    static constexpr const char* kSessionCookie = "SUB";
    static constexpr const char* kSessionValue = "fake-session-0123456789";

private:
    bool ApplyFault(const httplib::Request& request, httplib::Response& response);
    void Route(const httplib::Request& request, httplib::Response& response);
    void ServeHome(const httplib::Request& request, httplib::Response& response);
    void ServeAlbumList(const httplib::Request& request, httplib::Response& response);
    void ServePhotoList(const httplib::Request& request, httplib::Response& response);
    void ServePicture(const httplib::Request& request, httplib::Response& response, bool cover);
    void ServeUserInfo(const httplib::Request& request, httplib::Response& response);
    void ServeAlbumTab(const httplib::Request& request, httplib::Response& response);
    void ServePost(const httplib::Request& request, httplib::Response& response);
    void ServeLongText(const httplib::Request& request, httplib::Response& response);
    void ServeByPid(const httplib::Request& request, httplib::Response& response, bool video);
    void ServeTimeline(const httplib::Request& request, httplib::Response& response);
    std::string FloodedTimelinePage(const User& user, std::size_t page) const;
    // A status as statuses/show and the timeline write it, without "ok".
    std::string StatusJson(const std::string& mid, const std::vector<const Photo*>& pictures, const std::string& author,
                           bool liked, int pic_cap) const;
    bool ServeUserPage(const httplib::Request& request, httplib::Response& response);
    bool RateLimited(const httplib::Request& request, httplib::Response& response);
    std::chrono::steady_clock::time_point blocked_until_{};
    int limited_answers_ = 0;
    const User* FindUser(const std::string& uid) const;
    bool LoggedIn(const httplib::Request& request) const;
    const Photo* FindPhoto(const std::string& pic_name) const;
    const Photo* FindPid(const std::string& pid) const;

    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    std::atomic<bool> stopping_ = false;  // ends injected delays and stalls
    std::atomic<int> latency_ms_ = 0;
    int port_ = 0;

    mutable std::mutex mutex_;
    std::vector<User> users_;
    std::string version_page_ = "<html><body>#weibo@@2.1#weibo</body></html>";
    bool require_login_ = false;
    bool visitor_wall_ = false;
    bool hotlink_protection_ = false;
    bool tls_ = false;
    std::string certificate_pem_;
    std::string key_pem_;
    RateLimit rate_limit_;
    std::vector<std::chrono::steady_clock::time_point> service_requests_;
    struct ActiveFault {
        std::string target_part;
        Fault fault;
        int seen = 0;
    };
    std::vector<ActiveFault> faults_;
    std::vector<RecordedRequest> requests_;
    mutable std::set<std::string> expired_links_given_;  // pids whose one expired video link went out
    std::atomic<int> next_post_ = 0;  // makes default post ids unique
};

// A user with `albums` albums of `photos_each` photos, captions in Chinese with
// the awkward characters real posts have, for tests and the demo.
User SampleUser(const std::string& uid, int albums, int photos_each);

}  // namespace wa::fake
