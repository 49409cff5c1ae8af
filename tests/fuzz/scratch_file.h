// For harnesses whose code under test reads a file: each input is written to
// one file in a private temporary folder, removed when the run ends.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace wa::fuzz {

class ScratchFile {
public:
    explicit ScratchFile(const std::string& name) {
        char pattern[] = "/tmp/wa-fuzz-XXXXXX";
        folder_ = ::mkdtemp(pattern);
        path_ = folder_ + "/" + name;
    }
    ~ScratchFile() {
        std::remove(path_.c_str());
        ::rmdir(folder_.c_str());
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Replaces the file's bytes; false when it cannot be written.
    bool Hold(const std::uint8_t* data, std::size_t size) const {
        FILE* out = std::fopen(path_.c_str(), "wb");
        if (!out) return false;
        const bool written = std::fwrite(data, 1, size, out) == size;
        return std::fclose(out) == 0 && written;
    }
    const std::string& path() const { return path_; }

private:
    std::string folder_;
    std::string path_;
};

}  // namespace wa::fuzz
