#include "login/browser_login.h"

#include <libsecret/secret.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "util/folders.h"
#include "util/text.h"
#include "login/browser_cookie_db.h"
#include "login/browser_profiles.h"
#include "net/http_text.h"

namespace wa {
namespace {

namespace fs = std::filesystem;

// No browser's cookie store comes near this; a larger file is not copied.
constexpr std::uintmax_t kMaxCookieDatabase = 256u << 20;

// A private copy of a database and its write-ahead log, folded into one
// file, removed with this object. Nothing is made for a database that is
// missing or too large; `problem` then says why, naming the user's file.
class DatabaseCopy {
public:
    explicit DatabaseCopy(const std::string& original) {
        std::error_code error;
        if (!fs::is_regular_file(original, error)) return;
        std::uintmax_t size = 0;
        for (const char* suffix : {"", "-wal", "-journal"}) {
            const std::uintmax_t part = fs::file_size(original + suffix, error);
            if (!error) size += part;
        }
        if (size > kMaxCookieDatabase) {
            problem_ = "Cookie 数据库大于 256 MiB，不予读取：" + original;
            return;
        }
        std::string pattern = (fs::temp_directory_path(error) / "weibo-albums-cookies-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) return;
        folder_ = pattern;
        const std::string copy = folder_ + "/cookies.db";
        for (const char* suffix : {"", "-wal", "-journal"}) {
            if (fs::exists(original + suffix, error)) fs::copy_file(original + suffix, copy + suffix, error);
        }
        if (!fs::exists(copy, error)) return;
        // The browser's last writes come into the copy itself, so it reads like any file.
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(copy.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
            sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
        }
        sqlite3_close(db);
        path_ = copy;
    }
    ~DatabaseCopy() {
        std::error_code error;
        if (!folder_.empty()) fs::remove_all(folder_, error);
    }
    DatabaseCopy(const DatabaseCopy&) = delete;
    DatabaseCopy& operator=(const DatabaseCopy&) = delete;
    const std::string& path() const { return path_; }
    const std::string& problem() const { return problem_; }

private:
    std::string folder_;
    std::string path_;
    std::string problem_;
};

// Chromium's v11 password, from the desktop's keyring (Secret Service).
std::optional<std::string> KeyringPasswordOf(const char* application, std::string* error) {
    for (const char* schema_name : {"chrome_libsecret_os_crypt_password_v2", "chrome_libsecret_os_crypt_password_v1"}) {
        const SecretSchema schema = {schema_name,
                                     SECRET_SCHEMA_DONT_MATCH_NAME,
                                     {{"application", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                     0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
        GError* failure = nullptr;
        gchar* password = secret_password_lookup_sync(&schema, nullptr, &failure, "application", application, nullptr);
        if (password) {
            std::string found = password;
            secret_password_free(password);
            return found;
        }
        if (failure) {
            if (error) *error = std::string("无法从密钥环（Secret Service）取得 Chromium 的密钥：") + failure->message;
            g_error_free(failure);
            return std::nullopt;
        }
    }
    if (error) *error = "密钥环（Secret Service）里没有 Chromium 的密钥，无法解开 v11 加密的 Cookie";
    return std::nullopt;
}

// Chromium writes new cookies to its database some seconds after it gets
// them; a database younger than this may not hold the newest yet.
constexpr auto kFreshDatabase = std::chrono::seconds(30);

BrowserLogin Finish(BrowserLogin login, CookieRead read, const std::string& database,
                    const std::vector<std::string>& hosts) {
    login.cookies = WeiboCookies(read.cookies, hosts);
    login.left_out = WeiboCookies(read.left_out, hosts).size();
    if (!read.error.empty()) login.error = read.error + "：" + database;
    return login;
}

std::string NoProfile(const std::string& browser, const std::string& asked, const BrowserProfile& profile) {
    return "找不到 " + browser + " 的配置文件夹" + (asked.empty() ? std::string() : "“" + asked + "”") + "（找过 " +
           profile.looked_in + "）";
}

std::string NotYetWritten(const std::string& browser) {
    return browser + " 正在运行或刚刚写过 Cookie，它最新的 Cookie 可能还没有写入数据库；关闭它后再试可以确保用上最新的登录";
}

BrowserLogin FirefoxLogin(const std::string& asked, const std::vector<std::string>& hosts) {
    BrowserLogin login;
    login.source = "Firefox";
    const BrowserProfile profile = FirefoxProfile(asked);
    if (profile.folder.empty()) return login.error = NoProfile("Firefox", asked, profile), login;
    const std::string database = profile.folder + "/cookies.sqlite";
    const DatabaseCopy copy(database);
    if (copy.path().empty()) {
        login.error = copy.problem().empty() ? "找不到 Firefox 的 Cookie 数据库：" + database : copy.problem();
        return login;
    }
    if (profile.running) login.note = NotYetWritten("Firefox");
    return Finish(login, ReadFirefoxCookies(copy.path()), database, hosts);
}

BrowserLogin ChromiumLogin(const std::string& name, const char* config_name, const char* keyring_application,
                           const std::string& asked, const std::vector<std::string>& hosts) {
    BrowserLogin login;
    login.source = name;
    const BrowserProfile profile = ChromiumProfile(config_name, asked);
    if (profile.folder.empty()) return login.error = NoProfile(name, asked, profile), login;
    // Newer versions keep the database in Network/.
    std::string database = profile.folder + "/Network/Cookies";
    std::error_code error;
    if (!fs::exists(database, error)) database = profile.folder + "/Cookies";
    const DatabaseCopy copy(database);
    if (copy.path().empty()) {
        login.error = copy.problem().empty() ? "找不到 " + name + " 的 Cookie 数据库：" + profile.folder : copy.problem();
        return login;
    }
    const auto written = fs::last_write_time(database, error);
    const bool fresh = !error && fs::file_time_type::clock::now() - written < kFreshDatabase;
    if (profile.running || fresh) login.note = NotYetWritten(name);
    return Finish(login,
                  ReadChromiumCookies(copy.path(), [keyring_application](std::string* why) {
                      return KeyringPasswordOf(keyring_application, why);
                  }),
                  database, hosts);
}

}  // namespace

std::vector<Cookie> WeiboCookies(const std::vector<Cookie>& cookies, const std::vector<std::string>& domains) {
    std::vector<Cookie> kept;
    for (const Cookie& cookie : cookies) {
        std::string_view domain = cookie.domain;
        if (domain.starts_with('.')) domain.remove_prefix(1);
        const std::string host = AsciiLower(domain);
        if (std::any_of(domains.begin(), domains.end(), [&host](const std::string& d) { return HostInDomain(host, d); })) {
            kept.push_back(cookie);
        }
    }
    return kept;
}

BrowserLogin WindowLogin(const std::string& profile_folder, const std::vector<std::string>& hosts) {
    BrowserLogin login;
    login.source = "窗口程序";
    const std::string database = profile_folder + "/Cookies";
    const DatabaseCopy copy(database);
    if (copy.path().empty()) return login.error = copy.problem(), login;
    return Finish(login, ReadChromiumCookies(copy.path()), database, hosts);
}

bool BrowserLogin::HasWeiboLogin() const {
    return std::any_of(cookies.begin(), cookies.end(),
                       [](const Cookie& cookie) { return cookie.name == "SUB" && !cookie.value.empty(); });
}

BrowserLogin LoginOfBrowser(std::string_view asked, const std::vector<std::string>& hosts) {
    const std::size_t colon = asked.find(':');
    const std::string browser = AsciiLower(asked.substr(0, colon));
    const std::string profile = colon == std::string_view::npos ? std::string() : std::string(asked.substr(colon + 1));
    if (browser == "firefox") return FirefoxLogin(profile, hosts);
    if (browser == "chromium") return ChromiumLogin("Chromium", "chromium", "chromium", profile, hosts);
    if (browser == "chrome") return ChromiumLogin("Chrome", "google-chrome", "chrome", profile, hosts);
    BrowserLogin unknown;
    unknown.source = std::string(asked);
    unknown.error = "不认识的浏览器：" + browser + "（可用 firefox、chromium、chrome）";
    return unknown;
}

}  // namespace wa
