#include "util/text.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace wa {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 character at `pos`; returns the code point and advances
// `pos`, or returns nullopt (advancing one byte) for an invalid sequence.
std::optional<char32_t> DecodeOne(std::string_view s, std::size_t& pos) {
    const auto b0 = static_cast<unsigned char>(s[pos]);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    int extra;
    char32_t cp;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, cp = b0 & 0x07, min = 0x10000;
    } else {
        ++pos;
        return std::nullopt;
    }
    std::size_t i = pos + 1;
    for (int k = 0; k < extra; ++k, ++i) {
        if (i >= s.size() || !IsContinuationByte(s[i])) {
            pos = i;  // resume at the offending byte
            return std::nullopt;
        }
        cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        pos = i;
        return std::nullopt;
    }
    pos = i;
    return cp;
}

// Converts `in`; nullopt when a byte sequence does not convert, unless
// `unmappable` is given: from UTF-8, a character the target lacks is then
// written as that text instead.
std::optional<std::string> Iconv(std::string_view in, const char* to, const char* from,
                                 const char* unmappable = nullptr) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out(in.size() * 4 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    std::size_t src_left = in.size();
    char* dst = out.data();
    std::size_t dst_left = out.size();
    bool ok = true;
    while (src_left > 0) {
        if (iconv(cd, &src, &src_left, &dst, &dst_left) != static_cast<std::size_t>(-1)) break;
        std::size_t pos = static_cast<std::size_t>(src - in.data());
        if (errno != EILSEQ || !unmappable || !DecodeOne(in, pos) || dst_left < std::strlen(unmappable)) {
            ok = false;
            break;
        }
        // A valid character the target lacks: the stand-in, then go on after it.
        const std::size_t length = std::strlen(unmappable);
        std::memcpy(dst, unmappable, length);
        dst += length;
        dst_left -= length;
        src_left -= static_cast<std::size_t>(in.data() + pos - src);
        src = const_cast<char*>(in.data()) + pos;
    }
    iconv_close(cd);
    if (!ok) return std::nullopt;
    out.resize(out.size() - dst_left);
    return out;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string Utf8BodyText(std::string_view bytes) {
    const std::size_t zero = bytes.find('\0');
    if (zero != std::string_view::npos) bytes = bytes.substr(0, zero);
    std::string out;
    out.reserve(bytes.size());
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t start = pos;
        if (DecodeOne(bytes, pos)) {
            out.append(bytes.substr(start, pos - start));
        } else {
            AppendUtf8(out, kReplacement);
        }
    }
    return out;
}

bool IsValidUtf8(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (!DecodeOne(text, pos)) return false;
    }
    return true;
}

std::optional<std::string> GbkToUtf8(std::string_view gbk) { return Iconv(gbk, "UTF-8", "CP936"); }

std::optional<std::string> Utf8ToGbk(std::string_view utf8) { return Iconv(utf8, "CP936", "UTF-8", "?"); }

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t cp = DecodeOne(utf8, pos).value_or(kReplacement);
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::u32string Utf8ToUtf32(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) out += DecodeOne(utf8, pos).value_or(kReplacement);
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size() * 3);
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char16_t u = utf16[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (utf16[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            out += '?';
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string_view CutToBytes(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t end = limit;
    while (end > 0 && IsContinuationByte(text[end])) --end;
    return text.substr(0, end);
}

std::string OneLine(std::string_view text) {
    std::string line = TerminalSafe(text);
    std::replace_if(line.begin(), line.end(), [](char c) { return c == '\n' || c == '\t'; }, '?');
    return line;
}

std::string TerminalSafe(std::string_view text) {
    std::string unzeroed(text);
    std::replace(unzeroed.begin(), unzeroed.end(), '\0', '\x01');  // shown as "?" below, not cut there
    const std::string valid = Utf8BodyText(unzeroed);
    std::string out;
    out.reserve(valid.size());
    for (std::size_t i = 0; i < valid.size(); ++i) {
        const auto c = static_cast<unsigned char>(valid[i]);
        if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F) {
            out += '?';
        } else if (c == 0xC2 && i + 1 < valid.size() && static_cast<unsigned char>(valid[i + 1]) < 0xA0) {
            out += '?';  // U+0080..U+009F
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string ShownLogLines(std::string_view text) {
    std::string lines(text);
    ReplaceAll(lines, "\r\n", "\n");
    return TerminalSafe(lines);
}

std::size_t FindText(std::string_view text, std::string_view needle, std::size_t from,
                     bool ignore_case) {
    if (from > text.size()) return std::string_view::npos;
    if (needle.empty()) return from;
    const auto fold = [ignore_case](char c) {
        return (ignore_case && c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    for (std::size_t i = from; i + needle.size() <= text.size(); ++i) {
        if (IsContinuationByte(text[i])) continue;
        std::size_t k = 0;
        while (k < needle.size() && fold(text[i + k]) == fold(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to, bool ignore_case) {
    if (from.empty()) return;
    std::size_t pos = 0;
    while ((pos = FindText(text, from, pos, ignore_case)) != std::string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
}

std::string_view TrimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string_view TrimBlanks(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n\v\f";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::vector<std::string> SplitText(std::string_view text, std::string_view separator) {
    std::vector<std::string> pieces;
    if (text.empty()) return pieces;
    std::size_t start = 0;
    while (true) {
        const std::size_t at = text.find(separator, start);
        if (at == std::string_view::npos) {
            if (start < text.size()) pieces.emplace_back(text.substr(start));
            break;
        }
        pieces.emplace_back(text.substr(start, at - start));
        start = at + separator.size();
    }
    return pieces;
}

std::string JoinText(const std::vector<std::string>& pieces, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i) out += separator;
        out += pieces[i];
    }
    return out;
}

long long CountValue(std::string_view text) {
    std::size_t i = 0;
    const auto blank_at = [&text](std::size_t at) -> std::size_t {
        if (at < text.size() && std::string_view(" \t\r\n\v\f").find(text[at]) != std::string_view::npos) return 1;
        if (text.substr(at).starts_with("\u3000")) return 3;
        return 0;
    };
    while (std::size_t n = blank_at(i)) i += n;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    while (i < text.size()) {
        int digit;
        if (text[i] >= '0' && text[i] <= '9') {
            digit = text[i] - '0';
            i += 1;
        } else if (text.substr(i, 2) == "\xEF\xBC" && i + 2 < text.size() &&
                   static_cast<unsigned char>(text[i + 2]) >= 0x90 &&
                   static_cast<unsigned char>(text[i + 2]) <= 0x99) {
            digit = static_cast<unsigned char>(text[i + 2]) - 0x90;  // U+FF10..U+FF19
            i += 3;
        } else {
            break;
        }
        if (value < 1'000'000'000'000'000LL) value = value * 10 + digit;
    }
    return negative ? -value : value;
}

}  // namespace wa
