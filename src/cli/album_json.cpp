#include "cli/album_json.h"

#include "util/json_text.h"

namespace wa::cli {

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
