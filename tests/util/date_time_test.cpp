#include "util/date_time.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace wa {
namespace {

DateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) { return {y, mo, d, h, mi, s}; }

TEST(BeijingTime, UsesChinaStandardTimeWhateverTheMachineZone) {
    setenv("TZ", "America/New_York", 1);
    EXPECT_EQ(BeijingTime(0), At(1970, 1, 1, 8));
    EXPECT_EQ(BeijingTime(1400000000), At(2014, 5, 14, 0, 53, 20));
    unsetenv("TZ");
}

TEST(BeijingTime, ThirteenDigitTimestampsCountMilliseconds) {
    EXPECT_EQ(BeijingTime(1400000000999), At(2014, 5, 14, 0, 53, 20));
    EXPECT_EQ(BeijingTime(10000000000), At(1970, 4, 27, 1, 46, 40));
    // 9,999,999,999 is still seconds: computed in 64 bits it lands in 2286.
    EXPECT_EQ(BeijingTime(9999999999), At(2286, 11, 21, 1, 46, 39));
}

TEST(BeijingTime, DoesNotWrapAfter2038) {
    EXPECT_EQ(BeijingTime(2147483647), At(2038, 1, 19, 11, 14, 7));
    EXPECT_EQ(BeijingTime(2147483648), At(2038, 1, 19, 11, 14, 8));
    EXPECT_EQ(SecondsOfBeijingTime(At(2040, 1, 1)), 2208960000);
}

TEST(SecondsOfBeijingTime, RoundTripsEverySecondOfTheSupportedRange) {
    EXPECT_EQ(SecondsOfBeijingTime(At(1970, 1, 1, 8)), 0);
    EXPECT_EQ(SecondsOfBeijingTime(At(1970, 1, 1)), -28800);
    // Every second would take minutes; a prime stride still crosses every
    // field boundary many times, and the range ends are checked exactly.
    for (std::int64_t t = 0; t <= 2147483647; t += 9973) {
        ASSERT_EQ(SecondsOfBeijingTime(BeijingTime(t)), t) << t;
    }
    for (std::int64_t t = 2147483647 - 100000; t <= 2147483647; ++t) {
        ASSERT_EQ(SecondsOfBeijingTime(BeijingTime(t)), t) << t;
    }
}

TEST(FormatDateTime, FollowsTheClockConvention) {
    const DateTime eve = At(1999, 12, 31, 23, 59, 59);
    EXPECT_EQ(FormatDateTime(eve, DateStyle::kChinese, DateFields::kAll, true), "1999年12月31日 23时59分59秒");
    EXPECT_EQ(FormatDateTime(eve, DateStyle::kChinese, DateFields::kAll, false), "1999年12月31日 11时59分59秒");
    EXPECT_EQ(FormatDateTime(At(2014, 5, 6, 0, 5), DateStyle::kDashes, DateFields::kHourMinute, false), "12:05");
}

TEST(FormatDateTime, RendersEveryPartSelector) {
    const DateTime t = At(2014, 5, 6, 13, 45, 12);
    EXPECT_EQ(FormatDateTime(t, DateStyle::kDashes, DateFields::kAll, true), "2014-05-06 13:45:12");
    EXPECT_EQ(FormatDateTime(t, DateStyle::kDashes, DateFields::kDate, true), "2014-05-06");
    EXPECT_EQ(FormatDateTime(t, DateStyle::kDashes, DateFields::kMonthDay, true), "05-06");
    EXPECT_EQ(FormatDateTime(t, DateStyle::kDashes, DateFields::kTime, true), "13:45:12");
    EXPECT_EQ(FormatDateTime(t, DateStyle::kDashes, DateFields::kHourMinute, true), "13:45");
    EXPECT_EQ(FormatDateTime(t, DateStyle::kDashes, DateFields::kMinuteSecond, true), "45:12");
    EXPECT_EQ(FormatDateTime(t, DateStyle::kDashes, DateFields::kMinuteSecond, false), "45:12");
    EXPECT_EQ(FormatDateTime(t, DateStyle::kSlashes, DateFields::kAll, true), "2014/05/06 13/45/12");
    EXPECT_EQ(FormatDateTime(t, DateStyle::kDigitsOnly, DateFields::kAll, true), "20140506134512");
    EXPECT_EQ(FormatDateTime(t, DateStyle::kChinese, DateFields::kMonthDay, true), "05月06日");
}

TEST(FormatDateTime, UnrepresentableDateIsEmpty) {
    EXPECT_EQ(FormatDateTime(At(99, 12, 31), DateStyle::kDashes, DateFields::kAll, true), "");
    EXPECT_EQ(FormatDateTime(At(2014, 2, 30), DateStyle::kDashes, DateFields::kAll, true), "");
}

TEST(Uses24HourClock, ReadsTheTimeLocale) {
    setenv("LC_ALL", "C", 1);
    EXPECT_TRUE(Uses24HourClock());
    setenv("LC_ALL", "xx_NOWHERE.UTF-8", 1);  // a locale that cannot be asked: the 12-hour form
    EXPECT_FALSE(Uses24HourClock());
    unsetenv("LC_ALL");
}


TEST(DateText, TimePartFollowsTheLastNonZeroField) {
    EXPECT_EQ(DateText(At(2014, 5, 6)), "2014年5月6日");
    EXPECT_EQ(DateText(At(2014, 5, 6, 13, 5)), "2014年5月6日13时5分");
    EXPECT_EQ(DateText(At(2014, 5, 6, 13)), "2014年5月6日13时");
    EXPECT_EQ(DateText(At(2014, 5, 6, 0, 0, 9)), "2014年5月6日0时0分9秒");
}

TEST(DateText, ReadsItsOwnFormAndTheCommonOnes) {
    for (const DateTime& t : {At(2014, 5, 6), At(2014, 5, 6, 13, 5), At(2014, 5, 6, 13), At(2037, 12, 30, 23, 59, 59)}) {
        EXPECT_EQ(ParseDateText(DateText(t)), t);
    }
    EXPECT_EQ(ParseDateText("2014-05-06 13:05:06"), At(2014, 5, 6, 13, 5, 6));
    EXPECT_EQ(ParseDateText("2014/5/6"), At(2014, 5, 6));
    EXPECT_EQ(ParseDateText("yesterday"), At(100, 1, 1));
    EXPECT_EQ(ParseDateText("2014年13月1日"), At(100, 1, 1));
    EXPECT_EQ(ParseDateText(""), At(100, 1, 1));
}

}  // namespace
}  // namespace wa
