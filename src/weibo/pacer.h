// The pace of a run's requests to the service: one object every page and
// API request takes its turn from. It never goes faster than the user's
// 请求间隔. The service allows some number of requests in any span of some
// length and tells neither: the first "too many requests" answer gives the
// number (the requests it had taken), and the pacer then looks for the span.
// It starts from a cautious guess and tries a shorter span each time one
// holds, until a limit answer says it went too far or the span is known
// closely enough; from then on it keeps to the shortest span that held. Its
// spacing doubles on every limit answer and after a long quiet stretch steps
// back towards 请求间隔. What it learned can be kept and given to the next
// run, and fades after about a day without a limit answer.
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
    bool learns = true;  // false: a fixed pace that waits out limits and learns nothing
    // The longest span the service is taken to count over; the history kept.
    std::chrono::milliseconds longest{std::chrono::minutes(15)};
    // The first guess at the service's rate once its number is known: users
    // find about a hundred posts a minute safe, some twenty to a page.
    double guess_per_minute = 4;
    double shorter = 0.8;      // a span that held is tried this much shorter
    double near_enough = 1.2;  // a span that held this close to one too short is kept
    double longer = 1.6;       // a span found too short is tried this much longer
    int tries = 3;             // limit answers met looking for the span; then the one that held is kept
    double margin = 1.03;      // the span kept is a hair over the one that held
    std::chrono::milliseconds quiet{std::chrono::minutes(5)};  // without a limit answer: a step faster
    double step = 0.75;                              // the spacing times this, each quiet stretch
    std::chrono::milliseconds first_block{std::chrono::minutes(5)};  // waited on a first limit answer, then doubled
    std::chrono::milliseconds most_wait{std::chrono::minutes(15)};   // one request's limit waits in all
    std::chrono::hours fade{24};                     // what was learned, without a limit answer since

    // Every span, wait and stretch times `factor`: the same behaviour on a
    // faster clock.
    PaceRules Scaled(double factor) const;
};

// What a pacer learned, as kept between runs: its spacing and the number of
// requests the service takes in a span that held.
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
    // The requests' spacing on average: the slower of the spacing and the
    // number allowed spread over its span.
    std::chrono::milliseconds Spacing() const;
    bool Slowed() const;
    // What one request may wait out in all.
    std::chrono::milliseconds MostWait() const { return rules_.most_wait; }

    // Reserves the next request's turn: when it may go out.
    Clock::time_point Turn();
    // A "too many requests" answer to the request of `turn`, which has waited
    // `waited` for limits so far; `retry_after` the seconds the service
    // asked, -1 none. Slows down and learns; what the request is to do.
    struct Block {
        std::chrono::milliseconds wait{0};  // before it asks again
        bool give_up = false;                // it has waited its most
        bool asked_too_long = false;         // the service asked for longer than that
    };
    Block Limited(Clock::time_point turn, std::chrono::milliseconds waited, long long retry_after);
    // An answer that was no limit, to the request of `turn`.
    void Answered(Clock::time_point turn);
    // A request gave up waiting out a limit a short while ago: for as long
    // again nobody asks, so what does not need the service goes on.
    bool Resting() const;
    // A limit answer is being waited out: nobody asks until it is over.
    bool Blocked() const;

    // Told of every change of the pace (a slow-down, a step faster, a
    // forget): what to show and keep. Called without the pacer's lock held,
    // on the thread of the request that changed it. The number to stop
    // telling it with.
    int OnChange(std::function<void(const PaceMemory& now, bool slower)> listener);
    void StopTelling(int listener);

private:
    void Notify(bool slower);
    void StepFaster(Clock::time_point now);
    // Learns from a limit answer now, to a request that had not waited one out.
    void Learn(Clock::time_point now);
    // The service did not count a refused request.
    void Unsent(Clock::time_point turn);
    // The span to keep to or try next, after a limit answer or one that held.
    void ChooseSpan(bool missed);
    bool SpanFound() const;

    PaceRules rules_;
    Now now_;
    WallNow wall_;
    mutable std::mutex mutex_;
    std::chrono::milliseconds spacing_;
    // The service allows `allowed_` requests (0: not known) in a span known to
    // be longer than `too_short_` and at most `held_`; `span_` is kept to.
    int allowed_ = 0;
    std::chrono::milliseconds span_{0};
    std::chrono::milliseconds too_short_{0};
    std::chrono::milliseconds held_ = std::chrono::milliseconds::max();
    int misses_ = 0;  // limit answers met looking for the span
    std::vector<Clock::time_point> history_;  // the turns the service took, oldest first, as far back as the longest span
    Clock::time_point next_turn_{};
    Clock::time_point blocked_until_{};
    Clock::time_point resting_until_{};
    Clock::time_point calm_since_;            // the last limit answer or step faster
    std::chrono::milliseconds next_block_;    // the next limit answer's wait
    std::int64_t learned_at_ = 0;
    std::vector<std::pair<int, std::function<void(const PaceMemory&, bool)>>> listeners_;
    int next_listener_ = 0;
};

}  // namespace wa
