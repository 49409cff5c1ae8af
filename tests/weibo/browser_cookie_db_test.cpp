#include "weibo/browser_cookie_db.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <ctime>

#include "../util/temp_folder.h"

namespace wa {
namespace {

// Microseconds since 1601, as the browser stores expiry times.
long long BrowserTime(long long unix_seconds) { return (unix_seconds + 11644473600LL) * 1000000; }

TEST(ReadBrowserCookies, ReadsUnexpiredCookiesOfTheBrowsersDatabase) {
    test::TempFolder temp;
    const std::string path = temp / "Cookies";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const long long now = std::time(nullptr);
    const std::string sql =
        "CREATE TABLE cookies(creation_utc INTEGER, host_key TEXT, top_frame_site_key TEXT, name TEXT, value TEXT,"
        " encrypted_value BLOB, path TEXT, expires_utc INTEGER, is_secure INTEGER, is_httponly INTEGER,"
        " last_access_utc INTEGER, has_expires INTEGER, is_persistent INTEGER, priority INTEGER);"
        "INSERT INTO cookies VALUES(0,'.weibo.com','','SUB','login','', '/'," + std::to_string(BrowserTime(now + 86400)) +
        ",1,1,0,1,1,1);"
        "INSERT INTO cookies VALUES(0,'127.0.0.1','','session','s','', '/x',0,0,0,0,0,0,1);"
        "INSERT INTO cookies VALUES(0,'.weibo.com','','old','o','', '/'," + std::to_string(BrowserTime(now - 60)) +
        ",0,0,0,1,1,1);";
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    const auto cookies = ReadBrowserCookies(path);
    ASSERT_EQ(cookies.size(), 2u);
    EXPECT_EQ(cookies[0].domain, ".weibo.com");
    EXPECT_TRUE(cookies[0].include_subdomains);
    EXPECT_TRUE(cookies[0].http_only);
    EXPECT_TRUE(cookies[0].secure);
    EXPECT_NEAR(static_cast<double>(cookies[0].expires), static_cast<double>(now + 86400), 2.0);
    EXPECT_EQ(cookies[1].domain, "127.0.0.1");
    EXPECT_FALSE(cookies[1].include_subdomains);
    EXPECT_EQ(cookies[1].path, "/x");
    EXPECT_EQ(cookies[1].expires, 0);

    EXPECT_TRUE(ReadBrowserCookies(temp / "missing").empty());
}

}  // namespace
}  // namespace wa
