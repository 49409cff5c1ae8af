// Album covers from the bytes a cover address gave: JPEG and PNG become the
// list's picture, anything else nothing, never a crash or a huge allocation.
#include "ui/album_page.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdint>
#include <random>

#include "pictures.h"

namespace wa {
namespace {

TEST(CoverImage, JpegAndPngBecomeTheListsPictureAndNothingElseDoes) {
    for (const auto format : {fake::PictureFormat::kJpeg, fake::PictureFormat::kPng}) {
        const QImage cover = AlbumPage::CoverImage(fake::MakePicture(format, 7, 0, 120, 90));
        EXPECT_EQ(cover.size(), QSize(AlbumPage::kCoverSide, AlbumPage::kCoverSide));
    }
    for (const std::string& bytes : {std::string(), std::string("<html>404</html>"),
                                     fake::MakePicture(fake::PictureFormat::kGif, 1), std::string("\xFF\xD8\xFF"),
                                     std::string("\x89PNG\r\n\x1A\n")}) {
        EXPECT_TRUE(AlbumPage::CoverImage(bytes).isNull()) << bytes.size();
    }
}

// Truncated, bit-flipped and spliced pictures: decoding may fail, never crash.
TEST(CoverImage, SurvivesThousandsOfMalformedPictures) {
    const std::string seeds[] = {fake::MakePicture(fake::PictureFormat::kJpeg, 3, 0, 40, 30),
                                 fake::MakePicture(fake::PictureFormat::kPng, 3, 0, 40, 30)};
    std::mt19937 random(20261209);
    int decoded = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = seeds[round % 2];
        switch (round % 3) {
            case 0: bytes.resize(random() % bytes.size()); break;
            case 1:
                for (int flips = 1 + static_cast<int>(random() % 8); flips > 0; --flips) {
                    bytes[random() % bytes.size()] ^= static_cast<char>(1 << (random() % 8));
                }
                break;
            default: {
                const std::size_t at = 2 + random() % (bytes.size() - 2);
                bytes.insert(at, std::string(random() % 64, static_cast<char>(random())));
            }
        }
        if (!AlbumPage::CoverImage(bytes).isNull()) ++decoded;
    }
    EXPECT_GT(decoded, 0);  // some survive a flipped bit in pixel data
}

// A valid PNG of `side` × `side` blank RGBA pixels: a few hundred KiB that
// decode to side² × 4 bytes.
std::string BlankPng(unsigned side) {
    const auto be32 = [](std::string& out, std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(v >> shift);
    };
    const auto chunk = [&be32](std::string& png, const char* type, const std::string& data) {
        be32(png, static_cast<std::uint32_t>(data.size()));
        const std::string typed = type + data;
        png += typed;
        be32(png, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(typed.data()), typed.size())));
    };
    std::string header;
    be32(header, side);
    be32(header, side);
    header += std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA, deflate, no filter, no interlace
    const std::string rows(static_cast<std::size_t>(side) * (side * 4 + 1), '\0');
    uLongf packed_size = compressBound(rows.size());
    std::string packed(packed_size, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &packed_size, reinterpret_cast<const Bytef*>(rows.data()), rows.size());
    packed.resize(packed_size);
    std::string png = "\x89PNG\r\n\x1A\n";
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", packed);
    chunk(png, "IEND", "");
    return png;
}

TEST(CoverImage, ACoverThatWouldTakeTooMuchMemoryIsRefusedBeforeDecoding) {
    EXPECT_FALSE(AlbumPage::CoverImage(BlankPng(1500)).isNull());  // 9 MB of pixels: taken
    const std::string bomb = BlankPng(6000);                      // 144 MB of pixels
    EXPECT_LT(bomb.size(), 512u * 1024);
    EXPECT_TRUE(AlbumPage::CoverImage(bomb).isNull());
}

}  // namespace
}  // namespace wa
