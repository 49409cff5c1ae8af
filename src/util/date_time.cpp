#include "util/date_time.h"

#include <langinfo.h>
#include <locale.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string_view>

namespace wa {
namespace {

using std::chrono::days;
using std::chrono::seconds;

// Beijing time: China Standard Time, UTC+8 all year.
constexpr seconds kBeijingOffset{8 * 3600};

struct StylePatterns {
    std::string_view full_date, full_time, month_day, hour_minute, minute_second;
};

constexpr std::array<StylePatterns, 4> kStyles = {{
    {"yyyy年MM月dd日 ", "hh时mm分ss秒", "MM月dd日", "hh时mm分", "mm分ss秒"},
    {"yyyy-MM-dd ", "hh:mm:ss", "MM-dd", "hh:mm", "mm:ss"},
    {"yyyy/MM/dd ", "hh/mm/ss", "MM/dd", "hh/mm", "mm/ss"},
    {"yyyyMMdd", "hhmmss", "MMdd", "hhmm", "mmss"},
}};

// Renders a Windows-style date/time picture: runs of y, M, d, h, H, m, s are
// fields, every other character is copied.
std::string RenderPicture(std::string_view picture, const DateTime& v) {
    std::string out;
    char buffer[16];
    for (std::size_t i = 0; i < picture.size();) {
        const char c = picture[i];
        int value;
        switch (c) {
            case 'y': value = v.year; break;
            case 'M': value = v.month; break;
            case 'd': value = v.day; break;
            case 'h': value = v.hour % 12 == 0 ? 12 : v.hour % 12; break;
            case 'H': value = v.hour; break;
            case 'm': value = v.minute; break;
            case 's': value = v.second; break;
            default: out += c; ++i; continue;
        }
        std::size_t run = 1;
        while (i + run < picture.size() && picture[i + run] == c) ++run;
        i += run;
        if (c == 'y' && run <= 2) value %= 100;
        const int width = c == 'y' && run >= 3 ? 4 : (run >= 2 ? 2 : 1);
        std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
        out += buffer;
    }
    return out;
}

}  // namespace

bool IsValidDateTime(const DateTime& v) {
    const std::chrono::year_month_day date{std::chrono::year{v.year}, std::chrono::month{static_cast<unsigned>(v.month)},
                                           std::chrono::day{static_cast<unsigned>(v.day)}};
    return v.year >= 100 && v.year <= 9999 && date.ok() && v.hour >= 0 && v.hour <= 23 && v.minute >= 0 &&
           v.minute <= 59 && v.second >= 0 && v.second <= 59;
}

DateTime BeijingTime(std::int64_t timestamp) {
    if (timestamp > 9'999'999'999) timestamp /= 1000;  // positive, so this is the floor
    const std::chrono::sys_seconds moment{seconds{timestamp} + kBeijingOffset};
    const auto day = std::chrono::floor<days>(moment);
    const std::chrono::year_month_day date{day};
    const std::chrono::hh_mm_ss time{moment - day};
    return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
            static_cast<int>(static_cast<unsigned>(date.day())), static_cast<int>(time.hours().count()),
            static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count())};
}

std::int64_t SecondsOfBeijingTime(const DateTime& v) {
    const std::chrono::sys_days day{std::chrono::year{v.year} / v.month / v.day};
    const seconds moment = day.time_since_epoch() + std::chrono::hours{v.hour} + std::chrono::minutes{v.minute} +
                           seconds{v.second} - kBeijingOffset;
    return moment.count();
}

std::string FormatDateTime(const DateTime& value, DateStyle style, DateFields fields) {
    return FormatDateTime(value, style, fields, Uses24HourClock());
}

std::string FormatDateTime(const DateTime& value, DateStyle style, DateFields fields, bool use_24_hour_clock) {
    const StylePatterns& patterns = kStyles[static_cast<std::size_t>(style)];
    std::string date(patterns.full_date);
    std::string time(patterns.full_time);
    switch (fields) {
        case DateFields::kDate:
            time.clear();
            while (!date.empty() && date.back() == ' ') date.pop_back();
            break;
        case DateFields::kMonthDay: date = patterns.month_day, time.clear(); break;
        case DateFields::kTime: date.clear(); break;
        case DateFields::kHourMinute: date.clear(), time = patterns.hour_minute; break;
        case DateFields::kMinuteSecond: date.clear(), time = patterns.minute_second; break;
        case DateFields::kAll: break;
    }
    if (use_24_hour_clock) {
        for (char& c : time) {
            if (c == 'h') c = 'H';
        }
    }
    if (!IsValidDateTime(value)) return {};
    return RenderPicture(date, value) + RenderPicture(time, value);
}

std::string DateText(const DateTime& v) {
    std::string text = std::to_string(v.year) + "年" + std::to_string(v.month) + "月" + std::to_string(v.day) + "日";
    if (v.second != 0) {
        text += std::to_string(v.hour) + "时" + std::to_string(v.minute) + "分" + std::to_string(v.second) + "秒";
    } else if (v.minute != 0) {
        text += std::to_string(v.hour) + "时" + std::to_string(v.minute) + "分";
    } else if (v.hour != 0) {
        text += std::to_string(v.hour) + "时";
    }
    return text;
}

DateTime ParseDateText(std::string_view text) {
    const DateTime not_a_date{100, 1, 1, 0, 0, 0};
    // Digit runs and the separator after each: 年月日时分秒, "-" "/" ":" and blanks.
    int fields[6] = {0, 0, 0, 0, 0, 0};
    int count = 0;
    std::size_t i = 0;
    const auto skip = [&](std::string_view piece) {
        if (text.substr(i).starts_with(piece)) {
            i += piece.size();
            return true;
        }
        return false;
    };
    while (i < text.size() && text[i] == ' ') ++i;
    while (i < text.size()) {
        if (text[i] < '0' || text[i] > '9' || count == 6) return not_a_date;
        long value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && value < 100000) value = value * 10 + (text[i++] - '0');
        fields[count++] = static_cast<int>(value);
        static constexpr std::string_view kSeparators[] = {"年", "月", "日", "时", "分", "秒", "-", "/", ":", "T", " "};
        bool separated = false;
        for (const std::string_view piece : kSeparators) {
            while (skip(piece)) separated = true;
        }
        if (!separated && i < text.size()) return not_a_date;
    }
    if (count < 3) return not_a_date;
    const DateTime value{fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]};
    return IsValidDateTime(value) ? value : not_a_date;
}

std::string LocalMinuteText(std::int64_t seconds) {
    const std::time_t moment = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!::localtime_r(&moment, &local)) return {};
    char text[64];
    std::strftime(text, sizeof text, local.tm_gmtoff == 8 * 3600 ? "%Y-%m-%d %H:%M" : "%Y-%m-%d %H:%M %Z", &local);
    return text;
}

bool Uses24HourClock() {
    // When the user's time locale cannot be asked, the 12-hour form is used.
    locale_t locale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr)) return false;
    const std::string_view format = nl_langinfo_l(T_FMT, locale);
    const bool twelve = format.find("%I") != std::string_view::npos ||
                        format.find("%l") != std::string_view::npos ||
                        format.find("%r") != std::string_view::npos;
    freelocale(locale);
    return !twelve;
}

}  // namespace wa
