// A picture being downloaded: written to a hidden temporary file in the album
// folder as it arrives, and renamed into place only when it is complete, so
// no half-written file ever carries a real name.
#pragma once

#include <string>
#include <string_view>

namespace wa {

// True for bytes that start like a JPEG, PNG, GIF or WebP picture.
bool IsPictureData(std::string_view bytes);

class PictureFile {
public:
    explicit PictureFile(const std::string& folder);
    ~PictureFile();  // removes the temporary file unless it was placed
    PictureFile(const PictureFile&) = delete;
    PictureFile& operator=(const PictureFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    bool Write(std::string_view chunk);
    // Empties the file for another attempt.
    bool Rewind();
    // True when what was written starts like a picture.
    bool HoldsPicture() const { return IsPictureData(head_); }
    // Closes the file and renames it to `path`, replacing a file of that name.
    // False leaves it in place for another attempt.
    bool MoveTo(const std::string& path);

private:
    std::string temp_path_;
    std::string head_;  // the first bytes, for the picture test
    int fd_ = -1;
    bool written_ = false;
    bool placed_ = false;
};

}  // namespace wa
