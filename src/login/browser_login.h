// A login made elsewhere, for the command line: the window's embedded
// browser, or Firefox, Chromium or Chrome. Databases are read from copies, so
// the browsers may keep running, and never written. Only the cookies of the
// domains the caller names (the service's) are taken.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "net/cookie_jar.h"

namespace wa {

struct BrowserLogin {
    std::vector<Cookie> cookies;  // Weibo's cookies only
    std::string source;           // whose login, for the user: "窗口程序", "Firefox" ...
    std::string error;            // why none could be read, naming the user's file
    std::string note;             // the browser may not have written its newest cookies yet
    std::size_t left_out = 0;     // Weibo cookies of other sites' frames and of containers, not taken

    // Holds the login cookie SUB of a session.
    bool HasWeiboLogin() const;
};

// The window's login: the Cookies database of its profile folder. Nothing,
// and no error, when there is no profile.
BrowserLogin WindowLogin(const std::string& profile_folder, const std::vector<std::string>& domains);

// "firefox", "chromium" or "chrome", optionally ":" and a profile (a folder,
// a profile's name, or for Chromium and Chrome a user-data folder); the
// browser's default profile otherwise. Firefox's cookies of other sites'
// frames and of container tabs are left out and counted.
BrowserLogin LoginOfBrowser(std::string_view asked, const std::vector<std::string>& domains);

// The cookies of `domains` and their subdomains.
std::vector<Cookie> WeiboCookies(const std::vector<Cookie>& cookies, const std::vector<std::string>& domains);

}  // namespace wa
