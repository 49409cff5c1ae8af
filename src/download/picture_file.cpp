#include "download/picture_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "util/folders.h"

namespace wa {
namespace {

constexpr std::size_t kHeadSize = 16;
constexpr std::string_view kTempPrefix = ".weibo-albums-";
constexpr std::size_t kTempNameLength = 16;  // hex digits after the prefix

// Renames within `folder` without ever replacing `to`; on file systems that
// lack the flag, a hard link does the same.
int RenameNoReplace(int folder, const char* from, const char* to) {
    if (::renameat2(folder, from, folder, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    if (::linkat(folder, from, folder, to, 0) != 0) return -1;
    ::unlinkat(folder, from, 0);
    return 0;
}

bool IsTempName(std::string_view name) {
    return name.size() == kTempPrefix.size() + kTempNameLength && name.starts_with(kTempPrefix) &&
           name.find_first_not_of("0123456789abcdef", kTempPrefix.size()) == std::string_view::npos;
}

}  // namespace

bool IsPictureData(std::string_view b) {
    return b.starts_with("\xFF\xD8\xFF") || b.starts_with("\x89PNG\r\n\x1A\n") || b.starts_with("GIF87a") ||
           b.starts_with("GIF89a") || (b.size() >= 12 && b.starts_with("RIFF") && b.substr(8, 4) == "WEBP");
}

bool IsVideoData(std::string_view b) {
    if (b.size() < 8) return false;
    const std::string_view box = b.substr(4, 4);  // the first atom's type
    return box == "ftyp" || box == "moov" || box == "mdat" || box == "wide" || box == "free" || box == "skip";
}

bool IsMp4Data(std::string_view b) {
    return b.size() >= 12 && b.substr(4, 4) == "ftyp" && b.substr(8, 4) != "qt  ";
}

PictureFile::PictureFile(int folder) : folder_(folder) {
    thread_local std::mt19937_64 engine{std::random_device{}()};
    // The user's umask decides the picture's permissions, as for any new file.
    for (int tries = 0; tries < 100 && fd_ < 0; ++tries) {
        char name[20];
        std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(engine()));
        temp_name_ = std::string(kTempPrefix) + name;
        fd_ = ::openat(folder_, temp_name_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ < 0) error_ = errno;
        if (fd_ < 0 && errno != EEXIST) break;
    }
    // The lock tells a later run's clean-up that the file is in use.
    if (fd_ >= 0) ::flock(fd_, LOCK_EX | LOCK_NB);
}

PictureFile::~PictureFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!placed_ && fd_ != -1) ::unlinkat(folder_, temp_name_.c_str(), 0);
}

bool PictureFile::Write(std::string_view chunk) {
    written_ = true;
    if (head_.size() < kHeadSize) head_.append(chunk.substr(0, kHeadSize - head_.size()));
    while (!chunk.empty()) {
        const ssize_t n = ::write(fd_, chunk.data(), chunk.size());
        if (n <= 0) {
            error_ = n < 0 ? errno : ENOSPC;
            return false;
        }
        chunk.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool PictureFile::SetModifiedTime(std::int64_t seconds) {
    const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(seconds), 0}};
    if (fd_ < 0 || ::futimens(fd_, times) != 0) return false;
    // A file system that cannot hold the time keeps one near it: the file
    // then keeps the time it was written instead.
    struct stat info {};
    if (::fstat(fd_, &info) == 0 && info.st_mtim.tv_sec == static_cast<time_t>(seconds)) return true;
    const timespec now[2] = {{0, UTIME_OMIT}, {0, UTIME_NOW}};
    ::futimens(fd_, now);
    return false;
}

bool PictureFile::Rewind() {
    if (!written_) return true;
    written_ = false;
    head_.clear();
    return ::ftruncate(fd_, 0) == 0 && ::lseek(fd_, 0, SEEK_SET) == 0;
}

bool PictureFile::ReadBack(std::string& bytes) const { return ReadOpenFile(fd_, bytes); }

bool PictureFile::Replace(std::string_view bytes) {
    // Written over in place, then cut to its length: the file system keeps
    // the room it gave, instead of freeing it and giving it again.
    head_.clear();
    if (::lseek(fd_, 0, SEEK_SET) != 0) {
        error_ = errno;
        return false;
    }
    if (!Write(bytes)) return false;
    if (::ftruncate(fd_, static_cast<off_t>(bytes.size())) != 0) {
        error_ = errno;
        return false;
    }
    return true;
}

bool PictureFile::ReplaceAt(const std::string& name) {
    if (fd_ < 0 || name.empty() || name.find('/') != std::string::npos) return false;
    if (::renameat(folder_, temp_name_.c_str(), folder_, name.c_str()) != 0) {
        error_ = errno;
        return false;
    }
    ::close(fd_);
    fd_ = -2;
    placed_ = true;
    return true;
}

PictureFile::Placement PictureFile::MoveTo(const std::string& name) {
    Placement result = Placement::kPlaced;
    if (name.empty() || name.find('/') != std::string::npos) return Placement::kFailed;  // a name, never a path
    if (RenameNoReplace(folder_, temp_name_.c_str(), name.c_str()) != 0) {
        if (errno != EEXIST) {
            error_ = errno;
            return Placement::kFailed;
        }
        if (!SameBytesAs(name)) return Placement::kTaken;
        ::unlinkat(folder_, temp_name_.c_str(), 0);  // the same picture is there already
        result = Placement::kAlreadyThere;
    }
    ::close(fd_);
    fd_ = -2;  // closed, and nothing left to remove
    placed_ = true;
    return result;
}

PictureFile::Placement PictureFile::AlreadyAt(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos || !SameBytesAs(name)) return Placement::kTaken;
    ::unlinkat(folder_, temp_name_.c_str(), 0);
    ::close(fd_);
    fd_ = -2;
    placed_ = true;
    return Placement::kAlreadyThere;
}

bool PictureFile::NameTakenByAnother(const std::string& name) const {
    struct stat info {};
    return ::fstatat(folder_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && !SameBytesAs(name);
}

bool PictureFile::SameBytesAs(const std::string& name) const {
    const int other = ::openat(folder_, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (other < 0) return false;
    struct stat mine {};
    struct stat theirs {};
    bool same = ::fstat(fd_, &mine) == 0 && ::fstat(other, &theirs) == 0 && S_ISREG(theirs.st_mode) &&
                mine.st_size == theirs.st_size;
    char a[65536];
    char b[sizeof a];
    for (off_t offset = 0; same && offset < mine.st_size;) {
        const ssize_t n = ::pread(fd_, a, sizeof a, offset);
        same = n > 0 && ::pread(other, b, static_cast<std::size_t>(n), offset) == n &&
               std::memcmp(a, b, static_cast<std::size_t>(n)) == 0;
        offset += n;
    }
    ::close(other);
    return same;
}

void PictureFile::RemoveLeftovers(int folder) {
    const int listed = folder >= 0 ? ::fcntl(folder, F_DUPFD_CLOEXEC, 0) : -1;
    DIR* dir = listed >= 0 ? ::fdopendir(listed) : nullptr;
    if (!dir) {
        if (listed >= 0) ::close(listed);
        return;
    }
    ::rewinddir(dir);
    const int dir_fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsTempName(entry->d_name)) continue;
        const int fd = ::openat(dir_fd, entry->d_name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) continue;
        struct stat info {};
        // Only a regular file no running download holds.
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::unlinkat(dir_fd, entry->d_name, 0);
        }
        ::close(fd);
    }
    ::closedir(dir);
}

}  // namespace wa
