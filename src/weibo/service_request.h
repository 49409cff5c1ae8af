// Requests to the photo service as today's site wants them: spaced apart,
// repeated after a wait when the service says "too many requests", and their
// answers told apart from the login walls the site puts up instead of data.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "net/page_fetch.h"

namespace wa {

class JobToken;
class Pacer;

inline constexpr std::string_view kLoginNeededLine = "未登录或登录已失效，请在第一步登录后再试";
inline constexpr std::string_view kUnknownUserLine = "用户不存在或者获取用户信息失败";

// The visitor-system page, the 新浪通行证 login page, the site's login page
// (<title>登录 - 微博</title>) or {"ok":-100,...}; nothing else counts.
bool IsLoginWall(std::string_view body);
// An address the site sends a visitor to for a login: the passport and SSO
// hosts, or a /login, /signin or /visitor/ page.
bool IsLoginAddress(std::string_view url);
// The photo service's page for a user it does not know.
bool IsUnknownUserPage(std::string_view body);

// "Too many requests": 418 and 432 (Weibo's own) and 429.
bool IsRateLimitStatus(long status);
// A server that may answer if asked again soon: 500, 502, 503, 504.
bool IsServerErrorStatus(long status);
// Why a request, or a run, waits before it asks again: counted down a second
// at a time.
enum class WaitReason {
    kRateLimit,  // the service said "too many requests"
    kNetwork,    // nothing could be reached: the network is gone
    kPace,       // the pace learned from the service's limits holds the next request
};
struct RunWait {
    WaitReason reason = WaitReason::kRateLimit;
    long long seconds_left = 0;  // 0: the wait is over
};
// "请求过于频繁，30秒后重试", "网络连接中断，5秒后重试", "服务限流，40秒后继续": in
// the log and on the status line.
std::string RunWaitText(const RunWait& wait);
// The seconds of a "Retry-After: <seconds>" header; -1 without one.
long long RetryAfterSeconds(std::string_view headers);

// The largest answer the service's requests take: real ones are a few
// hundred KiB, and each is parsed whole.
inline constexpr std::size_t kMaxServiceAnswer = 4u << 20;

// The log line of a slow-down starts so: "服务限流：已放慢到每3秒一次请求".
inline constexpr std::string_view kSlowedLine = "服务限流：已放慢到";
// "服务限流：已放慢到每15秒一次请求".
std::string PaceLine(std::chrono::milliseconds spacing);

// What a request answers that was not made because a request before it gave
// up waiting out the service's limit: as the service would.
inline constexpr long kRestingStatus = 432;

inline constexpr int kPageAttempts = 10;

// Waits between attempts; returns false when the job is to stop.
using AttemptWait = std::function<bool(int milliseconds)>;

struct ServiceRequest {
    JobToken* job = nullptr;  // the waits are its safe points
    Pacer* pacer = nullptr;   // the run's; none: no spacing, limits waited out all the same
    std::function<void(const std::string& line)> log;  // told of every wait, a line without its line end
    // Told the seconds left of a wait, once a second, then 0.
    std::function<void(const RunWait& wait)> countdown;
    // CR LF separated. They are meant for the address's own host: a request
    // carrying them follows a redirect only to that host.
    std::string extra_headers;
};

struct ServiceAnswer {
    // Still rate-limited or failing after every wait: no body, status kept.
    PageFetchResult fetch;
    bool stopped = false;
    bool gave_up = false;  // it kept answering "too many requests" or a server error
    bool login_redirect = false;  // sent elsewhere, to a login page, and not followed
};

// A GET of a service address through the shared cookie jar. Waits for its
// turn from the request's pacer. On a rate-limit status the pacer slows down
// ("服务限流：已放慢到每2秒一次请求") and says how long to wait (Retry-After, else
// its own block wait, doubling); nobody asks meanwhile, and the request asks
// again. Past the pacer's bound on one request's waits (or a Retry-After
// beyond it, said) it gives up: no body, the limit status kept, and for a
// while after no request asks. On a server error it asks again after 2, 4
// and 8 s, then gives up. An answer over kMaxServiceAnswer, or JSON with too
// many items to parse, is refused: no body, status 0, failure kTooLarge
// saying what it went past.
ServiceAnswer FetchFromService(std::string_view url, const ServiceRequest& request);

// Waits for a turn of `pacer` (none: at once) for a request made some other
// way, so that the pace counts it; false when the job stopped meanwhile.
bool TakeTurn(Pacer* pacer, JobToken* job);


struct Attempts {
    bool accepted = false;
    bool stopped = false;
    bool login_wall = false;  // the service answered with a login page
    int made = 0;
    std::string failure;      // why no answer was accepted
};

// While nothing at all can be reached, a request waits this long before
// each try: about two minutes in all, then it fails with its reason.
inline constexpr int kNetworkWaitSeconds[] = {5, 10, 15, 30, 30, 30};
// True when nothing at all answered: not the server, not a proxy, not even
// the name's server.
bool ReachedNothing(const FailedAnswer& answer);
// Waits `seconds` a second at a time, telling `countdown` a network wait;
// false when `wait` says the job is to stop.
bool CountDownNetwork(long long seconds, const std::function<void(const RunWait&)>& countdown,
                      const AttemptWait& wait);

// Asks for `url` up to ten times, two seconds apart, until `accept` takes an
// answer's text (status 200); a login page ends the attempts at once, and so
// does a service that kept answering "too many requests" or a server error
// through all its waits, or an answer too large. While nothing at all can
// be reached, no attempt counts: it waits for the network, saying so, about
// two minutes in all. `wait` defaults to WaitOnJob on the request's job.
Attempts FetchWithAttempts(std::string_view url, const ServiceRequest& request, const AttemptWait& wait,
                           const std::function<bool(const std::string& text)>& accept);

// A wait on a worker thread that is also a safe point of the job: it holds
// while the job is paused, and returns false at once when it is stopped.
bool WaitOnJob(std::chrono::milliseconds duration, JobToken* job = nullptr);

}  // namespace wa
