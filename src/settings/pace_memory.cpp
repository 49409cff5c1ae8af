#include "settings/pace_memory.h"

#include <charconv>

#include "util/ini_file.h"
#include "util/text.h"

namespace wa {
namespace {

constexpr std::string_view kSection = "请求节奏";
constexpr std::string_view kSpacingKey = "间隔";    // milliseconds
constexpr std::string_view kBudgetsKey = "限额";    // "<span ms>:<requests>,..."
constexpr std::string_view kLearnedKey = "时间";    // Unix seconds
constexpr std::size_t kMostBudgets = 16;

std::optional<std::int64_t> Number(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
    return value;
}

}  // namespace

std::string PaceMemoryPath(const std::string& config_folder) { return config_folder + "/请求节奏.ini"; }

PaceMemory ReadPaceMemory(const std::string& path) {
    const IniSnapshot file = IniSnapshot::Read(path);
    PaceMemory memory;
    const auto learned = Number(file.Get(kSection, kLearnedKey));
    if (!learned) return {};
    memory.learned_at = *learned;
    memory.spacing_ms = Number(file.Get(kSection, kSpacingKey)).value_or(0);
    for (const std::string& pair : SplitText(file.Get(kSection, kBudgetsKey), ",")) {
        const std::vector<std::string> parts = SplitText(pair, ":");
        if (parts.size() != 2 || memory.budgets.size() == kMostBudgets) continue;
        const auto span = Number(parts[0]);
        const auto requests = Number(parts[1]);
        if (span && requests && *span > 0 && *requests > 0 && *requests <= 1'000'000) {
            memory.budgets.push_back({*span, static_cast<int>(*requests)});
        }
    }
    return memory;
}

bool WritePaceMemory(const std::string& path, const PaceMemory& memory) {
    std::vector<std::string> budgets;
    for (const PaceMemory::Budget& budget : memory.budgets) {
        budgets.push_back(std::to_string(budget.span_ms) + ":" + std::to_string(budget.requests));
    }
    return WriteSetting(path, kSection, kSpacingKey, std::to_string(memory.spacing_ms)) &&
           WriteSetting(path, kSection, kBudgetsKey, JoinText(budgets, ",")) &&
           WriteSetting(path, kSection, kLearnedKey, std::to_string(memory.learned_at));
}

void KeepPace(Pacer& pacer, const std::string& path) {
    pacer.Remember(ReadPaceMemory(path));
    pacer.OnChange([path](const PaceMemory& memory, bool) { WritePaceMemory(path, memory); });
}

}  // namespace wa
