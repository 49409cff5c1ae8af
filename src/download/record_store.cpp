#include "download/record_store.h"

#include <sqlite3.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "util/folders.h"

namespace wa {
namespace {

// Marks a file as this program's store ("WBA1").
constexpr int kApplicationId = 0x57424131;

constexpr int kBusyMilliseconds = 5000;

bool Exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

// The first column of the first row of a query; -1 when it fails.
int QueryInt(sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    int value = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW) {
        value = sqlite3_column_int(statement, 0);
    }
    sqlite3_finalize(statement);
    return value;
}

// True when the store now writes ahead to a log.
bool SwitchToWal(sqlite3* db) {
    sqlite3_stmt* statement = nullptr;
    bool wal = false;
    if (sqlite3_prepare_v2(db, "PRAGMA journal_mode=WAL", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
        const auto* mode = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        wal = mode && std::string_view(mode) == "wal";
    }
    sqlite3_finalize(statement);
    return wal;
}

int ApplicationId(sqlite3* db) { return QueryInt(db, "PRAGMA application_id"); }
int TableCount(sqlite3* db) { return QueryInt(db, "SELECT count(*) FROM sqlite_master"); }
constexpr const char* kAlbumsTable =
    "CREATE TABLE IF NOT EXISTS albums(album TEXT NOT NULL PRIMARY KEY, newest TEXT NOT NULL, "
    "uploaded INTEGER NOT NULL) WITHOUT ROWID";

constexpr const char* kDoorsTable =
    "CREATE TABLE IF NOT EXISTS doors(door TEXT NOT NULL PRIMARY KEY, closed_at INTEGER NOT NULL) WITHOUT ROWID";

constexpr const char* kFoldersTable =
    "CREATE TABLE IF NOT EXISTS folders(album TEXT NOT NULL PRIMARY KEY, folder TEXT NOT NULL) WITHOUT ROWID";

constexpr const char* kSyncsTable =
    "CREATE TABLE IF NOT EXISTS syncs(id INTEGER PRIMARY KEY CHECK(id = 1), at INTEGER NOT NULL, "
    "saved INTEGER NOT NULL, title TEXT NOT NULL)";

bool HasTable(sqlite3* db, const char* name) {
    sqlite3_stmt* statement = nullptr;
    bool found = false;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?1", -1, &statement, nullptr) ==
        SQLITE_OK) {
        sqlite3_bind_text(statement, 1, name, -1, SQLITE_STATIC);
        found = sqlite3_step(statement) == SQLITE_ROW;
    }
    sqlite3_finalize(statement);
    return found;
}

bool HasPhotoTable(sqlite3* db) {
    return QueryInt(db,
                    "SELECT count(*) FROM pragma_table_info('photos') WHERE name='photo_id' AND pk=1") == 1;
}

}  // namespace

std::string_view StoredPhotoId(std::string_view photo_id) {
    const bool digits = photo_id.find_first_not_of("0123456789") == std::string_view::npos;
    return digits ? photo_id.substr(0, kPhotoIdWidth) : photo_id;
}

std::string RecordStoreFolder(const std::string& program_folder) {
    return program_folder + "/防止重复下载数据库/";
}

std::string RecordStorePath(const std::string& program_folder, std::string_view uid) {
    return RecordStoreFolder(program_folder) + std::string(uid) + ".edb";
}

namespace {

// Makes an empty (zero-length) file a store. Two runs that do this at once
// take turns; the second finds the store made and keeps it.
bool MakeStore(const std::string& path) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr) == SQLITE_OK;
    if (ok) sqlite3_busy_timeout(db, kBusyMilliseconds);
    ok = ok && Exec(db, "BEGIN IMMEDIATE");
    if (ok && ApplicationId(db) != kApplicationId) {
        const std::string schema = "PRAGMA application_id=" + std::to_string(kApplicationId) +
                                   ";PRAGMA user_version=1;"
                                   "CREATE TABLE photos(photo_id TEXT NOT NULL PRIMARY KEY) WITHOUT ROWID;" +
                                   std::string(kAlbumsTable) + ";";
        ok = TableCount(db) == 0 && ApplicationId(db) == 0 && Exec(db, schema.c_str());
    }
    ok = ok && Exec(db, "COMMIT");
    if (!ok && db) Exec(db, "ROLLBACK");
    // A run that has the store open meanwhile may keep this from taking
    // effect; opening the store asks for it again.
    if (ok) SwitchToWal(db);
    sqlite3_close(db);
    return ok;
}

}  // namespace

std::string CreateStoreWhenMissing(const std::string& program_folder, std::string_view uid) {
    std::string folder = RecordStoreFolder(program_folder);
    const std::string path = RecordStorePath(program_folder, uid);
    if (uid.empty() || IsSymbolicLink(folder)) return path;
    EnsureDirectory(folder);
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) RecordStore::CreateStore(path);
    return path;
}

bool RecordStore::CreateStore(const std::string& path) {
    // Claiming the name first means a store another run just made is never
    // replaced or removed.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    ::close(fd);
    return MakeStore(path);
}

bool RecordStore::OpenStore(const std::string& path, std::string* error) {
    std::lock_guard lock(mutex_);
    const auto fail = [&](const std::string& why) {
        if (error) *error = why;
        Close();
        return false;
    };
    if (db_) {
        if (error) *error = "已有打开的数据库";
        return false;
    }
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return fail("数据库文件不存在");
    // A link might point anywhere: nothing is opened through it.
    if (S_ISLNK(info.st_mode)) return fail("数据库文件是符号链接");
    if (!S_ISREG(info.st_mode)) return fail("数据库文件不存在");
    if (info.st_size == 0 && !MakeStore(path)) return fail("空文件无法建成数据库");
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr) != SQLITE_OK) {
        return fail("无法打开");
    }
    sqlite3_busy_timeout(db_, kBusyMilliseconds);
    // Check what the file is before anything could write to it.
    if (ApplicationId(db_) != kApplicationId || !HasPhotoTable(db_)) return fail("不是防止重复下载数据库");
    read_only_ = sqlite3_db_readonly(db_, "main") == 1;
    // Appends survive a crash of the program; fsync is left to checkpoints.
    // A store another run keeps in its old journal mode stays fully synchronous.
    if (!read_only_ && SwitchToWal(db_)) Exec(db_, "PRAGMA synchronous=NORMAL");
    if (sqlite3_prepare_v2(db_, "SELECT 1 FROM photos WHERE photo_id=?1", -1, &contains_, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db_, "INSERT OR IGNORE INTO photos(photo_id) VALUES(?1)", -1, &append_, nullptr) !=
            SQLITE_OK) {
        return fail("数据库无法读取");
    }
    // Stores written before the albums or doors tables existed get them now.
    has_marks_ = HasTable(db_, "albums") || (!read_only_ && Exec(db_, kAlbumsTable));
    has_doors_ = HasTable(db_, "doors") || (!read_only_ && Exec(db_, kDoorsTable));
    has_folders_ = HasTable(db_, "folders") || (!read_only_ && Exec(db_, kFoldersTable));
    has_syncs_ = HasTable(db_, "syncs") || (!read_only_ && Exec(db_, kSyncsTable));
    return true;
}

std::optional<std::string> RecordStore::AlbumFolder(std::string_view album) {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_folders_) return std::nullopt;
    sqlite3_stmt* statement = nullptr;
    std::optional<std::string> folder;
    if (sqlite3_prepare_v2(db_, "SELECT folder FROM folders WHERE album=?1", -1, &statement, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(statement, 1, album.data(), static_cast<int>(album.size()), SQLITE_STATIC);
        if (sqlite3_step(statement) == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
            folder = text ? text : "";
        }
    }
    sqlite3_finalize(statement);
    return folder;
}

bool RecordStore::SetAlbumFolder(std::string_view album, std::string_view folder) {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_folders_ || read_only_) return false;
    sqlite3_stmt* statement = nullptr;
    bool ok = sqlite3_prepare_v2(db_, "INSERT OR REPLACE INTO folders(album, folder) VALUES(?1, ?2)", -1, &statement,
                                 nullptr) == SQLITE_OK;
    if (ok) {
        sqlite3_bind_text(statement, 1, album.data(), static_cast<int>(album.size()), SQLITE_STATIC);
        sqlite3_bind_text(statement, 2, folder.data(), static_cast<int>(folder.size()), SQLITE_STATIC);
        ok = sqlite3_step(statement) == SQLITE_DONE;
    }
    sqlite3_finalize(statement);
    return ok;
}

bool RecordStore::FolderOfAnotherAlbum(std::string_view folder, std::string_view album) {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_folders_) return false;
    sqlite3_stmt* statement = nullptr;
    bool found = false;
    if (sqlite3_prepare_v2(db_, "SELECT 1 FROM folders WHERE folder=?1 AND album<>?2", -1, &statement, nullptr) ==
        SQLITE_OK) {
        sqlite3_bind_text(statement, 1, folder.data(), static_cast<int>(folder.size()), SQLITE_STATIC);
        sqlite3_bind_text(statement, 2, album.data(), static_cast<int>(album.size()), SQLITE_STATIC);
        found = sqlite3_step(statement) == SQLITE_ROW;
    }
    sqlite3_finalize(statement);
    return found;
}

std::optional<RecordStore::SyncMark> RecordStore::LastSync() {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_syncs_) return std::nullopt;
    sqlite3_stmt* statement = nullptr;
    std::optional<SyncMark> mark;
    if (sqlite3_prepare_v2(db_, "SELECT at, saved, title FROM syncs WHERE id=1", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
        const auto* title = reinterpret_cast<const char*>(sqlite3_column_text(statement, 2));
        mark = SyncMark{sqlite3_column_int64(statement, 0), sqlite3_column_int(statement, 1), title ? title : ""};
    }
    sqlite3_finalize(statement);
    return mark;
}

bool RecordStore::SetLastSync(const SyncMark& mark) {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_syncs_ || read_only_) return false;
    sqlite3_stmt* statement = nullptr;
    bool ok = sqlite3_prepare_v2(db_, "INSERT OR REPLACE INTO syncs(id, at, saved, title) VALUES(1, ?1, ?2, ?3)", -1,
                                 &statement, nullptr) == SQLITE_OK;
    if (ok) {
        sqlite3_bind_int64(statement, 1, mark.at);
        sqlite3_bind_int(statement, 2, mark.saved);
        sqlite3_bind_text(statement, 3, mark.title.data(), static_cast<int>(mark.title.size()), SQLITE_STATIC);
        ok = sqlite3_step(statement) == SQLITE_DONE;
    }
    sqlite3_finalize(statement);
    return ok;
}

std::optional<std::int64_t> RecordStore::DoorClosedAt(std::string_view door) {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_doors_) return std::nullopt;
    sqlite3_stmt* statement = nullptr;
    std::optional<std::int64_t> at;
    if (sqlite3_prepare_v2(db_, "SELECT closed_at FROM doors WHERE door=?1", -1, &statement, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(statement, 1, door.data(), static_cast<int>(door.size()), SQLITE_STATIC);
        if (sqlite3_step(statement) == SQLITE_ROW) at = sqlite3_column_int64(statement, 0);
    }
    sqlite3_finalize(statement);
    return at;
}

bool RecordStore::SetDoorClosed(std::string_view door, std::optional<std::int64_t> at) {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_doors_ || read_only_) return false;
    sqlite3_stmt* statement = nullptr;
    const char* sql = at ? "INSERT OR REPLACE INTO doors(door, closed_at) VALUES(?1, ?2)" : "DELETE FROM doors WHERE door=?1";
    bool ok = sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) == SQLITE_OK;
    if (ok) {
        sqlite3_bind_text(statement, 1, door.data(), static_cast<int>(door.size()), SQLITE_STATIC);
        if (at) sqlite3_bind_int64(statement, 2, *at);
        ok = sqlite3_step(statement) == SQLITE_DONE;
    }
    sqlite3_finalize(statement);
    return ok;
}

std::optional<RecordStore::AlbumMark> RecordStore::LastCompleteRun(std::string_view album) {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_marks_) return std::nullopt;
    sqlite3_stmt* statement = nullptr;
    std::optional<AlbumMark> mark;
    if (sqlite3_prepare_v2(db_, "SELECT newest, uploaded FROM albums WHERE album=?1", -1, &statement, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(statement, 1, album.data(), static_cast<int>(album.size()), SQLITE_STATIC);
        if (sqlite3_step(statement) == SQLITE_ROW) {
            const auto* newest = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
            mark = AlbumMark{newest ? newest : "", sqlite3_column_int64(statement, 1)};
        }
    }
    sqlite3_finalize(statement);
    return mark;
}

bool RecordStore::SetLastCompleteRun(std::string_view album, const std::optional<AlbumMark>& mark) {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_marks_ || read_only_) return false;
    sqlite3_stmt* statement = nullptr;
    const char* sql = mark ? "INSERT OR REPLACE INTO albums(album, newest, uploaded) VALUES(?1, ?2, ?3)"
                           : "DELETE FROM albums WHERE album=?1";
    bool ok = sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) == SQLITE_OK;
    if (ok) {
        sqlite3_bind_text(statement, 1, album.data(), static_cast<int>(album.size()), SQLITE_STATIC);
        if (mark) {
            sqlite3_bind_text(statement, 2, mark->newest_id.data(), static_cast<int>(mark->newest_id.size()), SQLITE_STATIC);
            sqlite3_bind_int64(statement, 3, mark->newest_uploaded);
        }
        ok = sqlite3_step(statement) == SQLITE_DONE;
    }
    sqlite3_finalize(statement);
    return ok;
}

bool RecordStore::ContainsPhotoId(std::string_view photo_id) {
    std::lock_guard lock(mutex_);
    if (!contains_) return false;
    const std::string_view key = StoredPhotoId(photo_id);
    sqlite3_bind_text(contains_, 1, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
    const bool found = sqlite3_step(contains_) == SQLITE_ROW;
    sqlite3_reset(contains_);
    sqlite3_clear_bindings(contains_);
    return found;
}

bool RecordStore::AppendPhotoId(std::string_view photo_id) {
    std::lock_guard lock(mutex_);
    if (!append_) return false;
    const std::string_view key = StoredPhotoId(photo_id);
    sqlite3_bind_text(append_, 1, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
    const bool ok = sqlite3_step(append_) == SQLITE_DONE;
    sqlite3_reset(append_);
    sqlite3_clear_bindings(append_);
    return ok;
}

void RecordStore::CloseStore() {
    std::lock_guard lock(mutex_);
    Close();
}

void RecordStore::Close() {
    sqlite3_finalize(contains_);
    sqlite3_finalize(append_);
    contains_ = append_ = nullptr;
    has_marks_ = has_doors_ = has_folders_ = has_syncs_ = false;
    sqlite3_close(db_);
    db_ = nullptr;
    read_only_ = false;
}

}  // namespace wa
