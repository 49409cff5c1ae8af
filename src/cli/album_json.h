// The albums of `weibo-albums-cli albums --json`: one JSON array that every
// reader accepts, whatever text the service sent.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "doors/album_ref.h"

namespace wa::cli {

// A JSON string: invalid UTF-8 as U+FFFD, a NUL kept as \u0000, and every
// control character (C0, DEL, C1), bidi control and line or paragraph
// separator as \uXXXX, so that no terminal, editor or JavaScript reader of
// the output is misled by it.
std::string JsonQuoted(std::string_view text);

// [{"number":1,"name":…,"count":…,"id":…,"cover":…},…], pretty-printed. A
// count of digits that does not fit a 64-bit integer stays a string; one
// that is no number is null.
std::string AlbumsJson(const std::vector<AlbumRef>& albums);

}  // namespace wa::cli
