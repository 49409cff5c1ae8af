// Turns album names from the Weibo album list, which may still hold "\u"
// escapes, script escapes or percent escapes, into plain text.
#pragma once

#include <string>
#include <string_view>

namespace wa {

// Reads the text as the body of a single-quoted script string literal, then
// undoes %uXXXX / %XX escapes; a text that is no well-formed literal is
// percent-decoded instead, as is one whose value starts with a zero
// character. Line breaks, apostrophes and later zero characters survive.
std::string UnescapeText(std::string_view text);

// Byte-wise percent decoding: "%u" and four hex digits (the first a decimal
// digit other than a leading zero run) gives that UTF-16 unit, "%" and two hex
// digits that code; anything else stays as it is.
std::string DecodePercentEscapes(std::string_view text);

}  // namespace wa
