#include "util/escapes.h"

#include <optional>

#include "util/text.h"

namespace wa {
namespace {

constexpr std::string_view kLineBreakMark = "{$}";
constexpr std::string_view kApostropheMark = "\u2019";  // ’

int HexValue(char32_t c) {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
    return -1;
}

// Value of `count` hex digits starting at `pos`, or -1.
template <typename Text>
int HexAt(const Text& text, std::size_t pos, std::size_t count) {
    if (pos + count > text.size()) return -1;
    int value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const int digit = HexValue(static_cast<char32_t>(text[pos + i]));
        if (digit < 0) return -1;
        value = value * 16 + digit;
    }
    return value;
}

bool IsLineTerminator(char16_t c) { return c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029; }
bool IsOctalDigit(char16_t c) { return c >= u'0' && c <= u'7'; }

// The value of a single-quoted string literal body by the 3rd-edition rules,
// with the octal escapes of its Annex B. Nullopt when the body is ill-formed.
std::optional<std::u16string> EvaluateLiteral(std::u16string_view body) {
    std::u16string out;
    out.reserve(body.size());
    for (std::size_t i = 0; i < body.size(); ++i) {
        const char16_t c = body[i];
        if (IsLineTerminator(c) || c == u'\'') return std::nullopt;
        if (c != u'\\') {
            out += c;
            continue;
        }
        if (++i >= body.size()) return std::nullopt;  // swallows the closing quote
        const char16_t e = body[i];
        switch (e) {
            case u'b': out += u'\b'; break;
            case u't': out += u'\t'; break;
            case u'n': out += u'\n'; break;
            case u'v': out += u'\v'; break;
            case u'f': out += u'\f'; break;
            case u'r': out += u'\r'; break;
            case u'x': {
                const int value = HexAt(body, i + 1, 2);
                if (value < 0) {
                    out += e;
                } else {
                    out += static_cast<char16_t>(value);
                    i += 2;
                }
                break;
            }
            case u'u': {
                const int value = HexAt(body, i + 1, 4);
                if (value < 0) {
                    out += e;
                } else {
                    out += static_cast<char16_t>(value);
                    i += 4;
                }
                break;
            }
            default:
                if (IsLineTerminator(e)) return std::nullopt;
                if (IsOctalDigit(e)) {
                    // ZeroToThree Octal Octal | Octal Octal | Octal
                    int value = e - u'0';
                    const std::size_t max_len = e <= u'3' ? 3 : 2;
                    std::size_t len = 1;
                    while (len < max_len && i + 1 < body.size() && IsOctalDigit(body[i + 1])) {
                        value = value * 8 + (body[++i] - u'0');
                        ++len;
                    }
                    out += static_cast<char16_t>(value);
                } else {
                    out += e;  // \' \" \\ and every other character stand for themselves
                }
        }
    }
    return out;
}

// The script's global unescape(): %uXXXX and %XX, everything else unchanged.
std::u16string Unescape(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'%') {
            if (i + 5 < text.size() + 0 && text[i + 1] == u'u') {
                const int value = HexAt(text, i + 2, 4);
                if (value >= 0) {
                    out += static_cast<char16_t>(value);
                    i += 5;
                    continue;
                }
            }
            const int value = HexAt(text, i + 1, 2);
            if (value >= 0) {
                out += static_cast<char16_t>(value);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

void AppendCodeUnit(std::string& out, int unit) {
    if (unit == 0) return;
    if (unit >= 0xD800 && unit <= 0xDFFF) {
        out += '?';  // half of a pair has no character of its own
    } else {
        AppendUtf8(out, static_cast<char32_t>(unit));
    }
}

}  // namespace

std::string DecodePercentEscapes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 5 < n && text[i + 1] == 'u') {
            // Only a unit whose leading decimal digits are not all zero counts.
            int leading = 0;
            for (std::size_t k = i + 2; k < i + 6 && text[k] >= '0' && text[k] <= '9'; ++k) {
                leading = leading * 10 + (text[k] - '0');
            }
            const int value = HexAt(text, i + 2, 4);
            if (leading != 0 && value >= 0) {
                AppendCodeUnit(out, value);
                i += 5;
            } else {
                out += '%';
            }
            continue;
        }
        const int value = i + 2 < n ? HexAt(text, i + 1, 2) : -1;
        if (value >= 0) {
            AppendCodeUnit(out, value);
            i += 2;
        } else {
            out += '%';
        }
    }
    return out;
}

std::string UnescapeText(std::string_view input) {
    if (input.empty()) return {};
    std::string text(input);
    ReplaceAll(text, "\r\n", kLineBreakMark);
    if (!text.empty() && text.front() == '\r') text.erase(0, 1);
    ReplaceAll(text, "\\u", "%u");
    ReplaceAll(text, "'", kApostropheMark);

    std::string decoded;
    if (const auto literal = EvaluateLiteral(Utf8ToUtf16(text))) {
        decoded = Utf16ToUtf8(Unescape(*literal));
        // A value that starts with a zero character reads as empty; a zero
        // character later is kept with the text after it.
        if (!decoded.empty() && decoded.front() == '\0') decoded.clear();
    }
    if (decoded.empty()) decoded = DecodePercentEscapes(text);

    ReplaceAll(decoded, kApostropheMark, "'");
    ReplaceAll(decoded, kLineBreakMark, "\r\n");
    return decoded;
}

}  // namespace wa
