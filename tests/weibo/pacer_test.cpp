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
using std::chrono::minutes;
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

// Takes `count` turns, each when it comes, each answered; the time of the last.
Clock::time_point Answer(Pacer& pacer, TestClock& clock, int count) {
    for (int i = 0; i < count; ++i) {
        const Clock::time_point turn = pacer.Turn();
        clock.now = std::max(clock.now, turn);
        pacer.Answered(turn);
    }
    return clock.now;
}

// The first limit answer gives the number the service takes; the span is
// guessed cautiously, tried shorter once it held, and kept a hair over the
// one that held once a shorter one met a limit. Asking again after a block
// teaches nothing; a quiet stretch steps the spacing back; the next process
// takes it up, a span that held and no longer does takes fewer; a day later
// it is gone.
TEST(PacerTest, TheFirstLimitGivesTheNumberAndTheSpanIsFoundFromAbove) {
    TestClock clock;
    PaceRules rules;
    rules.least = milliseconds(1000);
    Pacer pacer(rules, clock.Now(), clock.Wall());
    Answer(pacer, clock, 20);  // a second apart, as 请求间隔 allows
    clock.now = pacer.Turn();  // the 21st is refused
    EXPECT_EQ(pacer.Spacing(), milliseconds(1000));

    const Pacer::Block first = pacer.Limited(clock.now, milliseconds(0), -1);
    EXPECT_FALSE(first.give_up);
    EXPECT_EQ(first.wait, rules.first_block);
    // 20 taken: the span guessed is 5 minutes, four a minute.
    EXPECT_EQ(pacer.Learned().budgets, (std::vector<PaceMemory::Budget>{{300'000, 20}}));
    EXPECT_EQ(pacer.Learned().spacing_ms, 2000);  // at least doubled
    EXPECT_EQ(pacer.Spacing(), seconds(15));
    EXPECT_EQ(pacer.Learned().learned_at, clock.wall);
    // Nobody asks during the block; the one asking again after it, limited
    // again, waits twice as long and teaches nothing.
    EXPECT_EQ(pacer.Turn(), clock.now + first.wait);
    clock.now += first.wait;
    const Pacer::Block again = pacer.Limited(clock.now, first.wait, -1);
    EXPECT_EQ(again.wait, 2 * rules.first_block);
    EXPECT_EQ(pacer.Learned().budgets, (std::vector<PaceMemory::Budget>{{300'000, 20}}));
    clock.now += again.wait;

    // No 5 minutes hold more than 20; once they held, 4 minutes are tried.
    const Clock::time_point start = Answer(pacer, clock, 1);
    EXPECT_GE(Answer(pacer, clock, 20) - start, minutes(5));
    EXPECT_EQ(pacer.Spacing(), seconds(12));
    // They are too short: from then on the shortest span that held, and a
    // hair; the spans taken while trying held too, so it is under 5 minutes.
    Answer(pacer, clock, 19);
    clock.now = pacer.Turn();
    pacer.Limited(clock.now, milliseconds(0), -1);
    const std::vector<PaceMemory::Budget> kept = pacer.Learned().budgets;
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].requests, 20);
    EXPECT_GT(kept[0].span_ms, 240'000);
    EXPECT_LE(kept[0].span_ms, 300'000);
    EXPECT_NEAR(static_cast<double>(pacer.Spacing().count()), kept[0].span_ms * 1.03 / 20, 1);
    // A quiet stretch: the spacing a step faster, not all the way at once.
    const std::int64_t before = pacer.Learned().spacing_ms;
    EXPECT_GT(before, 1000);
    clock.now += rules.quiet + rules.first_block;
    pacer.Turn();
    EXPECT_NEAR(static_cast<double>(pacer.Learned().spacing_ms), std::max(1000.0, before * 0.75), 1);

    // The next process takes it up and keeps to it; when the service takes
    // fewer in the span that held, it keeps to fewer.
    Pacer next(rules, clock.Now(), clock.Wall());
    next.Remember(pacer.Learned());
    EXPECT_EQ(next.Learned().budgets, kept);
    Answer(next, clock, 15);
    clock.now = next.Turn();
    next.Limited(clock.now, milliseconds(0), -1);
    EXPECT_EQ(next.Learned().budgets, (std::vector<PaceMemory::Budget>{{kept[0].span_ms, 15}}));

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
    for (Pacer::Block block = pacer.Limited(clock.now, waited, -1); !block.give_up; block = pacer.Limited(clock.now, waited, -1)) {
        ++blocks;
        waited += block.wait;
        clock.now += block.wait;
    }
    EXPECT_EQ(blocks, 2);  // 5 + 10 minutes, then none of 15 left
    EXPECT_LE(waited, rules.most_wait);
    EXPECT_TRUE(pacer.Resting());
    clock.now += rules.most_wait;
    EXPECT_FALSE(pacer.Resting());

    Pacer asked(rules, clock.Now(), clock.Wall());
    const Pacer::Block hours = asked.Limited(clock.now, milliseconds(0), 5 * 3600);
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
