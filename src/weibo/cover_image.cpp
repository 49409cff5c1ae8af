#include "weibo/cover_image.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <png.h>

namespace wa {
namespace {

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void OnJpegError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void IgnoreJpegMessage(j_common_ptr) {}

// No real picture packs more pixels into a byte than this (a 1-bit PNG of one
// colour comes to about 8,000): a header that claims more is a bomb, refused
// before its pixels are allocated.
constexpr std::size_t kMaxPixelsPerByte = 16384;

bool PlausibleSize(std::size_t width, std::size_t height, std::size_t bytes) {
    return width > 0 && height > 0 && width <= kMaxCoverSide && height <= kMaxCoverSide &&
           width * height <= kMaxCoverPixels && width * height <= bytes * kMaxPixelsPerByte;
}

// Everything with a destructor lives outside this function: it may be left by
// longjmp from inside libjpeg.
bool DecodeJpeg(std::string_view bytes, DecodedPicture& picture, std::vector<std::uint8_t>& row) {
    jpeg_decompress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = OnJpegError;
    error.manager.output_message = IgnoreJpegMessage;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK ||
        !PlausibleSize(info.image_width, info.image_height, bytes.size())) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    picture.width = static_cast<int>(info.output_width);
    picture.height = static_cast<int>(info.output_height);
    picture.rgba.assign(static_cast<std::size_t>(picture.width) * picture.height * 4, 0xFF);
    row.resize(static_cast<std::size_t>(info.output_width) * info.output_components);
    while (info.output_scanline < info.output_height) {
        JSAMPROW line = row.data();
        const JDIMENSION y = info.output_scanline;
        if (jpeg_read_scanlines(&info, &line, 1) != 1) break;
        std::uint8_t* out = &picture.rgba[static_cast<std::size_t>(y) * picture.width * 4];
        for (int x = 0; x < picture.width; ++x) {
            out[x * 4 + 0] = row[static_cast<std::size_t>(x) * 3 + 0];
            out[x * 4 + 1] = row[static_cast<std::size_t>(x) * 3 + 1];
            out[x * 4 + 2] = row[static_cast<std::size_t>(x) * 3 + 2];
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

bool DecodePng(std::string_view bytes, DecodedPicture& picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return false;
    if (!PlausibleSize(image.width, image.height, bytes.size())) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.rgba.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    return true;
}

}  // namespace

std::optional<DecodedPicture> DecodePicture(std::string_view bytes) {
    DecodedPicture picture;
    if (bytes.starts_with("\xFF\xD8")) {
        std::vector<std::uint8_t> row;
        if (DecodeJpeg(bytes, picture, row)) return picture;
    } else if (bytes.starts_with("\x89PNG\r\n\x1A\n")) {
        if (DecodePng(bytes, picture)) return picture;
    }
    return std::nullopt;
}

}  // namespace wa
