#include "weibo/service_request.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <mutex>
#include <thread>

#include "util/job_token.h"
#include "weibo/pacer.h"
#include "util/text.h"
#include "net/http_text.h"
#include "util/json_text.h"
#include "net/net_failure.h"

namespace wa {
namespace {

using Clock = std::chrono::steady_clock;

// A server error is asked again after 2, 4 and 8 s, then it stands.
constexpr long long kFirstServerRetrySeconds = 2;
constexpr int kMaxServerRetries = 3;
constexpr int kMaxRedirects = 10;
// A wait for a turn this long or longer is counted down where the user sees it.
constexpr std::chrono::milliseconds kShownWait{2000};

// A wait that is a safe point of the job when there is one.
bool Wait(std::chrono::milliseconds duration, JobToken* job) {
    if (duration <= std::chrono::milliseconds::zero()) return !job || !job->StopRequested();
    if (job) return job->Wait(duration);
    std::this_thread::sleep_for(duration);
    return true;
}

// A wait, told second by second as `reason`; a part of a second first.
bool CountDown(std::chrono::milliseconds duration, WaitReason reason, const ServiceRequest& request) {
    const auto whole = std::chrono::floor<std::chrono::seconds>(duration);
    if (!Wait(duration - whole, request.job)) return false;
    for (long long left = whole.count(); left > 0; --left) {
        if (request.countdown) request.countdown({reason, left});
        if (!Wait(std::chrono::seconds(1), request.job)) return false;
    }
    if (request.countdown && whole.count() > 0) request.countdown({reason, 0});
    return true;
}

// Waits for the request's turn, kept in `turn`; a long one is counted down.
// What it waited is added to `waited`.
bool WaitForTurn(Pacer& pacer, const ServiceRequest& request, std::chrono::milliseconds& waited,
                 Clock::time_point& turn) {
    const bool blocked = pacer.Blocked();
    turn = pacer.Turn();
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(turn - Clock::now());
    if (!blocked && wait < kShownWait) return Wait(wait, request.job);
    waited += wait;
    // Another request is waiting out a limit: this one waits with it.
    return CountDown(wait, blocked ? WaitReason::kRateLimit : WaitReason::kPace, request);
}

// The pace of requests that were given none: no spacing and nothing
// learned, limit answers waited out as any pacer does.
Pacer& Unpaced() {
    static Pacer pacer(PaceRules{.least = std::chrono::milliseconds(0), .slowest = std::chrono::milliseconds(0), .learns = false});
    return pacer;
}

// Follows redirects only while they stay on the address's host (with its
// port), so headers meant for it reach no other; a redirect elsewhere comes
// back as it is, with where it leads.
PageFetchResult FetchOnOwnHost(std::string_view url, PageFetchOptions options) {
    options.no_redirect = true;
    std::string current(url);
    for (int hops = 0;; ++hops) {
        PageFetchResult result = PageFetch(current, options);
        const bool redirect = result.status >= 300 && result.status < 400 && !result.redirect_url.empty();
        if (!redirect || hops == kMaxRedirects || UrlHost(result.redirect_url, true) != UrlHost(current, true)) {
            return result;
        }
        current = result.redirect_url;
    }
}

}  // namespace

bool IsLoginAddress(std::string_view url) {
    const std::string host = UrlHost(url);
    if (HostInDomain(host, "passport.weibo.com") || HostInDomain(host, "login.sina.com.cn") ||
        HostInDomain(host, "passport.sina.cn")) {
        return true;
    }
    const std::string path = UrlPath(url);
    return path.starts_with("/login") || path.starts_with("/signin") || path.starts_with("/visitor/");
}

bool IsLoginWall(std::string_view body) {
    const std::string_view text = TrimBlanks(body);
    // An answer in JSON says so itself; a caption that names a login page
    // does not make its album list one.
    if (text.starts_with('{')) return text.starts_with("{\"ok\":-100");
    return text.find("Sina Visitor System") != std::string_view::npos || text.find("新浪通行证") != std::string_view::npos ||
           text.find("<title>登录 - 微博</title>") != std::string_view::npos;
}

bool IsUnknownUserPage(std::string_view body) { return body.find(kUnknownUserLine) != std::string_view::npos; }

bool IsRateLimitStatus(long status) { return status == 418 || status == 429 || status == 432; }

bool IsServerErrorStatus(long status) { return status == 500 || status == 502 || status == 503 || status == 504; }

long long RetryAfterSeconds(std::string_view headers) {
    for (const auto& [name, value] : HeaderFields(headers)) {
        if (AsciiLower(name) != "retry-after") continue;
        long long seconds = -1;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
        if (error == std::errc() && end == value.data() + value.size() && seconds >= 0) return seconds;
    }
    return -1;
}

std::string RunWaitText(const RunWait& wait) {
    const std::string seconds = std::to_string(wait.seconds_left);
    if (wait.reason == WaitReason::kPace) return "服务限流，" + seconds + "秒后继续";
    return (wait.reason == WaitReason::kNetwork ? "网络连接中断，" : "请求过于频繁，") + seconds + "秒后重试";
}

namespace {

// A limit answer: waited out within the request's bound, the slower pace
// said; false when the request is to give up (said why) or stop.
bool WaitOutLimit(Pacer& pacer, const ServiceRequest& request, const PageFetchResult& fetch,
                  Clock::time_point turn, std::chrono::milliseconds& waited, bool& stopped) {
    const std::chrono::milliseconds spacing_before = pacer.Spacing();
    const long long retry_after = RetryAfterSeconds(fetch.headers);
    const Pacer::Block block = pacer.Limited(turn, waited, retry_after);
    if (block.give_up) {
        const auto seconds = std::chrono::ceil<std::chrono::seconds>(pacer.MostWait()).count();
        const std::string most = seconds >= 60 ? std::to_string(seconds / 60) + "分钟" : std::to_string(seconds) + "秒";
        if (request.log) {
            request.log(block.asked_too_long ? "服务要求" + std::to_string(retry_after) +
                                                   "秒后再试，超过最多等待的" + most + "，不再等待"
                                             : "请求过于频繁，已等待" + most + "，不再等待");
        }
        return false;
    }
    if (request.log && pacer.Spacing() > spacing_before) {
        request.log(PaceLine(pacer.Spacing()));
    }
    const auto seconds = std::chrono::ceil<std::chrono::seconds>(block.wait).count();
    if (request.log) request.log(RunWaitText({WaitReason::kRateLimit, seconds}));
    waited += block.wait;
    stopped = !CountDown(block.wait, WaitReason::kRateLimit, request);
    return !stopped;
}

}  // namespace

std::string PaceLine(std::chrono::milliseconds spacing) {
    return std::string(kSlowedLine) + SpacingText(spacing) + "请求";
}

bool TakeTurn(Pacer* pacer, JobToken* job) {
    if (!pacer) return Wait(std::chrono::milliseconds(0), job);
    const auto turn = pacer->Turn();
    return Wait(std::chrono::ceil<std::chrono::milliseconds>(turn - Clock::now()), job);
}

ServiceAnswer FetchFromService(std::string_view url, const ServiceRequest& request) {
    ServiceAnswer answer;
    Pacer& pacer = request.pacer ? *request.pacer : Unpaced();
    PageFetchOptions options;
    options.job = request.job;
    options.max_body = kMaxServiceAnswer;
    if (!request.extra_headers.empty()) options.extra_headers = request.extra_headers;
    long long server_retry = kFirstServerRetrySeconds;
    int server_retries = 0;
    std::chrono::milliseconds waited{0};  // for limits and the pace
    Clock::time_point turn;
    while (true) {
        if (pacer.Resting()) {
            // A request gave up on the limit a moment ago: nobody asks for now.
            answer.fetch = PageFetchResult{};
            answer.fetch.status = kRestingStatus;
            break;
        }
        if (!WaitForTurn(pacer, request, waited, turn)) return answer.stopped = true, answer;
        answer.fetch = request.extra_headers.empty() ? PageFetch(url, options) : FetchOnOwnHost(url, options);
        if (request.job && request.job->StopRequested()) return answer.stopped = true, answer;
        const long status = answer.fetch.status;
        if (IsRateLimitStatus(status)) {
            bool stopped = false;
            if (!WaitOutLimit(pacer, request, answer.fetch, turn, waited, stopped)) {
                if (stopped) return answer.stopped = true, answer;
                break;
            }
        } else if (IsServerErrorStatus(status)) {
            if (server_retries++ == kMaxServerRetries) break;
            if (request.log) {
                request.log(FailureReason(url, answer.fetch.Answer()) + "，" + std::to_string(server_retry) + "秒后重试");
            }
            if (!Wait(std::chrono::seconds(server_retry), request.job)) return answer.stopped = true, answer;
            server_retry *= 2;
        } else {
            if (answer.fetch.status != 0) pacer.Answered(turn);
            answer.login_redirect = !answer.fetch.redirect_url.empty() && IsLoginAddress(answer.fetch.redirect_url);
            if (const std::string why = status == 200 ? JsonTooLarge(answer.fetch.body) : ""; !why.empty()) {
                answer.fetch.body.clear();
                answer.fetch.status = 0;
                answer.fetch.failure = NetFailure::kTooLarge;
                answer.fetch.failure_detail = why;
            }
            return answer;
        }
    }
    answer.fetch.body.clear();
    answer.gave_up = true;
    return answer;
}

bool ReachedNothing(const FailedAnswer& answer) {
    return answer.status == 0 && (answer.failure == NetFailure::kRefused || answer.failure == NetFailure::kHostNotFound);
}

bool CountDownNetwork(long long seconds, const std::function<void(const RunWait&)>& countdown, const AttemptWait& wait) {
    for (long long left = seconds; left > 0; --left) {
        if (countdown) countdown({WaitReason::kNetwork, left});
        if (!wait(1000)) return false;
    }
    if (countdown) countdown({WaitReason::kNetwork, 0});
    return true;
}

Attempts FetchWithAttempts(std::string_view url, const ServiceRequest& request, const AttemptWait& wait,
                           const std::function<bool(const std::string& text)>& accept) {
    JobToken* job = request.job;
    const AttemptWait wait_a_while = wait ? wait : [job](int ms) { return WaitOnJob(std::chrono::milliseconds(ms), job); };
    Attempts result;
    FailedAnswer last;
    std::size_t network_tries = 0;
    for (int attempt = 1; attempt <= kPageAttempts; ++attempt) {
        result.made = attempt;
        const ServiceAnswer answer = FetchFromService(url, request);
        if (answer.stopped) return result.stopped = true, result;
        const std::string text = Utf8BodyText(answer.fetch.body);
        if (answer.login_redirect || IsLoginWall(text)) return result.login_wall = true, result;
        last = answer.fetch.Answer();
        if (network_tries > 0 && !ReachedNothing(last) && request.log) {
            request.log("网络已恢复，继续获取");
            network_tries = 0;
        }
        // Nothing counts against the page while the network is gone.
        if (ReachedNothing(last) && network_tries < std::size(kNetworkWaitSeconds)) {
            if (network_tries == 0 && request.log) request.log("网络连接中断（" + FailureReason(url, last) + "），等待网络恢复");
            if (!CountDownNetwork(kNetworkWaitSeconds[network_tries++], request.countdown, wait_a_while)) {
                return result.stopped = true, result;
            }
            --attempt;
            continue;
        }
        // Still failing after every wait: more attempts would only wait longer;
        // an answer too large would come as large again.
        if (answer.gave_up || last.failure == NetFailure::kTooLarge) break;
        if (answer.fetch.status == 200 && accept(text)) return result.accepted = true, result;
        const bool go_on = wait_a_while(2000);
        if (!go_on || (job && job->StopRequested())) return result.stopped = true, result;
    }
    result.failure = FailureReason(url, last);
    return result;
}

bool WaitOnJob(std::chrono::milliseconds duration, JobToken* job) {
    if (duration < std::chrono::milliseconds::zero()) duration = std::chrono::milliseconds::zero();
    if (job) return job->Wait(duration);
    std::this_thread::sleep_for(duration);
    return true;
}

}  // namespace wa
