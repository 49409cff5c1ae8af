// Reads the list of a user's photo albums from the photo service.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "weibo/service_request.h"

namespace wa {


struct AlbumInfo {
    std::string name;       // escapes decoded; a random stand-in when empty
    std::string cover_url;  // may be empty
    std::string count;      // photo count text as the service wrote it; empty when unknown
    std::string album_id;   // of an album-tab album, its whole id text
    std::string type;
    bool album_tab = false;  // found on the album tab, not the photo service

    // "id@@type", as the album list keeps it and the photo list splits it.
    std::string IdText() const { return album_tab ? album_id : album_id + "@@" + type; }
    // An album whose count reads "0" is not listed.
    bool IsEmpty() const { return count == "0"; }
};

// "未知名称随机数字" and a random number from 100 to 1000: an album without a name.
std::string UnnamedAlbumName();

inline constexpr std::size_t kMaxAlbums = 10'000;

// Every album of an album-list answer, in order, empty ones included, up to
// kMaxAlbums; nothing for an answer that is not the expected JSON.
std::vector<AlbumInfo> ReadAlbumList(std::string_view text);

// Why a listing holds no albums, when the answer says more than "none".
enum class ListingProblem {
    kNone,
    kNoAnswer,     // no usable answer: none, a server error, or one that is not an album list
    kLoginNeeded,  // a login page
    kUnknownUser,
    kStopped,
};

struct AlbumListing {
    std::vector<AlbumInfo> albums;
    ListingProblem problem = ListingProblem::kNone;
    std::string reason;  // why there was no usable answer, for the user
};

// What an album-list answer holds; `url` names the service in a reason.
AlbumListing ReadAlbumListing(std::string_view body, std::string_view url = {});

// Fetches "/albums/get_all?uid=…&count=6355" through the shared cookie jar.
AlbumListing FetchAlbumList(std::string_view uid, const ServiceRequest& request = {});

// Which door the albums are listed (and later downloaded) through.
enum class AlbumDoor {
    kAuto,          // 自动: the photo service, else the album tab
    kPhotoService,  // 相册服务
    kAlbumTab,      // 相册页
};

// The photo service's albums, or the album tab's. Under kAuto, when the photo
// service gives no usable answer (or a login page) the album tab is asked,
// after the log line "相册服务无法获取相册列表，改从相册页获取"; when that has
// none either, a login wall on either door stands, else the photo service's
// own finding.
AlbumListing ListAlbums(std::string_view uid, AlbumDoor door, const ServiceRequest& request = {});

}  // namespace wa
