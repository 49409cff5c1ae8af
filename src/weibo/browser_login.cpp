#include "weibo/browser_login.h"

#include <libsecret/secret.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "util/folders.h"
#include "util/text.h"
#include "weibo/browser_cookie_db.h"
#include "weibo/http_text.h"
#include "weibo/weibo_service.h"

namespace wa {
namespace {

namespace fs = std::filesystem;

// A private copy of a database and its write-ahead log, folded into one
// file, removed with this object.
class DatabaseCopy {
public:
    explicit DatabaseCopy(const std::string& original) {
        std::error_code error;
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
    const std::string& path() const { return path_; }

private:
    std::string folder_;
    std::string path_;
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

// The default profile of ~/.mozilla/firefox/profiles.ini: the one an install
// uses, else the one marked Default=1, else the first.
std::string FirefoxDefaultProfile(const std::string& root) {
    std::ifstream ini(root + "/profiles.ini");
    std::string section, install_default, marked, first, path;
    bool relative = true;
    bool is_default = false;
    const auto end_profile = [&] {
        if (path.empty()) return;
        const std::string full = relative ? root + "/" + path : path;
        if (first.empty()) first = full;
        if (is_default && marked.empty()) marked = full;
    };
    for (std::string line; std::getline(ini, line);) {
        const std::string text(TrimBlanks(line));
        if (text.starts_with('[')) {
            if (section.starts_with("Profile")) end_profile();
            section = text.substr(1, text.find(']') - 1);
            path.clear(), relative = true, is_default = false;
            continue;
        }
        const std::size_t equals = text.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = text.substr(0, equals);
        const std::string value = text.substr(equals + 1);
        if (section.starts_with("Install") && key == "Default" && install_default.empty()) install_default = root + "/" + value;
        if (!section.starts_with("Profile")) continue;
        if (key == "Path") path = value;
        if (key == "IsRelative") relative = value != "0";
        if (key == "Default") is_default = value == "1";
    }
    if (section.starts_with("Profile")) end_profile();
    if (!install_default.empty()) return install_default;
    return marked.empty() ? first : marked;
}

BrowserLogin Finish(BrowserLogin login, CookieRead read) {
    login.cookies = WeiboCookies(read.cookies);
    login.error = std::move(read.error);
    return login;
}

BrowserLogin FirefoxLogin(const std::string& profile) {
    BrowserLogin login{{}, "Firefox", {}};
    const std::string root = HomeFolder() + "/.mozilla/firefox";
    std::string folder = profile;
    if (folder.empty()) folder = FirefoxDefaultProfile(root);
    else if (!folder.starts_with('/')) folder = root + "/" + folder;
    if (folder.empty() || !fs::is_directory(folder)) {
        login.error = "找不到 Firefox 的配置文件夹" + (folder.empty() ? std::string() : "：" + folder);
        return login;
    }
    const DatabaseCopy copy(folder + "/cookies.sqlite");
    if (copy.path().empty()) {
        login.error = "找不到 Firefox 的 Cookie 数据库：" + folder + "/cookies.sqlite";
        return login;
    }
    return Finish(login, ReadFirefoxCookies(copy.path()));
}

BrowserLogin ChromiumLogin(const std::string& name, const char* config_folder, const char* keyring_application,
                           const std::string& profile) {
    BrowserLogin login{{}, name, {}};
    std::string folder = profile.empty() ? "Default" : profile;
    if (!folder.starts_with('/')) folder = XdgFolder("XDG_CONFIG_HOME", ".config") + "/" + config_folder + "/" + folder;
    // Newer versions keep the database in Network/.
    std::string database = folder + "/Network/Cookies";
    if (!fs::exists(database)) database = folder + "/Cookies";
    const DatabaseCopy copy(database);
    if (copy.path().empty()) {
        login.error = "找不到 " + name + " 的 Cookie 数据库：" + folder;
        return login;
    }
    return Finish(login, ReadChromiumCookies(copy.path(), [keyring_application](std::string* error) {
                      return KeyringPasswordOf(keyring_application, error);
                  }));
}

}  // namespace

std::vector<Cookie> WeiboCookies(const std::vector<Cookie>& cookies) {
    const ServiceAddresses service = CurrentService();
    const std::vector<std::string> own = {UrlHost(service.home_page), UrlHost(PhotoServiceBase(service))};
    std::vector<Cookie> kept;
    for (const Cookie& cookie : cookies) {
        std::string_view domain = cookie.domain;
        if (domain.starts_with('.')) domain.remove_prefix(1);
        bool weibo = std::find(own.begin(), own.end(), AsciiLower(domain)) != own.end();
        for (const char* site : {"weibo.com", "weibo.cn", "sina.com.cn"}) weibo = weibo || HostInDomain(domain, site);
        if (weibo) kept.push_back(cookie);
    }
    return kept;
}

BrowserLogin WindowLogin(const std::string& profile_folder) {
    BrowserLogin login{{}, "窗口程序", {}};
    const DatabaseCopy copy(profile_folder + "/Cookies");
    if (copy.path().empty()) return login;
    return Finish(login, ReadChromiumCookies(copy.path()));
}

BrowserLogin LoginOfBrowser(std::string_view asked) {
    const std::size_t colon = asked.find(':');
    const std::string browser = AsciiLower(asked.substr(0, colon));
    const std::string profile = colon == std::string_view::npos ? std::string() : std::string(asked.substr(colon + 1));
    if (browser == "firefox") return FirefoxLogin(profile);
    if (browser == "chromium") return ChromiumLogin("Chromium", "chromium", "chromium", profile);
    if (browser == "chrome") return ChromiumLogin("Chrome", "google-chrome", "chrome", profile);
    return {{}, std::string(asked), "不认识的浏览器：" + browser + "（可用 firefox、chromium、chrome）"};
}

}  // namespace wa
