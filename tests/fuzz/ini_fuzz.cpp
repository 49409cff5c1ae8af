// Settings files as a user, Windows or a broken disk might leave them: read,
// then written back, in a private temporary folder.
#include <cstddef>
#include <cstdint>

#include "scratch_file.h"
#include "util/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const wa::fuzz::ScratchFile scratch("配置.ini");
    if (!scratch.Hold(data, size)) return 0;
    const std::string& file = scratch.path();
    (void)wa::SettingsFileProblem(file);
    for (const char* key : {"保存位置", "下载记录", "开始日期", "x"}) (void)wa::ReadSetting(file, "全局设置", key, "d");
    if (wa::WriteSetting(file, "全局设置", "保存位置", "/tmp/相册")) {
        if (wa::ReadSetting(file, "全局设置", "保存位置") != "/tmp/相册") __builtin_trap();
    }
    return 0;
}
