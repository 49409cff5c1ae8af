#include "util/regex_matcher.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <memory>

namespace wa {
namespace {

struct CodeDeleter {
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct MatchDataDeleter {
    void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};

}  // namespace

bool RegexMatcher::Search(std::string_view pattern, std::string_view subject) {
    matches_.clear();
    subject_.assign(subject);

    int error = 0;
    PCRE2_SIZE error_offset = 0;
    const uint32_t options = PCRE2_UTF | PCRE2_UCP | PCRE2_CASELESS | PCRE2_MULTILINE |
                             PCRE2_ALT_BSUX | PCRE2_MATCH_INVALID_UTF;
    std::unique_ptr<pcre2_code, CodeDeleter> code(
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), options, &error,
                      &error_offset, nullptr));
    if (!code) return false;
    std::unique_ptr<pcre2_match_data, MatchDataDeleter> data(
        pcre2_match_data_create_from_pattern(code.get(), nullptr));
    if (!data) return false;

    const auto* text = reinterpret_cast<PCRE2_SPTR>(subject_.data());
    const PCRE2_SIZE length = subject_.size();
    PCRE2_SIZE start = 0;
    uint32_t match_options = 0;
    while (start <= length) {
        const int rc = pcre2_match(code.get(), text, length, start, match_options, data.get(), nullptr);
        if (rc == PCRE2_ERROR_NOMATCH && match_options != 0) {
            // An empty match at `start` cannot repeat: move on one character.
            ++start;
            while (start < length && (subject_[start] & 0xC0) == 0x80) ++start;
            match_options = 0;
            continue;
        }
        if (rc < 0) break;
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
        matches_.emplace_back(ovector[0], ovector[1] - ovector[0]);
        start = ovector[1];
        match_options = (ovector[0] == ovector[1]) ? (PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED) : 0;
    }
    return true;
}

std::string RegexMatcher::MatchText(int number) const {
    if (number < 1 || number > MatchCount()) return {};
    const auto& [offset, length] = matches_[static_cast<std::size_t>(number - 1)];
    return subject_.substr(offset, length);
}

std::string HanziOnly(RegexMatcher& matcher, std::string_view text) {
    matcher.Search("[\\u4e00-\\u9fa5]", text);
    std::string out;
    for (int i = 1; i <= matcher.MatchCount(); ++i) out += matcher.MatchText(i);
    return out;
}

}  // namespace wa
