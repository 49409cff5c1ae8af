#include "util/text.h"

#include <gtest/gtest.h>

namespace wa {
namespace {

using namespace std::string_literals;

TEST(Utf8BodyText, StopsAtTheFirstZeroByte) {
    EXPECT_EQ(Utf8BodyText("相册\0tail"s), "相册");
    EXPECT_EQ(Utf8BodyText(""), "");
}

TEST(Utf8BodyText, ReplacesInvalidSequencesWithReplacementCharacter) {
    EXPECT_EQ(Utf8BodyText("a\xFF" "b"), "a\uFFFDb");
    // A character cut short by the end of the body, and an overlong form.
    EXPECT_EQ(Utf8BodyText("x\xE7\x9B"), "x\uFFFD");
    EXPECT_EQ(Utf8BodyText("\xC0\xAF"), "\uFFFD");
    // A truncated character followed by a valid one keeps the valid one.
    EXPECT_EQ(Utf8BodyText("\xE7\x9B" "A"), "\uFFFDA");
}

TEST(GbkConversion, RoundTripsChineseText) {
    const std::string gbk = "\xCF\xE0\xB2\xE1";  // 相册 in GBK
    EXPECT_FALSE(IsValidUtf8(gbk));
    EXPECT_EQ(GbkToUtf8(gbk).value(), "相册");
    EXPECT_EQ(Utf8ToGbk("相册").value(), gbk);
}

TEST(Utf16Conversion, KeepsPairsAndMarksLoneSurrogates) {
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("中😀")), "中😀");
    EXPECT_EQ(Utf16ToUtf8(u"\xD83D" u"a"), "?a");
}

TEST(FindText, NeverStartsInsideACharacter) {
    // "\xB8\xAD" spans the end of one character of 中 (E4 B8 AD): no match.
    EXPECT_EQ(FindText("中文", "\xB8\xAD"), std::string::npos);
    EXPECT_EQ(FindText("中文", "文"), 3u);
    EXPECT_EQ(FindText("ABC", "b", 0, true), 1u);
    EXPECT_EQ(FindText("ABC", "b", 0, false), std::string::npos);
}

TEST(SplitText, KeepsInnerEmptyPiecesButNoTrailingOne) {
    EXPECT_EQ(SplitText("a;;b;", ";"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_TRUE(SplitText("", ";").empty());
}

}  // namespace
}  // namespace wa
