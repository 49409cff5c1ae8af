// A picture's story written inside it, for photo managers and phones that
// sort by the date in a picture and show its description: the upload time
// as the capture date (Beijing time, unless the picture carries a date of
// its own), the post's whole text, the user's name, the post's address and
// the photo's id, in EXIF, XMP and the fields Windows' file manager reads.
// JPEG and PNG only; the bytes are changed in memory, never on disk.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wa {

struct PictureStory {
    std::optional<std::int64_t> upload_seconds;  // Unix seconds
    std::string caption;                         // the post's text as written
    std::string creator;                         // the user's name
    std::string source;                          // the post's address
    std::string photo_id;
};

// True for bytes that start like a picture the story can be written into.
bool TakesStory(std::string_view head);

// The picture `picture` with `story` written into it, in `told` (whose
// room is used again: a picture's worth of fresh memory a picture costs
// more than the writing); a field left empty is not written. Empty when
// written, else why not.
std::string WriteStory(std::string_view picture, const PictureStory& story, std::string& told);

// "2014:05:06 20:13:20": Unix seconds as EXIF writes a date, in Beijing time.
std::string ExifBeijingTime(std::int64_t seconds);
// "2014-05-06T20:13:20+08:00": Unix seconds in ISO 8601, in Beijing time.
std::string IsoBeijingTime(std::int64_t seconds);

}  // namespace wa
