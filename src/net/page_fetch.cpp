#include "net/page_fetch.h"

#include <curl/curl.h>

#include "net/certificate_trust.h"
#include "net/cookie_jar.h"
#include "net/curl_transfer.h"
#include "net/http_text.h"

namespace wa {
namespace {

// Page requests never wait forever: a connection must be made within this
// time, and a transfer that receives nothing for as long is abandoned.
constexpr long kConnectTimeoutSeconds = 60;
constexpr std::chrono::seconds kStallLimit{60};
constexpr std::size_t kMaxTextAnswer = 16u << 20;

// What the transfer brought, with the cookies it set: into the request's own
// cookies, or into the jar the browser shares.
void TakeOutcome(PageFetchResult& result, TransferOutcome outcome, const PageFetchOptions& options) {
    result.proxy = std::move(outcome.proxy);
    result.error = std::move(outcome.error);
    result.failure = outcome.failure;
    result.failure_detail = std::move(outcome.failure_detail);
    result.headers = std::move(outcome.headers);
    result.redirect_url = std::move(outcome.redirect_url);
    NormalizeSetCookieCase(result.headers);
    result.returned_cookies = ExtractSetCookies(result.headers);
    if (outcome.completed) {
        result.status = outcome.status;
        result.body = std::move(outcome.body);
    }
    if (options.cookies) {
        result.cookies = *options.cookies;
        MergeCookies(result.cookies, result.returned_cookies);
    } else {
        for (const auto& [response_url, value] : outcome.set_cookies) {
            CookieJar::Shared().NotifySetCookie(response_url, value);
        }
    }
}

}  // namespace

PageFetchResult PageFetch(std::string_view url_view, const PageFetchOptions& options) {
    PageFetchResult result;
    EnsureCurlInitialized();
    EasyHandle easy(curl_easy_init());
    MultiHandle multi(curl_multi_init());
    if (!easy || !multi) {
        result.error = "cannot set up the request";
        return result;
    }
    std::string url(url_view);
    if (url.find("://") == std::string::npos) url.insert(0, "http://");

    const int method = RequestMethod(options.method);
    result.sent_headers = options.extra_headers.value_or("");
    const bool own_cookies = options.cookies.has_value();
    CompletePageHeaders(result.sent_headers, url_view, options.cookies.value_or(""));

    const HeaderList header_list = MakeHeaderList(result.sent_headers);

    CURL* e = easy.get();
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_USERAGENT, AgentFromHeaders(result.sent_headers).c_str());
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, header_list.get());
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, options.no_redirect.value_or(false) ? 0L : 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 20L);
    std::string proxy;
    SetProxy(e, options.proxy, proxy);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    const ServiceTrust trust = CurrentServiceTrust();
    SetConnectionPolicy(e, trust);
    if (!own_cookies) CookieJar::Shared().Attach(e);

    if (method != 0) {
        result.post_bytes = options.post_bytes.value_or("");
        if (result.post_bytes.empty()) result.post_bytes = options.post_text.value_or("");
    }
    SetMethodAndBody(e, method, result.post_bytes);

    TransferOutcome outcome = RunTransfer(multi.get(), e, options.job,
                                          TransferLimits{kStallLimit, options.max_body.value_or(kMaxTextAnswer)});
    BlameProxy(outcome, url, options.proxy);
    TakeOutcome(result, std::move(outcome), options);
    return result;
}

}  // namespace wa
