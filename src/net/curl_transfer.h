// The transfer loop shared by the two HTTP routines: drives one curl handle,
// honours the job's pause and stop within a fraction of a second, abandons a
// stalled transfer, bounds the body size, and keeps the final response's
// headers.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/net_failure.h"

typedef void CURL;
typedef void CURLM;
struct curl_slist;

namespace wa {

class JobToken;
class CookieJar;
struct ServiceTrust;

void EnsureCurlInitialized();

struct EasyHandleDeleter {
    void operator()(CURL* easy) const;
};
struct MultiHandleDeleter {
    void operator()(CURLM* multi) const;
};
struct HeaderListDeleter {
    void operator()(curl_slist* list) const;
};
using EasyHandle = std::unique_ptr<CURL, EasyHandleDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiHandleDeleter>;
using HeaderList = std::unique_ptr<curl_slist, HeaderListDeleter>;

// 0 GET, 1 POST, 2 HEAD; anything else is GET.
int RequestMethod(const std::optional<int>& method);

// The header lines of a request block for curl, "Cookie" first when given;
// lines without a name are left out.
HeaderList MakeHeaderList(std::string_view block, std::string_view cookie = {});

// What every request of the program may do: speak only http and https, also
// after redirects, with the certificate and the host checked, trusting the
// 证书 authorities for the service's hosts besides the system's. `trust`
// must outlive the transfer.
void SetConnectionPolicy(CURL* easy, const ServiceTrust& trust);

// The proxy of every request that names none itself (the setting 代理):
// empty follows the environment (http_proxy, https_proxy, all_proxy,
// no_proxy) as curl does, "direct" means none, anything else is the proxy's
// address.
void SetProxySetting(std::string proxy);
std::string ProxySetting();
// Applies `explicit_proxy` when given ("" is a direct connection), else the
// setting; the text must outlive the transfer, so it is kept in `kept`.
void SetProxy(CURL* easy, const std::optional<std::string>& explicit_proxy, std::string& kept);

// The proxy a request to `url` goes through, as curl would choose it: the
// explicit one, else the setting, else the environment (https_proxy or
// http_proxy by scheme, then all_proxy, unless no_proxy names the host), as
// "host:port" without any user or password; empty for a direct connection.
std::string ProxyInEffect(std::string_view url, const std::optional<std::string>& explicit_proxy = std::nullopt);

// Sets the method and, for POST and HEAD, the body, which must outlive the
// transfer.
void SetMethodAndBody(CURL* easy, int method, const std::string& body);

struct TransferLimits {
    std::chrono::seconds stall{60};     // abandon when nothing arrives for this long
    std::size_t max_body = 64u << 20;   // abandon a body larger than this
};

// Takes the body chunk by chunk; false abandons the transfer.
using BodySink = std::function<bool(std::string_view chunk)>;

struct TransferOutcome {
    bool completed = false;  // the exchange finished (any status)
    bool stopped = false;    // the job asked to stop
    bool sink_failed = false;
    long status = 0;
    std::string error;       // why it did not complete
    NetFailure failure = NetFailure::kNone;
    std::string failure_detail;  // the system's words for a refused connection, e.g. "Connection refused"
    std::string body;
    std::string headers;     // status line and header lines of the final response
    std::string redirect_url;  // where a redirect that was not followed leads
    std::string proxy;       // the proxy that could not be reached, when it was the proxy
    std::vector<std::pair<std::string, std::string>> set_cookies;  // (response url, value)
};

// Drives several transfers at once on one multi handle, which keeps their
// connections for the next transfers. The job's pause holds every one of
// them; its stop abandons them all.
class TransferDriver {
public:
    explicit TransferDriver(CURLM* multi);
    ~TransferDriver();  // abandons the transfers still running
    TransferDriver(const TransferDriver&) = delete;
    TransferDriver& operator=(const TransferDriver&) = delete;

    // Starts the transfer configured on `easy`.
    void Add(CURL* easy, const TransferLimits& limits, BodySink sink = {});

    struct Ended {
        CURL* easy;
        TransferOutcome outcome;
    };
    // Drives the transfers until one ends and reports it; nullopt when none
    // is running. Once the job is stopped, one transfer reports it and the
    // others are abandoned with the driver. When `wake` says so (it is asked
    // every few tens of milliseconds) it returns at once, with no transfer.
    std::optional<Ended> Next(JobToken* job, const std::function<bool()>& wake = {});

    bool Empty() const { return running_.empty(); }

private:
    struct Transfer;
    Ended End(CURL* easy, std::optional<int> result);

    CURLM* multi_;
    std::map<CURL*, std::unique_ptr<Transfer>> running_;
    std::deque<std::pair<CURL*, int>> finished_;  // ended, not reported yet
};

// With a proxy in effect a request connects to the proxy alone: a connection
// refused or a host not found is the proxy's, and `outcome` says which.
void BlameProxy(TransferOutcome& outcome, std::string_view url, const std::optional<std::string>& explicit_proxy);

// Runs the transfer configured on `easy` through `multi` (which keeps the
// connection for the next transfer on the same handles).
TransferOutcome RunTransfer(CURLM* multi, CURL* easy, JobToken* job, const TransferLimits& limits,
                            const BodySink* sink = nullptr);

}  // namespace wa
