// Text handling for the engine: UTF-8 std::string throughout, with the few
// conversions the Weibo answers, old Windows files and the escape decoder need.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wa {

// The text of an HTTP answer body: the bytes up to the first zero byte, read as
// UTF-8, with every invalid sequence replaced by U+FFFD.
std::string Utf8BodyText(std::string_view bytes);

bool IsValidUtf8(std::string_view text);

// Old settings files from Windows are GBK, read and written as Windows does:
// code page 936 (0x80 is the euro sign). Empty optional when the bytes do not
// convert; a character code page 936 lacks is written as "?".
std::optional<std::string> GbkToUtf8(std::string_view gbk);
std::optional<std::string> Utf8ToGbk(std::string_view utf8);

// UTF-16 code units, for the parts that are defined on them (the escape
// decoder). Invalid UTF-8 becomes U+FFFD; an unpaired surrogate becomes "?".
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
// Code points, for filters defined on them; invalid UTF-8 becomes U+FFFD.
std::u32string Utf8ToUtf32(std::string_view utf8);
void AppendUtf8(std::string& out, char32_t code_point);

// True for the second and later bytes of a UTF-8 character: a search never
// starts a match there.
inline bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::string AsciiLower(std::string_view text);

// The longest start of `text` of at most `limit` bytes that ends on a
// character boundary.
std::string_view CutToBytes(std::string_view text, std::size_t limit);

// Text from the service as it may reach a terminal or the log: valid UTF-8,
// with C0 controls other than tab and newline, DEL and C1 controls as "?".
std::string TerminalSafe(std::string_view text);
// TerminalSafe on one line: tab and newline as "?" too.
std::string OneLine(std::string_view text);
// Log lines as they are shown: "\r\n" line ends as "\n", then TerminalSafe.
std::string ShownLogLines(std::string_view text);

// Position of `needle` in `text` at or after `from`, never starting inside a
// character; npos when absent. Ignore-case folds ASCII letters only.
std::size_t FindText(std::string_view text, std::string_view needle, std::size_t from = 0,
                     bool ignore_case = false);

void ReplaceAll(std::string& text, std::string_view from, std::string_view to,
                bool ignore_case = false);

// Trims ASCII spaces (only ' ') at both ends.
std::string_view TrimSpaces(std::string_view text);
// Trims ASCII blanks (space, tab, CR, LF, VT, FF) at both ends.
std::string_view TrimBlanks(std::string_view text);

// Splits at every `separator`; empty pieces between adjacent separators are
// kept, a trailing separator adds none, an empty text gives no pieces.
std::vector<std::string> SplitText(std::string_view text, std::string_view separator);

std::string JoinText(const std::vector<std::string>& pieces, std::string_view separator);

// The integer value of a count text: leading blanks, an optional sign, then
// digits (full-width ones too) up to the first other character; 0 without any.
long long CountValue(std::string_view text);

}  // namespace wa
