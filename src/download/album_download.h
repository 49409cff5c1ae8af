// Downloads one album of the current user into save folder / user / album:
// walks its photo list page by page, applies the date window and the record
// of earlier downloads, fetches every large picture and saves it under the
// chosen name.
#pragma once

#include <string>

#include "doors/album_ref.h"
#include "download/download_options.h"
#include "download/record_store.h"
#include "download/run_events.h"
#include "weibo/service_request.h"
#include "weibo/user_resolution.h"

namespace wa {

class JobToken;
class RequestBatch;
class RunScratch;

// What a run needs besides its observer, its options and its albums.
struct DownloadContext {
    std::string program_folder;  // holds the record stores; the save folder when none is set
    std::string referer;         // the site's home page, sent with every picture request
    JobToken* job = nullptr;
    Pacer* pacer = nullptr;  // every request to the service takes its turn from it
    RequestBatch* pictures = nullptr;  // kept-alive connections for every picture of a run
    // The waits between photo-list attempts and while the network is gone;
    // WaitOnJob by default.
    AttemptWait page_wait;
    RunScratch* scratch = nullptr;     // what the doors keep for the run
    PhotoCounts run_counts;            // the run's figures before this album
};

// With `retry`, only what a run before could not get: the album's failures
// as the record store keeps them.
AlbumOutcome AlbumDownload(const AlbumRef& album, const ResolvedUser& user, RunObserver& observer,
                           const OptionsSource& options, DownloadContext& context,
                           const RecordStore::FailedAlbum* retry = nullptr);

}  // namespace wa
