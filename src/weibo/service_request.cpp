#include "weibo/service_request.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <mutex>
#include <thread>

#include "util/job_token.h"
#include "util/text.h"
#include "weibo/http_text.h"
#include "weibo/net_failure.h"

namespace wa {
namespace {

using Clock = std::chrono::steady_clock;

constexpr long long kFirstBackoffSeconds = 30;
constexpr long long kLongestBackoffSeconds = 30 * 60;
// After this many waits (about two and a half hours) the answer stands.
constexpr int kMaxBackoffs = 10;
// A server error is asked again after 2, 4 and 8 s, then it stands.
constexpr long long kFirstServerRetrySeconds = 2;
constexpr int kMaxServerRetries = 3;

std::atomic<long long> g_spacing_ms{0};
std::mutex g_turn_mutex;
Clock::time_point g_next_turn;

// A wait that is a safe point of the job when there is one.
bool Wait(std::chrono::milliseconds duration, JobToken* job) {
    if (duration <= std::chrono::milliseconds::zero()) return !job || !job->StopRequested();
    if (job) return job->Wait(duration);
    std::this_thread::sleep_for(duration);
    return true;
}

bool WaitForTurn(JobToken* job) {
    const std::chrono::milliseconds spacing(g_spacing_ms.load());
    if (spacing.count() <= 0) return true;
    Clock::time_point turn;
    {
        std::lock_guard lock(g_turn_mutex);
        turn = std::max(Clock::now(), g_next_turn);
        g_next_turn = turn + spacing;
    }
    return Wait(std::chrono::ceil<std::chrono::milliseconds>(turn - Clock::now()), job);
}

// A rate-limit wait, told second by second.
bool CountDown(long long seconds, const ServiceRequest& request) {
    for (long long left = seconds; left > 0; --left) {
        if (request.countdown) request.countdown(left);
        if (!Wait(std::chrono::seconds(1), request.job)) return false;
    }
    if (request.countdown) request.countdown(0);
    return true;
}

}  // namespace

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

std::string RateLimitWaitText(long long seconds) { return "请求过于频繁，" + std::to_string(seconds) + "秒后重试"; }

void SetRequestSpacing(std::chrono::milliseconds spacing) { g_spacing_ms = spacing.count(); }

ServiceAnswer FetchFromService(std::string_view url, const ServiceRequest& request) {
    ServiceAnswer answer;
    PageFetchOptions options;
    options.job = request.job;
    if (!request.extra_headers.empty()) options.extra_headers = request.extra_headers;
    long long backoff = kFirstBackoffSeconds;
    long long server_retry = kFirstServerRetrySeconds;
    int backoffs = 0;
    int server_retries = 0;
    while (true) {
        if (!WaitForTurn(request.job)) return answer.stopped = true, answer;
        answer.fetch = PageFetch(url, options);
        if (request.job && request.job->StopRequested()) return answer.stopped = true, answer;
        const long status = answer.fetch.status;
        if (IsRateLimitStatus(status)) {
            if (backoffs++ == kMaxBackoffs) break;
            const long long asked = RetryAfterSeconds(answer.fetch.headers);
            const long long seconds = std::min(asked >= 0 ? asked : backoff, kLongestBackoffSeconds);
            if (asked < 0) backoff = std::min(backoff * 2, kLongestBackoffSeconds);
            if (request.log) request.log(RateLimitWaitText(seconds) + "\r\n");
            if (!CountDown(seconds, request)) return answer.stopped = true, answer;
        } else if (IsServerErrorStatus(status)) {
            if (server_retries++ == kMaxServerRetries) break;
            if (request.log) {
                request.log(FailureReason(url, answer.fetch.Answer()) + "，" + std::to_string(server_retry) + "秒后重试\r\n");
            }
            if (!Wait(std::chrono::seconds(server_retry), request.job)) return answer.stopped = true, answer;
            server_retry *= 2;
        } else {
            return answer;
        }
    }
    answer.fetch.body.clear();
    answer.gave_up = true;
    return answer;
}

}  // namespace wa
