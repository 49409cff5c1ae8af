// An album's index as a hand, another program or a full disk may have left
// it: read, written again, read back.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "doors/album_tab.h"
#include "download/album_index.h"
#include "util/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto entries = wa::ReadIndexJson(text)) {
        const std::string written = wa::IndexJson(*entries);
        if (!wa::IsValidUtf8(written)) __builtin_trap();  // whatever was read, it writes valid UTF-8
        const auto again = wa::ReadIndexJson(written);
        if (!again || again->size() != entries->size()) __builtin_trap();
        if (wa::IndexJson(*again) != written) __builtin_trap();  // and reads back as it wrote
    }
    if (const auto whole = wa::ReadLongText(text); whole && whole->size() > wa::kMaxCaptionBytes) __builtin_trap();
    return 0;
}
