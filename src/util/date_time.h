// Upload moments and date-window bounds as local date-times at China Standard
// Time (UTC+8), whatever the machine's own zone, and their rendering in picture
// names.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

namespace wa {

// A calendar date and time of day, whole seconds, no zone. Valid years are 100
// to 9999.
struct DateTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;

    friend auto operator<=>(const DateTime&, const DateTime&) = default;
};

// True when every field lies in its calendar range and the year in 100..9999.
bool IsValidDateTime(const DateTime& value);

// The Beijing time (UTC+8, as Weibo's times are) of a moment: a timestamp
// above 9,999,999,999 counts milliseconds, anything else seconds. Computed
// in 64 bits, so nothing wraps in 2038.
DateTime BeijingTime(std::int64_t timestamp);

// Seconds since the epoch of a Beijing time.
std::int64_t SecondsOfBeijingTime(const DateTime& value);

// How a date and time are written: the separators, and which fields.
enum class DateStyle { kChinese, kDashes, kSlashes, kDigitsOnly };  // 年月日, "-:", "/", none
enum class DateFields { kAll, kDate, kMonthDay, kTime, kHourMinute, kMinuteSecond };

// Renders `value` in `style` with `fields`. Empty text for a date-time
// outside the valid range. The first form asks the user's locale for the clock.
std::string FormatDateTime(const DateTime& value, DateStyle style, DateFields fields);
std::string FormatDateTime(const DateTime& value, DateStyle style, DateFields fields, bool use_24_hour_clock);

// The settings file's date text: "2014年5月6日", then "13时5分6秒", "13时5分"
// or "13时" by the last non-zero field; nothing at midnight.
std::string DateText(const DateTime& value);

// Reads a date text back; also "2014-05-06 13:05:06" and "2014/5/6". Text that
// is not a date gives 1 January of year 100.
DateTime ParseDateText(std::string_view text);

// "2026-12-09 04:48": a moment as the computer's clock shows it, in its own
// time zone; the zone's name follows when it is not UTC+8 ("04:48 UTC"), so
// that a time is never taken for Beijing time when it is not.
std::string LocalMinuteText(std::int64_t seconds);

// True when the user's time locale (LC_TIME) writes hours on a 24-hour clock.
bool Uses24HourClock();

}  // namespace wa
