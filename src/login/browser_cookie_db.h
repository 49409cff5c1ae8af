// The cookie databases of browsers: Chromium's format (the embedded browser
// keeps its login in one, as Chromium and Chrome do) and Firefox's. A login
// restored from disk raises no event in the embedded browser, so the program
// reads the database itself; the command line reads the others' to use a
// login made there.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/cookie_jar.h"

namespace wa {

struct CookieRead {
    std::vector<Cookie> cookies;  // unexpired ones only
    std::string error;            // why nothing could be read, in words for the user
    std::vector<Cookie> left_out;  // of other sites' frames or of containers
};

// The password of Chromium's v11 values, from the desktop's keyring; nullopt
// with `error` set when there is none to be had.
using KeyringPassword = std::function<std::optional<std::string>(std::string* error)>;

// A Chromium cookie database, read without writing or locking it. Values
// stored encrypted are decrypted: "v10" with Chromium's fixed Linux key,
// "v11" with the key of the keyring's password (asked for only when such a
// value is there). A missing database gives nothing and no error.
CookieRead ReadChromiumCookies(const std::string& database_path, const KeyringPassword& keyring = {});

// The embedded browser's own database, whose values are not encrypted.
std::vector<Cookie> ReadBrowserCookies(const std::string& database_path);

// A Firefox cookies.sqlite; expiry in seconds or, in newer versions,
// milliseconds. Only cookies of the default container and of no other site's
// frame (an empty originAttributes) are taken: a frame of weibo.com inside
// another site keeps a visitor's SUB there, which is no login.
CookieRead ReadFirefoxCookies(const std::string& database_path);

// AES-128-CBC with the key PBKDF2-HMAC-SHA1(password, "saltysalt", 1
// iteration, 16 bytes) and sixteen spaces as IV: how Chromium on Linux
// encrypts cookie values after their "v10"/"v11" mark.
std::optional<std::string> DecryptChromiumValue(std::string_view encrypted, std::string_view password);

}  // namespace wa
