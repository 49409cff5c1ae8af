// Downloads one album of the current user into save folder / user / album:
// walks its photo list page by page, applies the date window and the record
// of earlier downloads, fetches every large picture and saves it under the
// chosen name.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "download/photo_list.h"
#include "weibo/user_resolution.h"

namespace wa {

class DownloadHost;
class JobToken;
class PostCache;
class RequestBatch;

// One album chosen for download, as the album list row gives it.
struct AlbumEntry {
    std::string count;    // photo count text
    std::string id_text;  // album id, "@@", album type
    std::string name;
};

// What a run needs besides the host and the user.
struct DownloadContext {
    std::string program_folder;  // holds the record stores; the save folder when none is set
    std::string referer;         // the site's home page, sent with every picture request
    JobToken* job = nullptr;
    int parallel = 1;                 // pictures in flight at once, 1 to 16
    RequestBatch* pictures = nullptr; // kept-alive connections for every picture of a run
    AttemptWait page_wait;            // the wait between photo-list attempts; PumpingWait by default
    std::shared_ptr<PostCache> posts; // the album tab's posts, read once per run
};

struct AlbumOutcome {
    int saved = 0;
    int videos = 0;   // live-photo videos saved beside their stills
    int skipped = 0;  // outside the date window or downloaded before
    int failed = 0;   // not fetched, not a picture (or video), or not written
    int failed_pages = 0;  // photo-list pages that never came
    bool stopped = false;
    bool login_needed = false;  // a photo page came back as a login page
};

AlbumOutcome AlbumDownload(const AlbumEntry& entry, ResolvedUser& user, DownloadHost& host,
                           DownloadContext& context);

}  // namespace wa
