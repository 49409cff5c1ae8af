#include "pictures.h"

#include <jpeglib.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace wa::fake {
namespace {

std::vector<unsigned char> Pixels(unsigned seed, int width, int height) {
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width * height * 3));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            unsigned char* p = &rgb[static_cast<std::size_t>((y * width + x) * 3)];
            // A soft two-way gradient whose colours depend on the seed.
            p[0] = static_cast<unsigned char>(seed * 53 % 150 + 100 * x / width);
            p[1] = static_cast<unsigned char>(seed * 97 % 150 + 100 * y / height);
            p[2] = static_cast<unsigned char>(seed * 31 % 150 + 100 * (width - x) / width);
        }
    }
    return rgb;
}

std::string Jpeg(unsigned seed, int width, int height) {
    const auto rgb = Pixels(seed, width, height);
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 85, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<unsigned char*>(&rgb[info.next_scanline * static_cast<std::size_t>(width) * 3]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string bytes(reinterpret_cast<char*>(buffer), size);
    std::free(buffer);
    return bytes;
}

std::string Png(unsigned seed, int width, int height) {
    const auto rgb = Pixels(seed, width, height);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr);
    std::string bytes(size, '\0');
    png_image_write_to_memory(&image, bytes.data(), &size, 0, rgb.data(), 0, nullptr);
    bytes.resize(size);
    return bytes;
}

std::string Gif(unsigned seed) {
    // A 1 x 1 GIF89a whose single colour depends on the seed.
    std::string bytes("GIF89a\x01\x00\x01\x00\x80\x00\x00", 13);
    bytes += static_cast<char>(seed * 53);
    bytes += static_cast<char>(seed * 97);
    bytes += static_cast<char>(seed * 31);
    bytes += std::string("\x00\x00\x00", 3);
    bytes += std::string("\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3B", 16);
    return bytes;
}

}  // namespace

std::string WithCaptureDate(const std::string& jpeg, const std::string& date) {
    // Little-endian TIFF: IFD0 with one entry pointing to the Exif IFD at 26,
    // which holds DateTimeOriginal (ASCII, 20 bytes) at 44.
    std::string tiff("II\x2A\x00\x08\x00\x00\x00", 8);
    tiff += std::string("\x01\x00" "\x69\x87\x04\x00\x01\x00\x00\x00\x1A\x00\x00\x00" "\x00\x00\x00\x00", 18);
    tiff += std::string("\x01\x00" "\x03\x90\x02\x00\x14\x00\x00\x00\x2C\x00\x00\x00" "\x00\x00\x00\x00", 18);
    std::string text = date.substr(0, 19);
    text.resize(20, '\0');
    tiff += text;
    const std::string body = std::string("Exif\0\0", 6) + tiff;
    std::string segment("\xFF\xE1", 2);
    segment += static_cast<char>((body.size() + 2) >> 8);
    segment += static_cast<char>((body.size() + 2) & 0xFF);
    return jpeg.substr(0, 2) + segment + body + jpeg.substr(2);
}

std::string MakePicture(PictureFormat format, unsigned seed, std::size_t size, int width, int height) {
    switch (format) {
        case PictureFormat::kPng: return Png(seed, width, height);
        case PictureFormat::kGif: return Gif(seed);
        case PictureFormat::kJpeg: break;
    }
    std::string jpeg = Jpeg(seed, width, height);
    if (size <= jpeg.size()) return jpeg;
    // Application segments of no application (APP15) right after the start
    // marker bring it to the size: decoders and metadata writers pass them by,
    // where comment segments would be read as one comment too long to write.
    std::string padded = jpeg.substr(0, 2);
    std::size_t missing = size - jpeg.size();
    while (missing > 4) {
        const std::size_t chunk = std::min<std::size_t>(missing - 4, 65533);
        padded += "\xFF\xEF";
        padded += static_cast<char>((chunk + 2) >> 8);
        padded += static_cast<char>((chunk + 2) & 0xFF);
        padded.append(chunk, static_cast<char>('a' + seed % 26));
        missing -= chunk + 4;
    }
    return padded + jpeg.substr(2);
}

}  // namespace wa::fake
