// The pace of a run's requests: on a clock the test turns where waiting would
// be slow, and against the fake behind a limiter where it is not.
#include "weibo/pacer.h"

#include <gtest/gtest.h>

#include <atomic>

#include "../fake_service.h"
#include "weibo/service_request.h"

namespace wa {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using Clock = Pacer::Clock;

struct TestClock {
    Clock::time_point now = Clock::time_point{} + std::chrono::hours(1);
    std::int64_t wall = 1'800'000'000;
    Pacer::Now Now() {
        return [this] { return now; };
    }
    Pacer::WallNow Wall() {
        return [this] { return wall; };
    }
};

// Takes `count` turns, each when it comes; the time of the last.
Clock::time_point TakeTurns(Pacer& pacer, TestClock& clock, int count) {
    for (int i = 0; i < count; ++i) clock.now = std::max(clock.now, pacer.Turn());
    return clock.now;
}

// A limit answer slows the pace at once and teaches the figure of the span
// before it; asking again after the block teaches nothing more; a quiet
// stretch steps the spacing back towards 请求间隔; a day later it is gone.
TEST(PacerTest, ALimitSlowsItAndWhatItLearnedHoldsUntilItFades) {
    TestClock clock;
    PaceRules rules;
    rules.least = milliseconds(1000);
    Pacer pacer(rules, clock.Now(), clock.Wall());
    TakeTurns(pacer, clock, 20);  // a second apart, as 请求间隔 allows
    EXPECT_EQ(pacer.Spacing(), milliseconds(1000));

    const Pacer::Block first = pacer.Limited(milliseconds(0), -1);
    EXPECT_FALSE(first.give_up);
    EXPECT_EQ(first.wait, rules.first_block);
    EXPECT_EQ(pacer.Spacing(), milliseconds(2000));  // at least doubled
    const PaceMemory learned = pacer.Learned();
    // The 20 turns of the last 30 s, the longest span it knows, less a share.
    EXPECT_EQ(learned.budgets, (std::vector<PaceMemory::Budget>{{30'000, 17}}));
    EXPECT_EQ(learned.learned_at, clock.wall);
    // Nobody asks during the block; the one asking again after it, limited
    // again, waits twice as long and teaches nothing.
    EXPECT_EQ(pacer.Turn(), clock.now + first.wait);
    clock.now += first.wait;
    const Pacer::Block again = pacer.Limited(first.wait, -1);
    EXPECT_EQ(again.wait, 2 * rules.first_block);
    EXPECT_EQ(pacer.Learned().budgets, learned.budgets);
    EXPECT_EQ(pacer.Spacing(), milliseconds(2000));
    clock.now += again.wait;
    pacer.Answered();

    // From now on no 30 s hold more than 17 turns, whatever the spacing.
    pacer.SetLeast(milliseconds(0));
    const Clock::time_point start = clock.now;
    TakeTurns(pacer, clock, 18);
    EXPECT_GE(clock.now - start, seconds(30));
    // A quiet stretch: a step faster, not all the way at once.
    const milliseconds before = pacer.Spacing();
    EXPECT_GT(before, milliseconds(0));
    clock.now += rules.quiet;
    pacer.Turn();
    EXPECT_EQ(pacer.Spacing(), before * 3 / 4);

    // The next process takes it up, unless a day has passed without a limit.
    Pacer next(rules, clock.Now(), clock.Wall());
    next.Remember(pacer.Learned());
    EXPECT_EQ(next.Learned().budgets, learned.budgets);
    clock.wall += 25 * 3600;
    Pacer tomorrow(rules, clock.Now(), clock.Wall());
    tomorrow.Remember(pacer.Learned());
    EXPECT_FALSE(tomorrow.Slowed());
    next.Forget();
    EXPECT_FALSE(next.Slowed());
}

// One request waits out at most the bound in all; past it, or when the
// service asks for longer, it gives up, and for a while nobody asks.
TEST(PacerTest, ARequestsWaitsAreBoundedAndThenNobodyAsksForAWhile) {
    TestClock clock;
    const PaceRules rules;
    Pacer pacer(rules, clock.Now(), clock.Wall());
    milliseconds waited{0};
    int blocks = 0;
    for (Pacer::Block block = pacer.Limited(waited, -1); !block.give_up; block = pacer.Limited(waited, -1)) {
        ++blocks;
        waited += block.wait;
        clock.now += block.wait;
    }
    EXPECT_EQ(blocks, 3);  // 3 + 6 minutes, then the 6 left of 15
    EXPECT_LE(waited, rules.most_wait);
    EXPECT_TRUE(pacer.Resting());
    clock.now += rules.most_wait;
    EXPECT_FALSE(pacer.Resting());

    Pacer asked(rules, clock.Now(), clock.Wall());
    const Pacer::Block hours = asked.Limited(milliseconds(0), 5 * 3600);
    EXPECT_TRUE(hours.give_up);
    EXPECT_TRUE(hours.asked_too_long);
}

// Against the fake behind a limiter, on a clock forty times faster: the
// request gives up within its bound and says so and why, the slow-down is
// said, and the next request does not ask while the pacer rests.
class PacedServiceTest : public test::FakeServiceTest {};

TEST_F(PacedServiceTest, ABlockLongerThanTheBoundEndsTheRequestSaidAndLeavesTheServiceAlone) {
    fake.AddUser(fake::SampleUser("2002", 1, 1));
    fake.SetRateLimit({.requests = 2, .window_ms = 60'000, .status = 432, .block_ms = 60'000});
    Pacer pacer(PaceRules{}.Scaled(1.0 / 200));  // 15 minutes are 4.5 s
    std::vector<std::string> lines;
    ServiceRequest request;
    request.pacer = &pacer;
    request.log = [&lines](const std::string& line) { lines.push_back(line); };
    const std::string url = Url("/albums/get_all?uid=2002");
    EXPECT_EQ(FetchFromService(url, request).fetch.status, 200);
    EXPECT_EQ(FetchFromService(url, request).fetch.status, 200);
    const ServiceAnswer limited = FetchFromService(url, request);
    EXPECT_TRUE(limited.gave_up);
    EXPECT_EQ(limited.fetch.status, 432);
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines.front().starts_with(kSlowedLine)) << lines.front();
    EXPECT_EQ(lines.back(), "请求过于频繁，已等待5秒，不再等待");  // 15 minutes, 200 times faster
    const int asked = fake.CountRequests("/albums/get_all");
    EXPECT_TRUE(FetchFromService(url, request).gave_up);
    EXPECT_EQ(fake.CountRequests("/albums/get_all"), asked);  // resting: not asked
}

}  // namespace
}  // namespace wa
