// The albums of `weibo-albums-cli albums --json`: one JSON array that every
// reader accepts, whatever text the service sent.
#pragma once

#include <string>
#include <vector>

#include "doors/album_ref.h"

namespace wa::cli {

// [{"number":1,"name":…,"count":…,"id":…,"cover":…},…], pretty-printed. A
// count of digits that does not fit a 64-bit integer stays a string; one
// that is no number is null.
std::string AlbumsJson(const std::vector<AlbumRef>& albums);

}  // namespace wa::cli
