#include "fake_weibo.h"

#include <httplib.h>
#include <openssl/pem.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <chrono>
#include <cstdio>
#include <fstream>

#include "certificates.h"

namespace wa::fake {
namespace {

// JSON string text; with `ascii_only` every non-ASCII character is written as
// \uXXXX escapes, as the photo service writes captions.
std::string JsonString(const std::string& text, bool ascii_only) {
    std::string out = "\"";
    char buffer[16];
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            switch (c) {
                case '"': out += "\\\""; break;
                case '\\': out += "\\\\"; break;
                case '/': out += "\\/"; break;
                case '\n': out += "\\n"; break;
                case '\r': out += "\\r"; break;
                case '\t': out += "\\t"; break;
                default:
                    if (c < 0x20) {
                        std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                        out += buffer;
                    } else {
                        out += static_cast<char>(c);
                    }
            }
            ++i;
            continue;
        }
        const int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        if (!ascii_only) {
            out.append(text, i, static_cast<std::size_t>(length));
            i += static_cast<std::size_t>(length);
            continue;
        }
        char32_t cp = c & (length == 4 ? 0x07 : length == 3 ? 0x0F : 0x1F);
        for (int k = 1; k < length && i + k < text.size(); ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0x3F);
        }
        i += static_cast<std::size_t>(length);
        const auto unit = [&](unsigned u) {
            std::snprintf(buffer, sizeof buffer, "\\u%04x", u);
            out += buffer;
        };
        if (cp >= 0x10000) {
            unit(0xD800 + ((cp - 0x10000) >> 10));
            unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            unit(cp);
        }
    }
    return out + "\"";
}

const char* Extension(PictureFormat format) {
    switch (format) {
        case PictureFormat::kPng: return ".png";
        case PictureFormat::kGif: return ".gif";
        case PictureFormat::kJpeg: break;
    }
    return ".jpg";
}

const char* MimeType(PictureFormat format) {
    switch (format) {
        case PictureFormat::kPng: return "image/png";
        case PictureFormat::kGif: return "image/gif";
        case PictureFormat::kJpeg: break;
    }
    return "image/jpeg";
}

unsigned Seed(const std::string& text) {
    unsigned seed = 2166136261u;
    for (const char c : text) seed = (seed ^ static_cast<unsigned char>(c)) * 16777619u;
    return seed;
}

void SleepUnlessStopping(int ms, const std::atomic<bool>& stopping) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end && !stopping) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Percent-encodes all but the unreserved characters, as the album tab's
// container ids come.
std::string PercentEncoded(const std::string& text) {
    std::string out;
    char buffer[4];
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += c;
        } else {
            std::snprintf(buffer, sizeof buffer, "%%%02X", u);
            out += buffer;
        }
    }
    return out;
}

// "Wed May 14 00:53:12 +0800 2014": a post's time at UTC+8.
std::string PostTime(std::int64_t seconds) {
    const std::time_t shifted = static_cast<std::time_t>(seconds + 8 * 3600);
    std::tm parts{};
    ::gmtime_r(&shifted, &parts);
    char buffer[64];
    std::strftime(buffer, sizeof buffer, "%a %b %d %H:%M:%S +0800 %Y", &parts);
    return buffer;
}

// The container id of an album on the album tab, before percent-encoding.
std::string ContainerId(const User& user, const Album& album) {
    return "107803" + user.uid + "_-_albumeach_-_" + album.album_id + "_-_" + album.caption;
}

// A few bytes a player would take for a QuickTime movie.
std::string MovieBytes(const std::string& seed) {
    std::string bytes("\x00\x00\x00\x14" "ftypqt  \x00\x00\x00\x00qt  ", 20);
    bytes += std::string("\x00\x00\x00\x08" "wide", 8);
    bytes += "mdat-" + seed;
    return bytes;
}

const char* const kLoginWallJson = "{\"ok\":-100,\"url\":\"https://weibo.com/login.php?url=%2F\"}";

const char* const kLoginPage =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>新浪通行证</title></head>"
    "<body><form action=\"https://login.sina.com.cn/sso/login.php\">请登录</form></body></html>";

// An httplib server over TLS with the given PEM certificate and key.
std::unique_ptr<httplib::Server> MakeTlsServer(const std::string& certificate_pem, const std::string& key_pem) {
    BIO* certificate_bio = BIO_new_mem_buf(certificate_pem.data(), static_cast<int>(certificate_pem.size()));
    BIO* key_bio = BIO_new_mem_buf(key_pem.data(), static_cast<int>(key_pem.size()));
    X509* certificate = PEM_read_bio_X509(certificate_bio, nullptr, nullptr, nullptr);
    EVP_PKEY* key = PEM_read_bio_PrivateKey(key_bio, nullptr, nullptr, nullptr);
    std::unique_ptr<httplib::Server> server;
    if (certificate && key) server = std::make_unique<httplib::SSLServer>(certificate, key);
    X509_free(certificate);
    EVP_PKEY_free(key);
    BIO_free(certificate_bio);
    BIO_free(key_bio);
    return server;
}

}  // namespace

std::string RecordedRequest::Header(const std::string& name) const {
    const auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
}

FakeWeibo::FakeWeibo() = default;

FakeWeibo::~FakeWeibo() { Stop(); }

bool FakeWeibo::EnableTls(const std::string& ca_file) {
    const TlsIdentity identity = MakeTlsIdentity();
    if (identity.authority_pem.empty()) return false;
    std::ofstream out(ca_file, std::ios::binary | std::ios::trunc);
    out << identity.authority_pem;
    if (!out.flush()) return false;
    std::lock_guard lock(mutex_);
    tls_ = true;
    certificate_pem_ = identity.certificate_pem;
    key_pem_ = identity.key_pem;
    return true;
}

bool FakeWeibo::Start(int port) {
    server_ = tls_ ? MakeTlsServer(certificate_pem_, key_pem_) : std::make_unique<httplib::Server>();
    if (!server_ || !server_->is_valid()) return false;
    // A thread per kept-alive connection: room for many clients at once.
    server_->new_task_queue = [] { return new httplib::ThreadPool(64); };
    server_->set_keep_alive_max_count(1'000'000);
    server_->set_tcp_nodelay(true);  // no Nagle delay between a header and its body
    server_->set_keep_alive_timeout(2);  // idle connections must not hold up Stop()
    // One handler for every path, so bodies are read before it runs.
    const auto handle = [this](const httplib::Request& request, httplib::Response& response) {
        {
            RecordedRequest recorded{request.method, request.target, request.path, {}, request.remote_port};
            for (const auto& [name, value] : request.headers) {
                std::string lower = name;
                std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
                recorded.headers.emplace(lower, value);
            }
            std::lock_guard lock(mutex_);
            requests_.push_back(std::move(recorded));
        }
        if (latency_ms_ > 0) SleepUnlessStopping(latency_ms_, stopping_);
        // Asked as a proxy ("GET http://host/path"), it serves the path itself.
        if (request.path.starts_with("http://")) {
            httplib::Request direct = request;
            const std::size_t path = direct.path.find('/', 7);
            direct.path = path == std::string::npos ? "/" : direct.path.substr(path);
            if (!ApplyFault(direct, response)) Route(direct, response);
            return;
        }
        if (!ApplyFault(request, response)) Route(request, response);
    };
    server_->Get(".*", handle);
    server_->Post(".*", handle);
    if (port == 0) {
        port_ = server_->bind_to_any_port("127.0.0.1");
    } else {
        port_ = server_->bind_to_port("127.0.0.1", port) ? port : -1;
    }
    if (port_ <= 0) return false;
    stopping_ = false;
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void FakeWeibo::Stop() {
    if (thread_.joinable()) {
        stopping_ = true;
        server_->stop();
        thread_.join();
    }
}

std::string FakeWeibo::BaseUrl() const {
    return (tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_);
}

void FakeWeibo::AddUser(User user) {
    if (user.home_path.empty()) user.home_path = "/u/" + user.uid;
    for (Album& album : user.albums) {
        for (Photo& photo : album.photos) {
            if (photo.pic_name.empty()) photo.pic_name = photo.photo_id + Extension(photo.format);
            if (photo.pid.empty()) photo.pid = "006Xmpvgly1h" + photo.photo_id;
            if (photo.mid.empty()) photo.mid = "48" + photo.photo_id;
        }
        std::stable_sort(album.photos.begin(), album.photos.end(),
                         [](const Photo& a, const Photo& b) { return a.timestamp > b.timestamp; });
    }
    std::lock_guard lock(mutex_);
    users_.push_back(std::move(user));
}

void FakeWeibo::ReplaceUser(User user) {
    {
        std::lock_guard lock(mutex_);
        std::erase_if(users_, [&user](const User& u) { return u.uid == user.uid; });
    }
    AddUser(std::move(user));
}

void FakeWeibo::SetVersionPage(std::string body) {
    std::lock_guard lock(mutex_);
    version_page_ = std::move(body);
}

void FakeWeibo::SetRequireLogin(bool require) {
    std::lock_guard lock(mutex_);
    require_login_ = require;
}

void FakeWeibo::SetVisitorWall(bool on) {
    std::lock_guard lock(mutex_);
    visitor_wall_ = on;
}

void FakeWeibo::SetRateLimit(RateLimit limit) {
    std::lock_guard lock(mutex_);
    rate_limit_ = limit;
    service_requests_.clear();
}

void FakeWeibo::SetHotlinkProtection(bool on) {
    std::lock_guard lock(mutex_);
    hotlink_protection_ = on;
}

void FakeWeibo::AddFault(std::string target_part, Fault fault) {
    std::lock_guard lock(mutex_);
    faults_.push_back({std::move(target_part), fault, 0});
}

void FakeWeibo::ClearFaults() {
    std::lock_guard lock(mutex_);
    faults_.clear();
}

std::vector<RecordedRequest> FakeWeibo::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

int FakeWeibo::CountRequests(const std::string& target_part) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(requests_.begin(), requests_.end(), [&](const RecordedRequest& r) {
        return r.target.find(target_part) != std::string::npos;
    }));
}

void FakeWeibo::ClearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
}

bool FakeWeibo::LoggedIn(const httplib::Request& request) const {
    const std::string cookies = request.get_header_value("Cookie");
    return cookies.find(std::string(kSessionCookie) + "=" + kSessionValue) != std::string::npos;
}

bool FakeWeibo::ApplyFault(const httplib::Request& request, httplib::Response& response) {
    Fault fault;
    int seen = 0;
    {
        std::lock_guard lock(mutex_);
        auto it = std::find_if(faults_.begin(), faults_.end(), [&](const ActiveFault& f) {
            return request.target.find(f.target_part) != std::string::npos &&
                   (f.fault.times < 0 || f.seen < f.fault.times);
        });
        if (it == faults_.end()) return false;
        seen = ++it->seen;
        fault = it->fault;
    }
    if (fault.delay_ms > 0) SleepUnlessStopping(fault.delay_ms, stopping_);
    if (fault.fail_first > 0) {
        if (seen > fault.fail_first) return false;
        response.set_content("", "text/html");
        return true;
    }
    if (fault.status != 0) {
        response.status = fault.status;
        response.set_content("<html><body>error " + std::to_string(fault.status) + "</body></html>", "text/html");
        return true;
    }
    if (fault.html_instead) {
        response.set_content("<html><body>系统繁忙，请稍后再试</body></html>", "text/html; charset=utf-8");
        return true;
    }
    if (!fault.body.empty()) {
        response.set_content(fault.body, "application/json");
        return true;
    }
    if (!fault.redirect_to.empty()) {
        response.status = 302;
        response.set_header("Location", fault.redirect_to);
        return true;
    }
    if (fault.malformed_json) {
        response.set_content("{\"result\":true,\"data\":{\"photo_list\":[{\"photo_id\":", "application/json");
        return true;
    }
    if (fault.drop_half || fault.stall_ms > 0) {
        httplib::Response full;
        Route(request, full);
        auto body = std::make_shared<std::string>(std::move(full.body));
        const std::string type = full.get_header_value("Content-Type");
        response.status = full.status;
        const bool drop = fault.drop_half;
        const int stall = fault.stall_ms;
        response.set_content_provider(
            body->size(), type, [this, body, drop, stall](size_t offset, size_t, httplib::DataSink& sink) {
                const size_t half = body->size() / 2;
                if (offset < half) return sink.write(body->data(), half);
                if (drop) return false;
                SleepUnlessStopping(stall, stopping_);
                return sink.write(body->data() + offset, body->size() - offset);
            });
        return true;
    }
    return false;
}

void FakeWeibo::Route(const httplib::Request& request, httplib::Response& response) {
    const std::string& path = request.path;
    if (path == "/" || path == "/index") return ServeHome(request, response);
    if (path == "/login" && request.method == "POST") {
        if (request.get_param_value("username").empty()) {
            response.status = 302;
            response.set_header("Location", "/?error=1");
            return;
        }
        response.status = 302;
        // Over https the session cookie is Secure, as the real one is.
        response.set_header("Set-Cookie", std::string(kSessionCookie) + "=" + kSessionValue +
                                              "; Path=/; HttpOnly; Expires=Wed, 01 Jan 2031 00:00:00 GMT" +
                                              (tls_ ? "; Secure" : ""));
        response.set_header("Location", "/");
        return;
    }
    if (path == "/logout") {
        response.status = 302;
        response.set_header("Set-Cookie", std::string(kSessionCookie) + "=deleted; Path=/; Expires=Thu, 01 Jan 1970 00:00:01 GMT");
        response.set_header("Location", "/");
        return;
    }
    if (path == "/albums/get_all" || path == "/photos/get_all") {
        if (RateLimited(request, response)) return;
        std::unique_lock lock(mutex_);
        if (require_login_ && !LoggedIn(request)) {
            response.set_content(kLoginPage, "text/html; charset=utf-8");
            return;
        }
        if (const User* user = FindUser(request.get_param_value("uid")); user && user->photo_service_down) {
            response.status = 504;
            response.set_content("<html><body><h1>504 Gateway Time-out</h1></body></html>", "text/html");
            return;
        }
        lock.unlock();
        return path == "/albums/get_all" ? ServeAlbumList(request, response) : ServePhotoList(request, response);
    }
    if (path == "/ajax/profile/info") return ServeUserInfo(request, response);
    if (path == "/ajax/profile/getImageWall" || path == "/ajax/profile/getAlbumDetail" ||
        path == "/ajax/statuses/show") {
        if (RateLimited(request, response)) return;
        std::unique_lock lock(mutex_);
        if (require_login_ && !LoggedIn(request)) {
            response.set_content(kLoginWallJson, "application/json");
            return;
        }
        lock.unlock();
        return path == "/ajax/statuses/show" ? ServePost(request, response) : ServeAlbumTab(request, response);
    }
    if (path == "/ajax/common/download") return ServeByPid(request, response, false);
    if (path.starts_with("/mw2000/")) return ServeByPid(request, response, false);
    if (path.starts_with("/livephoto/")) return ServeByPid(request, response, true);
    if (path == "/visitor/visitor") {
        response.set_content("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Sina Visitor System</title>"
                             "</head><body><script>/* visitor check */</script></body></html>",
                             "text/html; charset=utf-8");
        return;
    }
    if (path.starts_with("/large/")) return ServePicture(request, response, false);
    if (path.starts_with("/cover/")) return ServePicture(request, response, true);
    if (path == "/download/softzuixinv/index.html") {
        std::lock_guard lock(mutex_);
        response.set_content(version_page_, "text/html");
        return;
    }
    // Helpers for the HTTP tests.
    if (path == "/test/set-cookie") {
        for (std::size_t i = 0; i < request.get_param_value_count("c"); ++i) {
            response.set_header("Set-Cookie", request.get_param_value("c", i));
        }
        response.set_content("cookies set", "text/plain");
        return;
    }
    if (path == "/test/redirect") {
        response.status = 302;
        response.set_header("Location", request.get_param_value("to"));
        response.set_content("redirect body", "text/plain");
        return;
    }
    if (path == "/test/big-headers") {
        const auto size = std::stoul(request.get_param_value("size"));
        response.set_header("X-Filler", std::string(size, 'f'));
        response.set_header("Set-Cookie", "late=1; Path=/");
        response.set_content("big", "text/plain");
        return;
    }
    if (path == "/test/body") {
        response.set_content(std::string(std::stoul(request.get_param_value("size")), 'x'), "text/plain");
        return;
    }
    if (path == "/test/new-window") {
        response.set_content("<html><body><a id=\"out\" href=\"/test/echo?from=link\" target=\"_blank\">open</a>"
                             "</body></html>",
                             "text/html");
        return;
    }
    if (path == "/test/echo") {
        std::string body = request.method + " " + request.target + "\n";
        for (const auto& [name, value] : request.headers) body += name + ": " + value + "\n";
        body += "\n" + request.body;
        response.set_content(body, "text/plain");
        return;
    }

    if (ServeUserPage(request, response)) return;
    response.status = 404;
    response.set_content("<html><body>404 Not Found</body></html>", "text/html");
}

bool FakeWeibo::ServeUserPage(const httplib::Request& request, httplib::Response& response) {
    const std::string& path = request.path;
    std::lock_guard lock(mutex_);
    for (const User& user : users_) {
        const bool home = path == user.home_path || path == "/u/" + user.uid || path == "/" + user.uid ||
                          path == "/p/100505" + user.uid ||
                          (!user.custom_name.empty() && path == "/" + user.custom_name);
        if (home && visitor_wall_ && !LoggedIn(request)) {
            response.status = 302;
            response.set_header("Location", "/visitor/visitor?entry=miniblog&url=" + path);
            return true;
        }
        if (home) {
            const std::string title = user.marker == UidMarker::kNone ? "微博" : user.title;
            std::string page = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + title +
                               "</title></head><body><script>";
            if (user.marker == UidMarker::kConfigOid) page += "var $CONFIG = {}; $CONFIG['oid']='" + user.uid + "';";
            if (user.marker == UidMarker::kOwnerUid) page += "var page = {owner_uid: " + user.uid + ", x: 1};";
            if (user.marker == UidMarker::kSpacedOid) page += "var $CONFIG = {}; $CONFIG['oid'] = '" + user.uid + "';";
            if (user.marker == UidMarker::kNone) {
                page += "</script><div id=\"app\"></div><script src=\"/js/index.js\"></script></body></html>";
            } else {
                page += "</script><h1>" + user.title + "</h1></body></html>";
            }
            response.set_content(page, "text/html; charset=utf-8");
            return true;
        }
        if (path == "/" + user.uid + "/albums/") {
            std::string page = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + user.title +
                               "的相册</title></head><body><ul>";
            for (const Album& album : user.albums) page += "<li>" + album.caption + "</li>";
            response.set_content(page + "</ul></body></html>", "text/html; charset=utf-8");
            return true;
        }
    }
    return false;
}

void FakeWeibo::ServeUserInfo(const httplib::Request& request, httplib::Response& response) {
    std::lock_guard lock(mutex_);
    if (require_login_ && !LoggedIn(request)) {
        response.set_content(kLoginWallJson, "application/json");
        return;
    }
    const std::string uid = request.get_param_value("uid");
    const std::string custom = request.get_param_value("custom");
    for (const User& user : users_) {
        if ((uid.empty() || user.uid != uid) && (custom.empty() || user.custom_name != custom)) continue;
        std::string nick = user.screen_name;
        if (nick.empty()) nick = user.title.substr(0, user.title.find("的微博"));
        response.set_content("{\"ok\":1,\"data\":{\"user\":{\"id\":" + user.uid + ",\"idstr\":\"" + user.uid +
                                 "\",\"screen_name\":" + JsonString(nick, false) + "}}}",
                             "application/json");
        return;
    }
    response.set_content("{\"ok\":0,\"msg\":\"这里还没有内容\"}", "application/json");
}

bool FakeWeibo::RateLimited(const httplib::Request&, httplib::Response& response) {
    std::lock_guard lock(mutex_);
    if (rate_limit_.requests <= 0) return false;
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(service_requests_, [&](const auto& at) {
        return now - at > std::chrono::milliseconds(rate_limit_.window_ms);
    });
    if (static_cast<int>(service_requests_.size()) >= rate_limit_.requests) {
        response.status = rate_limit_.status;
        if (rate_limit_.retry_after_s >= 0) response.set_header("Retry-After", std::to_string(rate_limit_.retry_after_s));
        response.set_content("<html><body>请求过于频繁</body></html>", "text/html; charset=utf-8");
        return true;
    }
    service_requests_.push_back(now);
    return false;
}

const User* FakeWeibo::FindUser(const std::string& uid) const {
    const auto user = std::find_if(users_.begin(), users_.end(), [&](const User& u) { return u.uid == uid; });
    return user == users_.end() ? nullptr : &*user;
}

void FakeWeibo::ServeHome(const httplib::Request& request, httplib::Response& response) {
    const bool in = LoggedIn(request);
    std::string page =
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>微博-随时随地发现新鲜事</title>"
        "<style>body{font-family:sans-serif;margin:40px}input{margin:4px}</style></head><body>"
        "<h1>微博（演示）</h1>";
    if (in) {
        page += "<p id=\"state\">已登录</p><ul>";
        std::lock_guard lock(mutex_);
        for (const User& user : users_) {
            page += "<li><a href=\"" + user.home_path + "\">" + user.title + "</a></li>";
        }
        page += "</ul><a href=\"/logout\">退出</a>";
    } else {
        page +=
            "<p id=\"state\">未登录</p>"
            "<form id=\"login\" method=\"post\" action=\"/login\">"
            "<label>账号 <input name=\"username\" id=\"username\"></label><br>"
            "<label>密码 <input name=\"password\" id=\"password\" type=\"password\"></label><br>"
            "<button type=\"submit\" id=\"login-button\">登录</button></form>";
    }
    response.set_content(page + "</body></html>", "text/html; charset=utf-8");
}

void FakeWeibo::ServeAlbumList(const httplib::Request& request, httplib::Response& response) {
    std::lock_guard lock(mutex_);
    const User* user = FindUser(request.get_param_value("uid"));
    if (!user) {
        response.set_content("<html><head><meta charset=\"utf-8\"></head><body>用户不存在或者获取用户信息失败</body></html>",
                             "text/html; charset=utf-8");
        return;
    }
    std::string json = "{\"result\":true,\"data\":{\"album_list\":[";
    bool first = true;
    for (const Album& album : user->albums) {
        if (!first) json += ",";
        first = false;
        const std::string count = album.count_text.value_or(std::to_string(album.photos.size()));
        json += "{\"album_id\":\"" + album.album_id + "\",\"caption\":" + JsonString(album.caption, true) +
                ",\"cover_pic\":" +
                (album.cover ? JsonString(BaseUrl() + "/cover/" + album.album_id + ".jpg", false) : "\"\"") +
                ",\"count\":{\"photos\":" + count + "},\"type\":" + album.type + "}";
    }
    response.set_content(json + "]}}", "application/json");
}

void FakeWeibo::ServePhotoList(const httplib::Request& request, httplib::Response& response) {
    const std::string uid = request.get_param_value("uid");
    const std::string album_id = request.get_param_value("album_id");
    const int page = std::max(1, std::atoi(request.get_param_value("page").c_str()));
    int count = std::max(1, std::atoi(request.get_param_value("count").c_str()));
    std::lock_guard lock(mutex_);
    const Album* album = nullptr;
    bool user_videos = false;
    for (const User& user : users_) {
        if (user.uid != uid) continue;
        user_videos = user.photo_service_videos;
        for (const Album& a : user.albums) {
            if (a.album_id == album_id) album = &a;
        }
    }
    if (album && album->page_size > 0) count = album->page_size;
    std::string json = "{\"result\":true,\"data\":{\"photo_list\":[";
    if (album) {
        const std::size_t begin = static_cast<std::size_t>((page - 1) * count);
        const std::size_t end = std::min(album->photos.size(), begin + static_cast<std::size_t>(count));
        for (std::size_t i = begin; i < end; ++i) {
            const Photo& p = album->photos[i];
            std::vector<std::string> members;
            const auto add = [&](const char* name, const std::string& value) {
                if (!p.omit.contains(name)) members.push_back("\"" + std::string(name) + "\":" + value);
            };
            add("photo_id", p.id_as_number ? p.photo_id : "\"" + p.photo_id + "\"");
            add("timestamp", std::to_string(p.timestamp * 1000));
            add("pic_host", JsonString(BaseUrl(), false));
            add("pic_name", JsonString(p.pic_name, false));
            add("caption_render", JsonString(p.caption, true));
            if (p.live && user_videos) add("video", JsonString(BaseUrl() + "/livephoto/" + p.pid + ".mov", false));
            json += (i == begin ? "{" : ",{");
            for (std::size_t m = 0; m < members.size(); ++m) json += (m ? "," : "") + members[m];
            json += "}";
        }
    }
    response.set_content(json + "]}}", "application/json");
}

const Photo* FakeWeibo::FindPhoto(const std::string& pic_name) const {
    for (const User& user : users_) {
        for (const Album& album : user.albums) {
            for (const Photo& photo : album.photos) {
                if (photo.pic_name == pic_name) return &photo;
            }
        }
    }
    return nullptr;
}

void FakeWeibo::ServePicture(const httplib::Request& request, httplib::Response& response, bool cover) {
    const std::string name = request.path.substr(7);
    std::lock_guard lock(mutex_);
    if (hotlink_protection_ && request.get_header_value("Referer") != BaseUrl() + "/") {
        response.status = 403;
        response.set_content("<html><body>403 Forbidden</body></html>", "text/html");
        return;
    }
    if (cover) {
        response.set_content(MakePicture(PictureFormat::kJpeg, Seed(name), 0, 120, 90), "image/jpeg");
        return;
    }
    const Photo* photo = FindPhoto(name);
    if (!photo) {
        response.status = 404;
        response.set_content("<html><body>404</body></html>", "text/html");
        return;
    }
    response.set_content(MakePicture(photo->format, Seed(photo->photo_id), photo->size), MimeType(photo->format));
}

const Photo* FakeWeibo::FindPid(const std::string& pid) const {
    for (const User& user : users_) {
        for (const Album& album : user.albums) {
            for (const Photo& photo : album.photos) {
                if (photo.pid == pid) return &photo;
            }
        }
    }
    return nullptr;
}

void FakeWeibo::ServeAlbumTab(const httplib::Request& request, httplib::Response& response) {
    std::lock_guard lock(mutex_);
    const User* user = FindUser(request.get_param_value("uid"));
    if (!user) {
        response.set_content("{\"ok\":0,\"msg\":\"用户不存在\"}", "application/json");
        return;
    }
    const bool wall = request.path == "/ajax/profile/getImageWall";
    // The wall holds every picture of the user, newest first; an album its own.
    std::vector<const Photo*> photos;
    std::string json_albums;
    if (wall) {
        std::set<std::string> seen;
        for (const Album& album : user->albums) {
            for (const Photo& photo : album.photos) {
                if (seen.insert(photo.pid).second) photos.push_back(&photo);
            }
            if (!json_albums.empty()) json_albums += ",";
            json_albums += "{\"pic_title\":" + JsonString(album.caption, false) + ",\"containerid\":\"" +
                           PercentEncoded(ContainerId(*user, album)) + "\",\"pic\":" +
                           JsonString(BaseUrl() + "/cover/" + album.album_id + ".jpg", false) + "}";
        }
        std::stable_sort(photos.begin(), photos.end(), [](const Photo* a, const Photo* b) { return a->timestamp > b->timestamp; });
    } else {
        const std::string containerid = request.get_param_value("containerid");
        for (const Album& album : user->albums) {
            if (ContainerId(*user, album) != containerid) continue;
            for (const Photo& photo : album.photos) photos.push_back(&photo);
        }
    }
    // Entries: a picture each, or its post once when the list names posts.
    std::vector<std::string> items;
    std::set<std::string> posts_named;
    for (const Photo* photo : photos) {
        const std::string type = photo->live ? "livephoto" : "pic";
        if (photo->listed_without_pid) {
            if (posts_named.insert(photo->mid).second) items.push_back("{\"mid\":\"" + photo->mid + "\",\"type\":\"pic\"}");
            continue;
        }
        items.push_back("{\"pid\":\"" + photo->pid + "\",\"mid\":\"" + photo->mid + "\",\"type\":\"" + type +
                        "\",\"timeline_year\":\"2014\",\"timeline_month\":\"5\"}");
    }
    const std::string cursor = request.get_param_value(wall ? "sinceid" : "since_id");
    std::size_t begin = 0;
    if (cursor.find('_') != std::string::npos) {
        begin = std::stoul(cursor.substr(cursor.find('_') + 1));
    } else if (!cursor.empty() && cursor != "0") {
        begin = std::stoul(cursor) - 1000;
    }
    const std::size_t size = static_cast<std::size_t>(std::max(1, user->tab_page_size));
    const std::size_t end = std::min(items.size(), begin + size);
    std::string json = "{\"ok\":1,\"data\":{";
    if (end < items.size()) {
        // The cursor of the next page: text on the wall, a number in albums.
        json += wall ? "\"since_id\":\"4954_" + std::to_string(end) + "\"," : "\"since_id\":" + std::to_string(1000 + end) + ",";
    } else {
        switch (user->tab_end) {
            case CursorEnd::kZero: json += "\"since_id\":0,"; break;
            case CursorEnd::kZeroText: json += "\"since_id\":\"0\","; break;
            case CursorEnd::kEmpty: json += "\"since_id\":\"\","; break;
            case CursorEnd::kMissing: break;
        }
    }
    json += "\"list\":[";
    for (std::size_t i = begin; i < end; ++i) json += (i == begin ? "" : ",") + items[i];
    json += "]";
    if (wall && request.get_param_value("has_album") == "true") json += ",\"album_list\":[" + json_albums + "]";
    response.set_content(json + "},\"bottom_tips_visible\":false}", "application/json");
}

void FakeWeibo::ServePost(const httplib::Request& request, httplib::Response& response) {
    const std::string mid = request.get_param_value("id");
    std::lock_guard lock(mutex_);
    std::vector<const Photo*> pictures;
    std::set<std::string> seen;
    for (const User& user : users_) {
        for (const Album& album : user.albums) {
            for (const Photo& photo : album.photos) {
                if (photo.mid == mid && seen.insert(photo.pid).second) pictures.push_back(&photo);
            }
        }
    }
    if (pictures.empty()) {
        response.set_content("{\"ok\":0,\"message\":\"该微博不存在\"}", "application/json");
        return;
    }
    for (const Photo* photo : pictures) {
        if (photo->followers_only) {
            response.set_content("{\"ok\":0,\"message\":\"暂无查看权限\",\"error_code\":20112}", "application/json");
            return;
        }
    }
    std::string ids;
    std::string infos;
    for (const Photo* photo : pictures) {
        const std::string url = BaseUrl() + "/mw2000/" + photo->pid + ".jpg";
        const std::string type = photo->format == PictureFormat::kGif ? "gif" : photo->live ? "livephoto" : "pic";
        ids += (ids.empty() ? "\"" : ",\"") + photo->pid + "\"";
        infos += (infos.empty() ? "\"" : ",\"") + photo->pid + "\":{\"type\":\"" + type + "\",\"largest\":{\"url\":" +
                 JsonString(url, false) + "},\"large\":{\"url\":" + JsonString(url, false) + "}";
        if (photo->live) {
            const std::string video = BaseUrl() + "/livephoto/" + photo->pid + ".mov?Expires=1";
            infos += ",\"video\":" + JsonString(photo->wrapped_video
                                                    ? "https://video.weibo.com/media/play?livephoto=" + PercentEncoded(video)
                                                    : video,
                                                false);
        }
        infos += "}";
    }
    const Photo& first = *pictures.front();
    response.set_content("{\"ok\":1,\"mid\":\"" + mid + "\",\"created_at\":\"" + PostTime(first.timestamp) +
                             "\",\"text_raw\":" + JsonString(first.caption, false) + ",\"pic_ids\":[" + ids +
                             "],\"pic_infos\":{" + infos + "}}",
                         "application/json");
}

void FakeWeibo::ServeByPid(const httplib::Request& request, httplib::Response& response, bool video) {
    std::string pid = request.get_param_value("pid");
    if (pid.empty()) {
        pid = request.path.substr(request.path.rfind('/') + 1);
        pid = pid.substr(0, pid.find('.'));
    }
    std::lock_guard lock(mutex_);
    if (hotlink_protection_ && request.get_header_value("Referer") != BaseUrl() + "/") {
        response.status = 403;
        response.set_content("<html><body>403 Forbidden</body></html>", "text/html");
        return;
    }
    const Photo* photo = FindPid(pid);
    if (!photo || (video && !photo->live)) {
        response.status = 404;
        response.set_content("<html><body>404</body></html>", "text/html");
        return;
    }
    if (video) {
        response.set_content(MovieBytes(photo->pid), "video/quicktime");
    } else {
        response.set_content(MakePicture(photo->format, Seed(photo->photo_id), photo->size), MimeType(photo->format));
    }
}

User SampleUser(const std::string& uid, int albums, int photos_each) {
    static const char* const kCaptions[] = {
        "春天的花 / 北京植物园",
        "..",
        "旅行😀日记 第一天",
        "第一行\r\n第二行",
        "他说\"你好\"，我说：好！",
        "普通的一天",
        "",
        "西湖边的夕阳，风很大，人很多，但是景色真的很美，值得再来一次。断桥残雪、苏堤春晓、曲院风荷、"
        "平湖秋月、柳浪闻莺、花港观鱼、雷峰夕照、双峰插云、南屏晚钟、三潭印月，十景看了一半。"
        "下次一定要在春天来，看苏堤的桃花和柳树，再去龙井村喝一杯新茶。",
        "a<b>c|d?e*f:g",
        "猫咪 & 狗狗",
    };
    static const char* const kAlbumNames[] = {"微博配图", "头像相册", "旅行", "美食记录", "家人", "it's mine"};
    User user;
    user.uid = uid;
    user.title = "演示用户的微博";
    std::int64_t timestamp = 1400000000;  // 2014-05-14
    for (int a = 0; a < albums; ++a) {
        Album album;
        album.album_id = std::to_string(3550000000LL + a);
        album.caption = kAlbumNames[a % 6];
        for (int p = 0; p < photos_each; ++p) {
            Photo photo;
            photo.photo_id = std::to_string(3600000000000LL + a * 100000LL + p);
            photo.timestamp = timestamp;
            timestamp -= 86400 / 2;
            photo.caption = kCaptions[p % 10];
            photo.format = p % 7 == 3 ? PictureFormat::kPng : p % 11 == 5 ? PictureFormat::kGif : PictureFormat::kJpeg;
            // On the album tab three pictures make a post; some are live photos,
            // some posts are for followers only, some are listed as posts.
            const int post = p / 3;
            photo.mid = "48" + std::to_string(3600000000000LL + a * 100000LL + post * 3);
            photo.live = p % 9 == 4;
            photo.followers_only = post % 8 == 3;
            photo.listed_without_pid = post % 6 == 4;
            album.photos.push_back(std::move(photo));
        }
        user.albums.push_back(std::move(album));
    }
    return user;
}

}  // namespace wa::fake
