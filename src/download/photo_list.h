// Reads an album's photo list from the photo service, one page of 100 photos
// at a time, newest first.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wa {

class JobToken;
struct ServiceRequest;

inline constexpr int kPhotosPerPage = 100;
inline constexpr int kPhotoPageAttempts = 10;

// One photo of a page, each text field in its JSON-text form with quotes (and
// for the host and name, backslashes) removed; a missing member reads "null".
struct PhotoRecord {
    std::string photo_id;
    std::string timestamp;  // seconds or milliseconds; empty when the upload time is unknown
    std::string pic_host;
    std::string pic_name;
    std::string caption_render;  // still carries JSON escapes such as \n
    // What the album tab brings besides.
    std::string post_id;
    std::string picture_url;  // the whole address, when it is not pic_host/large/pic_name
    std::string video_url;    // a live photo's video
    std::optional<std::int64_t> upload_seconds;  // nullopt when unknown

    // Where the picture is fetched from.
    std::string PictureUrl() const;
};

// Timestamps count seconds, or milliseconds when they have 13 digits.
std::int64_t UploadSeconds(std::string_view timestamp_text);

// The integer value of a count text: leading blanks, an optional sign, then
// digits (full-width ones too) up to the first other character; 0 without any.
long long CountValue(std::string_view text);

// How many pages an album of `count_text` photos is read in (at least 1).
int PhotoPageCount(std::string_view count_text);

// Splits "id@@type"; anything but exactly two pieces is all album id.
struct AlbumKey {
    std::string album_id;
    std::string type;
};
AlbumKey SplitAlbumIdText(std::string_view album_id_text);

// The most photos one page's answer is read for; pages hold a hundred.
inline constexpr std::size_t kMaxPhotosPerAnswer = 1000;

// The records of one page's answer; nullopt when it is not the expected JSON
// ("data" -> "photo_list" an array). Photos past kMaxPhotosPerAnswer are
// counted in `left_out`.
std::optional<std::vector<PhotoRecord>> ReadPhotoPage(std::string_view text, std::size_t* left_out = nullptr);

struct Attempts;

struct PhotoPage {
    int number = 0;  // 1 for the first page of the album
    std::vector<PhotoRecord> photos;
    std::string next_cursor;  // where the next page starts, for a source that pages by cursor
    std::size_t left_out = 0;  // entries or pictures past what one answer is read for
    bool fetched = false;  // an answer arrived within the attempts
    bool stopped = false;  // the job was stopped while fetching
    bool login_wall = false;  // the service answered with a login page
    int attempts = 0;
    std::string failure;  // why the page did not come, when it did not

    // How the page's attempts went.
    void Took(const Attempts& made);
};

// Waits between attempts; returns false when the job is to stop.
using AttemptWait = std::function<bool(int milliseconds)>;

struct Attempts {
    bool accepted = false;
    bool stopped = false;
    bool login_wall = false;  // the service answered with a login page
    int made = 0;
    std::string failure;      // why no answer was accepted
};

// Asks for `url` up to ten times, two seconds apart, until `accept` takes an
// answer's text (status 200); a login page ends the attempts at once, and so
// does a service that kept answering "too many requests" or a server error
// through all its waits. `wait` defaults to PumpingWait on the request's job.
Attempts FetchWithAttempts(std::string_view url, const ServiceRequest& request, const AttemptWait& wait,
                           const std::function<bool(const std::string& text)>& accept);

// Fetches page `page` of an album with the attempts above, all with the same
// address; an answer that is not a photo list (none, an error status, HTML,
// malformed JSON) is asked for again.
PhotoPage FetchPhotoPage(std::string_view uid, std::string_view album_id_text, int page,
                         const ServiceRequest& request, const AttemptWait& wait = {});

// "0." and 15 digits, the last not 0: the cache-defeating "__rnd" value.
std::string RandomFraction();

// A wait on a worker thread that is also a safe point of the job: `amount` in
// `unit` (0 ms, 1 s, 2 min, 3 h). Holds while the job is paused, returns false
// at once when it is stopped.
bool PumpingWait(long long amount, int unit = 0, JobToken* job = nullptr);

}  // namespace wa
