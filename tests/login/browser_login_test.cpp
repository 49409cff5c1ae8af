// Logins taken from other browsers as they keep them on disk: Firefox's
// profiles in either of its homes, by name, with cookies of other sites'
// frames and of containers; Chromium's user-data folders and profile names.
#include "login/browser_login.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "../util/temp_folder.h"

namespace wa {
namespace {

namespace fs = std::filesystem;

// Where a Weibo login's cookies live.
const std::vector<std::string> kDomains = {"weibo.com", "weibo.cn", "sina.com.cn"};

// A home of the test's own: HOME and XDG_CONFIG_HOME point into it until the
// test ends.
class BrowserLoginTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "TMPDIR"}) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        ::setenv("HOME", (temp.path() / "home").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (temp.path() / "config").c_str(), 1);
        fs::create_directories(temp.path() / "tmp");  // counts only this test's own copies
        ::setenv("TMPDIR", (temp.path() / "tmp").c_str(), 1);
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value) ::setenv(name.c_str(), value->c_str(), 1);
            else ::unsetenv(name.c_str());
        }
    }
    static void Database(const fs::path& path, const std::string& sql) {
        fs::create_directories(path.parent_path());
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }
    static std::string FirefoxRow(const std::string& name, const std::string& value, const std::string& origin) {
        return "INSERT INTO moz_cookies(originAttributes, host, name, value, path, expiry, isSecure, isHttpOnly) "
               "VALUES('" + origin + "','.weibo.com','" + name + "','" + value + "','/',1924992000,1,1);";
    }
    static void FirefoxProfile(const fs::path& folder, const std::string& rows) {
        Database(folder / "cookies.sqlite",
                 "CREATE TABLE moz_cookies(id INTEGER PRIMARY KEY, originAttributes TEXT NOT NULL DEFAULT '',"
                 " name TEXT, value TEXT, host TEXT, path TEXT, expiry INTEGER, lastAccessed INTEGER,"
                 " creationTime INTEGER, isSecure INTEGER, isHttpOnly INTEGER);" + rows);
    }
    static void ChromiumProfile(const fs::path& folder, const std::string& value) {
        Database(folder / "Cookies",
                 "CREATE TABLE cookies(host_key TEXT, name TEXT, value TEXT, encrypted_value BLOB, path TEXT,"
                 " expires_utc INTEGER, is_secure INTEGER, is_httponly INTEGER, has_expires INTEGER);"
                 "INSERT INTO cookies VALUES('.weibo.com','SUB','" + value + "','','/',0,1,1,0);");
    }
    static std::string Value(const BrowserLogin& login, const std::string& name) {
        for (const Cookie& cookie : login.cookies) {
            if (cookie.name == name) return cookie.value;
        }
        return {};
    }

    test::TempFolder temp;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(BrowserLoginTest, FirefoxProfilesByNameInEitherHomeWithoutOtherSitesFramesOrContainers) {
    const fs::path xdg = temp.path() / "config" / "mozilla" / "firefox";
    FirefoxProfile(xdg / "x1.default-esr",
                   FirefoxRow("SUB", "login", "") +
                       FirefoxRow("SUB", "visitor", "^partitionKey=%28https%2Cexample.com%29") +
                       FirefoxRow("SUB", "work-login", "^userContextId=2") + FirefoxRow("SUBP", "p", ""));
    FirefoxProfile(xdg / "x2.other", FirefoxRow("SUB", "other", ""));
    std::ofstream(xdg / "profiles.ini") << "[Profile1]\nName=other\nIsRelative=1\nPath=x2.other\n\n"
                                           "[Profile0]\nName=default-esr\nIsRelative=1\nPath=x1.default-esr\n\n"
                                           "[Install4F96D1932A9F858E]\nDefault=x1.default-esr\nLocked=1\n";
    const struct {
        const char* asked;
        const char* sub;
        std::size_t left_out;
    } cases[] = {{"firefox", "login", 2}, {"firefox:default-esr", "login", 2}, {"firefox:other", "other", 0},
                 {"firefox:x2.other", "other", 0}, {"Firefox:", "login", 2}};
    for (const auto& c : cases) {
        const BrowserLogin login = LoginOfBrowser(c.asked, kDomains);
        EXPECT_EQ(login.error, "") << c.asked;
        EXPECT_EQ(Value(login, "SUB"), c.sub) << c.asked;
        EXPECT_EQ(login.left_out, c.left_out) << c.asked;
        EXPECT_TRUE(login.HasWeiboLogin()) << c.asked;
    }

    // Only the older home: found there too; in neither, both are named.
    fs::create_directories(temp.path() / "home" / ".mozilla");
    fs::rename(xdg, temp.path() / "home" / ".mozilla" / "firefox");
    EXPECT_EQ(Value(LoginOfBrowser("firefox:default-esr", kDomains), "SUB"), "login");
    const BrowserLogin missing = LoginOfBrowser("firefox:nobody", kDomains);
    EXPECT_NE(missing.error.find(xdg.string() + " 和 " + (temp.path() / "home" / ".mozilla" / "firefox").string()),
              std::string::npos)
        << missing.error;
}

TEST_F(BrowserLoginTest, ChromiumUserDataFoldersAndProfileNames) {
    const fs::path user_data = temp.path() / "elsewhere" / "chromium-data";
    ChromiumProfile(user_data / "Default", "default");
    ChromiumProfile(user_data / "Profile 3", "third");
    std::ofstream(user_data / "Local State")
        << R"({"profile":{"last_used":"Profile 3","info_cache":{"Default":{"name":"个人"},"Profile 3":{"name":"工作"}}}})";
    fs::create_directories(temp.path() / "config");
    fs::create_directory_symlink(user_data, temp.path() / "config" / "chromium");
    const struct {
        std::string asked;
        const char* sub;
    } cases[] = {{"chromium:" + user_data.string(), "third"},  // a user-data folder: its last used profile
                 {"chromium:" + (user_data / "Default").string(), "default"},
                 {"chromium", "third"},
                 {"chromium:Default", "default"},
                 {"chromium:工作", "third"},
                 {"chromium:个人", "default"}};
    for (const auto& c : cases) {
        const BrowserLogin login = LoginOfBrowser(c.asked, kDomains);
        EXPECT_EQ(login.error, "") << c.asked;
        EXPECT_EQ(Value(login, "SUB"), c.sub) << c.asked;
        EXPECT_FALSE(login.note.empty()) << c.asked;  // written just now: maybe not everything yet
    }
    EXPECT_NE(LoginOfBrowser("chromium:Profile 9", kDomains).error.find("找不到 Chromium 的配置文件夹“Profile 9”"),
              std::string::npos);
}

TEST_F(BrowserLoginTest, DatabasesTooLargeOrBrokenAreNamedAsTheUserKnowsThem) {
    const fs::path profile = temp.path() / "config" / "mozilla" / "firefox" / "p";
    fs::create_directories(profile);
    std::ofstream(profile.parent_path() / "profiles.ini") << "[Profile0]\nName=p\nIsRelative=1\nPath=p\n";
    const auto copies = [] {
        int n = 0;
        for (const auto& entry : fs::directory_iterator(fs::temp_directory_path())) {
            n += entry.path().filename().string().starts_with("weibo-albums-cookies-");
        }
        return n;
    };
    const int before = copies();
    std::ofstream(profile / "cookies.sqlite") << "not a database";
    const BrowserLogin broken = LoginOfBrowser("firefox:p", kDomains);
    EXPECT_NE(broken.error.find((profile / "cookies.sqlite").string()), std::string::npos) << broken.error;
    EXPECT_EQ(broken.error.find("weibo-albums-cookies-"), std::string::npos) << broken.error;

    fs::resize_file(profile / "cookies.sqlite", (256u << 20) + 1);  // sparse: no disk is used
    const BrowserLogin huge = LoginOfBrowser("firefox:p", kDomains);
    EXPECT_EQ(huge.error, "Cookie 数据库大于 256 MiB，不予读取：" + (profile / "cookies.sqlite").string());
    fs::remove(profile / "cookies.sqlite");
    EXPECT_NE(LoginOfBrowser("firefox:p", kDomains).error.find("找不到 Firefox 的 Cookie 数据库"), std::string::npos);
    EXPECT_EQ(copies(), before);  // no copy made, none left
}

}  // namespace
}  // namespace wa
