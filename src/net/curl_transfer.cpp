#include "net/curl_transfer.h"

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "util/job_token.h"
#include "util/text.h"
#include "net/certificate_trust.h"
#include "net/http_text.h"

namespace wa {
namespace {

using Clock = std::chrono::steady_clock;

// No real answer sends more header lines than this.
constexpr std::size_t kMaxHeaderBytes = 1u << 20;

// "4 MiB", "512 KiB".
std::string SizeText(std::size_t bytes) {
    return bytes >= (1u << 20) ? std::to_string(bytes >> 20) + " MiB" : std::to_string(bytes >> 10) + " KiB";
}

struct TransferState {
    CURL* easy = nullptr;
    const TransferLimits* limits = nullptr;
    TransferOutcome* outcome = nullptr;
    const BodySink* sink = nullptr;
    Clock::time_point last_activity = Clock::now();
    std::size_t received = 0;
    bool too_large = false;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* state = static_cast<TransferState*>(user);
    const size_t bytes = size * count;
    state->last_activity = Clock::now();
    if (state->received + bytes > state->limits->max_body) {
        state->too_large = true;
        return 0;
    }
    state->received += bytes;
    if (state->sink) {
        if ((*state->sink)(std::string_view(data, bytes))) return bytes;
        state->outcome->sink_failed = true;
        return 0;
    }
    std::string& body = state->outcome->body;
    if (body.empty()) {
        // One allocation for the announced size saves copying a growing body.
        curl_off_t announced = -1;
        curl_easy_getinfo(state->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
        if (announced > 0 && static_cast<std::size_t>(announced) <= state->limits->max_body) {
            body.reserve(static_cast<std::size_t>(announced));
        }
    }
    body.append(data, bytes);
    return bytes;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* state = static_cast<TransferState*>(user);
    const size_t bytes = size * count;
    state->last_activity = Clock::now();
    const std::string_view line(data, bytes);
    if (line.starts_with("HTTP/")) state->outcome->headers.clear();  // a new response begins
    if (state->outcome->headers.size() + bytes > kMaxHeaderBytes) {
        state->too_large = true;
        return 0;
    }
    state->outcome->headers.append(line);
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos && AsciiLower(line.substr(0, colon)) == "set-cookie") {
        char* url = nullptr;
        curl_easy_getinfo(state->easy, CURLINFO_EFFECTIVE_URL, &url);
        std::string_view value = TrimBlanks(line.substr(colon + 1));
        state->outcome->set_cookies.emplace_back(url ? url : "", std::string(value));
    }
    return bytes;
}

// The 证书 authorities, beside the system's, for a connection to a service
// host; the address being fetched names it, also after a redirect.
CURLcode AddServiceAuthorities(CURL* easy, void* ssl_context, void* trust) {
    char* url = nullptr;
    curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &url);
    TrustServiceAuthorities(static_cast<SSL_CTX*>(ssl_context), static_cast<const ServiceTrust*>(trust),
                            url ? UrlHost(url) : std::string());
    return CURLE_OK;
}

NetFailure FailureOf(CURLcode code) {
    switch (code) {
        case CURLE_COULDNT_CONNECT: return NetFailure::kRefused;
        case CURLE_OPERATION_TIMEDOUT: return NetFailure::kTimedOut;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY: return NetFailure::kHostNotFound;
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH: return NetFailure::kCertificate;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER: return NetFailure::kTls;
        default: return NetFailure::kOther;
    }
}

}  // namespace

void EasyHandleDeleter::operator()(CURL* easy) const { curl_easy_cleanup(easy); }
void MultiHandleDeleter::operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
void HeaderListDeleter::operator()(curl_slist* list) const { curl_slist_free_all(list); }

int RequestMethod(const std::optional<int>& method) {
    const int value = method.value_or(0);
    return value < 0 || value > 2 ? 0 : value;
}

HeaderList MakeHeaderList(std::string_view block, std::string_view cookie) {
    HeaderList list;
    const auto append = [&list](const std::string& name, const std::string& value) {
        const std::string line = value.empty() ? name + ";" : name + ": " + value;  // "Name;" sends it empty
        list.reset(curl_slist_append(list.release(), line.c_str()));
    };
    if (!cookie.empty()) append("Cookie", std::string(cookie));
    for (const auto& [name, value] : HeaderFields(block)) {
        if (!name.empty()) append(name, value);
    }
    return list;
}

void SetConnectionPolicy(CURL* easy, const ServiceTrust& trust) {
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (trust.ca_file.empty()) return;
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, AddServiceAuthorities);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, &trust);
}

namespace {
std::mutex g_proxy_mutex;
std::string g_proxy;
}  // namespace

void SetProxySetting(std::string proxy) {
    std::lock_guard lock(g_proxy_mutex);
    g_proxy = std::move(proxy);
}

std::string ProxySetting() {
    std::lock_guard lock(g_proxy_mutex);
    return g_proxy;
}

void SetProxy(CURL* easy, const std::optional<std::string>& explicit_proxy, std::string& kept) {
    if (explicit_proxy) {
        kept = *explicit_proxy;
    } else {
        kept = ProxySetting();
        if (kept.empty()) return;  // left alone, curl reads the environment
        if (kept == "direct") kept.clear();
    }
    curl_easy_setopt(easy, CURLOPT_PROXY, kept.c_str());  // "" is no proxy at all
}

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// no_proxy: "*", or hosts and domains separated by commas (a leading dot
// optional), each matching the host and its subdomains.
bool ExemptFromProxy(const std::string& host) {
    std::string list = Environment("no_proxy");
    if (list.empty()) list = Environment("NO_PROXY");
    for (std::string entry : SplitText(list, ",")) {
        entry = std::string(TrimBlanks(entry));
        if (entry == "*") return true;
        if (!entry.empty() && HostInDomain(host, entry)) return true;
    }
    return false;
}

}  // namespace

std::string ProxyInEffect(std::string_view url, const std::optional<std::string>& explicit_proxy) {
    std::string proxy = explicit_proxy ? *explicit_proxy : ProxySetting();
    if (proxy == "direct") return {};
    if (!explicit_proxy && proxy.empty()) {
        if (ExemptFromProxy(UrlHost(url))) return {};
        if (url.starts_with("https://")) {
            proxy = Environment("https_proxy");
            if (proxy.empty()) proxy = Environment("HTTPS_PROXY");
        } else {
            proxy = Environment("http_proxy");  // only in lower case, as curl reads it
        }
        if (proxy.empty()) proxy = Environment("all_proxy");
        if (proxy.empty()) proxy = Environment("ALL_PROXY");
    }
    proxy = std::string(TrimBlanks(proxy));
    if (proxy.empty()) return {};
    std::string_view authority = proxy;
    if (const std::size_t scheme = authority.find("://"); scheme != std::string_view::npos) {
        authority.remove_prefix(scheme + 3);
    }
    authority = authority.substr(0, authority.find('/'));
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
    return std::string(authority);
}

void BlameProxy(TransferOutcome& outcome, std::string_view url, const std::optional<std::string>& explicit_proxy) {
    if (outcome.failure == NetFailure::kRefused || outcome.failure == NetFailure::kHostNotFound) {
        outcome.proxy = ProxyInEffect(url, explicit_proxy);
    }
}

void SetMethodAndBody(CURL* easy, int method, const std::string& body) {
    if (method == 0) return;
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.data());
    if (method == 2) {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, "HEAD");
    }
}

void EnsureCurlInitialized() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_ALL); });
}

struct TransferDriver::Transfer {
    TransferState state;
    TransferLimits limits;
    BodySink sink;
    TransferOutcome outcome;
};

TransferDriver::TransferDriver(CURLM* multi) : multi_(multi) {}

TransferDriver::~TransferDriver() {
    for (const auto& [easy, transfer] : running_) curl_multi_remove_handle(multi_, easy);
}

void TransferDriver::Add(CURL* easy, const TransferLimits& limits, BodySink sink) {
    auto transfer = std::make_unique<Transfer>();
    transfer->limits = limits;
    transfer->sink = std::move(sink);
    TransferState& state = transfer->state;
    state.easy = easy;
    state.limits = &transfer->limits;
    state.outcome = &transfer->outcome;
    state.sink = transfer->sink ? &transfer->sink : nullptr;
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &state);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &state);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_multi_add_handle(multi_, easy);
    running_.emplace(easy, std::move(transfer));
}

TransferDriver::Ended TransferDriver::End(CURL* easy, std::optional<int> result) {
    std::erase_if(finished_, [easy](const auto& ended) { return ended.first == easy; });
    auto node = running_.extract(easy);
    Transfer& transfer = *node.mapped();
    TransferOutcome& outcome = transfer.outcome;
    if (result) {
        if (*result == CURLE_OK) {
            outcome.completed = true;
        } else if (outcome.sink_failed) {
            outcome.error = "the body could not be stored";
        } else if (transfer.state.too_large) {
            outcome.error = "answer larger than " + SizeText(transfer.limits.max_body);
            outcome.failure = NetFailure::kTooLarge;
            outcome.failure_detail = "超过 " + SizeText(transfer.limits.max_body);
        } else {
            const auto code = static_cast<CURLcode>(*result);
            outcome.error = curl_easy_strerror(code);
            outcome.failure = FailureOf(code);
            long os_errno = 0;
            curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &os_errno);
            if (outcome.failure == NetFailure::kRefused && os_errno != 0) outcome.failure_detail = std::strerror(static_cast<int>(os_errno));
        }
    }
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &outcome.status);
    char* redirect = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &redirect) == CURLE_OK && redirect) outcome.redirect_url = redirect;
    curl_multi_remove_handle(multi_, easy);
    return {easy, std::move(outcome)};
}

std::optional<TransferDriver::Ended> TransferDriver::Next(JobToken* job, const std::function<bool()>& wake) {
    while (!running_.empty()) {
        if (wake && wake()) return Ended{nullptr, {}};
        if (job && job->PauseRequested()) {
            // Not driving the handles holds every transfer where it is.
            const bool go_on = job->Checkpoint();
            for (auto& [easy, transfer] : running_) transfer->state.last_activity = Clock::now();
            if (!go_on) break;
        }
        if (job && job->StopRequested()) break;
        int active = 0;
        if (curl_multi_perform(multi_, &active) != CURLM_OK) {
            Ended ended = End(running_.begin()->first, std::nullopt);
            ended.outcome.error = "transfer failed";
            ended.outcome.failure = NetFailure::kOther;
            return ended;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
            if (message->msg == CURLMSG_DONE && running_.contains(message->easy_handle)) {
                finished_.emplace_back(message->easy_handle, static_cast<int>(message->data.result));
            }
        }
        if (!finished_.empty()) {
            const auto [easy, result] = finished_.front();
            finished_.pop_front();
            return End(easy, result);
        }
        for (const auto& [easy, transfer] : running_) {
            if (Clock::now() - transfer->state.last_activity > transfer->limits.stall) {
                const std::string error = "no answer for " + std::to_string(transfer->limits.stall.count()) + " s";
                Ended ended = End(easy, std::nullopt);
                ended.outcome.error = error;
                ended.outcome.failure = NetFailure::kTimedOut;
                return ended;
            }
        }
        curl_multi_poll(multi_, nullptr, 0, 50, nullptr);
    }
    if (running_.empty()) return std::nullopt;
    // Stopped: the first transfer reports it; the rest go with the driver.
    Ended ended = End(running_.begin()->first, std::nullopt);
    ended.outcome.stopped = true;
    ended.outcome.error = "stopped";
    return ended;
}

TransferOutcome RunTransfer(CURLM* multi, CURL* easy, JobToken* job, const TransferLimits& limits,
                            const BodySink* sink) {
    TransferDriver driver(multi);
    driver.Add(easy, limits, sink ? *sink : BodySink());
    return driver.Next(job)->outcome;
}

}  // namespace wa
