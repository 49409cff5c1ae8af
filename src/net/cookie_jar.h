// The one cookie store of the program's page requests. A login made in the
// embedded browser reaches every page request through it, and the cookies
// those requests receive are reported so they can reach the browser too.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

typedef void CURLSH;
typedef void CURL;

namespace wa {

struct Cookie {
    std::string domain;  // as stored: ".weibo.com" also matches subdomains
    bool include_subdomains = false;
    std::string path = "/";
    bool secure = false;
    bool http_only = false;
    std::int64_t expires = 0;  // Unix seconds; 0 for a session cookie
    std::string name;
    std::string value;

    friend bool operator==(const Cookie&, const Cookie&) = default;
};

class CookieJar {
public:
    // The process-wide jar shared by every page request and the browser.
    static CookieJar& Shared();

    CookieJar();
    ~CookieJar();
    CookieJar(const CookieJar&) = delete;
    CookieJar& operator=(const CookieJar&) = delete;

    // Adds a cookie, replacing one of the same domain, path and name.
    void SetCookie(const Cookie& cookie);
    void RemoveCookie(const std::string& domain, const std::string& path, const std::string& name);
    std::vector<Cookie> AllCookies() const;
    void Clear();

    // Loads a cookie file in the Netscape format that browsers export and curl
    // reads. False when the file cannot be read.
    bool LoadNetscapeFile(const std::string& path);

    // Told about every Set-Cookie header a page request's responses carry:
    // the address of the response and the header's value.
    using Listener = std::function<void(const std::string& url, const std::string& set_cookie)>;
    int AddListener(Listener listener);
    void RemoveListener(int id);

    // For the HTTP routines: make `easy` send and store cookies through the jar,
    // and report what a response set.
    void Attach(CURL* easy);
    void NotifySetCookie(const std::string& url, const std::string& set_cookie) const;

private:
    static void Lock(CURL*, int data, int access, void* self);
    static void Unlock(CURL*, int data, void* self);
    void ApplyLine(const std::string& line);

    CURLSH* share_;
    std::mutex locks_[8];  // one per curl_lock_data kind
    mutable std::mutex listeners_mutex_;
    std::map<int, Listener> listeners_;
    int next_listener_ = 1;
};

}  // namespace wa
