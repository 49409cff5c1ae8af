// Runs one ECMAScript-style regular expression over one text and hands out
// every match; the naming step uses it to keep only the Chinese characters of a
// post text when a picture cannot be saved under the full text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wa {

class RegexMatcher {
public:
    RegexMatcher() = default;

    // Finds all non-overlapping matches of `pattern` in `subject`, matching
    // over Unicode characters, ignoring case, in multi-line mode. "\uXXXX"
    // escapes are accepted. True when the pattern compiled (even with no
    // match); false forgets the previous search and leaves no matches.
    bool Search(std::string_view pattern, std::string_view subject);

    int MatchCount() const { return static_cast<int>(matches_.size()); }

    // Match number 1..MatchCount(); empty text for any other number.
    std::string MatchText(int number) const;

private:
    std::string subject_;
    std::vector<std::pair<std::size_t, std::size_t>> matches_;  // offset, length
};

// The characters of `text` in U+4E00..U+9FA5, joined in order.
std::string HanziOnly(RegexMatcher& matcher, std::string_view text);

}  // namespace wa
