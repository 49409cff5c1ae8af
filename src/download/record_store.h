// Remembers, per Weibo user, every photo a download run has saved, so a later
// run can skip it; and where its last complete runs stopped, which door
// was last found closed and when the user was last synced. Safe to use from several threads. One SQLite file per user; ids are kept on their first 20
// bytes, and a unique index makes a lookup cost the same at any size.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "doors/album_ref.h"
#include "doors/photo_source.h"

struct sqlite3;

namespace wa {

class Statement;

inline constexpr std::size_t kPhotoIdWidth = 20;

// The id as the store keeps it: a photo-service id (digits) on its first 20
// bytes, as stores always have; any other id, such as an album-tab picture id,
// whole, since two of those may share their first 20 bytes.
std::string_view StoredPhotoId(std::string_view photo_id);

// "<program folder>/防止重复下载数据库/"
std::string RecordStoreFolder(const std::string& program_folder);
// "<program folder>/防止重复下载数据库/<uid>.edb"
std::string RecordStorePath(const std::string& program_folder, std::string_view uid);

class RecordStore;

// How opening a user's record store went.
struct StoreOpening {
    bool made = false;          // there was none: an empty one was made
    bool make_failed = false;   // there was none, and none could be made
    std::string link;           // the stores' folder is a symbolic link: none is used
    std::string open_error;     // why the store there could not be opened, in the log's words
};

// Opens the record store of `uid` (digits only) in `program_folder` into
// `store`; with `make`, makes it first (its folder too, never through a
// symbolic link) when there is none. Every part of the program opens a
// user's store through this.
StoreOpening OpenUserStore(RecordStore& store, const std::string& program_folder, std::string_view uid,
                           bool make = false);

class RecordStore {
public:
    RecordStore();
    ~RecordStore();
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    // Creates an empty store. False when the folder is missing, the file
    // cannot be written, or a file is already there (it is never replaced).
    static bool CreateStore(const std::string& path);

    // Opens a store for lookups and appends; a zero-length file is made a
    // store first, and a store another run is writing is waited for briefly.
    // False when a store is already open (that one stays in use), or when the
    // file is missing or is not a store; such a file is left byte for byte
    // as it was. `error` says why, in words for the log.
    bool OpenStore(const std::string& path, std::string* error = nullptr);
    // An open store the user may not write: lookups work, appends fail.
    bool ReadOnly() const { return read_only_; }

    bool ContainsPhotoId(std::string_view photo_id);
    // True once the id is committed to the file.
    bool AppendPhotoId(std::string_view photo_id);

    // Where the last run of an album stopped, when it finished complete:
    // its newest photo, at or before which every photo of the album was
    // saved. Kept in a table of its own, made when missing.
    struct AlbumMark {
        std::string newest_id;
        std::int64_t newest_uploaded = -1;  // Unix seconds; -1 unknown
    };
    std::optional<AlbumMark> LastCompleteRun(std::string_view album);
    // Marks the album's run complete, or (nullopt) not: the next run of it
    // then reads it whole.
    bool SetLastCompleteRun(std::string_view album, const std::optional<AlbumMark>& mark);
    // The folder an album's pictures were last saved in (its name below the
    // user's folder), and whether another album's were.
    std::optional<std::string> AlbumFolder(std::string_view album);
    bool SetAlbumFolder(std::string_view album, std::string_view folder);
    bool FolderOfAnotherAlbum(std::string_view folder, std::string_view album);
    // An album's name as it was last listed, for showing its key to a person.
    std::optional<std::string> AlbumName(std::string_view album);
    bool SetAlbumName(std::string_view album, std::string_view name);

    // When a door to the user's photos was last found closed (Unix seconds),
    // kept in a table of its own; nullopt forgets it.
    std::optional<std::int64_t> DoorClosedAt(std::string_view door);
    bool SetDoorClosed(std::string_view door, std::optional<std::int64_t> at);

    // The user's last complete sync: when it ended (Unix seconds), the new
    // photos it saved, and the user's name then.
    struct SyncMark {
        std::int64_t at = 0;
        int saved = 0;
        std::string title;
    };
    std::optional<SyncMark> LastSync();
    bool SetLastSync(const SyncMark& mark);

    // What the user's runs could not get, kept until a run gets it: per
    // album, the album as it was listed and each picture, video or run of
    // pages that failed, with why. In tables of their own, made when missing.
    struct FailedItem {
        enum class Kind { kPicture, kVideo, kPages };
        Kind kind = Kind::kPicture;
        PhotoRecord photo;       // kPicture, kVideo
        long long sequence = 0;  // kPicture: the number it is named by
        std::string still;       // kVideo: the name of its saved still
        PageMark pages;          // kPages
        std::string reason;
        // How the store tells it from the album's other failures.
        std::string Key() const;

        static FailedItem Picture(const PhotoRecord& photo, long long sequence, std::string reason);
        static FailedItem Video(const PhotoRecord& photo, std::string still, std::string reason);
        static FailedItem Pages(const PageMark& pages, std::string reason);
    };
    struct FailedAlbum {
        AlbumRef album;
        // The failed run read the album to its end: once nothing has failed,
        // this is where the next new-only run may stop.
        std::optional<AlbumMark> complete;
        std::vector<FailedItem> items;
    };
    // Every album that has failures, in the order they were first kept.
    std::vector<FailedAlbum> Failures();
    int FailureCount();
    // The keys of the album's failures.
    std::vector<std::string> FailureKeys(std::string_view album);
    // Keeps `album` as it was listed (and where its run stopped); its
    // failures stay as they are.
    bool PutFailedAlbum(const AlbumRef& album, const std::optional<AlbumMark>& complete);
    bool PutFailure(std::string_view album, const FailedItem& item);
    bool RemoveFailure(std::string_view album, std::string_view key);
    // Forgets the album's failures but those of `keys`, and the album too
    // when none is left.
    bool KeepFailures(std::string_view album, const std::vector<std::string>& keys);

    void CloseStore();
    bool IsOpen() const { return db_ != nullptr; }

private:
    void Close();  // with the mutex held

    sqlite3* db_ = nullptr;
    std::unique_ptr<Statement> contains_;
    std::unique_ptr<Statement> append_;
    bool has_marks_ = false;  // the albums table is there
    bool has_doors_ = false;  // the doors table is there
    bool has_folders_ = false;  // the folders table is there
    bool has_names_ = false;
    bool has_syncs_ = false;    // the syncs table is there
    bool has_failures_ = false; // the failures tables are there
    bool read_only_ = false;
    std::mutex mutex_;  // a run's page fetched ahead asks it too
};

}  // namespace wa
