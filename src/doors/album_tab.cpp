#include "doors/album_tab.h"

#include <json-c/json.h>

#include <algorithm>
#include <ctime>

#include "util/escapes.h"
#include "util/text.h"
#include "net/cookie_jar.h"
#include "net/http_text.h"
#include "util/json_text.h"

namespace wa {
namespace {

// A string member's value, or a number's digits; empty for anything else.
std::string Scalar(json_object* object, const char* name) {
    json_object* value = JsonMember(object, name);
    if (!value) return {};
    if (json_object_is_type(value, json_type_string)) return json_object_get_string(value);
    if (json_object_is_type(value, json_type_int)) return JsonText(value);
    return {};
}

bool OkIsOne(json_object* root) { return Scalar(root, "ok") == "1"; }

// What a post's short id is written with.
constexpr std::string_view kShortIdCharacters = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";

// The paging ends at a cursor of 0, "0", "" or none.
std::string Cursor(json_object* data) {
    std::string cursor = Scalar(data, "since_id");
    return cursor == "0" ? std::string() : cursor;
}

std::optional<AlbumRef> ReadNamedAlbum(json_object* album) {
    const std::string containerid = Scalar(album, "containerid");
    if (containerid.empty()) return std::nullopt;
    AlbumRef ref;
    ref.id = containerid;
    ref.key = std::string(kAlbumTabPrefix) + containerid;
    ref.name = Scalar(album, "pic_title");
    if (ref.name.empty()) ref.name = UnnamedAlbumName();
    ref.cover_url = Scalar(album, "pic");
    return ref;
}

// An address as long as an address is; none for a longer one.
std::string Address(std::string url) { return url.size() <= kMaxAddressBytes ? url : std::string(); }

PostPicture ReadPicture(std::string pid, json_object* info) {
    PostPicture picture;
    picture.pid = std::move(pid);
    picture.url = Address(Scalar(JsonMember(info, "largest"), "url"));
    if (picture.url.empty()) picture.url = Address(Scalar(JsonMember(info, "large"), "url"));
    const std::string type = Scalar(info, "type");
    picture.gif = type == "gif";
    if (type == "livephoto") picture.video_url = Address(LiveVideoUrl(Scalar(info, "video")));
    return picture;
}

}  // namespace

std::string ImageWallUrl(const ServiceAddresses& service, std::string_view uid, std::string_view cursor) {
    std::string url = SiteBase(service) + "/ajax/profile/getImageWall?uid=" + PercentEncoded(uid);
    return url + (cursor.empty() ? "&sinceid=0&has_album=true" : "&sinceid=" + PercentEncoded(cursor));
}

std::string AlbumDetailUrl(const ServiceAddresses& service, std::string_view uid, std::string_view containerid,
                           std::string_view cursor) {
    std::string url = SiteBase(service) + "/ajax/profile/getAlbumDetail?uid=" + PercentEncoded(uid) +
                      "&containerid=" + PercentEncoded(PercentDecoded(containerid));
    return cursor.empty() ? url : url + "&since_id=" + PercentEncoded(cursor);
}

std::string PostUrl(const ServiceAddresses& service, std::string_view mid) {
    return SiteBase(service) + "/ajax/statuses/show?id=" + PercentEncoded(mid) + "&isGetLongText=true";
}

std::string LongTextUrl(const ServiceAddresses& service, std::string_view id) {
    return SiteBase(service) + "/ajax/statuses/longtext?id=" + PercentEncoded(id);
}

std::string PictureByIdUrl(const ServiceAddresses& service, std::string_view pid) {
    return SiteBase(service) + "/ajax/common/download?pid=" + PercentEncoded(pid);
}

ServiceRequest AlbumTabRequest(const ServiceRequest& request, std::string_view uid) {
    const ServiceAddresses service = CurrentService();
    ServiceRequest tab = request;
    tab.extra_headers = "X-Requested-With: XMLHttpRequest\r\nAccept: application/json, text/plain, */*\r\nReferer: " +
                        SiteBase(service) + "/u/" + std::string(uid);
    const std::string host = UrlHost(service.home_page);
    for (const Cookie& cookie : CookieJar::Shared().AllCookies()) {
        if (cookie.name == "XSRF-TOKEN" && HostInDomain(host, cookie.domain)) {
            tab.extra_headers += "\r\nX-XSRF-TOKEN: " + cookie.value;
        }
    }
    return tab;
}

std::optional<AlbumTabPage> ReadAlbumTabPage(std::string_view text) {
    const JsonDocument document = ParseJson(text);
    json_object* data = JsonMember(document.get(), "data");
    if (!OkIsOne(document.get()) || !data || !json_object_is_type(data, json_type_object)) return std::nullopt;
    AlbumTabPage page;
    page.cursor = Cursor(data);
    if (json_object* list = JsonMember(data, "list"); list && json_object_is_type(list, json_type_array)) {
        const std::size_t length = json_object_array_length(list);
        for (std::size_t i = 0; i < length; ++i) {
            json_object* item = json_object_array_get_idx(list, i);
            AlbumTabItem entry{Scalar(item, "pid"), Scalar(item, "mid")};
            if (entry.pid.empty() && entry.mid.empty()) continue;
            if (page.items.size() == kMaxEntriesPerPage) {
                page.left_out = length - i;
                break;
            }
            page.items.push_back(std::move(entry));
        }
    }
    if (json_object* albums = JsonMember(data, "album_list"); albums && json_object_is_type(albums, json_type_array)) {
        for (std::size_t i = 0; i < json_object_array_length(albums); ++i) {
            if (auto album = ReadNamedAlbum(json_object_array_get_idx(albums, i))) page.albums.push_back(std::move(*album));
        }
    }
    return page;
}

namespace {

// A status object as statuses/show and the timeline give it.
Post ReadStatus(json_object* status) {
    Post post;
    post.readable = true;
    post.mid = Scalar(status, "mid");
    if (!IsPostId(post.mid)) post.mid.clear();  // no post id: a post nothing can be asked of
    post.mblogid = Scalar(status, "mblogid");
    if (post.mblogid.size() > kMaxPostIdDigits || post.mblogid.find_first_not_of(kShortIdCharacters) != std::string::npos) {
        post.mblogid.clear();
    }
    post.author = Scalar(JsonMember(status, "user"), "id");
    post.liked = Scalar(JsonMember(status, "title"), "text") == "赞过";
    json_object* top = JsonMember(status, "isTop");
    post.pinned = json_object_is_type(top, json_type_boolean) ? json_object_get_boolean(top) : Scalar(status, "isTop") == "1";
    post.caption = std::string(CutToBytes(Scalar(status, "text_raw"), kMaxCaptionBytes));
    json_object* long_text = JsonMember(status, "isLongText");
    post.long_text = json_object_is_type(long_text, json_type_boolean) ? json_object_get_boolean(long_text)
                                                                        : Scalar(status, "isLongText") == "1";
    post.uploaded = ParsePostTime(Scalar(status, "created_at"));
    json_object* infos = JsonMember(status, "pic_infos");
    if (json_object* ids = JsonMember(status, "pic_ids"); ids && json_object_is_type(ids, json_type_array)) {
        const std::size_t length = json_object_array_length(ids);
        for (std::size_t i = 0; i < length; ++i) {
            json_object* id = json_object_array_get_idx(ids, i);
            if (!json_object_is_type(id, json_type_string)) continue;
            if (post.pictures.size() == kMaxPicturesPerPost) {
                post.left_out = length - i;
                break;
            }
            const std::string pid = json_object_get_string(id);
            if (pid.size() > kMaxAddressBytes) continue;
            post.pictures.push_back(ReadPicture(pid, JsonMember(infos, pid.c_str())));
        }
    }
    const std::string count = Scalar(status, "pic_num");
    post.picture_count = count.empty() || count.size() > 4 || count.find_first_not_of("0123456789") != std::string::npos
                             ? post.pictures.size()
                             : std::stoul(count);
    return post;
}

}  // namespace

bool Post::Complete() const {
    if (picture_count > pictures.size() + left_out) return false;
    return std::none_of(pictures.begin(), pictures.end(), [](const PostPicture& picture) { return picture.url.empty(); });
}

std::optional<Post> ReadPost(std::string_view text) {
    const JsonDocument document = ParseJson(text);
    json_object* root = document.get();
    if (!root || !json_object_is_type(root, json_type_object) || !JsonMember(root, "ok")) return std::nullopt;
    if (!OkIsOne(root)) {
        Post post;
        post.message = Scalar(root, "message");
        if (post.message.empty()) post.message = Scalar(root, "msg");
        return post;
    }
    return ReadStatus(root);
}

std::optional<std::string> ReadLongText(std::string_view text) {
    const JsonDocument document = ParseJson(text);
    json_object* content = JsonMember(JsonMember(document.get(), "data"), "longTextContent");
    if (!OkIsOne(document.get()) || !json_object_is_type(content, json_type_string)) return std::nullopt;
    return std::string(CutToBytes(json_object_get_string(content), kMaxCaptionBytes));
}

std::string TimelineUrl(const ServiceAddresses& service, std::string_view uid, int page, std::string_view cursor) {
    std::string url = SiteBase(service) + "/ajax/statuses/mymblog?uid=" + PercentEncoded(uid) +
                      "&page=" + std::to_string(page) + "&feature=0";
    return cursor.empty() ? url : url + "&since_id=" + PercentEncoded(cursor);
}

std::optional<TimelinePage> ReadTimelinePage(std::string_view text) {
    const JsonDocument document = ParseJson(text);
    json_object* data = JsonMember(document.get(), "data");
    if (!OkIsOne(document.get()) || !data || !json_object_is_type(data, json_type_object)) return std::nullopt;
    json_object* list = JsonMember(data, "list");
    if (!list || !json_object_is_type(list, json_type_array)) return std::nullopt;
    TimelinePage page;
    page.cursor = Cursor(data);
    const std::size_t length = std::min(json_object_array_length(list), kMaxEntriesPerPage);
    for (std::size_t i = 0; i < length; ++i) {
        json_object* status = json_object_array_get_idx(list, i);
        if (json_object_is_type(status, json_type_object)) page.posts.push_back(ReadStatus(status));
    }
    return page;
}

bool LaterPost(std::string_view a, std::string_view b) { return a.size() != b.size() ? a.size() > b.size() : a > b; }

std::optional<std::int64_t> ParsePostTime(std::string_view text) {
    std::tm parts{};
    const std::string copy(text);
    const char* end = ::strptime(copy.c_str(), "%a %b %d %H:%M:%S %z %Y", &parts);
    if (!end || *end != '\0') return std::nullopt;
    const long offset = parts.tm_gmtoff;
    return static_cast<std::int64_t>(::timegm(&parts)) - offset;
}

AlbumListing FetchAlbumTabList(std::string_view uid, const ServiceRequest& request) {
    const std::string url = ImageWallUrl(CurrentService(), uid, {});
    const ServiceAnswer answer = FetchFromService(url, AlbumTabRequest(request, uid));
    AlbumListing listing;
    const std::string& body = answer.fetch.body;
    if (answer.stopped) {
        listing.problem = ListingProblem::kStopped;
        return listing;
    }
    if (answer.login_redirect || IsLoginWall(body)) {
        listing.problem = ListingProblem::kLoginNeeded;
        return listing;
    }
    const std::optional<AlbumTabPage> wall = answer.fetch.status == 200 ? ReadAlbumTabPage(body) : std::nullopt;
    if (!wall) {
        listing.problem = ListingProblem::kNoAnswer;
        listing.reason = FailureReason(url, answer.fetch.Answer());
        return listing;
    }
    AlbumRef all;
    all.id = kWallId;
    all.key = std::string(kAlbumTabPrefix) + std::string(kWallId);
    all.name = kWallName;
    listing.albums.push_back(std::move(all));
    for (const AlbumRef& album : wall->albums) listing.albums.push_back(album);
    return listing;
}

}  // namespace wa
