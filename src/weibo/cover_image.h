// Album covers arrive as JPEG or PNG bytes; this turns them into pixels the
// album list can show. Bytes that are not a picture give nothing, never a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace wa {

struct DecodedPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;  // width × height × 4 bytes, rows top to bottom
};

// Pictures larger than this on either side, or of more pixels than
// 4096 × 4096 (64 MiB of pixels), are refused rather than decoded.
inline constexpr int kMaxCoverSide = 8192;
inline constexpr std::size_t kMaxCoverPixels = 4096u * 4096u;

std::optional<DecodedPicture> DecodePicture(std::string_view bytes);

}  // namespace wa
