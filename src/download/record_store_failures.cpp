// The record store's memory of what failed: the albums with failures and
// each failed picture, video or run of pages, read back by a retry.
#include <set>

#include "download/record_store.h"
#include "download/sqlite_statement.h"
#include "util/folders.h"

namespace wa {
namespace {

using FailedItem = RecordStore::FailedItem;

constexpr const char* kFailureColumns =
    "kind, photo_id, post_id, picture_url, photo_kind, video_url, caption, uploaded, sequence, still, page, cursor, "
    "numbered, to_end, reason";

FailedItem ReadItem(const Statement& row, int first) {
    FailedItem item;
    int column = first;
    item.kind = static_cast<FailedItem::Kind>(row.Int(column++));
    item.photo.photo_id = row.Text(column++);
    item.photo.post_id = row.Text(column++);
    item.photo.picture_url = row.Text(column++);
    item.photo.kind = static_cast<PhotoKind>(row.Int(column++));
    item.photo.video_url = row.Text(column++);
    item.photo.caption = row.Text(column++);
    item.photo.upload_seconds = row.MaybeInt(column++);
    item.sequence = row.Int(column++);
    item.still = row.Text(column++);
    item.pages.number = static_cast<int>(row.Int(column++));
    item.pages.cursor = row.Text(column++);
    item.pages.numbered = row.Int(column++);
    item.pages.to_end = row.Int(column++) != 0;
    item.reason = row.Text(column);
    return item;
}

// An item as this program writes them: a kind it knows, and a video's
// still by its name alone, for the video is saved beside it.
bool Readable(const FailedItem& item) {
    const auto kind = static_cast<int>(item.kind);
    const auto photo_kind = static_cast<int>(item.photo.kind);
    if (kind < 0 || kind > static_cast<int>(FailedItem::Kind::kPages)) return false;
    if (photo_kind < 0 || photo_kind > static_cast<int>(PhotoKind::kLive)) return false;
    return item.kind != FailedItem::Kind::kVideo || IsOneName(item.still);
}

}  // namespace

std::string FailedItem::Key() const {
    switch (kind) {
        case Kind::kPicture: return "p:" + photo.photo_id;
        case Kind::kVideo: return "v:" + photo.photo_id;
        case Kind::kPages: break;
    }
    return "page:" + std::to_string(pages.number);
}

FailedItem FailedItem::Picture(const PhotoRecord& photo, long long sequence, std::string reason) {
    FailedItem item;
    item.photo = photo;
    item.sequence = sequence;
    item.reason = std::move(reason);
    return item;
}

FailedItem FailedItem::Video(const PhotoRecord& photo, std::string still, std::string reason) {
    FailedItem item;
    item.kind = Kind::kVideo;
    item.photo = photo;
    item.still = std::move(still);
    item.reason = std::move(reason);
    return item;
}

FailedItem FailedItem::Pages(const PageMark& pages, std::string reason) {
    FailedItem item;
    item.kind = Kind::kPages;
    item.pages = pages;
    item.reason = std::move(reason);
    return item;
}

std::vector<RecordStore::FailedAlbum> RecordStore::Failures() {
    std::lock_guard lock(mutex_);
    std::vector<FailedAlbum> albums;
    if (!db_ || !has_failures_) return albums;
    Statement listed(db_, "SELECT album, door, id, type, name, count, newest, uploaded FROM failed_albums ORDER BY position");
    while (listed.Row()) {
        FailedAlbum failed;
        failed.album.key = listed.Text(0);
        failed.album.door = listed.Text(1);
        failed.album.id = listed.Text(2);
        failed.album.type = listed.Text(3);
        failed.album.name = listed.Text(4);
        failed.album.count = listed.MaybeInt(5);
        if (const std::optional<std::int64_t> uploaded = listed.MaybeInt(7)) {
            failed.complete = AlbumMark{listed.Text(6), *uploaded};
        }
        albums.push_back(std::move(failed));
    }
    const std::string sql = std::string("SELECT ") + kFailureColumns + " FROM failures WHERE album=?1 ORDER BY kind, sequence, page";
    Statement items(db_, sql.c_str());
    for (FailedAlbum& failed : albums) {
        items.Bind(failed.album.key);
        while (items.Row()) {
            FailedItem item = ReadItem(items, 0);
            if (Readable(item)) failed.items.push_back(std::move(item));
        }
        items.Reset();
    }
    std::erase_if(albums, [](const FailedAlbum& failed) { return failed.items.empty(); });
    return albums;
}

int RecordStore::FailureCount() {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_failures_) return 0;
    Statement count(db_, "SELECT count(*) FROM failures");
    return count.Row() ? static_cast<int>(count.Int(0)) : 0;
}

std::vector<std::string> RecordStore::FailureKeys(std::string_view album) {
    std::lock_guard lock(mutex_);
    std::vector<std::string> keys;
    if (!db_ || !has_failures_) return keys;
    Statement listed(db_, "SELECT item FROM failures WHERE album=?1");
    listed.Bind(album);
    while (listed.Row()) keys.push_back(listed.Text(0));
    return keys;
}

bool RecordStore::PutFailedAlbum(const AlbumRef& album, const std::optional<AlbumMark>& complete) {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_failures_ || read_only_) return false;
    Statement last(db_, "SELECT coalesce(max(position), 0) FROM failed_albums");
    std::int64_t position = last.Row() ? last.Int(0) + 1 : 1;
    Statement kept(db_, "SELECT position FROM failed_albums WHERE album=?1");
    if (kept.Bind(album.key).Row()) position = kept.Int(0);  // an album keeps its place
    return Statement(db_,
                     "INSERT OR REPLACE INTO failed_albums(album, door, id, type, name, count, newest, uploaded, position) "
                     "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)")
        .Bind(album.key)
        .Bind(album.door)
        .Bind(album.id)
        .Bind(album.type)
        .Bind(album.name)
        .Bind(album.count ? std::optional<std::int64_t>(*album.count) : std::nullopt)
        .Bind(complete ? std::string_view(complete->newest_id) : std::string_view())
        .Bind(complete ? std::optional<std::int64_t>(complete->newest_uploaded) : std::nullopt)
        .Bind(position)
        .Run();
}

bool RecordStore::PutFailure(std::string_view album, const FailedItem& item) {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_failures_ || read_only_) return false;
    const std::string key = item.Key();
    const std::string sql = std::string("INSERT OR REPLACE INTO failures(album, item, ") + kFailureColumns +
                            ") VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17)";
    return Statement(db_, sql.c_str())
        .Bind(album)
        .Bind(key)
        .Bind(static_cast<std::int64_t>(item.kind))
        .Bind(item.photo.photo_id)
        .Bind(item.photo.post_id)
        .Bind(item.photo.picture_url)
        .Bind(static_cast<std::int64_t>(item.photo.kind))
        .Bind(item.photo.video_url)
        .Bind(item.photo.caption)
        .Bind(item.photo.upload_seconds)
        .Bind(item.sequence)
        .Bind(item.still)
        .Bind(std::int64_t{item.pages.number})
        .Bind(item.pages.cursor)
        .Bind(item.pages.numbered)
        .Bind(std::int64_t{item.pages.to_end})
        .Bind(item.reason)
        .Run();
}

bool RecordStore::RemoveFailure(std::string_view album, std::string_view key) {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_failures_ || read_only_) return false;
    return Statement(db_, "DELETE FROM failures WHERE album=?1 AND item=?2").Bind(album).Bind(key).Run();
}

bool RecordStore::KeepFailures(std::string_view album, const std::vector<std::string>& keys) {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_failures_ || read_only_) return false;
    const std::set<std::string> kept(keys.begin(), keys.end());
    std::vector<std::string> gone;
    Statement listed(db_, "SELECT item FROM failures WHERE album=?1");
    listed.Bind(album);
    while (listed.Row()) {
        if (!kept.contains(listed.Text(0))) gone.push_back(listed.Text(0));
    }
    Statement remove(db_, "DELETE FROM failures WHERE album=?1 AND item=?2");
    for (const std::string& key : gone) {
        remove.Bind(album).Bind(key).Run();
        remove.Reset();
    }
    if (kept.empty()) return Statement(db_, "DELETE FROM failed_albums WHERE album=?1").Bind(album).Run();
    return true;
}

}  // namespace wa
