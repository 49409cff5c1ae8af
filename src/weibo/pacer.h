// The pace of a run's requests to the service: one object every page and
// API request takes its turn from. It never goes faster than the user's
// 请求间隔; on a "too many requests" answer it slows down at once and learns
// how many requests the service took in the minutes before, keeping any such
// span well under that figure from then on; after a long quiet stretch it
// speeds up again in small steps. What it learned can be kept and given to
// the next run, and fades after about a day without a limit answer.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace wa {

struct PaceRules {
    std::chrono::milliseconds least{1000};  // the user's 请求间隔
    std::chrono::milliseconds slowest{60'000};
    // The spans a limit answer's figures are counted over, shortest first;
    // the history kept is as long as the last.
    std::vector<std::chrono::milliseconds> spans{
        std::chrono::seconds(30), std::chrono::seconds(60), std::chrono::seconds(90), std::chrono::minutes(2),
        std::chrono::minutes(3),  std::chrono::minutes(4),  std::chrono::minutes(5),  std::chrono::seconds(450),
        std::chrono::minutes(10), std::chrono::minutes(15)};
    double share = 0.85;                             // of a span's figure kept to from then on
    std::chrono::milliseconds quiet{std::chrono::minutes(5)};  // without a limit answer: a step faster
    double step = 0.75;                              // the spacing times this, each quiet stretch
    std::chrono::milliseconds first_block{std::chrono::minutes(3)};  // waited on a first limit answer, then doubled
    std::chrono::milliseconds most_wait{std::chrono::minutes(15)};   // one request's limit waits in all
    std::chrono::hours fade{24};                     // what was learned, without a limit answer since

    // Every span, wait and stretch times `factor`: the same behaviour on a
    // faster clock.
    PaceRules Scaled(double factor) const;
};

// What a pacer learned, as kept between runs.
struct PaceMemory {
    struct Budget {
        std::int64_t span_ms = 0;
        int requests = 0;  // at most this many in any span of that length
        friend bool operator==(const Budget&, const Budget&) = default;
    };
    std::int64_t spacing_ms = 0;
    std::vector<Budget> budgets;
    std::int64_t learned_at = 0;  // Unix seconds of the last limit answer

    bool Empty() const { return budgets.empty() && spacing_ms == 0; }
    friend bool operator==(const PaceMemory&, const PaceMemory&) = default;
};

// "每3秒一次", "每1.5秒一次": a spacing as the user reads it.
std::string SpacingText(std::chrono::milliseconds spacing);

class Pacer {
public:
    using Clock = std::chrono::steady_clock;
    using Now = std::function<Clock::time_point()>;
    using WallNow = std::function<std::int64_t()>;  // Unix seconds

    explicit Pacer(PaceRules rules = {}, Now now = Clock::now, WallNow wall = {});

    // The user's 请求间隔 changed.
    void SetLeast(std::chrono::milliseconds least);
    // Takes up a pace learned before, unless it has faded.
    void Remember(const PaceMemory& memory);
    PaceMemory Learned() const;
    // Goes back to the user's 请求间隔 and forgets every figure.
    void Forget();
    std::chrono::milliseconds Spacing() const;
    bool Slowed() const;
    // What one request may wait out in all.
    std::chrono::milliseconds MostWait() const { return rules_.most_wait; }

    // Reserves the next request's turn: when it may go out.
    Clock::time_point Turn();
    // A "too many requests" answer to a request that has waited `waited` for
    // limits so far; `retry_after` the seconds the service asked, -1 none.
    // Slows down and learns; what the request is to do.
    struct Block {
        std::chrono::milliseconds wait{0};  // before it asks again
        bool give_up = false;                // it has waited its most
        bool asked_too_long = false;         // the service asked for longer than that
    };
    Block Limited(std::chrono::milliseconds waited, long long retry_after);
    // An answer that was no limit.
    void Answered();
    // A request gave up waiting out a limit a short while ago: for as long
    // again nobody asks, so what does not need the service goes on.
    bool Resting() const;
    // A limit answer is being waited out: nobody asks until it is over.
    bool Blocked() const;

    // Told of every change of the pace (a slow-down, a step faster, a
    // forget): what to show and keep. Called without the pacer's lock held,
    // on the thread of the request that changed it.
    void OnChange(std::function<void(const PaceMemory& now, bool slower)> listener);

private:
    void Notify(bool slower);
    void StepFaster(Clock::time_point now);
    // Learns from a limit answer now, to a request that had not waited one out.
    void Learn(Clock::time_point now);

    PaceRules rules_;
    Now now_;
    WallNow wall_;
    mutable std::mutex mutex_;
    std::chrono::milliseconds spacing_;
    std::vector<PaceMemory::Budget> budgets_;
    std::vector<Clock::time_point> history_;  // the turns given, oldest first, as far back as the longest span
    Clock::time_point next_turn_{};
    Clock::time_point blocked_until_{};
    Clock::time_point resting_until_{};
    Clock::time_point calm_since_;            // the last limit answer or step faster
    std::chrono::milliseconds next_block_;    // the next limit answer's wait
    std::int64_t learned_at_ = 0;
    std::vector<std::function<void(const PaceMemory&, bool)>> listeners_;
};

}  // namespace wa
