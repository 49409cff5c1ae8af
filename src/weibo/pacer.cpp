#include "weibo/pacer.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace wa {
namespace {

using std::chrono::milliseconds;

// A history of turns never grows past this, whatever the spacing.
constexpr std::size_t kMostHistory = 100'000;
// A span that held fewer requests than this when the limit came is not learned
// from, unless it is the longest the history knows.
constexpr int kFewest = 8;

milliseconds Times(milliseconds duration, double factor) {
    return milliseconds(static_cast<std::int64_t>(std::llround(static_cast<double>(duration.count()) * factor)));
}

}  // namespace

PaceRules PaceRules::Scaled(double factor) const {
    PaceRules scaled = *this;
    scaled.least = Times(least, factor);
    scaled.slowest = Times(slowest, factor);
    for (milliseconds& span : scaled.spans) span = Times(span, factor);
    scaled.quiet = Times(quiet, factor);
    scaled.first_block = Times(first_block, factor);
    scaled.most_wait = Times(most_wait, factor);
    return scaled;
}

std::string SpacingText(milliseconds spacing) {
    const std::int64_t tenths = (spacing.count() + 50) / 100;
    std::string seconds = std::to_string(tenths / 10);
    if (tenths % 10 != 0) seconds += "." + std::to_string(tenths % 10);
    return "每" + seconds + "秒一次";
}

Pacer::Pacer(PaceRules rules, Now now, WallNow wall)
    : rules_(std::move(rules)), now_(std::move(now)), wall_(std::move(wall)), spacing_(rules_.least),
      calm_since_(now_()), next_block_(rules_.first_block) {
    if (!wall_) wall_ = [] { return static_cast<std::int64_t>(std::time(nullptr)); };
}

void Pacer::SetLeast(milliseconds least) {
    std::lock_guard lock(mutex_);
    const bool slowed = spacing_ > rules_.least;
    rules_.least = least;
    spacing_ = slowed ? std::max(spacing_, least) : least;
}

void Pacer::Remember(const PaceMemory& memory) {
    {
        std::lock_guard lock(mutex_);
        const std::int64_t age_seconds = wall_() - memory.learned_at;
        if (memory.Empty() || age_seconds < 0 || std::chrono::seconds(age_seconds) > rules_.fade) return;
        // The time since it was learned is quiet time too.
        const auto quiet_steps = std::chrono::seconds(age_seconds) / std::max(rules_.quiet, milliseconds(1));
        double spacing = static_cast<double>(memory.spacing_ms) * std::pow(rules_.step, static_cast<double>(quiet_steps));
        spacing_ = std::clamp(milliseconds(static_cast<std::int64_t>(spacing)), rules_.least,
                              std::max(rules_.least, rules_.slowest));
        budgets_.clear();
        for (const PaceMemory::Budget& budget : memory.budgets) {
            if (budget.span_ms > 0 && budget.requests > 0) budgets_.push_back(budget);
        }
        learned_at_ = memory.learned_at;
        calm_since_ = now_();
    }
}

PaceMemory Pacer::Learned() const {
    std::lock_guard lock(mutex_);
    return {spacing_ > rules_.least ? spacing_.count() : 0, budgets_, budgets_.empty() ? 0 : learned_at_};
}

void Pacer::Forget() {
    {
        std::lock_guard lock(mutex_);
        spacing_ = rules_.least;
        budgets_.clear();
        learned_at_ = 0;
        next_block_ = rules_.first_block;
    }
    Notify(false);
}

milliseconds Pacer::Spacing() const {
    std::lock_guard lock(mutex_);
    return spacing_;
}

bool Pacer::Slowed() const {
    std::lock_guard lock(mutex_);
    return spacing_ > rules_.least || !budgets_.empty();
}

void Pacer::StepFaster(Clock::time_point now) {
    spacing_ = std::max(rules_.least, Times(spacing_, rules_.step));
    calm_since_ = now;
}

Pacer::Clock::time_point Pacer::Turn() {
    bool faster = false;
    Clock::time_point turn;
    {
        std::lock_guard lock(mutex_);
        const Clock::time_point now = now_();
        if (spacing_ > rules_.least && now - calm_since_ >= rules_.quiet) {
            StepFaster(now);
            faster = true;
        }
        turn = std::max({now, next_turn_, blocked_until_});
        // No span may hold more than its budget: wait until the oldest turn
        // that would be one too many has left it.
        for (bool moved = true; moved;) {
            moved = false;
            for (const PaceMemory::Budget& budget : budgets_) {
                const milliseconds span(budget.span_ms);
                const auto first = std::upper_bound(history_.begin(), history_.end(), turn - span);
                const auto inside = static_cast<std::size_t>(history_.end() - first);
                if (inside < static_cast<std::size_t>(budget.requests)) continue;
                turn = history_[history_.size() - static_cast<std::size_t>(budget.requests)] + span;
                moved = true;
            }
        }
        const milliseconds kept = rules_.spans.empty() ? milliseconds(0) : rules_.spans.back();
        const auto old = std::upper_bound(history_.begin(), history_.end(), now - kept);
        history_.erase(history_.begin(), old);
        if (history_.size() >= kMostHistory) history_.erase(history_.begin());
        history_.push_back(turn);
        next_turn_ = turn + spacing_;
    }
    if (faster) Notify(false);
    return turn;
}

void Pacer::Learn(Clock::time_point now) {
    const Clock::time_point known_since = std::max(history_.empty() ? now : history_.front(), blocked_until_);
    for (const milliseconds span : rules_.spans) {
        const bool longest_known = now - span < known_since || span == rules_.spans.back();
        const auto first = std::upper_bound(history_.begin(), history_.end(), now - span);
        const auto made = static_cast<int>(std::upper_bound(first, history_.end(), now) - first);
        // A span with few requests in it says more about the pace than about
        // the limit; the longest span known is learned whatever it holds.
        if (made >= kFewest || longest_known) {
            const int keep = std::max(1, static_cast<int>(std::floor(made * rules_.share)));
            auto same = std::find_if(budgets_.begin(), budgets_.end(),
                                     [span](const PaceMemory::Budget& b) { return b.span_ms == span.count(); });
            if (same == budgets_.end()) {
                budgets_.push_back({span.count(), keep});
            } else {
                same->requests = std::min(same->requests, keep);
            }
        }
        if (longest_known) break;
    }
}

Pacer::Block Pacer::Limited(milliseconds waited, long long retry_after) {
    Block block;
    {
        std::lock_guard lock(mutex_);
        const Clock::time_point now = now_();
        const milliseconds left = rules_.most_wait - waited;
        if (now < blocked_until_) {
            // Another request met the same limit: its wait holds for this one.
            block.wait = std::chrono::ceil<milliseconds>(blocked_until_ - now);
            block.give_up = left <= milliseconds(0) || block.wait > left;
            if (block.give_up) resting_until_ = now + rules_.most_wait;
            return block;
        }
        // What the service took before it said no: the requests made over the
        // longest span the history knows (since the run began or the last
        // block ended, when nobody asked), from here on kept well under in
        // any span that long. Only a request that had not waited out a limit
        // tells it: one asking again after a block says only that the block
        // goes on.
        const bool fresh = waited == milliseconds(0);
        if (fresh && !rules_.spans.empty()) Learn(now);
        const milliseconds floor = std::max(rules_.least, rules_.slowest / 240);
        if (fresh) spacing_ = std::min(std::max(rules_.slowest, floor), std::max(spacing_ * 2, floor));
        calm_since_ = now;
        learned_at_ = wall_();

        milliseconds wait = next_block_;
        if (retry_after >= 0) {
            wait = std::chrono::seconds(retry_after);
        } else {
            next_block_ = std::min(next_block_ * 2, rules_.most_wait);
        }
        block.asked_too_long = retry_after >= 0 && wait > left;
        block.give_up = left <= milliseconds(0) || block.asked_too_long;
        block.wait = std::min(wait, std::max(left, milliseconds(0)));
        // Asking during a block would only make it last: nobody asks until then.
        blocked_until_ = now + block.wait;
        if (block.give_up) resting_until_ = now + rules_.most_wait;
    }
    Notify(true);
    return block;
}

void Pacer::Answered() {
    std::lock_guard lock(mutex_);
    next_block_ = rules_.first_block;
    resting_until_ = {};
}

bool Pacer::Blocked() const {
    std::lock_guard lock(mutex_);
    return now_() < blocked_until_;
}

bool Pacer::Resting() const {
    std::lock_guard lock(mutex_);
    return now_() < resting_until_;
}

void Pacer::OnChange(std::function<void(const PaceMemory&, bool)> listener) {
    std::lock_guard lock(mutex_);
    listeners_.push_back(std::move(listener));
}

void Pacer::Notify(bool slower) {
    std::vector<std::function<void(const PaceMemory&, bool)>> listeners;
    {
        std::lock_guard lock(mutex_);
        listeners = listeners_;
    }
    const PaceMemory now = Learned();
    for (const auto& listener : listeners) listener(now, slower);
}

}  // namespace wa
