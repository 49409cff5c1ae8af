#include "util/date_time.h"

#include <langinfo.h>
#include <locale.h>

#include <array>
#include <cstdio>
#include <ctime>
#include <string_view>

namespace wa {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kUtcOffsetSeconds = 8 * 3600;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, DateTime& out) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    out.year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
    out.month = static_cast<int>(m);
    out.day = static_cast<int>(d);
}

int DaysInMonth(int year, int month) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

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
    return v.year >= 100 && v.year <= 9999 && v.month >= 1 && v.month <= 12 && v.day >= 1 &&
           v.day <= DaysInMonth(v.year, v.month) && v.hour >= 0 && v.hour <= 23 && v.minute >= 0 &&
           v.minute <= 59 && v.second >= 0 && v.second <= 59;
}

DateTime UnixToLocalTime(std::int64_t timestamp) {
    if (timestamp > 9'999'999'999) timestamp /= 1000;  // positive, so this is the floor
    const std::int64_t local = timestamp + kUtcOffsetSeconds;
    std::int64_t days = local / kSecondsPerDay;
    std::int64_t rest = local % kSecondsPerDay;
    if (rest < 0) rest += kSecondsPerDay, --days;
    DateTime out;
    CivilFromDays(days, out);
    out.hour = static_cast<int>(rest / 3600);
    out.minute = static_cast<int>(rest / 60 % 60);
    out.second = static_cast<int>(rest % 60);
    return out;
}

std::int64_t LocalTimeToUnix(const DateTime& v) {
    const std::int64_t days =
        DaysFromCivil(v.year, static_cast<unsigned>(v.month), static_cast<unsigned>(v.day));
    return days * kSecondsPerDay + v.hour * 3600 + v.minute * 60 + v.second - kUtcOffsetSeconds;
}

std::string FormatDateTime(const DateTime& value, int style, int selector) {
    return FormatDateTime(value, style, selector, Uses24HourClock());
}

std::string FormatDateTime(const DateTime& value, int style, int selector, bool use_24_hour_clock) {
    if (style < 0 || style > 3) style = 0;
    const StylePatterns& patterns = kStyles[static_cast<std::size_t>(style)];
    std::string date(patterns.full_date);
    std::string time(patterns.full_time);
    switch (selector) {
        case 1:
            time.clear();
            while (!date.empty() && date.back() == ' ') date.pop_back();
            break;
        case 2: date = patterns.month_day, time.clear(); break;
        case 3: date.clear(); break;
        case 4: date.clear(), time = patterns.hour_minute; break;
        case 5: date.clear(), time = patterns.minute_second; break;
        default: break;
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
