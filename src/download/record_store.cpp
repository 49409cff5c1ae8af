#include "download/record_store.h"

#include <sqlite3.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "download/sqlite_statement.h"
#include "util/folders.h"

namespace wa {
namespace {

// Marks a file as this program's store ("WBA1").
constexpr int kApplicationId = 0x57424131;

constexpr int kBusyMilliseconds = 5000;

bool Exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

// The first column of the first row of a query; -1 when it fails.
int QueryInt(sqlite3* db, const char* sql) {
    Statement query(db, sql);
    return query.Row() ? static_cast<int>(query.Int(0)) : -1;
}

// True when the store now writes ahead to a log.
bool SwitchToWal(sqlite3* db) {
    Statement query(db, "PRAGMA journal_mode=WAL");
    return query.Row() && query.Text(0) == "wal";
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

constexpr const char* kNamesTable =
    "CREATE TABLE IF NOT EXISTS names(album TEXT NOT NULL PRIMARY KEY, name TEXT NOT NULL) WITHOUT ROWID";

constexpr const char* kSyncsTable =
    "CREATE TABLE IF NOT EXISTS syncs(id INTEGER PRIMARY KEY CHECK(id = 1), at INTEGER NOT NULL, "
    "saved INTEGER NOT NULL, title TEXT NOT NULL)";

constexpr const char* kFailedAlbumsTable =
    "CREATE TABLE IF NOT EXISTS failed_albums(album TEXT NOT NULL PRIMARY KEY, door TEXT NOT NULL, id TEXT NOT NULL, "
    "type TEXT NOT NULL, name TEXT NOT NULL, count INTEGER, newest TEXT, uploaded INTEGER, "
    "position INTEGER NOT NULL) WITHOUT ROWID";

constexpr const char* kFailuresTable =
    "CREATE TABLE IF NOT EXISTS failures(album TEXT NOT NULL, item TEXT NOT NULL, kind INTEGER NOT NULL, "
    "photo_id TEXT NOT NULL, post_id TEXT NOT NULL, picture_url TEXT NOT NULL, photo_kind INTEGER NOT NULL, "
    "video_url TEXT NOT NULL, caption TEXT NOT NULL, uploaded INTEGER, sequence INTEGER NOT NULL, "
    "still TEXT NOT NULL, page INTEGER NOT NULL, cursor TEXT NOT NULL, numbered INTEGER NOT NULL, "
    "to_end INTEGER NOT NULL, reason TEXT NOT NULL, PRIMARY KEY(album, item)) WITHOUT ROWID";

bool HasTable(sqlite3* db, const char* name) {
    return Statement(db, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?1").Bind(name).Row();
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

StoreOpening OpenUserStore(RecordStore& store, const std::string& program_folder, std::string_view uid, bool make) {
    StoreOpening opening;
    if (uid.empty() || uid.find_first_not_of("0123456789") != std::string_view::npos) return opening;
    std::string folder = RecordStoreFolder(program_folder);
    if (IsSymbolicLink(folder)) {
        opening.link = folder;
        return opening;
    }
    const std::string path = RecordStorePath(program_folder, uid);
    struct stat info {};
    bool present = ::lstat(path.c_str(), &info) == 0;
    if (!present && make) {
        EnsureDirectory(folder);
        opening.made = RecordStore::CreateStore(path);
        present = opening.made || ::lstat(path.c_str(), &info) == 0;  // another run may have made it meanwhile
        opening.make_failed = !present;
    }
    if (present) store.OpenStore(path, &opening.open_error);
    return opening;
}

RecordStore::RecordStore() = default;

RecordStore::~RecordStore() { CloseStore(); }

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
    if (ApplicationId(db_) != kApplicationId || !HasPhotoTable(db_)) {
        // A store kept with a write-ahead log cannot be read where its
        // folder may not be written.
        const std::string folder = std::filesystem::path(path).parent_path().string();
        if (::access(folder.c_str(), W_OK) != 0) return fail("所在的文件夹“" + folder + "”只读，无法打开");
        return fail("不是防止重复下载数据库");
    }
    read_only_ = sqlite3_db_readonly(db_, "main") == 1;
    // Appends survive a crash of the program; fsync is left to checkpoints.
    // A store another run keeps in its old journal mode stays fully synchronous.
    if (!read_only_ && SwitchToWal(db_)) Exec(db_, "PRAGMA synchronous=NORMAL");
    contains_ = std::make_unique<Statement>(db_, "SELECT 1 FROM photos WHERE photo_id=?1");
    append_ = std::make_unique<Statement>(db_, "INSERT OR IGNORE INTO photos(photo_id) VALUES(?1)");
    if (!contains_->Prepared() || !append_->Prepared()) return fail("数据库无法读取");
    // Stores written before the albums or doors tables existed get them now.
    has_marks_ = HasTable(db_, "albums") || (!read_only_ && Exec(db_, kAlbumsTable));
    has_doors_ = HasTable(db_, "doors") || (!read_only_ && Exec(db_, kDoorsTable));
    has_folders_ = HasTable(db_, "folders") || (!read_only_ && Exec(db_, kFoldersTable));
    has_names_ = HasTable(db_, "names") || (!read_only_ && Exec(db_, kNamesTable));
    has_syncs_ = HasTable(db_, "syncs") || (!read_only_ && Exec(db_, kSyncsTable));
    has_failures_ = (HasTable(db_, "failed_albums") && HasTable(db_, "failures")) ||
                    (!read_only_ && Exec(db_, kFailedAlbumsTable) && Exec(db_, kFailuresTable));
    return true;
}

std::optional<std::string> RecordStore::AlbumFolder(std::string_view album) {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_folders_) return std::nullopt;
    Statement query(db_, "SELECT folder FROM folders WHERE album=?1");
    if (!query.Bind(album).Row()) return std::nullopt;
    return query.Text(0);
}

bool RecordStore::SetAlbumFolder(std::string_view album, std::string_view folder) {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_folders_ || read_only_) return false;
    return Statement(db_, "INSERT OR REPLACE INTO folders(album, folder) VALUES(?1, ?2)").Bind(album).Bind(folder).Run();
}

bool RecordStore::FolderOfAnotherAlbum(std::string_view folder, std::string_view album) {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_folders_) return false;
    return Statement(db_, "SELECT 1 FROM folders WHERE folder=?1 AND album<>?2").Bind(folder).Bind(album).Row();
}

std::optional<std::string> RecordStore::AlbumName(std::string_view album) {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_names_) return std::nullopt;
    Statement query(db_, "SELECT name FROM names WHERE album=?1");
    if (!query.Bind(album).Row()) return std::nullopt;
    return query.Text(0);
}

bool RecordStore::SetAlbumName(std::string_view album, std::string_view name) {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_names_ || read_only_) return false;
    return Statement(db_, "INSERT OR REPLACE INTO names(album, name) VALUES(?1, ?2)").Bind(album).Bind(name).Run();
}

std::optional<RecordStore::SyncMark> RecordStore::LastSync() {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_syncs_) return std::nullopt;
    Statement query(db_, "SELECT at, saved, title FROM syncs WHERE id=1");
    if (!query.Row()) return std::nullopt;
    return SyncMark{query.Int(0), static_cast<int>(query.Int(1)), query.Text(2)};
}

bool RecordStore::SetLastSync(const SyncMark& mark) {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_syncs_ || read_only_) return false;
    return Statement(db_, "INSERT OR REPLACE INTO syncs(id, at, saved, title) VALUES(1, ?1, ?2, ?3)")
        .Bind(mark.at)
        .Bind(std::int64_t{mark.saved})
        .Bind(mark.title)
        .Run();
}

std::optional<std::int64_t> RecordStore::DoorClosedAt(std::string_view door) {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_doors_) return std::nullopt;
    Statement query(db_, "SELECT closed_at FROM doors WHERE door=?1");
    if (!query.Bind(door).Row()) return std::nullopt;
    return query.Int(0);
}

bool RecordStore::SetDoorClosed(std::string_view door, std::optional<std::int64_t> at) {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_doors_ || read_only_) return false;
    if (!at) return Statement(db_, "DELETE FROM doors WHERE door=?1").Bind(door).Run();
    return Statement(db_, "INSERT OR REPLACE INTO doors(door, closed_at) VALUES(?1, ?2)").Bind(door).Bind(*at).Run();
}

std::optional<RecordStore::AlbumMark> RecordStore::LastCompleteRun(std::string_view album) {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_marks_) return std::nullopt;
    Statement query(db_, "SELECT newest, uploaded FROM albums WHERE album=?1");
    if (!query.Bind(album).Row()) return std::nullopt;
    return AlbumMark{query.Text(0), query.Int(1)};
}

bool RecordStore::SetLastCompleteRun(std::string_view album, const std::optional<AlbumMark>& mark) {
    std::lock_guard lock(mutex_);
    if (!db_ || !has_marks_ || read_only_) return false;
    if (!mark) return Statement(db_, "DELETE FROM albums WHERE album=?1").Bind(album).Run();
    return Statement(db_, "INSERT OR REPLACE INTO albums(album, newest, uploaded) VALUES(?1, ?2, ?3)")
        .Bind(album)
        .Bind(mark->newest_id)
        .Bind(mark->newest_uploaded)
        .Run();
}

bool RecordStore::ContainsPhotoId(std::string_view photo_id) {
    std::lock_guard lock(mutex_);
    if (!contains_) return false;
    const bool found = contains_->Bind(StoredPhotoId(photo_id)).Row();
    contains_->Reset();
    return found;
}

bool RecordStore::AppendPhotoId(std::string_view photo_id) {
    std::lock_guard lock(mutex_);
    if (!append_) return false;
    const bool ok = append_->Bind(StoredPhotoId(photo_id)).Run();
    append_->Reset();
    return ok;
}

void RecordStore::CloseStore() {
    std::lock_guard lock(mutex_);
    Close();
}

void RecordStore::Close() {
    contains_.reset();
    append_.reset();
    has_marks_ = has_doors_ = has_folders_ = has_names_ = has_syncs_ = has_failures_ = false;
    sqlite3_close(db_);
    db_ = nullptr;
    read_only_ = false;
}

}  // namespace wa
