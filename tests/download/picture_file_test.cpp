#include "download/picture_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "../util/temp_folder.h"
#include "util/folders.h"

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
    const FolderHandle folder = FolderHandle::OpenOrMake(temp.path().string());
    {
        PictureFile file(folder.fd());
        ASSERT_TRUE(file.IsOpen());
        ASSERT_TRUE(file.Write("<html>"));
        EXPECT_FALSE(file.HoldsPicture());
        ASSERT_TRUE(file.Rewind());
        ASSERT_TRUE(file.Write("GIF89a"));
        ASSERT_TRUE(file.Write(" more"));
        EXPECT_TRUE(file.HoldsPicture());
        using Placement = PictureFile::Placement;
        EXPECT_EQ(file.MoveTo("missing/a.gif"), Placement::kFailed);  // a name, never a path: it stays
        EXPECT_EQ(file.MoveTo("a.gif"), Placement::kPlaced);
    }
    std::ifstream in(temp.path() / "a.gif", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "GIF89a more");
    EXPECT_EQ(CountEntries(temp.path()), 1u);

    { PictureFile abandoned(folder.fd()); abandoned.Write("GIF89a half"); }
    EXPECT_EQ(CountEntries(temp.path()), 1u);

    PictureFile nowhere(FolderHandle().fd());
    EXPECT_FALSE(nowhere.IsOpen());
}

TEST(PictureFile, NeverReplacesASavedPictureAndCleansUpAfterKilledRuns) {
    using Placement = PictureFile::Placement;
    test::TempFolder temp;
    const FolderHandle folder = FolderHandle::OpenOrMake(temp.path().string());
    const std::string taken = (temp.path() / "a.gif").string();
    std::ofstream(taken, std::ios::binary) << "GIF89a first";
    {
        PictureFile other(folder.fd());
        other.Write("GIF89a second");
        EXPECT_EQ(other.MoveTo("a.gif"), Placement::kTaken);
        PictureFile same(folder.fd());
        same.Write("GIF89a first");
        EXPECT_EQ(same.MoveTo("a.gif"), Placement::kAlreadyThere);
        EXPECT_EQ(CountEntries(temp.path()), 2u);  // a.gif and the other's temporary file

        // A killed run leaves its temporary file; the next run removes it,
        // but not one a running download holds.
        std::ofstream(temp.path() / ".weibo-albums-00112233aabbccdd") << "GIF89a half";
        std::ofstream(temp.path() / ".weibo-albums-notours") << "x";
        PictureFile::RemoveLeftovers(folder.fd());
        EXPECT_EQ(CountEntries(temp.path()), 3u);
        EXPECT_EQ(other.MoveTo("b.gif"), Placement::kPlaced);
    }
    std::ifstream in(taken, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "GIF89a first");
    EXPECT_TRUE(fs::exists(temp.path() / ".weibo-albums-notours"));
}

}  // namespace
}  // namespace wa
