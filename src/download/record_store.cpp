#include "download/record_store.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>


namespace wa {
namespace {

// Marks a file as this program's store ("WBA1").
constexpr int kApplicationId = 0x57424131;

std::string_view StoredForm(std::string_view photo_id) {
    if (photo_id.size() <= kPhotoIdWidth) return photo_id;
    return photo_id.substr(0, kPhotoIdWidth);
}

bool Exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

}  // namespace

std::string RecordStoreFolder(const std::string& program_folder) {
    return program_folder + "/防止重复下载数据库/";
}

std::string RecordStorePath(const std::string& program_folder, std::string_view uid) {
    return RecordStoreFolder(program_folder) + std::string(uid) + ".edb";
}

bool RecordStore::CreateStore(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) return false;
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK;
    const std::string schema = "BEGIN;PRAGMA application_id=" + std::to_string(kApplicationId) +
                               ";PRAGMA user_version=1;"
                               "CREATE TABLE photos(photo_id TEXT NOT NULL PRIMARY KEY) WITHOUT ROWID;"
                               "COMMIT;";
    ok = ok && Exec(db, "PRAGMA journal_mode=WAL") && Exec(db, schema.c_str());
    sqlite3_close(db);
    if (!ok) ::unlink(path.c_str());
    return ok;
}

bool RecordStore::OpenStore(const std::string& path, std::string* error) {
    const auto fail = [&](const std::string& why) {
        if (error) *error = why;
        CloseStore();
        return false;
    };
    if (db_) {
        if (error) *error = "another store is open";
        return false;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return fail("no store file");
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        return fail(db_ ? sqlite3_errmsg(db_) : "cannot open");
    }
    sqlite3_busy_timeout(db_, 5000);
    // Check what the file is before anything could write to it.
    sqlite3_stmt* check = nullptr;
    int application_id = 0;
    if (sqlite3_prepare_v2(db_, "PRAGMA application_id", -1, &check, nullptr) == SQLITE_OK &&
        sqlite3_step(check) == SQLITE_ROW) {
        application_id = sqlite3_column_int(check, 0);
    }
    sqlite3_finalize(check);
    if (application_id != kApplicationId) return fail("not a record store");
    // Appends survive a crash of the program; fsync is left to checkpoints.
    if (!Exec(db_, "PRAGMA journal_mode=WAL") || !Exec(db_, "PRAGMA synchronous=NORMAL") ||
        sqlite3_prepare_v2(db_, "SELECT 1 FROM photos WHERE photo_id=?1", -1, &contains_, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db_, "INSERT OR IGNORE INTO photos(photo_id) VALUES(?1)", -1, &append_, nullptr) !=
            SQLITE_OK) {
        return fail(sqlite3_errmsg(db_));
    }
    return true;
}

bool RecordStore::ContainsPhotoId(std::string_view photo_id) {
    if (!contains_) return false;
    const std::string_view key = StoredForm(photo_id);
    sqlite3_bind_text(contains_, 1, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
    const bool found = sqlite3_step(contains_) == SQLITE_ROW;
    sqlite3_reset(contains_);
    sqlite3_clear_bindings(contains_);
    return found;
}

bool RecordStore::AppendPhotoId(std::string_view photo_id) {
    if (!append_) return false;
    const std::string_view key = StoredForm(photo_id);
    sqlite3_bind_text(append_, 1, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
    const bool ok = sqlite3_step(append_) == SQLITE_DONE;
    sqlite3_reset(append_);
    sqlite3_clear_bindings(append_);
    return ok;
}

void RecordStore::CloseStore() {
    sqlite3_finalize(contains_);
    sqlite3_finalize(append_);
    contains_ = append_ = nullptr;
    sqlite3_close(db_);
    db_ = nullptr;
}

}  // namespace wa
