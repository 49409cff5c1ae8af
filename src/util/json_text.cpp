#include "util/json_text.h"

#include <json-c/json.h>

#include <cinttypes>
#include <cstdio>

#include "util/text.h"

namespace wa {

void JsonDeleter::operator()(json_object* value) const { json_object_put(value); }

std::string JsonTooLarge(std::string_view text) {
    std::size_t objects = 0;
    std::size_t values = 0;
    bool in_string = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (in_string) {
            if (c == '\\') ++i;
            else if (c == '"') in_string = false;
            continue;
        }
        switch (c) {
            case '"': in_string = true; break;
            case '{': ++objects, ++values; break;
            case '[':
            case ',': ++values; break;
            default: break;
        }
    }
    if (objects > kMaxJsonObjects) return "超过 " + std::to_string(kMaxJsonObjects) + " 个对象";
    if (values > kMaxJsonValues) return "超过 " + std::to_string(kMaxJsonValues) + " 个值";
    return {};
}

JsonDocument ParseJson(std::string_view text) {
    if (!JsonTooLarge(text).empty()) return nullptr;
    json_tokener* tokener = json_tokener_new();
    if (!tokener) return nullptr;
    JsonDocument document(json_tokener_parse_ex(tokener, text.data(), static_cast<int>(text.size())));
    const bool complete = json_tokener_get_error(tokener) == json_tokener_success;
    const std::size_t end = json_tokener_get_parse_end(tokener);
    json_tokener_free(tokener);
    if (!complete || !document) return nullptr;
    if (text.substr(end).find_first_not_of(" \t\r\n") != std::string_view::npos) return nullptr;
    return document;
}

json_object* JsonMember(json_object* object, const char* name) {
    json_object* member = nullptr;
    if (!object || !json_object_is_type(object, json_type_object)) return nullptr;
    json_object_object_get_ex(object, name, &member);
    return member;
}

json_object* DataList(json_object* root, const char* list_name) {
    json_object* list = JsonMember(JsonMember(root, "data"), list_name);
    return list && json_object_is_type(list, json_type_array) ? list : nullptr;
}

std::string JsonText(json_object* value) {
    char buffer[64];
    switch (value ? json_object_get_type(value) : json_type_null) {
        case json_type_null: return "null";
        case json_type_boolean: return json_object_get_boolean(value) ? "true" : "false";
        case json_type_int:
            std::snprintf(buffer, sizeof buffer, "%" PRId64, json_object_get_int64(value));
            return buffer;
        case json_type_double:
            std::snprintf(buffer, sizeof buffer, "%.6f", json_object_get_double(value));
            return buffer;
        case json_type_string:
            return JsonQuoted({json_object_get_string(value), static_cast<std::size_t>(json_object_get_string_len(value))},
                              {.as_weibo = true});
        default: return json_object_to_json_string_ext(value, JSON_C_TO_STRING_PLAIN);
    }
}

namespace {

bool MisleadsReaders(char32_t c) {
    return (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069) || c == 0x2028 || c == 0x2029;
}

void AppendEscape(std::string& out, char32_t c, bool lower_case) {
    const auto unit = [&](unsigned u) {
        char escape[8];
        std::snprintf(escape, sizeof escape, lower_case ? "\\u%04x" : "\\u%04X", u);
        out += escape;
    };
    if (c < 0x10000) return unit(static_cast<unsigned>(c));
    unit(0xD800 + static_cast<unsigned>((c - 0x10000) >> 10));
    unit(0xDC00 + static_cast<unsigned>((c - 0x10000) & 0x3FF));
}

}  // namespace

std::string JsonQuoted(std::string_view text, JsonQuoting how) {
    std::string out = "\"";
    out.reserve(text.size() + 2);
    const auto add = [&](char32_t c) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '/': out += how.as_weibo ? "\\/" : "/"; break;
            case '\b': out += "\\b"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20 || (c >= 0x80 && how.ascii_only) || (!how.as_weibo && MisleadsReaders(c))) {
                    AppendEscape(out, c, how.as_weibo);
                } else {
                    AppendUtf8(out, c);
                }
        }
    };
    if (how.as_weibo && !how.ascii_only) {  // the bytes past ASCII as they stand
        for (const char byte : text) {
            if (static_cast<unsigned char>(byte) < 0x80) add(static_cast<unsigned char>(byte));
            else out += byte;
        }
    } else {
        for (const char32_t c : Utf8ToUtf32(text)) add(c);
    }
    return out + "\"";
}

std::string RemoveChars(std::string_view text, std::string_view chars) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (chars.find(c) == std::string_view::npos) out += c;
    }
    return out;
}

}  // namespace wa
