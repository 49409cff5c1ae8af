#include "weibo/service_request.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <mutex>
#include <thread>

#include "util/job_token.h"
#include "util/text.h"
#include "weibo/http_text.h"

namespace wa {
namespace {

using Clock = std::chrono::steady_clock;

constexpr long long kFirstBackoffSeconds = 30;
constexpr long long kLongestBackoffSeconds = 30 * 60;
// After this many waits (about two and a half hours) the answer stands.
constexpr int kMaxBackoffs = 10;

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

}  // namespace

bool IsLoginWall(std::string_view body) {
    return body.find("Sina Visitor System") != std::string_view::npos ||
           body.find("新浪通行证") != std::string_view::npos ||
           TrimBlanks(body).starts_with("{\"ok\":-100");
}

bool IsUnknownUserPage(std::string_view body) { return body.find(kUnknownUserLine) != std::string_view::npos; }

bool IsRateLimitStatus(long status) { return status == 418 || status == 429 || status == 432 || status / 100 == 5; }

long long RetryAfterSeconds(std::string_view headers) {
    for (const auto& [name, value] : HeaderFields(headers)) {
        if (AsciiLower(name) != "retry-after") continue;
        long long seconds = -1;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
        if (error == std::errc() && end == value.data() + value.size() && seconds >= 0) return seconds;
    }
    return -1;
}

void SetRequestSpacing(std::chrono::milliseconds spacing) { g_spacing_ms = spacing.count(); }

ServiceAnswer FetchFromPhotoService(std::string_view url, const ServiceRequest& request) {
    ServiceAnswer answer;
    PageFetchOptions options;
    options.job = request.job;
    long long backoff = kFirstBackoffSeconds;
    for (int waits = 0;; ++waits) {
        if (!WaitForTurn(request.job)) return answer.stopped = true, answer;
        answer.fetch = PageFetch(url, options);
        if (request.job && request.job->StopRequested()) return answer.stopped = true, answer;
        if (!IsRateLimitStatus(answer.fetch.status)) return answer;
        if (waits == kMaxBackoffs) break;
        const long long asked = RetryAfterSeconds(answer.fetch.headers);
        const long long seconds = std::min(asked >= 0 ? asked : backoff, kLongestBackoffSeconds);
        if (asked < 0) backoff = std::min(backoff * 2, kLongestBackoffSeconds);
        if (request.log) request.log("请求过于频繁，" + std::to_string(seconds) + "秒后重试\r\n");
        if (!Wait(std::chrono::seconds(seconds), request.job)) return answer.stopped = true, answer;
    }
    answer.fetch.body.clear();
    return answer;
}

}  // namespace wa
