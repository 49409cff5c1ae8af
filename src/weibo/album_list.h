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
    std::string count;      // photo count text as the service wrote it
    std::string album_id;
    std::string type;

    // "id@@type", as the album list keeps it and the photo list splits it.
    std::string IdText() const { return album_id + "@@" + type; }
    // An album whose count reads "0" is not listed.
    bool IsEmpty() const { return count == "0"; }
};

// Every album of an album-list answer, in order, empty ones included; nothing
// for an answer that is not the expected JSON.
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

}  // namespace wa
