#include "weibo/pacer.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace wa {
namespace {

using std::chrono::milliseconds;

// A history of turns never grows past this, whatever the spacing.
constexpr std::size_t kMostHistory = 100'000;
constexpr milliseconds kUnknown = milliseconds::max();

milliseconds Times(milliseconds duration, double factor) {
    return milliseconds(static_cast<std::int64_t>(std::llround(static_cast<double>(duration.count()) * factor)));
}

}  // namespace

PaceRules PaceRules::Scaled(double factor) const {
    PaceRules scaled = *this;
    scaled.least = Times(least, factor);
    scaled.slowest = Times(slowest, factor);
    scaled.longest = Times(longest, factor);
    scaled.guess_per_minute = guess_per_minute / factor;
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
    std::lock_guard lock(mutex_);
    const std::int64_t age_seconds = wall_() - memory.learned_at;
    if (memory.Empty() || age_seconds < 0 || std::chrono::seconds(age_seconds) > rules_.fade) return;
    // The time since it was learned is quiet time too.
    const auto quiet_steps = std::chrono::seconds(age_seconds) / std::max(rules_.quiet, milliseconds(1));
    double spacing = static_cast<double>(memory.spacing_ms) * std::pow(rules_.step, static_cast<double>(quiet_steps));
    spacing_ = std::clamp(milliseconds(static_cast<std::int64_t>(spacing)), rules_.least,
                          std::max(rules_.least, rules_.slowest));
    // The span that held with the fewest requests for its length: the one
    // kept to, no longer looked for.
    const PaceMemory::Budget* slowest = nullptr;
    for (const PaceMemory::Budget& budget : memory.budgets) {
        if (budget.span_ms <= 0 || budget.requests <= 0 || milliseconds(budget.span_ms) > rules_.longest) continue;
        if (!slowest || static_cast<double>(budget.span_ms) / budget.requests >
                            static_cast<double>(slowest->span_ms) / slowest->requests) {
            slowest = &budget;
        }
    }
    if (slowest) {
        allowed_ = slowest->requests;
        held_ = milliseconds(slowest->span_ms);
        too_short_ = milliseconds(0);
        misses_ = rules_.tries;
        ChooseSpan(true);
    }
    learned_at_ = memory.learned_at;
    calm_since_ = now_();
}

PaceMemory Pacer::Learned() const {
    std::lock_guard lock(mutex_);
    PaceMemory memory{spacing_ > rules_.least ? spacing_.count() : 0, {}, 0};
    if (allowed_ > 0) {
        memory.budgets.push_back({(held_ != kUnknown ? held_ : span_).count(), allowed_});
        memory.learned_at = learned_at_;
    }
    return memory;
}

void Pacer::Forget() {
    {
        std::lock_guard lock(mutex_);
        spacing_ = rules_.least;
        allowed_ = 0;
        span_ = too_short_ = milliseconds(0);
        held_ = kUnknown;
        misses_ = 0;
        learned_at_ = 0;
        next_block_ = rules_.first_block;
    }
    Notify(false);
}

milliseconds Pacer::Spacing() const {
    std::lock_guard lock(mutex_);
    return allowed_ > 0 ? std::max(spacing_, span_ / allowed_) : spacing_;
}

bool Pacer::Slowed() const {
    std::lock_guard lock(mutex_);
    return spacing_ > rules_.least || allowed_ > 0;
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
        // No span of the kept length holds more than the service allows:
        // wait until the oldest turn that would be one too many has left it.
        const auto allowed = static_cast<std::size_t>(allowed_);
        if (allowed > 0 && history_.size() >= allowed &&
            history_.end() - std::upper_bound(history_.begin(), history_.end(), turn - span_) >=
                static_cast<std::ptrdiff_t>(allowed)) {
            turn = std::max(turn, history_[history_.size() - allowed] + span_);
        }
        history_.erase(history_.begin(), std::upper_bound(history_.begin(), history_.end(), now - rules_.longest));
        if (history_.size() >= kMostHistory) history_.erase(history_.begin());
        history_.push_back(turn);
        next_turn_ = turn + spacing_;
    }
    if (faster) Notify(false);
    return turn;
}

bool Pacer::SpanFound() const {
    return misses_ >= rules_.tries || (held_ != kUnknown && held_ <= Times(too_short_, rules_.near_enough));
}

void Pacer::ChooseSpan(bool missed) {
    if (allowed_ == 0) return;
    const bool found = SpanFound();
    if (missed) {
        if (found) {
            span_ = held_ != kUnknown ? Times(held_, rules_.margin) : Times(too_short_, 2 * rules_.longer);
        } else if (held_ == kUnknown) {
            const milliseconds guess(static_cast<std::int64_t>(60'000.0 * allowed_ / rules_.guess_per_minute));
            span_ = std::max(Times(too_short_, rules_.longer), guess);
        } else {
            span_ = std::min(Times(too_short_, rules_.longer), Times(held_, rules_.margin));
        }
    } else if (!found && held_ <= span_) {
        span_ = std::max(Times(too_short_, rules_.near_enough), Times(held_, rules_.shorter));
    }
    span_ = std::min(span_, rules_.longest);
}

void Pacer::Unsent(Clock::time_point turn) {
    const auto given = std::lower_bound(history_.begin(), history_.end(), turn);
    if (given != history_.end() && *given == turn) history_.erase(given);
}

void Pacer::Learn(Clock::time_point now) {
    history_.erase(history_.begin(), std::upper_bound(history_.begin(), history_.end(), now - rules_.longest));
    const int made = static_cast<int>(history_.size());
    ++misses_;
    if (allowed_ == 0 || made < allowed_) {
        // The number it took since it last said no, in a span at least as
        // long as they took.
        allowed_ = std::max(1, made);
        too_short_ = history_.empty() ? milliseconds(0) : std::chrono::ceil<milliseconds>(now - history_.front());
    } else {
        const auto gap = std::chrono::ceil<milliseconds>(now - history_[history_.size() - static_cast<std::size_t>(allowed_)]);
        if (gap >= held_) {
            // A span that held before does not now: it takes fewer.
            const auto inside = history_.end() - std::upper_bound(history_.begin(), history_.end(), now - held_);
            allowed_ = std::max(1, static_cast<int>(inside));
        } else {
            too_short_ = std::max(too_short_, gap);
        }
    }
    ChooseSpan(true);
}

Pacer::Block Pacer::Limited(Clock::time_point turn, milliseconds waited, long long retry_after) {
    Block block;
    {
        std::lock_guard lock(mutex_);
        const Clock::time_point now = now_();
        Unsent(turn);
        const milliseconds left = rules_.most_wait - waited;
        if (now < blocked_until_) {
            // Another request met the same limit: its wait holds for this one.
            block.wait = std::chrono::ceil<milliseconds>(blocked_until_ - now);
            block.give_up = left <= milliseconds(0) || block.wait > left;
            if (block.give_up) resting_until_ = now + rules_.most_wait;
            return block;
        }
        // Only a request that had not waited out a limit tells what the
        // service takes: one asking again after a block says only that the
        // block goes on.
        const bool fresh = waited == milliseconds(0);
        if (fresh && rules_.learns) Learn(now);
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

void Pacer::Answered(Clock::time_point turn) {
    bool changed = false;
    {
        std::lock_guard lock(mutex_);
        next_block_ = rules_.first_block;
        resting_until_ = {};
        // The service took a request with `allowed_` before it this long
        // back: its span is no longer than that.
        const auto allowed = static_cast<std::ptrdiff_t>(allowed_);
        const auto given = std::lower_bound(history_.begin(), history_.end(), turn);
        if (allowed > 0 && given != history_.end() && *given == turn && given - history_.begin() >= allowed) {
            const auto gap = std::chrono::ceil<milliseconds>(turn - *(given - allowed));
            if (gap < held_) {
                held_ = gap;
                const milliseconds before = span_;
                ChooseSpan(false);
                changed = span_ != before;
            }
        }
    }
    if (changed) Notify(false);
}

bool Pacer::Blocked() const {
    std::lock_guard lock(mutex_);
    return now_() < blocked_until_;
}

bool Pacer::Resting() const {
    std::lock_guard lock(mutex_);
    return now_() < resting_until_;
}

int Pacer::OnChange(std::function<void(const PaceMemory&, bool)> listener) {
    std::lock_guard lock(mutex_);
    listeners_.emplace_back(++next_listener_, std::move(listener));
    return next_listener_;
}

void Pacer::StopTelling(int listener) {
    std::lock_guard lock(mutex_);
    std::erase_if(listeners_, [listener](const auto& told) { return told.first == listener; });
}

void Pacer::Notify(bool slower) {
    std::vector<std::pair<int, std::function<void(const PaceMemory&, bool)>>> listeners;
    {
        std::lock_guard lock(mutex_);
        listeners = listeners_;
    }
    const PaceMemory now = Learned();
    for (const auto& [number, listener] : listeners) listener(now, slower);
}

}  // namespace wa
