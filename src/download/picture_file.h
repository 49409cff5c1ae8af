// A picture being downloaded: written to a hidden temporary file in the album
// folder as it arrives, and renamed into place only when it is complete, so
// no half-written file ever carries a real name and no saved picture is ever
// replaced. The folder is an open descriptor and names are looked up in it,
// so nothing is written through a link put where the folder was.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wa {

// True for bytes that start like a JPEG, PNG, GIF or WebP picture.
bool IsPictureData(std::string_view bytes);
// True for bytes that start like a QuickTime or MP4 video.
bool IsVideoData(std::string_view bytes);
// True for a video whose file type names an MP4 brand rather than QuickTime.
bool IsMp4Data(std::string_view bytes);

class PictureFile {
public:
    // `folder`: an open folder descriptor, which must outlive the picture.
    explicit PictureFile(int folder);
    ~PictureFile();  // removes the temporary file unless it was placed
    PictureFile(const PictureFile&) = delete;
    PictureFile& operator=(const PictureFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    // The errno of the last thing that failed: making the file, or a write.
    int Error() const { return error_; }
    bool Write(std::string_view chunk);
    // The modification time the picture gets, in Unix seconds; false, with
    // the time of writing kept, when the file system cannot hold it.
    bool SetModifiedTime(std::int64_t seconds);
    // Empties the file for another attempt.
    bool Rewind();
    // Everything written so far; false when it cannot be read back.
    bool ReadBack(std::string& bytes) const;
    // What was written, replaced by `bytes`; false, with Error() saying why,
    // when the file could not take them all.
    bool Replace(std::string_view bytes);
    // True when what was written starts like a picture.
    bool HoldsPicture() const { return IsPictureData(head_); }
    bool HoldsVideo() const { return IsVideoData(head_); }
    bool HoldsMp4() const { return IsMp4Data(head_); }
    // The first bytes written, for telling what kind of file it holds.
    std::string_view Head() const { return head_; }
    enum class Placement {
        kPlaced,       // the picture now has that name
        kAlreadyThere, // the name holds the same bytes: the picture counts as saved
        kTaken,        // the name holds another file, which stays as it was
        kFailed,       // could not be placed; the file stays for another attempt
    };
    // Gives the picture the name `name` in its folder, never replacing a file
    // of that name.
    Placement MoveTo(const std::string& name);

    // Gives the file the name `name`, replacing the file that held it: for
    // the program's own files beside the pictures, never for a picture.
    bool ReplaceAt(const std::string& name);

    // True when a file other than this very picture holds the name `name`.
    bool NameTakenByAnother(const std::string& name) const;
    // When `name` holds these very bytes, the picture is there already: its
    // temporary file goes (kAlreadyThere); else nothing changes (kTaken).
    Placement AlreadyAt(const std::string& name);

    // Removes the temporary files that runs which ended without cleaning up
    // (killed, power lost) left in `folder`; a file in use by a run stays.
    static void RemoveLeftovers(int folder);

private:
    bool SameBytesAs(const std::string& name) const;

    int folder_;
    std::string temp_name_;
    std::string head_;  // the first bytes, for the picture test
    int fd_ = -1;
    int error_ = 0;
    bool written_ = false;
    bool placed_ = false;
};

}  // namespace wa
