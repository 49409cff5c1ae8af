#include "download/picture_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "../util/temp_folder.h"

namespace wa {
namespace {

namespace fs = std::filesystem;
using namespace std::string_view_literals;

std::size_t CountEntries(const fs::path& folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder)) ++n;
    return n;
}

TEST(IsPictureData, KnowsTheFourSignatures) {
    EXPECT_TRUE(IsPictureData("\xFF\xD8\xFF\xE0rest"));
    EXPECT_TRUE(IsPictureData("\x89PNG\r\n\x1A\nrest"));
    EXPECT_TRUE(IsPictureData("GIF89a..."));
    EXPECT_TRUE(IsPictureData("GIF87a..."));
    EXPECT_TRUE(IsPictureData("RIFF\x10\0\0\0WEBPVP8 "sv));
    EXPECT_FALSE(IsPictureData("RIFF\x10\0\0\0WAVEfmt "sv));
    EXPECT_FALSE(IsPictureData("<html><body>系统繁忙</body></html>"));
    EXPECT_FALSE(IsPictureData(""));
}

TEST(PictureFile, PlacedOnlyWhenMovedAndNeverLeftBehind) {
    test::TempFolder temp;
    {
        PictureFile file(temp.path().string());
        ASSERT_TRUE(file.IsOpen());
        ASSERT_TRUE(file.Write("<html>"));
        EXPECT_FALSE(file.HoldsPicture());
        ASSERT_TRUE(file.Rewind());
        ASSERT_TRUE(file.Write("GIF89a"));
        ASSERT_TRUE(file.Write(" more"));
        EXPECT_TRUE(file.HoldsPicture());
        EXPECT_FALSE(file.MoveTo((temp.path() / "missing" / "a.gif").string()));  // stays for another attempt
        EXPECT_TRUE(file.MoveTo((temp.path() / "a.gif").string()));
    }
    std::ifstream in(temp.path() / "a.gif", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "GIF89a more");
    EXPECT_EQ(CountEntries(temp.path()), 1u);

    { PictureFile abandoned(temp.path().string()); abandoned.Write("GIF89a half"); }
    EXPECT_EQ(CountEntries(temp.path()), 1u);

    PictureFile nowhere((temp.path() / "missing").string());
    EXPECT_FALSE(nowhere.IsOpen());
}

}  // namespace
}  // namespace wa
