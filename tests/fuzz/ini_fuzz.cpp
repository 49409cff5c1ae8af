// Settings files as a user, Windows or a broken disk might leave them: read,
// then written back, in a private temporary folder.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "util/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A private folder for the one file, removed when the run ends.
    static const struct Scratch {
        std::string folder;
        std::string file;
        Scratch() {
            char pattern[] = "/tmp/wa-ini-fuzz-XXXXXX";
            folder = ::mkdtemp(pattern);
            file = folder + "/配置.ini";
        }
        ~Scratch() {
            std::remove(file.c_str());
            ::rmdir(folder.c_str());
        }
    } scratch;
    const std::string& file = scratch.file;
    FILE* out = std::fopen(file.c_str(), "wb");
    if (!out) return 0;
    std::fwrite(data, 1, size, out);
    std::fclose(out);
    (void)wa::SettingsFileProblem(file);
    for (const char* key : {"保存位置", "下载记录", "开始日期", "x"}) (void)wa::ReadSetting(file, "全局设置", key, "d");
    if (wa::WriteSetting(file, "全局设置", "保存位置", "/tmp/相册")) {
        if (wa::ReadSetting(file, "全局设置", "保存位置") != "/tmp/相册") __builtin_trap();
    }
    return 0;
}
