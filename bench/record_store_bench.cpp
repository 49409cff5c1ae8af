// Cost of the record store per photo (one lookup and one append, as the album
// download makes them) at 10^3, 10^5 and 10^6 stored ids, and the time to open
// a store of 10^6 ids.
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "download/record_store.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Fills a store with ids 3600000000000000 + i in one transaction.
void Fill(const std::string& path, long count) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO photos(photo_id) VALUES(?1)", -1, &insert, nullptr);
    for (long i = 0; i < count; ++i) {
        const std::string id = std::to_string(3600000000000000L + i * 7);
        sqlite3_bind_text(insert, 1, id.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

}  // namespace

int main() {
    const fs::path root = fs::temp_directory_path() / ("wa-store-bench-" + std::to_string(::getpid()));
    fs::create_directories(root);
    std::printf("Record store: one ContainsPhotoId + AppendPhotoId per new photo\n");
    for (const long size : {1000L, 100000L, 1000000L}) {
        const std::string path = (root / (std::to_string(size) + ".edb")).string();
        wa::RecordStore::CreateStore(path);
        Fill(path, size);
        wa::RecordStore store;
        const auto open_start = Clock::now();
        store.OpenStore(path);
        const double open_seconds = Since(open_start);
        constexpr int kPhotos = 2000;
        const auto start = Clock::now();
        for (int i = 0; i < kPhotos; ++i) {
            const std::string id = std::to_string(4600000000000000L + i);
            if (!store.ContainsPhotoId(id)) store.AppendPhotoId(id);
        }
        const double per_photo = Since(start) / kPhotos;
        std::printf("  %8ld ids stored: %7.1f us per photo   (OpenStore %.2f ms)\n", size, per_photo * 1e6,
                    open_seconds * 1e3);
    }
    fs::remove_all(root);
    return 0;
}
