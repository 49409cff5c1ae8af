#include "weibo/cover_image.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdint>
#include <random>

#include "pictures.h"

namespace wa {
namespace {

TEST(DecodePicture, JpegAndPngFromMemory) {
    const auto jpeg = DecodePicture(fake::MakePicture(fake::PictureFormat::kJpeg, 7, 0, 120, 90));
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(jpeg->width, 120);
    EXPECT_EQ(jpeg->height, 90);
    EXPECT_EQ(jpeg->rgba.size(), 120u * 90 * 4);
    EXPECT_EQ(jpeg->rgba[3], 0xFF);

    const auto png = DecodePicture(fake::MakePicture(fake::PictureFormat::kPng, 7, 0, 33, 17));
    ASSERT_TRUE(png);
    EXPECT_EQ(png->width, 33);
    EXPECT_EQ(png->height, 17);
}

TEST(DecodePicture, WhatIsNotAJpegOrPngGivesNothing) {
    EXPECT_FALSE(DecodePicture(""));
    EXPECT_FALSE(DecodePicture("<html>404</html>"));
    EXPECT_FALSE(DecodePicture(fake::MakePicture(fake::PictureFormat::kGif, 1)));
    EXPECT_FALSE(DecodePicture("\xFF\xD8\xFF"));
    EXPECT_FALSE(DecodePicture("\x89PNG\r\n\x1A\n"));
}

// Truncated, bit-flipped and spliced pictures: decoding may fail, never crash
// (the sanitizer run checks memory errors too).
TEST(DecodePicture, SurvivesThousandsOfMalformedPictures) {
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
        if (DecodePicture(bytes)) ++decoded;
    }
    EXPECT_GT(decoded, 0);  // some survive a flipped bit in pixel data
}

// A valid one-bit PNG of `side` × `side` blank pixels: a few KiB that decode
// to side² × 4 bytes.
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
    header += std::string("\x01\x00\x00\x00\x00", 5);  // 1 bit, grey, deflate, no filter, no interlace
    const std::string rows(static_cast<std::size_t>(side) * ((side + 7) / 8 + 1), '\0');
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

TEST(DecodePicture, ACoverClaimingMoreThan4096By4096IsRefusedBeforeDecoding) {
    EXPECT_TRUE(DecodePicture(BlankPng(4096)));   // 64 MiB of pixels, the most taken
    const std::string bomb = BlankPng(4200);      // a few KiB for 70 MiB of pixels
    EXPECT_LT(bomb.size(), 8192u);
    EXPECT_FALSE(DecodePicture(bomb));
}

}  // namespace
}  // namespace wa
