#include "login/browser_cookie_db.h"

#include <openssl/evp.h>
#include <sqlite3.h>

#include <gtest/gtest.h>

#include <cstring>
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

// Encrypts as Chromium does on Linux, with OpenSSL on its own.
std::string Encrypted(const std::string& mark, const std::string& plain, const std::string& password) {
    unsigned char key[16];
    PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()),
                           reinterpret_cast<const unsigned char*>("saltysalt"), 9, 1, 16, key);
    unsigned char iv[16];
    std::memset(iv, ' ', sizeof iv);
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    std::string out(plain.size() + 32, '\0');
    int n = 0;
    int last = 0;
    EVP_EncryptInit_ex(context, EVP_aes_128_cbc(), nullptr, key, iv);
    EVP_EncryptUpdate(context, reinterpret_cast<unsigned char*>(out.data()), &n,
                      reinterpret_cast<const unsigned char*>(plain.data()), static_cast<int>(plain.size()));
    EVP_EncryptFinal_ex(context, reinterpret_cast<unsigned char*>(out.data()) + n, &last);
    EVP_CIPHER_CTX_free(context);
    out.resize(static_cast<std::size_t>(n + last));
    return mark + out;
}

TEST(ReadChromiumCookies, DecryptsV10WithTheFixedKeyAndV11WithTheKeyringsPassword) {
    test::TempFolder temp;
    const std::string path = temp / "Cookies";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE meta(key TEXT, value TEXT); INSERT INTO meta VALUES('version','24');"
                           "CREATE TABLE cookies(host_key TEXT, name TEXT, value TEXT, encrypted_value BLOB, path TEXT,"
                           " expires_utc INTEGER, is_secure INTEGER, is_httponly INTEGER, has_expires INTEGER)",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    // Version 24 puts the SHA-256 of the host before the value.
    const std::string host_hash(32, 'h');
    const std::pair<std::string, std::string> rows[] = {{"SUB", Encrypted("v10", host_hash + "login-10", "peanuts")},
                                                        {"SUBP", Encrypted("v11", host_hash + "login-11", "k3yring")}};
    for (const auto& [name, blob] : rows) {
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO cookies VALUES('.weibo.com', ?1, '', ?2, '/', 0, 1, 1, 0)", -1, &insert, nullptr);
        sqlite3_bind_text(insert, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_blob(insert, 2, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
        ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_finalize(insert);
    }
    sqlite3_close(db);

    int asked = 0;
    const CookieRead read = ReadChromiumCookies(path, [&asked](std::string*) {
        ++asked;
        return std::optional<std::string>("k3yring");
    });
    ASSERT_EQ(read.cookies.size(), 2u);
    EXPECT_EQ(read.cookies[0].value, "login-10");
    EXPECT_EQ(read.cookies[1].value, "login-11");
    EXPECT_EQ(asked, 1);

    // No keyring: the v10 cookie still comes, the v11 one cannot.
    const CookieRead without = ReadChromiumCookies(path);
    ASSERT_EQ(without.cookies.size(), 1u);
    EXPECT_EQ(without.cookies[0].name, "SUB");
    EXPECT_FALSE(DecryptChromiumValue("not sixteen bytes", "peanuts"));
}

}  // namespace
}  // namespace wa
