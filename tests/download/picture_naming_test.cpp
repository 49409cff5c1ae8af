#include "download/picture_naming.h"

#include <gtest/gtest.h>

#include <fstream>

#include "../util/temp_folder.h"
#include "util/regex_matcher.h"

namespace wa {
namespace {

using Choice = PictureNamer::Choice;

class PictureNamingTest : public ::testing::Test {
protected:
    std::string Name(const PhotoRecord& photo, int page, int position, int attempt, Choice choice) {
        PictureNamer namer(folder.path().string(), photo, (page - 1) * 100LL + position, matcher);
        for (int a = 1; a < attempt; ++a) namer.PicturePath(a, choice);
        const std::string path = namer.PicturePath(attempt, choice);
        return path.substr(path.rfind('/') + 1);
    }
    void Touch(const std::string& name) { std::ofstream(folder / name) << "x"; }

    test::TempFolder folder;
    RegexMatcher matcher;
    PhotoRecord photo{.photo_id = "3600000000001", .picture_url = "http://ww1.sinaimg.cn/large/abc.jpg",
                      .caption = "我的 照片：第1张？", .upload_seconds = 1400000000};
};

TEST(CleanName, RemovesPathAndPunctuationCharacters) {
    EXPECT_EQ(CleanName("a.b...c d&e"), "abcde");
    EXPECT_EQ(CleanName("：、？：？"), "");
    EXPECT_EQ(CleanName("../../etc/passwd"), "etcpasswd");
    EXPECT_EQ(CleanName("旅行（一）·北京！"), "旅行一北京");
    // Bidi controls and zero-width characters would make a name pass for another.
    EXPECT_EQ(CleanName("\u202Egpj\u200Bexe\u2066\uFEFF1\u200F\u2060\u0085"), "gpjexe1");
}

TEST(PictureNaming, PiecesOfAName) {
    EXPECT_EQ(SequenceText(SequenceScheme::kRunning, 7), "7");
    EXPECT_EQ(SequenceText(SequenceScheme::kRunning, 101), "101");
    EXPECT_EQ(SequenceText(SequenceScheme::kPageCycle, 207), "3-7");
    EXPECT_EQ(SequenceText(SequenceScheme::kPageCycle, 100), "1-100");
    EXPECT_EQ(SequenceText(SequenceScheme::kPageCycle, 101), "2-1");
    EXPECT_EQ(DateTag(1400000000, true), "2014.05.14 00.53");
    EXPECT_EQ(DateTag(1400050000, false), "2014.05.14 02.46");
    EXPECT_EQ(PictureExtension(PhotoKind::kGif), ".gif");
    EXPECT_EQ(PictureExtension(PhotoKind::kStill), ".jpg");
    EXPECT_EQ(PictureExtension(PhotoKind::kLive), ".jpg");
    // Line breaks and tabs are no letters; quotes and backslashes go too.
    EXPECT_EQ(CaptionForName("a\u3000b ?c\nd"), "abcd");
    EXPECT_EQ(CaptionForName("第一行\r\n第二行\t完"), "第一行第二行完");
    EXPECT_EQ(CaptionForName("C:\\new"), "Cnew");
    EXPECT_EQ(CaptionForName("他说\"你好\"\\n"), "他说你好n");
}

TEST_F(PictureNamingTest, NumberThenContentInBothSchemes) {
    EXPECT_EQ(Name(photo, 1, 7, 1, {NameFormat::kNumberThenContent, SequenceScheme::kRunning}),
              "(7)我的照片第1张.jpg");
    EXPECT_EQ(Name(photo, 3, 7, 1, {NameFormat::kNumberThenContent, SequenceScheme::kPageCycle}),
              "(3-7)我的照片第1张.jpg");
    Touch("(7)我的照片第1张.jpg");  // formats 1 and 2 overwrite
    EXPECT_EQ(Name(photo, 1, 7, 1, {NameFormat::kNumberThenContent, SequenceScheme::kRunning}),
              "(7)我的照片第1张.jpg");
    EXPECT_EQ(Name(photo, 2, 5, 1, {NameFormat::kContentThenNumber, SequenceScheme::kRunning}),
              "我的照片第1张(105).jpg");
}

TEST_F(PictureNamingTest, DateFormatsCountUpPastExistingFiles) {
    const Choice date_after{NameFormat::kContentThenDate, SequenceScheme::kRunning, true};
    EXPECT_EQ(Name(photo, 1, 1, 1, date_after), "我的照片第1张[2014.05.14 00.53].jpg");
    Touch("我的照片第1张[2014.05.14 00.53].jpg");
    EXPECT_EQ(Name(photo, 1, 2, 1, date_after), "我的照片第1张[2014.05.14 00.53](1).jpg");
    Touch("我的照片第1张[2014.05.14 00.53](1).jpg");
    EXPECT_EQ(Name(photo, 1, 3, 1, date_after), "我的照片第1张[2014.05.14 00.53](2).jpg");
    // Attempt 2 takes the first name without looking.
    EXPECT_EQ(Name(photo, 1, 3, 2, date_after), "我的照片第张[2014.05.14 00.53].jpg");

    const Choice date_first{NameFormat::kDateThenContent, SequenceScheme::kRunning, true};
    Touch("[2014.05.14 00.53]我的照片第1张.jpg");
    EXPECT_EQ(Name(photo, 1, 1, 1, date_first), "[2014.05.14 00.53]我的照片第1张(1).jpg");
}

TEST_F(PictureNamingTest, ContentFormatFallsBackToTheNumber) {
    PhotoRecord empty = photo;
    empty.caption = "？ ";
    const Choice content{NameFormat::kContent, SequenceScheme::kRunning, true};
    EXPECT_EQ(Name(empty, 1, 12, 1, content), "(12).jpg");
    Touch("(12).jpg");
    EXPECT_EQ(Name(empty, 1, 12, 1, content), "(12)(12).jpg");
    EXPECT_EQ(Name(photo, 1, 12, 1, content), "我的照片第1张.jpg");
}

TEST_F(PictureNamingTest, FallbackAttemptsShortenTheName) {
    PhotoRecord latin = photo;
    latin.caption = "holiday photos";
    latin.kind = PhotoKind::kGif;
    const Choice first{NameFormat::kContentThenNumber, SequenceScheme::kRunning, true};
    EXPECT_EQ(Name(latin, 1, 5, 2, first), "(5).gif");
    EXPECT_EQ(Name(latin, 1, 5, 3, first), "3600000000001.gif");
    PhotoRecord mixed = photo;
    mixed.caption = "2014年5月 旅行 abc😀";
    EXPECT_EQ(Name(mixed, 1, 1, 2, {NameFormat::kNumberThenContent, SequenceScheme::kRunning}), "(1)年月旅行.jpg");
}

TEST_F(PictureNamingTest, WithoutCaptionOrUploadTimeTheNumberNamesIt) {
    PhotoRecord bare{.photo_id = "3600000000002"};
    EXPECT_EQ(Name(bare, 1, 3, 1, {NameFormat::kNumberThenContent, SequenceScheme::kRunning}), "(3).jpg");
    EXPECT_EQ(Name(bare, 1, 4, 1, {NameFormat::kDateThenContent, SequenceScheme::kRunning}), "(4).jpg");
}

}  // namespace
}  // namespace wa
