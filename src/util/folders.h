// Folder helpers shared by start-up and the download engine.
#pragma once

#include <string>
#include <utility>
#include <string_view>
#include <vector>

namespace wa {

// Makes sure every level of `path` exists. Appends "/" to the caller's
// variable when it does not end in one, since callers append file names to it.
// True when the whole path exists afterwards.
bool EnsureDirectory(std::string& path);

// True only for an existing folder (a link to one counts), never for a file.
bool IsDirectory(std::string_view path);

// True when `path` (a trailing "/" aside) is a symbolic link itself.
bool IsSymbolicLink(std::string_view path);

// $HOME, or "/" when it is not set.
std::string HomeFolder();
// An XDG base folder: the variable when it holds an absolute path, else the
// default under home ("XDG_CONFIG_HOME", ".config").
std::string XdgFolder(const char* variable, const char* fallback_under_home);

// The folder of the running program, without a trailing "/".
std::string ProgramFolder();

// The whole of the regular file open as `fd`, when it holds at most `most`
// bytes; false for anything else or a failed read. `bytes` keeps its room.
bool ReadOpenFile(int fd, std::string& bytes, std::size_t most = std::string().max_size());

// True for one plain name of a file or folder: not empty, no "/", not "." or
// "..", no control character. What a record store or a list names is used
// as a name only when it is one.
bool IsOneName(std::string_view name);

// An exclusive lock on the file `path` (made when missing, never followed
// through a link), held while the object lives: what processes change or do
// together, one at a time.
class FileLock {
public:
    // Waits for the lock.
    static FileLock Wait(const std::string& path);
    // Takes it only when nobody holds it.
    static FileLock Try(const std::string& path);
    FileLock(FileLock&& other) noexcept
        : fd_(std::exchange(other.fd_, -1)), held_elsewhere_(other.held_elsewhere_) {}
    FileLock& operator=(FileLock&& other) noexcept;
    ~FileLock();
    bool Held() const { return fd_ >= 0; }
    // Not held because another holds it (not because the file cannot be made).
    bool HeldElsewhere() const { return held_elsewhere_; }

private:
    FileLock(int fd, bool held_elsewhere) : fd_(fd), held_elsewhere_(held_elsewhere) {}
    static FileLock Take(const std::string& path, int how);
    int fd_ = -1;
    bool held_elsewhere_ = false;
};

// A folder kept open: what is made in it lands there, whatever becomes of
// its path meanwhile, and no symbolic link below it is ever followed.
class FolderHandle {
public:
    FolderHandle() = default;
    ~FolderHandle();
    FolderHandle(FolderHandle&& other) noexcept;
    FolderHandle& operator=(FolderHandle&& other) noexcept;
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    // The folder `path`, made when missing; links in it are followed, as the
    // user chose it.
    static FolderHandle OpenOrMake(const std::string& path);

    enum class Refusal { kNone, kLink, kFailed };
    // The folder `name` in this one, made when missing (`made` says so),
    // never through a symbolic link; the folder itself for an empty name.
    FolderHandle Child(const std::string& name, Refusal* why = nullptr, bool* made = nullptr) const;
    // Removes the folder `name` in this one when it is empty.
    bool RemoveEmptyChild(const std::string& name) const;

    // Whether `name` is here, as anything (a link is not followed).
    bool Holds(const std::string& name) const;
    // The names of the folders directly in this one (links are not folders).
    std::vector<std::string> ChildFolders() const;
    // Renames the folder `from` in this one to `to`, never replacing
    // anything of that name; false when it could not be done.
    bool RenameChild(const std::string& from, const std::string& to) const;

    bool IsOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

private:
    explicit FolderHandle(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// Puts `bytes` in `file` whole or not at all: a file beside it, synced, then
// renamed over it, so a crash leaves the old file or the new one. A file
// made now gets the permissions any new file would; one replaced keeps its own.
bool ReplaceFileContents(const std::string& file, const std::string& bytes);

}  // namespace wa
