#include "util/folders.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

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

std::string ProgramFolder() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return std::filesystem::current_path(error).string();
    return exe.parent_path().string();
}

}  // namespace wa
