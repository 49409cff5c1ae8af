// The photo service (photo.weibo.com), the first door to a user's photos:
// its album list and its numbered photo pages of a hundred, newest first.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "doors/door.h"

namespace wa {

struct ServiceAddresses;

inline constexpr std::string_view kPhotoServiceKey = "photo";
// The most albums a list is read for (it asks for 6355), and the most photos
// one page's answer is read for (pages hold a hundred).
inline constexpr std::size_t kMaxAlbums = 10'000;
inline constexpr std::size_t kMaxPhotosPerAnswer = 1000;

std::string AlbumListUrl(const ServiceAddresses& service, std::string_view uid);
std::string PhotoPageUrl(const ServiceAddresses& service, std::string_view uid, std::string_view album_id, int page,
                         std::string_view type, std::string_view random_fraction);
std::string LargePictureUrl(std::string_view pic_host, std::string_view pic_name);

// A page of the photo service holds this many photos: a page that never
// came keeps as many sequence numbers.
inline constexpr int kPhotosPerPage = 100;

// Timestamps count seconds, or milliseconds when they have more than ten
// digits; none for anything but digits.
std::optional<std::int64_t> UploadSeconds(std::string_view timestamp_text);

// Splits "id@@type"; anything but exactly two pieces is all album id.
struct AlbumKey {
    std::string album_id;
    std::string type;
};
AlbumKey SplitAlbumIdText(std::string_view album_id_text);

// Every album of an album-list answer, in order, empty ones included, up to
// kMaxAlbums; nothing for an answer that is not the expected JSON.
std::vector<AlbumRef> ReadAlbumList(std::string_view text);
// What an album-list answer holds; `url` names the service in a reason.
AlbumListing ReadAlbumListing(std::string_view body, std::string_view url = {});
// Fetches "/albums/get_all?uid=…&count=6355" through the shared cookie jar.
AlbumListing FetchAlbumList(std::string_view uid, const ServiceRequest& request = {});

// The records of one page's answer; nullopt when it is not the expected JSON
// ("data" -> "photo_list" an array). Photos past kMaxPhotosPerAnswer are
// counted in `left_out`.
std::optional<std::vector<PhotoRecord>> ReadPhotoPage(std::string_view text, std::size_t* left_out = nullptr);

// Fetches page `page` of the album `album_id` of type `type` with the attempts
// of FetchWithAttempts, all with the same address; an answer that is not a
// photo list (none, an error status, HTML, malformed JSON) is asked for again.
PhotoPage FetchPhotoPage(std::string_view uid, std::string_view album_id, std::string_view type, int page,
                         const ServiceRequest& request, const AttemptWait& wait = {});

// "0." and 15 digits, the last not 0: the cache-defeating "__rnd" value.
std::string RandomFraction();

}  // namespace wa
