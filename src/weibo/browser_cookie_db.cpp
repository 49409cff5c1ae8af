#include "weibo/browser_cookie_db.h"

#include <sqlite3.h>

#include <ctime>

namespace wa {
namespace {

// Chromium counts microseconds since 1601-01-01.
constexpr long long kWindowsToUnixSeconds = 11644473600LL;

std::string Text(sqlite3_stmt* row, int column) {
    const auto* text = sqlite3_column_text(row, column);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_column_bytes(row, column)))
                : std::string();
}

}  // namespace

std::vector<Cookie> ReadBrowserCookies(const std::string& database_path) {
    std::vector<Cookie> cookies;
    sqlite3* db = nullptr;
    const std::string uri = "file:" + database_path + "?mode=ro";
    if (sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return cookies;
    }
    sqlite3_busy_timeout(db, 2000);
    sqlite3_stmt* row = nullptr;
    const char* query =
        "SELECT host_key, name, value, path, expires_utc, is_secure, is_httponly, has_expires FROM cookies";
    if (sqlite3_prepare_v2(db, query, -1, &row, nullptr) == SQLITE_OK) {
        const long long now = static_cast<long long>(std::time(nullptr));
        while (sqlite3_step(row) == SQLITE_ROW) {
            Cookie cookie;
            cookie.domain = Text(row, 0);
            cookie.include_subdomains = cookie.domain.starts_with('.');
            cookie.name = Text(row, 1);
            cookie.value = Text(row, 2);
            cookie.path = Text(row, 3);
            cookie.secure = sqlite3_column_int(row, 5) != 0;
            cookie.http_only = sqlite3_column_int(row, 6) != 0;
            if (sqlite3_column_int(row, 7) != 0) {
                cookie.expires = sqlite3_column_int64(row, 4) / 1000000 - kWindowsToUnixSeconds;
                if (cookie.expires <= now) continue;
            }
            if (!cookie.name.empty() && !cookie.domain.empty()) cookies.push_back(std::move(cookie));
        }
    }
    sqlite3_finalize(row);
    sqlite3_close(db);
    return cookies;
}

}  // namespace wa
