#include "download/picture_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

namespace wa {
namespace {

constexpr std::size_t kHeadSize = 16;

}  // namespace

bool IsPictureData(std::string_view b) {
    return b.starts_with("\xFF\xD8\xFF") || b.starts_with("\x89PNG\r\n\x1A\n") || b.starts_with("GIF87a") ||
           b.starts_with("GIF89a") || (b.size() >= 12 && b.starts_with("RIFF") && b.substr(8, 4) == "WEBP");
}

PictureFile::PictureFile(const std::string& folder) {
    thread_local std::mt19937_64 engine{std::random_device{}()};
    std::string prefix = folder;
    if (!prefix.empty() && prefix.back() != '/') prefix += '/';
    prefix += ".weibo-albums-";
    // The user's umask decides the picture's permissions, as for any new file.
    for (int tries = 0; tries < 100 && fd_ < 0; ++tries) {
        char name[20];
        std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(engine()));
        temp_path_ = prefix + name;
        fd_ = ::open(temp_path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) break;
    }
}

PictureFile::~PictureFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!placed_ && fd_ != -1) ::unlink(temp_path_.c_str());
}

bool PictureFile::Write(std::string_view chunk) {
    written_ = true;
    if (head_.size() < kHeadSize) head_.append(chunk.substr(0, kHeadSize - head_.size()));
    while (!chunk.empty()) {
        const ssize_t n = ::write(fd_, chunk.data(), chunk.size());
        if (n <= 0) return false;
        chunk.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool PictureFile::Rewind() {
    if (!written_) return true;
    written_ = false;
    head_.clear();
    return ::ftruncate(fd_, 0) == 0 && ::lseek(fd_, 0, SEEK_SET) == 0;
}

bool PictureFile::MoveTo(const std::string& path) {
    if (::rename(temp_path_.c_str(), path.c_str()) != 0) return false;
    placed_ = true;
    ::close(fd_);
    fd_ = -2;  // closed and placed: nothing left to remove
    return true;
}

}  // namespace wa
