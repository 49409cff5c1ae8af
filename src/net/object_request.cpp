#include "net/object_request.h"

#include <curl/curl.h>

#include <algorithm>

#include "net/certificate_trust.h"
#include "net/curl_transfer.h"
#include "net/http_text.h"

namespace wa {

// What a handle does when the caller leaves its time-outs alone: connect
// within a minute, give up on an answer silent for a minute.
constexpr int kDefaultTimeoutSeconds = 60;
constexpr long kReceiveBufferBytes = 256 * 1024;

struct RequestHandle::Handles {
    CURL* easy = nullptr;
    CURLM* multi = nullptr;
};

struct ObjectRequestAccess {
    static RequestHandle::Handles& Of(RequestHandle& handle) { return *handle.handles_; }
};

RequestHandle::RequestHandle() : handles_(std::make_unique<Handles>()) {
    EnsureCurlInitialized();
    handles_->easy = curl_easy_init();
    handles_->multi = curl_multi_init();
}

RequestHandle::~RequestHandle() {
    curl_easy_cleanup(handles_->easy);
    curl_multi_cleanup(handles_->multi);
}

namespace {

}  // namespace

// What a configured request needs kept until its transfer ends.
struct PreparedRequest {
    std::string url;
    ServiceTrust trust;
    std::string body;
    std::string cookies;
    std::string sent_headers;
    std::string proxy;
    std::optional<std::string> explicit_proxy;
    HeaderList header_list;
    int timeout = kDefaultTimeoutSeconds;
};

namespace {

void Configure(CURL* e, std::string_view url, const ObjectRequestOptions& options, PreparedRequest& p) {
    curl_easy_reset(e);  // keeps the open connection
    p.url = std::string(url);
    const int asked = options.timeout_seconds.value_or(0);
    p.timeout = asked == -1 ? kDefaultTimeoutSeconds : (asked >= 1 ? asked : 15);

    p.sent_headers = options.extra_headers.value_or("");
    CompleteObjectHeaders(p.sent_headers, p.url);
    p.cookies = options.cookies.value_or("");
    p.header_list = MakeHeaderList(p.sent_headers, p.cookies);  // the Cookie line first

    curl_easy_setopt(e, CURLOPT_URL, p.url.c_str());
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, p.header_list.get());
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, options.no_redirect.value_or(false) ? 0L : 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 20L);
    p.trust = CurrentServiceTrust();
    SetConnectionPolicy(e, p.trust);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, static_cast<long>(p.timeout));
    // Larger reads than libcurl's 16 KB mean fewer calls and writes per picture.
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    SetProxy(e, options.proxy, p.proxy);
    p.explicit_proxy = options.proxy;
    if (!p.proxy.empty() && !options.proxy_user.value_or("").empty()) {
        curl_easy_setopt(e, CURLOPT_PROXYUSERNAME, options.proxy_user->c_str());
        curl_easy_setopt(e, CURLOPT_PROXYPASSWORD, options.proxy_password.value_or("").c_str());
    }
    p.body = options.post_bytes.value_or("");
    if (p.body.empty()) p.body = options.post_text.value_or("");
    SetMethodAndBody(e, RequestMethod(options.method), p.body);
}

TransferLimits LimitsOf(const ObjectRequestOptions& options, const PreparedRequest& p) {
    return TransferLimits{std::chrono::seconds(p.timeout), options.max_body};
}

ObjectRequestResult ResultOf(TransferOutcome outcome, PreparedRequest& p) {
    ObjectRequestResult result;
    result.stopped = outcome.stopped;
    result.sink_failed = outcome.sink_failed;
    result.error = std::move(outcome.error);
    result.failure = outcome.failure;
    result.failure_detail = std::move(outcome.failure_detail);
    BlameProxy(outcome, p.url, p.explicit_proxy);
    result.proxy = std::move(outcome.proxy);
    // The object reports the header lines without the status line.
    const std::size_t first_line_end = outcome.headers.find("\r\n");
    result.headers = first_line_end == std::string::npos ? std::string()
                                                         : outcome.headers.substr(first_line_end + 2);
    NormalizeSetCookieCase(result.headers);
    result.returned_cookies = ExtractSetCookies(result.headers);
    if (outcome.completed) {
        result.status = outcome.status;
        result.body = std::move(outcome.body);
    }
    result.cookies = std::move(p.cookies);
    MergeCookies(result.cookies, result.returned_cookies);
    result.sent_headers = std::move(p.sent_headers);
    return result;
}

}  // namespace

ObjectRequestResult ObjectRequest(std::string_view url, const ObjectRequestOptions& options) {
    std::optional<RequestHandle> own;
    RequestHandle* handle = options.handle;
    if (!handle) handle = &own.emplace();
    auto& handles = ObjectRequestAccess::Of(*handle);
    if (!handles.easy || !handles.multi) {
        ObjectRequestResult result;
        result.error = "cannot set up the request";
        return result;
    }
    PreparedRequest prepared;
    Configure(handles.easy, url, options, prepared);
    TransferOutcome outcome = RunTransfer(handles.multi, handles.easy, options.job, LimitsOf(options, prepared),
                                          options.body_sink ? &options.body_sink : nullptr);
    return ResultOf(std::move(outcome), prepared);
}

struct RequestBatch::Slot {
    EasyHandle easy;
    PreparedRequest prepared;
    bool busy = false;
};

void RequestBatch::MultiDeleter::operator()(void* multi) const { curl_multi_cleanup(multi); }

RequestBatch::RequestBatch(int slots) {
    EnsureCurlInitialized();
    multi_.reset(curl_multi_init());
    for (int i = 0; i < std::max(slots, 1); ++i) {
        auto slot = std::make_unique<Slot>();
        slot->easy.reset(curl_easy_init());
        slots_.push_back(std::move(slot));
    }
    driver_ = std::make_unique<TransferDriver>(multi_.get());
}

RequestBatch::~RequestBatch() { driver_.reset(); }  // the transfers go before their handles

int RequestBatch::FreeSlot() const {
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (!slots_[i]->busy) return static_cast<int>(i);
    }
    return -1;
}

bool RequestBatch::Start(int slot_index, std::string_view url, const ObjectRequestOptions& options) {
    Slot& slot = *slots_.at(static_cast<std::size_t>(slot_index));
    if (slot.busy || !slot.easy || !multi_) return false;
    Configure(slot.easy.get(), url, options, slot.prepared);
    driver_->Add(slot.easy.get(), LimitsOf(options, slot.prepared), options.body_sink);
    slot.busy = true;
    return true;
}

void RequestBatch::Cancel() {
    driver_ = std::make_unique<TransferDriver>(multi_.get());  // the old one removes its transfers
    for (const auto& slot : slots_) slot->busy = false;
}

std::optional<RequestBatch::Done> RequestBatch::Next(JobToken* job, const std::function<bool()>& wake) {
    std::optional<TransferDriver::Ended> ended = driver_->Next(job, wake);
    if (!ended) return std::nullopt;
    if (!ended->easy) return Done{-1, {}};
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        Slot& slot = *slots_[i];
        if (slot.easy.get() != ended->easy) continue;
        slot.busy = false;
        return Done{static_cast<int>(i), ResultOf(std::move(ended->outcome), slot.prepared)};
    }
    return std::nullopt;
}

}  // namespace wa
