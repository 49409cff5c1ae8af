#include "download/album_failures.h"

namespace wa {

AlbumFailures::AlbumFailures(RecordStore& store, const AlbumRef& album) : store_(store), album_(album) {}

void AlbumFailures::Load() {
    const std::vector<std::string> keys = store_.FailureKeys(album_.key);
    before_.insert(keys.begin(), keys.end());
}

void AlbumFailures::Failed(const RecordStore::FailedItem& item) {
    if (!album_kept_) album_kept_ = store_.PutFailedAlbum(album_, std::nullopt);
    store_.PutFailure(album_.key, item);
    keys_.push_back(item.Key());
}

void AlbumFailures::Got(const std::string& key) {
    if (before_.erase(key) > 0) store_.RemoveFailure(album_.key, key);
}

void AlbumFailures::ReadToEnd(const std::optional<RecordStore::AlbumMark>& complete) {
    store_.KeepFailures(album_.key, keys_);
    if (!keys_.empty()) store_.PutFailedAlbum(album_, complete);
}

}  // namespace wa
