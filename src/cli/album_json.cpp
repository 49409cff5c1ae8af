#include "cli/album_json.h"

#include <cstdio>

#include "util/text.h"

namespace wa::cli {
namespace {

bool NeedsEscape(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x2028 || c == 0x2029;
}

}  // namespace

std::string JsonQuoted(std::string_view text) {
    std::string out = "\"";
    char escape[8];
    for (const char32_t c : Utf8ToUtf32(text)) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (NeedsEscape(c)) {
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
            out += escape;
        } else {
            AppendUtf8(out, c);
        }
    }
    return out + "\"";
}

std::string AlbumsJson(const std::vector<AlbumRef>& albums) {
    if (albums.empty()) return "[]\n";
    std::string out = "[\n";
    for (std::size_t i = 0; i < albums.size(); ++i) {
        const AlbumRef& album = albums[i];
        out += "  {\n    \"number\": " + std::to_string(i + 1) + ",\n";
        out += "    \"name\": " + JsonQuoted(album.name) + ",\n";
        out += "    \"count\": " + (album.count ? std::to_string(*album.count) : std::string("null")) + ",\n";
        out += "    \"id\": " + JsonQuoted(album.key) + ",\n";
        out += "    \"cover\": " + (album.cover_url.empty() ? std::string("null") : JsonQuoted(album.cover_url)) + "\n  }";
        out += i + 1 < albums.size() ? ",\n" : "\n";
    }
    return out + "]\n";
}

}  // namespace wa::cli
