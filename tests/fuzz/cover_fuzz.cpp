// Cover pictures: any bytes a picture server might answer.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "weibo/cover_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    (void)wa::DecodePicture(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
