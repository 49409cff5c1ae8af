// Album-tab answers as the site might send them: wall and album pages, posts
// and live-photo addresses, through to the names their pictures would get.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "download/picture_naming.h"
#include "util/regex_matcher.h"
#include "util/text.h"
#include "doors/album_tab.h"
#include "net/http_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    static wa::RegexMatcher matcher;
    if (const auto page = wa::ReadAlbumTabPage(text)) {
        if (page->cursor == "0") __builtin_trap();  // an end marker is never a cursor
        for (const wa::AlbumTabItem& item : page->items) {
            if (item.pid.empty() && item.mid.empty()) __builtin_trap();
        }
        for (const wa::AlbumRef& album : page->albums) {
            if (!album.key.starts_with(wa::kAlbumTabPrefix)) __builtin_trap();
            const std::string folder = wa::CleanName(album.name);
            if (folder.find('/') != std::string::npos || folder.size() > 4 * album.name.size() + 3) __builtin_trap();
        }
    }
    if (const auto post = wa::ReadPost(text)) {
        int sequence = 0;
        for (const wa::PostPicture& picture : post->pictures) {
            if (!picture.video_url.empty() && !wa::IsWebAddress(picture.video_url)) __builtin_trap();
            wa::PhotoRecord record;
            record.photo_id = picture.pid;
            record.caption = post->caption;
            if (picture.gif) record.kind = wa::PhotoKind::kGif;
            record.upload_seconds = post->uploaded;
            wa::PictureNamer namer("", record, ++sequence, matcher, [](const std::string& name) { return name.size() % 2 == 0; });
            for (int attempt = 1; attempt <= 3; ++attempt) {
                wa::PictureNamer::Choice choice;
                choice.format = static_cast<wa::NameFormat>(1 + (sequence + attempt) % 5);
                const std::string name = namer.PicturePath(attempt, choice);
                // A name of its own in the album folder, never hidden, never too long.
                if (name.empty() || name.find('/') != std::string::npos || name.starts_with('.') ||
                    name.size() > wa::kMaxNameBytes) {
                    __builtin_trap();
                }
                if (!picture.video_url.empty() && wa::VideoPath(name, picture.video_url).size() > wa::kMaxNameBytes) {
                    __builtin_trap();
                }
            }
        }
    }
    const std::string video = wa::LiveVideoUrl(text);
    if (!video.empty() && !wa::IsWebAddress(video)) __builtin_trap();
    (void)wa::ParsePostTime(text);
    return 0;
}
