// The album tab of a user's page on weibo.com, the second door to a user's
// photos: the picture wall (every picture the user posted), the named albums,
// and the posts those pictures belong to, which hold their captions, upload
// times, addresses and live-photo videos.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "doors/door.h"
#include "weibo/service_request.h"
#include "weibo/weibo_service.h"

namespace wa {

inline constexpr std::string_view kAlbumTabKey = "page";
// Album-tab albums have keys of their own: "page:wall" for the wall,
// "page:<containerid>" for a named album. No photo-service key starts so, and
// they have no photo count.
inline constexpr std::string_view kAlbumTabPrefix = "page:";
inline constexpr std::string_view kWallId = "wall";
inline constexpr std::string_view kWallName = "全部图片";

// A first page has an empty cursor.
std::string ImageWallUrl(const ServiceAddresses& service, std::string_view uid, std::string_view cursor);
// The container id as the album list gave it: decoded, then encoded once.
std::string AlbumDetailUrl(const ServiceAddresses& service, std::string_view uid, std::string_view containerid,
                           std::string_view cursor);
std::string PostUrl(const ServiceAddresses& service, std::string_view mid);
// The whole text of a long post, by its short id or its number.
std::string LongTextUrl(const ServiceAddresses& service, std::string_view id);
// A picture by its id, for pictures whose post cannot be read.
std::string PictureByIdUrl(const ServiceAddresses& service, std::string_view pid);

// The request as the site's own pages make it: JSON wanted, the user's page as
// Referer, and the XSRF token when the cookie jar holds one.
ServiceRequest AlbumTabRequest(const ServiceRequest& request, std::string_view uid);

// What one answer is read for at most: pages hold about twenty entries and a
// post at most eighteen pictures; what lies beyond is left out and counted.
inline constexpr std::size_t kMaxEntriesPerPage = 1000;
inline constexpr std::size_t kMaxPicturesPerPost = 100;
// Real cursors are a few dozen characters, addresses a
// few hundred bytes and captions a few thousand: what is longer is not taken.
inline constexpr std::size_t kMaxCursorBytes = 1024;
inline constexpr std::size_t kMaxAddressBytes = 4096;
inline constexpr std::size_t kMaxCaptionBytes = 64 * 1024;

// One entry of a wall or album page; some carry no pid, only their post.
struct AlbumTabItem {
    std::string pid;
    std::string mid;
};

struct AlbumTabPage {
    std::vector<AlbumTabItem> items;
    std::string cursor;              // empty at the end
    std::vector<AlbumRef> albums;    // the named albums, on the wall's first page
    std::size_t left_out = 0;        // entries past kMaxEntriesPerPage
};

// A wall or album-detail answer; nullopt for anything else.
std::optional<AlbumTabPage> ReadAlbumTabPage(std::string_view text);

struct PostPicture {
    std::string pid;
    std::string url;        // the largest the post offers
    bool gif = false;
    std::string video_url;  // a live photo's video
};

struct Post {
    bool readable = false;
    std::string message;  // why it cannot be read, as the site says it
    std::string mid;
    std::string mblogid;  // the short id its address names
    std::string author;   // the uid of whoever wrote it
    bool liked = false;   // on a timeline: a post of another the user liked (赞过)
    bool pinned = false;  // on a timeline: pinned to its top (isTop), whatever its time
    std::string caption;  // text_raw, as written
    bool long_text = false;  // isLongText: the caption is only its start; statuses/longtext has it whole
    std::string whole_caption;  // that whole text, once asked for
    std::optional<std::int64_t> uploaded;  // Unix seconds
    std::vector<PostPicture> pictures;     // in the post's order
    std::size_t picture_count = 0;         // pic_num: how many pictures the post has
    std::size_t left_out = 0;              // pictures past kMaxPicturesPerPost

    // Every picture named, each with its address: a timeline may give fewer
    // than the post has.
    bool Complete() const;
};

// A statuses/show answer; nullopt for anything else.
std::optional<Post> ReadPost(std::string_view text);
// The whole text statuses/longtext gives (plain, line breaks and all); none
// for an answer that is not one or has no text.
std::optional<std::string> ReadLongText(std::string_view text);

// A page of the user's timeline (statuses/mymblog), newest first.
struct TimelinePage {
    std::vector<Post> posts;
    std::string cursor;  // since_id, sent with the next page's number
};
// The timeline's page `page` (1 for the first), with the cursor the page
// before it gave.
std::string TimelineUrl(const ServiceAddresses& service, std::string_view uid, int page, std::string_view cursor);
// A timeline answer; nullopt for anything else.
std::optional<TimelinePage> ReadTimelinePage(std::string_view text);

// True when post `a` was written after post `b`: post ids grow with time.
bool LaterPost(std::string_view a, std::string_view b);

// "Wed May 14 00:53:12 +0800 2014" as Unix seconds.
std::optional<std::int64_t> ParsePostTime(std::string_view text);

// The wall as "全部图片", then the named albums, from the wall's first page.
AlbumListing FetchAlbumTabList(std::string_view uid, const ServiceRequest& request);

}  // namespace wa
