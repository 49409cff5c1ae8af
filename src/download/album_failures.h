// An album's failures as a run meets them: kept in the user's record store
// the moment they happen, so that a stop or a crash loses none, and
// forgotten as soon as a run gets what failed before.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "download/record_store.h"

namespace wa {

class AlbumFailures {
public:
    AlbumFailures(RecordStore& store, const AlbumRef& album);
    // Reads what failed before, once the store is open.
    void Load();

    void Failed(const RecordStore::FailedItem& item);
    // What failed before under `key` has been got.
    void Got(const std::string& key);
    // The run read the album to its end (not stopped): what failed before
    // and neither failed nor was got now is gone too. `complete` is where a
    // new-only run may stop once nothing is left.
    void ReadToEnd(const std::optional<RecordStore::AlbumMark>& complete);

    // The keys of what failed in this run.
    const std::vector<std::string>& Keys() const { return keys_; }

private:
    RecordStore& store_;
    const AlbumRef& album_;
    bool album_kept_ = false;
    std::set<std::string> before_;  // what failed before this run
    std::vector<std::string> keys_;
};

}  // namespace wa
