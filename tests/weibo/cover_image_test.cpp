#include "weibo/cover_image.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace wa
