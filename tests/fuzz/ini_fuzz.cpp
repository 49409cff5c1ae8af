// Settings files as a user, Windows or a broken disk might leave them: read,
// then written back, in a private temporary folder.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "util/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string file = [] {
        char folder[] = "/tmp/wa-ini-fuzz-XXXXXX";
        return std::string(::mkdtemp(folder)) + "/配置.ini";
    }();
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
