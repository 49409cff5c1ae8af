#include "login/browser_cookie_db.h"

#include <openssl/evp.h>
#include <sqlite3.h>

#include <ctime>
#include <memory>

namespace wa {
namespace {

// Chromium counts microseconds since 1601-01-01.
constexpr long long kWindowsToUnixSeconds = 11644473600LL;
// From this database version on, a value starts with the SHA-256 of its host.
constexpr int kHostHashVersion = 24;
constexpr std::size_t kHostHashSize = 32;

std::string Text(sqlite3_stmt* row, int column) {
    const auto* text = sqlite3_column_text(row, column);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_column_bytes(row, column)))
                : std::string();
}

std::string Blob(sqlite3_stmt* row, int column) {
    const void* data = sqlite3_column_blob(row, column);
    return data ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(sqlite3_column_bytes(row, column)))
                : std::string();
}

struct Database {
    sqlite3* db = nullptr;
    ~Database() { sqlite3_close(db); }
    bool Open(const std::string& path) {
        const std::string uri = "file:" + path + "?mode=ro";
        if (sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) != SQLITE_OK) return false;
        sqlite3_busy_timeout(db, 2000);
        return true;
    }
    int Version() {
        sqlite3_stmt* row = nullptr;
        int version = 0;
        if (sqlite3_prepare_v2(db, "SELECT value FROM meta WHERE key='version'", -1, &row, nullptr) == SQLITE_OK &&
            sqlite3_step(row) == SQLITE_ROW) {
            version = std::atoi(Text(row, 0).c_str());
        }
        sqlite3_finalize(row);
        return version;
    }
};

bool IsDatabase(const std::string& path) {
    std::unique_ptr<FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    return file != nullptr;
}

// The value of one cookie row: plain, or decrypted. Nullopt when it cannot be.
std::optional<std::string> ValueOf(const std::string& plain, const std::string& encrypted, int version,
                                   const KeyringPassword& keyring, std::optional<std::string>& keyring_password,
                                   std::string& error) {
    if (!plain.empty() || encrypted.empty()) return plain;
    std::string password;
    if (encrypted.starts_with("v10")) {
        password = "peanuts";
    } else if (encrypted.starts_with("v11")) {
        if (!keyring_password && error.empty()) {
            keyring_password = keyring ? keyring(&error) : std::nullopt;
            if (!keyring_password && error.empty()) error = "没有可用的密钥环（Secret Service），无法解开 v11 加密的 Cookie";
        }
        if (!keyring_password) return std::nullopt;
        password = *keyring_password;
    } else {
        return std::nullopt;
    }
    std::optional<std::string> value = DecryptChromiumValue(std::string_view(encrypted).substr(3), password);
    if (value && version >= kHostHashVersion) value = value->size() >= kHostHashSize ? value->substr(kHostHashSize) : "";
    return value;
}

// What both browsers' rows begin with: domain, name, path, secure, http-only.
Cookie CookieOfRow(sqlite3_stmt* row) {
    Cookie cookie;
    cookie.domain = Text(row, 0);
    cookie.include_subdomains = cookie.domain.starts_with('.');
    cookie.name = Text(row, 1);
    cookie.path = Text(row, 2);
    cookie.secure = sqlite3_column_int(row, 3) != 0;
    cookie.http_only = sqlite3_column_int(row, 4) != 0;
    return cookie;
}

}  // namespace

std::optional<std::string> DecryptChromiumValue(std::string_view encrypted, std::string_view password) {
    unsigned char key[16];
    const char salt[] = "saltysalt";
    if (PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()),
                               reinterpret_cast<const unsigned char*>(salt), 9, 1, sizeof key, key) != 1) {
        return std::nullopt;
    }
    const unsigned char iv[16] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    std::string plain(encrypted.size() + 16, '\0');
    int written = 0;
    int last = 0;
    if (!context || EVP_DecryptInit_ex(context.get(), EVP_aes_128_cbc(), nullptr, key, iv) != 1 ||
        EVP_DecryptUpdate(context.get(), reinterpret_cast<unsigned char*>(plain.data()), &written,
                          reinterpret_cast<const unsigned char*>(encrypted.data()), static_cast<int>(encrypted.size())) != 1 ||
        EVP_DecryptFinal_ex(context.get(), reinterpret_cast<unsigned char*>(plain.data()) + written, &last) != 1) {
        return std::nullopt;
    }
    plain.resize(static_cast<std::size_t>(written + last));
    return plain;
}

CookieRead ReadChromiumCookies(const std::string& database_path, const KeyringPassword& keyring) {
    CookieRead read;
    if (!IsDatabase(database_path)) return read;
    Database database;
    if (!database.Open(database_path)) {
        read.error = "Cookie 数据库无法打开";
        return read;
    }
    const int version = database.Version();
    sqlite3_stmt* row = nullptr;
    const char* query =
        "SELECT host_key, name, path, is_secure, is_httponly, value, encrypted_value, expires_utc, has_expires "
        "FROM cookies";
    if (sqlite3_prepare_v2(database.db, query, -1, &row, nullptr) != SQLITE_OK) {
        read.error = "不是 Chromium 格式的 Cookie 数据库";
        return read;
    }
    const long long now = static_cast<long long>(std::time(nullptr));
    std::optional<std::string> keyring_password;
    std::string keyring_error;
    int undecryptable = 0;
    while (sqlite3_step(row) == SQLITE_ROW) {
        Cookie cookie = CookieOfRow(row);
        if (sqlite3_column_int(row, 8) != 0) {
            cookie.expires = sqlite3_column_int64(row, 7) / 1000000 - kWindowsToUnixSeconds;
            if (cookie.expires <= now) continue;
        }
        const std::optional<std::string> value =
            ValueOf(Text(row, 5), Blob(row, 6), version, keyring, keyring_password, keyring_error);
        if (!value) {
            ++undecryptable;
            continue;
        }
        cookie.value = *value;
        if (!cookie.name.empty() && !cookie.domain.empty()) read.cookies.push_back(std::move(cookie));
    }
    sqlite3_finalize(row);
    if (undecryptable > 0 && read.cookies.empty()) {
        read.error = keyring_error.empty() ? "Cookie 无法解密" : keyring_error;
    }
    return read;
}

std::vector<Cookie> ReadBrowserCookies(const std::string& database_path) {
    return ReadChromiumCookies(database_path).cookies;
}

CookieRead ReadFirefoxCookies(const std::string& database_path) {
    CookieRead read;
    Database database;
    if (!IsDatabase(database_path) || !database.Open(database_path)) {
        read.error = "找不到 Firefox 的 Cookie 数据库";
        return read;
    }
    sqlite3_stmt* row = nullptr;
    // Databases older than containers have no originAttributes.
    const char* query = "SELECT host, name, path, isSecure, isHttpOnly, value, expiry, originAttributes FROM moz_cookies";
    if (sqlite3_prepare_v2(database.db, query, -1, &row, nullptr) != SQLITE_OK &&
        sqlite3_prepare_v2(database.db, "SELECT host, name, path, isSecure, isHttpOnly, value, expiry, '' FROM moz_cookies",
                           -1, &row, nullptr) != SQLITE_OK) {
        read.error = "不是 Firefox 的 Cookie 数据库";
        return read;
    }
    const long long now = static_cast<long long>(std::time(nullptr));
    while (sqlite3_step(row) == SQLITE_ROW) {
        Cookie cookie = CookieOfRow(row);
        cookie.value = Text(row, 5);
        long long expiry = sqlite3_column_int64(row, 6);
        if (expiry > 100'000'000'000LL) expiry /= 1000;  // milliseconds in newer versions
        cookie.expires = expiry;
        if (cookie.expires != 0 && cookie.expires <= now) continue;
        if (cookie.name.empty() || cookie.domain.empty()) continue;
        // ^partitionKey=…, ^userContextId=…: not the user's own tabs.
        (Text(row, 7).empty() ? read.cookies : read.left_out).push_back(std::move(cookie));
    }
    sqlite3_finalize(row);
    return read;
}

}  // namespace wa
