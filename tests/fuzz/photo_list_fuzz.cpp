// Photo-list and album-list answers as the service might send them, through
// to the records, the folder and file names and the picture addresses.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "download/picture_naming.h"
#include "util/regex_matcher.h"
#include "doors/photo_service.h"
#include "doors/registry.h"
#include "net/http_text.h"

constexpr const char* kFolder = "/nonexistent/album/";

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    static wa::RegexMatcher matcher;
    if (const auto records = wa::ReadPhotoPage(text)) {
        int position = 0;
        for (const wa::PhotoRecord& photo : *records) {
            // The existence tests say "taken" for every name, so every rule runs
            // without touching the disk.
            wa::PictureNamer namer(kFolder, photo, ++position, matcher,
                                   [](const std::string& path) { return path.size() % 3 == 0; });
            for (int attempt = 1; attempt <= 3; ++attempt) {
                wa::PictureNamer::Choice choice;
                choice.format = static_cast<wa::NameFormat>(1 + (position + attempt) % 5);
                const std::string path = namer.PicturePath(attempt, choice);
                // A name of its own in the album folder, never hidden, never empty.
                const std::string_view name = std::string_view(path).substr(std::string_view(kFolder).size());
                if (!path.starts_with(kFolder) || name.find('/') != std::string_view::npos || name.starts_with('.')) {
                    __builtin_trap();
                }
                (void)wa::NumberedPath(path, 2);
            }
            if (photo.addressable && !wa::IsWebAddress(photo.picture_url)) __builtin_trap();
        }
    }
    for (const wa::AlbumRef& album : wa::ReadAlbumListing(text).albums) {
        const std::string folder = wa::CleanName(album.name);
        if (folder.find('/') != std::string::npos || folder == "..") __builtin_trap();
        (void)wa::AlbumOfKey(album.key);
    }
    return 0;
}
