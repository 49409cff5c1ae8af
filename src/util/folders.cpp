#include "util/folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

namespace wa {

bool EnsureDirectory(std::string& path) {
    if (path.empty() || path.back() != '/') path += '/';
    std::error_code error;
    std::filesystem::create_directories(path, error);
    return !error && IsDirectory(path);
}

bool IsDirectory(std::string_view path) {
    if (path.empty()) return false;
    struct stat info {};
    return ::stat(std::string(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsSymbolicLink(std::string_view path) {
    std::string plain(path);
    while (plain.size() > 1 && plain.ends_with('/')) plain.pop_back();
    struct stat info {};
    return !plain.empty() && ::lstat(plain.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    return home && *home ? home : "/";
}

std::string XdgFolder(const char* variable, const char* fallback_under_home) {
    const char* value = std::getenv(variable);
    if (value && value[0] == '/') return value;
    return HomeFolder() + "/" + fallback_under_home;
}

std::string ProgramFolder() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return std::filesystem::current_path(error).string();
    return exe.parent_path().string();
}

FolderHandle::~FolderHandle() {
    if (fd_ >= 0) ::close(fd_);
}

FolderHandle::FolderHandle(FolderHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

FolderHandle FolderHandle::OpenOrMake(const std::string& path) {
    std::string made = path;
    EnsureDirectory(made);
    return FolderHandle(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

FolderHandle FolderHandle::Child(const std::string& name, Refusal* why, bool* made) const {
    const auto refuse = [why](Refusal refusal) {
        if (why) *why = refusal;
        return FolderHandle();
    };
    if (why) *why = Refusal::kNone;
    if (made) *made = false;
    if (fd_ < 0) return refuse(Refusal::kFailed);
    if (name.empty()) return FolderHandle(::fcntl(fd_, F_DUPFD_CLOEXEC, 0));
    if (::mkdirat(fd_, name.c_str(), 0777) == 0) {
        if (made) *made = true;
    } else if (errno != EEXIST) {
        return refuse(Refusal::kFailed);
    }
    const int child = ::openat(fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (child >= 0) return FolderHandle(child);
    struct stat info {};
    const bool link = ::fstatat(fd_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode);
    return refuse(link ? Refusal::kLink : Refusal::kFailed);
}

bool FolderHandle::Holds(const std::string& name) const {
    struct stat info {};
    return fd_ >= 0 && !name.empty() && ::fstatat(fd_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

std::vector<std::string> FolderHandle::ChildFolders() const {
    std::vector<std::string> names;
    const int copy = fd_ < 0 ? -1 : ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* folder = copy < 0 ? nullptr : ::fdopendir(copy);
    if (!folder) {
        if (copy >= 0) ::close(copy);
        return names;
    }
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat info {};
        if (::fstatat(fd_, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode)) {
            names.push_back(name);
        }
    }
    ::closedir(folder);
    return names;
}

bool FolderHandle::RemoveEmptyChild(const std::string& name) const {
    return fd_ >= 0 && !name.empty() && ::unlinkat(fd_, name.c_str(), AT_REMOVEDIR) == 0;
}

bool FolderHandle::RenameChild(const std::string& from, const std::string& to) const {
    return fd_ >= 0 && ::renameat2(fd_, from.c_str(), fd_, to.c_str(), RENAME_NOREPLACE) == 0;
}

namespace {

// The process's umask, read without changing it (umask() itself would set it
// for every thread while it is asked); 022 when the kernel does not say.
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("Umask:")) return static_cast<mode_t>(std::strtol(line.c_str() + 6, nullptr, 8));
    }
    return 022;
}

}  // namespace

bool ReplaceFileContents(const std::string& file, const std::string& bytes) {
    std::string temp = file + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    struct stat info {};
    // A file made now gets the permissions any new file gets, as mkstemp's 0600 would not.
    ::fchmod(fd, ::stat(file.c_str(), &info) == 0 ? (info.st_mode & 07777) : (0666 & ~CurrentUmask()));
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    const bool ok = written == bytes.size() && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok || ::rename(temp.c_str(), file.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}


bool ReadOpenFile(int fd, std::string& bytes, std::size_t most) {
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || static_cast<std::size_t>(info.st_size) > most) {
        return false;
    }
    bytes.resize(static_cast<std::size_t>(info.st_size));
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool IsOneName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           std::none_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

FileLock FileLock::Take(const std::string& path, int how) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return FileLock(-1, false);
    while (::flock(fd, how) != 0) {
        if (errno == EINTR) continue;
        const bool elsewhere = errno == EWOULDBLOCK;
        ::close(fd);
        return FileLock(-1, elsewhere);
    }
    return FileLock(fd, false);
}

FileLock FileLock::Wait(const std::string& path) { return Take(path, LOCK_EX); }

FileLock FileLock::Try(const std::string& path) { return Take(path, LOCK_EX | LOCK_NB); }

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        held_elsewhere_ = other.held_elsewhere_;
    }
    return *this;
}

FileLock::~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing lets the lock go
}

}  // namespace wa
