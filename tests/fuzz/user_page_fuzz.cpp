// Home pages, addresses and user-info answers: whatever they hold, a uid is
// digits only.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "weibo/user_resolution.h"

namespace {

void RequireUid(const std::string& uid) {
    if (!uid.empty() && !wa::IsUid(uid)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    RequireUid(wa::ReadUserPage(text).uid);
    RequireUid(wa::UidFromAddress(text));
    RequireUid(wa::ReadUserInfo(text).uid);
    const std::string custom = wa::CustomNameFromAddress(text);
    if (custom.find_first_of("/?&#=. ") != std::string::npos) __builtin_trap();
    (void)wa::NormalizeHomeAddress(text, "https://");
    return 0;
}
