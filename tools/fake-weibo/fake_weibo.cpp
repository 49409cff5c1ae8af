#include "fake_weibo.h"

#include <httplib.h>
#include <openssl/pem.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>

#include "certificates.h"
#include "fake_answers.h"

namespace wa::fake {
namespace {

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

using namespace answers;

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
            // Post ids grow with time, as the site's do.
            if (photo.mid.empty()) photo.mid = std::to_string(4'000'000'000'000'000LL + photo.timestamp * 1000 + next_post_++ % 1000);
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

bool FakeWeibo::AddNewPhotos(const std::string& uid, int album, int count) {
    std::lock_guard lock(mutex_);
    const auto user = std::find_if(users_.begin(), users_.end(), [&uid](const User& u) { return u.uid == uid; });
    if (user == users_.end() || album < 0 || album >= static_cast<int>(user->albums.size()) || count < 0) return false;
    std::int64_t newest = 0;
    long long highest_id = 0;
    for (const Album& each : user->albums) {
        for (const Photo& photo : each.photos) {
            newest = std::max(newest, photo.timestamp);
            highest_id = std::max(highest_id, std::atoll(photo.photo_id.c_str()));
        }
    }
    Album& target = user->albums[static_cast<std::size_t>(album)];
    for (int i = 1; i <= count; ++i) {
        Photo photo;
        photo.photo_id = std::to_string(highest_id + i);
        photo.timestamp = newest + 3600LL * i;
        photo.caption = "新照片" + std::to_string(i);
        photo.pic_name = photo.photo_id + Extension(photo.format);
        photo.pid = "006Xmpvgly1h" + photo.photo_id;
        photo.mid = std::to_string(4'000'000'000'000'000LL + photo.timestamp * 1000 + next_post_++ % 1000);
        target.photos.insert(target.photos.begin(), std::move(photo));  // served newest first
    }
    return true;
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
    limited_answers_ = 0;
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
        if (fault.retry_after_s >= 0) response.set_header("Retry-After", std::to_string(fault.retry_after_s));
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
    if (path == "/fake/add-photos") {
        const bool added = AddNewPhotos(request.get_param_value("uid"), std::atoi(request.get_param_value("album").c_str()),
                                        std::atoi(request.get_param_value("count").c_str()));
        response.status = added ? 200 : 404;
        response.set_content(added ? "added\n" : "no such user or album\n", "text/plain");
        return;
    }
    if (path == "/ajax/profile/getImageWall" || path == "/ajax/profile/getAlbumDetail" ||
        path == "/ajax/statuses/show" || path == "/ajax/statuses/mymblog" || path == "/ajax/statuses/longtext") {
        if (RateLimited(request, response)) return;
        std::unique_lock lock(mutex_);
        if (require_login_ && !LoggedIn(request)) {
            response.set_content(kLoginWallJson, "application/json");
            return;
        }
        lock.unlock();
        if (path == "/ajax/statuses/mymblog") return ServeTimeline(request, response);
        if (path == "/ajax/statuses/longtext") return ServeLongText(request, response);
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

int FakeWeibo::LimitedAnswers() const {
    std::lock_guard lock(mutex_);
    return limited_answers_;
}

bool FakeWeibo::RateLimited(const httplib::Request&, httplib::Response& response) {
    std::lock_guard lock(mutex_);
    if (rate_limit_.requests <= 0) return false;
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(service_requests_, [&](const auto& at) {
        return now - at > std::chrono::milliseconds(rate_limit_.window_ms);
    });
    const bool blocked = now < blocked_until_;
    if (blocked || static_cast<int>(service_requests_.size()) >= rate_limit_.requests) {
        if (rate_limit_.block_ms > 0) blocked_until_ = now + std::chrono::milliseconds(rate_limit_.block_ms);
        ++limited_answers_;
        response.status = rate_limit_.status;
        if (rate_limit_.retry_after_s >= 0) response.set_header("Retry-After", std::to_string(rate_limit_.retry_after_s));
        response.set_content("<html><body>请求过于频繁</body></html>", "text/html; charset=utf-8");
        return true;
    }
    service_requests_.push_back(now);
    return false;
}

}  // namespace wa::fake
