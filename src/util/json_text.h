// Weibo answers are read member by member in their JSON-text form: a string
// with its quotes and escapes, a number as written, an absent or null member as
// "null". The callers then strip quotes and backslashes as each field needs.
#pragma once

#include <memory>
#include <string>
#include <string_view>

struct json_object;

namespace wa {

struct JsonDeleter {
    void operator()(json_object* value) const;
};
using JsonDocument = std::unique_ptr<json_object, JsonDeleter>;

// How much one answer may hold. Every answer is parsed whole, and the parser
// spends several hundred bytes on each object, so a few MiB of "{}" would
// otherwise take gigabytes. Real answers hold a few thousand objects.
inline constexpr std::size_t kMaxJsonObjects = 50'000;
inline constexpr std::size_t kMaxJsonValues = 500'000;

// Why `text` is too large to be parsed ("超过 50000 个对象"); empty when it
// may be. A quick count, without parsing.
std::string JsonTooLarge(std::string_view text);

// Parses a whole answer; null for text that is not one JSON value (trailing
// garbage included) and for text that is too large.
JsonDocument ParseJson(std::string_view text);

// The member `name` of an object, or null (absent, null, or not an object).
json_object* JsonMember(json_object* object, const char* name);

// The array "data" -> `list_name` of a Weibo answer, or null.
json_object* DataList(json_object* root, const char* list_name);

// The JSON text of a value ("null" for a null pointer).
std::string JsonText(json_object* value);

// The JSON text of member `name` of `object`.
inline std::string MemberJsonText(json_object* object, const char* name) {
    return JsonText(JsonMember(object, name));
}

// How JsonQuoted writes a string.
struct JsonQuoting {
    // As Weibo's servers write it: "/" as "\/", the bytes past ASCII as they
    // stand. Else valid UTF-8 (U+FFFD for what is not), with DEL, the C1
    // controls, bidi controls and line and paragraph separators as \uXXXX
    // too, so that no terminal, editor or JavaScript reader is misled.
    bool as_weibo = false;
    // Every character past ASCII as \uXXXX (a pair past U+FFFF), as the
    // photo service writes captions.
    bool ascii_only = false;
};

// `text` as one JSON string, quotes included: quote and backslash escaped,
// \b \n \r \t as such, every other C0 control (NUL too) as \uXXXX.
std::string JsonQuoted(std::string_view text, JsonQuoting how = {});

// `text` without any of the characters in `chars`.
std::string RemoveChars(std::string_view text, std::string_view chars);

}  // namespace wa
