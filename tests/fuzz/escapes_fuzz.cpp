// The escape decoders on whatever a caption or an album name may hold.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "util/escapes.h"
#include "util/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)wa::UnescapeText(text);
    (void)wa::DecodePercentEscapes(text);
    (void)wa::Utf16ToUtf8(wa::Utf8ToUtf16(text));
    return 0;
}
