#include "net/cookie_jar.h"

#include <curl/curl.h>

#include <ctime>
#include <fstream>
#include <memory>

#include "util/text.h"
#include "net/curl_transfer.h"

namespace wa {
namespace {

constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";

std::string NetscapeLine(const Cookie& c) {
    std::string line = c.http_only ? std::string(kHttpOnlyPrefix) : std::string();
    // curl treats a leading dot as "also for subdomains" and drops it.
    line += c.domain;
    line += c.include_subdomains ? "\tTRUE\t" : "\tFALSE\t";
    line += c.path.empty() ? "/" : c.path;
    line += c.secure ? "\tTRUE\t" : "\tFALSE\t";
    line += std::to_string(c.expires) + "\t" + c.name + "\t" + c.value;
    return line;
}

std::optional<Cookie> ParseNetscapeLine(std::string_view line) {
    Cookie cookie;
    if (line.starts_with(kHttpOnlyPrefix)) {
        cookie.http_only = true;
        line.remove_prefix(kHttpOnlyPrefix.size());
    }
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string_view::npos; start = tab + 1) {
        fields.emplace_back(line.substr(start, tab - start));
    }
    fields.emplace_back(line.substr(start));
    if (fields.size() == 6) fields.emplace_back();  // a cookie with an empty value
    if (fields.size() != 7) return std::nullopt;
    cookie.domain = fields[0];
    cookie.include_subdomains = fields[1] == "TRUE";
    cookie.path = fields[2];
    cookie.secure = fields[3] == "TRUE";
    cookie.expires = std::strtoll(fields[4].c_str(), nullptr, 10);
    cookie.name = fields[5];
    cookie.value = fields[6];
    return cookie;
}

}  // namespace

CookieJar& CookieJar::Shared() {
    static CookieJar jar;
    return jar;
}

CookieJar::CookieJar() {
    EnsureCurlInitialized();
    share_ = curl_share_init();
    curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &CookieJar::Lock);
    curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &CookieJar::Unlock);
    curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
}

CookieJar::~CookieJar() { curl_share_cleanup(share_); }

void CookieJar::Lock(CURL*, int data, int, void* self) {
    static_cast<CookieJar*>(self)->locks_[data & 7].lock();
}

void CookieJar::Unlock(CURL*, int data, void* self) {
    static_cast<CookieJar*>(self)->locks_[data & 7].unlock();
}

void CookieJar::Attach(CURL* easy) {
    curl_easy_setopt(easy, CURLOPT_SHARE, share_);
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");  // switches the cookie engine on
}

void CookieJar::ApplyLine(const std::string& line) {
    EasyHandle easy(curl_easy_init());
    Attach(easy.get());
    curl_easy_setopt(easy.get(), CURLOPT_COOKIELIST, line.c_str());
}

void CookieJar::SetCookie(const Cookie& cookie) {
    if (cookie.name.empty() || cookie.domain.empty()) return;
    ApplyLine(NetscapeLine(cookie));
}

void CookieJar::RemoveCookie(const std::string& domain, const std::string& path,
                             const std::string& name) {
    // An already expired cookie replaces and thereby drops the stored one.
    for (const bool subdomains : {false, true}) {
        Cookie gone;
        gone.domain = domain;
        gone.include_subdomains = subdomains;
        gone.path = path;
        gone.name = name;
        gone.expires = 1;
        ApplyLine(NetscapeLine(gone));
    }
}

std::vector<Cookie> CookieJar::AllCookies() const {
    EasyHandle easy(curl_easy_init());
    const_cast<CookieJar*>(this)->Attach(easy.get());
    curl_slist* list = nullptr;
    curl_easy_getinfo(easy.get(), CURLINFO_COOKIELIST, &list);
    std::vector<Cookie> cookies;
    const auto now = static_cast<std::int64_t>(std::time(nullptr));
    for (curl_slist* item = list; item; item = item->next) {
        auto cookie = ParseNetscapeLine(item->data);
        // Removed cookies linger, expired, until curl sweeps them.
        if (cookie && (cookie->expires == 0 || cookie->expires > now)) cookies.push_back(std::move(*cookie));
    }
    curl_slist_free_all(list);
    return cookies;
}

void CookieJar::Clear() { ApplyLine("ALL"); }

bool CookieJar::LoadNetscapeFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (TrimBlanks(line).empty()) continue;
        if (line.starts_with('#') && !line.starts_with(kHttpOnlyPrefix)) continue;
        if (ParseNetscapeLine(line)) ApplyLine(line);
    }
    return true;
}

int CookieJar::AddListener(Listener listener) {
    std::lock_guard lock(listeners_mutex_);
    listeners_.emplace(next_listener_, std::move(listener));
    return next_listener_++;
}

void CookieJar::RemoveListener(int id) {
    std::lock_guard lock(listeners_mutex_);
    listeners_.erase(id);
}

void CookieJar::NotifySetCookie(const std::string& url, const std::string& set_cookie) const {
    std::vector<Listener> listeners;
    {
        std::lock_guard lock(listeners_mutex_);
        for (const auto& [id, listener] : listeners_) listeners.push_back(listener);
    }
    for (const Listener& listener : listeners) listener(url, set_cookie);
}

}  // namespace wa
