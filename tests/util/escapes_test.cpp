#include "util/escapes.h"

#include <gtest/gtest.h>

namespace wa {
namespace {

TEST(UnescapeText, DecodesBackslashUEscapesAsReceived) {
    EXPECT_EQ(UnescapeText("\\u76f8\\u518c"), "相册");
    EXPECT_EQ(UnescapeText("%u4e2d%u6587"), "中文");
    EXPECT_EQ(UnescapeText("\\u4e2d\\u6587"), "中文");
    EXPECT_EQ(UnescapeText(""), "");
}

TEST(UnescapeText, KeepsApostrophesAndLineBreaks) {
    EXPECT_EQ(UnescapeText("it's"), "it's");
    EXPECT_EQ(UnescapeText("第一行\r\n第二行"), "第一行\r\n第二行");
    // A leading CR left over after the CR LF protection is dropped.
    EXPECT_EQ(UnescapeText("\rabc"), "abc");
}

TEST(UnescapeText, ProtectionMarksInTheInputComeBackAsTheirCharacters) {
    EXPECT_EQ(UnescapeText("a\u2019b{$}c"), "a'b\r\nc");
}

TEST(UnescapeText, ScriptEscapesOfTheLiteral) {
    EXPECT_EQ(UnescapeText("a\\/b"), "a/b");
    EXPECT_EQ(UnescapeText("a\\\\b"), "a\\b");
    EXPECT_EQ(UnescapeText("\\x41\\101\\q"), "AAq");
    EXPECT_EQ(UnescapeText("%41%zz"), "A%zz");
}

TEST(UnescapeText, IllFormedLiteralFallsBackToPercentDecoding) {
    // The final backslash swallows the closing quote: the text of step 4 is
    // percent-decoded instead, backslash kept.
    EXPECT_EQ(UnescapeText("相册\\u4e2d\\"), "相册中\\");
    // A lone LF inside the literal is ill-formed too.
    EXPECT_EQ(UnescapeText("a\nb%41"), "a\nbA");
}

TEST(UnescapeText, EmptyDecodedTextFallsBack) {
    // The literal's value starts with a zero character, so it reads as empty
    // and the percent decoding of the protected text is used instead.
    EXPECT_EQ(UnescapeText("\\0abc%41"), "\\0abcA");
}

TEST(DecodePercentEscapes, UnitsNeedANonZeroLeadingNumber) {
    EXPECT_EQ(DecodePercentEscapes("%u4e2d%u6587"), "中文");
    EXPECT_EQ(DecodePercentEscapes("%u00e9"), "%u00e9");
    EXPECT_EQ(DecodePercentEscapes("%uff0c"), "%uff0c");
    EXPECT_EQ(DecodePercentEscapes("%41%e9"), "Aé");
}

TEST(DecodePercentEscapes, PercentNearTheEndOrBeforeNonHexStays) {
    EXPECT_EQ(DecodePercentEscapes("50%"), "50%");
    EXPECT_EQ(DecodePercentEscapes("5%4"), "5%4");
    EXPECT_EQ(DecodePercentEscapes("%u4e2"), "%u4e2");
    EXPECT_EQ(DecodePercentEscapes("%zz"), "%zz");
    EXPECT_EQ(DecodePercentEscapes("%00x"), "x");
    EXPECT_EQ(DecodePercentEscapes("%u9zzz"), "%u9zzz");
}

}  // namespace
}  // namespace wa
