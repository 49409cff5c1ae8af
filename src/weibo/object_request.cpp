#include "weibo/object_request.h"

#include <curl/curl.h>

#include "weibo/curl_transfer.h"
#include "weibo/http_text.h"
#include "weibo/weibo_service.h"

namespace wa {

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

// What a handle does when the caller leaves its time-outs alone: connect
// within a minute, give up on an answer silent for a minute.
constexpr int kDefaultTimeoutSeconds = 60;

}  // namespace

ObjectRequestResult ObjectRequest(std::string_view url_view, const ObjectRequestOptions& options) {
    ObjectRequestResult result;
    std::optional<RequestHandle> own;
    RequestHandle* handle = options.handle;
    if (!handle) handle = &own.emplace();
    auto& handles = ObjectRequestAccess::Of(*handle);
    if (!handles.easy || !handles.multi) {
        result.error = "cannot set up the request";
        return result;
    }
    CURL* e = handles.easy;
    curl_easy_reset(e);  // keeps the open connection

    const std::string url(url_view);
    const int method = RequestMethod(options.method);

    const int asked = options.timeout_seconds.value_or(0);
    const int timeout = asked == -1 ? kDefaultTimeoutSeconds : (asked >= 1 ? asked : 15);

    result.sent_headers = options.extra_headers.value_or("");
    CompleteObjectHeaders(result.sent_headers, url);

    const std::string cookies = options.cookies.value_or("");
    const HeaderList header_list = MakeHeaderList(result.sent_headers, cookies);  // the Cookie line first

    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, header_list.get());
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, options.no_redirect.value_or(false) ? 0L : 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 20L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 0L);
    const std::string ca_file = CurrentService().ca_file;
    SetConnectionPolicy(e, ca_file);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, static_cast<long>(timeout));
    const std::string proxy = options.proxy.value_or("");
    curl_easy_setopt(e, CURLOPT_PROXY, proxy.c_str());
    if (!proxy.empty() && !options.proxy_user.value_or("").empty()) {
        curl_easy_setopt(e, CURLOPT_PROXYUSERNAME, options.proxy_user->c_str());
        curl_easy_setopt(e, CURLOPT_PROXYPASSWORD, options.proxy_password.value_or("").c_str());
    }

    std::string body_to_send = options.post_bytes.value_or("");
    if (body_to_send.empty()) body_to_send = options.post_text.value_or("");
    SetMethodAndBody(e, method, body_to_send);

    TransferOutcome outcome =
        RunTransfer(handles.multi, e, options.job,
                    TransferLimits{std::chrono::seconds(timeout), options.max_body},
                    options.body_sink ? &options.body_sink : nullptr);
    result.stopped = outcome.stopped;
    result.sink_failed = outcome.sink_failed;
    result.error = std::move(outcome.error);
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
    result.cookies = cookies;
    MergeCookies(result.cookies, result.returned_cookies);
    return result;
}

}  // namespace wa
