#include "util/regex_matcher.h"

#include <gtest/gtest.h>

namespace wa {
namespace {

constexpr const char* kHanzi = "[\\u4e00-\\u9fa5]";

TEST(RegexMatcher, CollectsEveryIdeographOverCharactersNotBytes) {
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.Search(kHanzi, "2014年5月 旅行 abc"));
    EXPECT_EQ(matcher.MatchCount(), 4);
    EXPECT_EQ(matcher.MatchText(1), "年");
    EXPECT_EQ(HanziOnly(matcher, "2014年5月 旅行 abc"), "年月旅行");
}

TEST(RegexMatcher, NoIdeographIsASuccessfulEmptySearch) {
    RegexMatcher matcher;
    EXPECT_TRUE(matcher.Search(kHanzi, "holiday 2014!"));
    EXPECT_EQ(matcher.MatchCount(), 0);
    EXPECT_EQ(matcher.MatchText(1), "");
}

TEST(RegexMatcher, ASecondSearchForgetsTheFirst) {
    RegexMatcher matcher;
    matcher.Search(kHanzi, "中文");
    matcher.Search(kHanzi, "x");
    EXPECT_EQ(matcher.MatchCount(), 0);
}

TEST(RegexMatcher, CharactersOutsideTheRangeAreNotMatched) {
    RegexMatcher matcher;
    // Ideographic full stop, full-width comma, emoji, and U+9FA6 just past the range.
    EXPECT_EQ(HanziOnly(matcher, "好。，😀\u9fa6龥"), "好龥");
}

TEST(RegexMatcher, RejectedPatternYieldsNoMatches) {
    RegexMatcher matcher;
    matcher.Search(kHanzi, "中文");
    EXPECT_FALSE(matcher.Search("[unclosed", "中文"));
    EXPECT_EQ(matcher.MatchCount(), 0);
    EXPECT_EQ(matcher.MatchText(0), "");
}

TEST(RegexMatcher, EmptyMatchesAdvanceAndCaseIsIgnored) {
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.Search("x*", "ab"));
    EXPECT_EQ(matcher.MatchCount(), 3);  // before a, before b, at the end
    ASSERT_TRUE(matcher.Search("^a", "A1\na2"));
    EXPECT_EQ(matcher.MatchCount(), 2);
}

TEST(RegexMatcher, InvalidUtf8SubjectDoesNotFailTheSearch) {
    RegexMatcher matcher;
    EXPECT_TRUE(matcher.Search(kHanzi, "\xFF中\xFE"));
    EXPECT_EQ(matcher.MatchCount(), 1);
}

}  // namespace
}  // namespace wa
