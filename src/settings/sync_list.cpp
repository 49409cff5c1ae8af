#include "settings/sync_list.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include "util/folders.h"
#include "util/text.h"
#include "weibo/user_resolution.h"

namespace wa {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The words of `text` between blanks.
std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && IsBlank(text[at])) ++at;
        const std::size_t start = at;
        while (at < text.size() && !IsBlank(text[at])) ++at;
        if (at > start) words.push_back(text.substr(start, at - start));
    }
    return words;
}

SyncLine ParseLine(std::string text) {
    SyncLine line;
    line.text = std::move(text);
    std::string_view rest = TrimBlanks(line.text);
    if (rest.empty() || rest.starts_with('#')) return line;
    SyncEntry entry;
    // A note starts at a "#" after a blank; an address may hold a "#" of its own.
    for (std::size_t i = 1; i < rest.size(); ++i) {
        if (rest[i] == '#' && IsBlank(rest[i - 1])) {
            entry.note = std::string(TrimBlanks(rest.substr(i + 1)));
            rest = rest.substr(0, i);
            break;
        }
    }
    const std::vector<std::string_view> words = Words(rest);
    entry.target = std::string(words.front());
    for (std::size_t i = 1; i < words.size(); ++i) {
        constexpr std::string_view kAlbums = "albums=";
        if (!words[i].starts_with(kAlbums) || words[i].size() == kAlbums.size()) {
            line.not_understood = std::string(words[i]);
            return line;
        }
        for (const std::string& key : SplitText(words[i].substr(kAlbums.size()), ",")) {
            if (key.empty()) continue;
            entry.albums.push_back(key);
        }
    }
    line.entry = std::move(entry);
    return line;
}

bool SameUser(const SyncEntry& a, const SyncEntry& b) {
    if (a.target == b.target) return true;
    const std::string uid = TargetUid(a.target);
    return !uid.empty() && uid == TargetUid(b.target);
}

// Feeds the lines of a file to `take` a piece at a time, without line ends.
struct LineReader {
    SyncList& list;
    std::string line;
    std::size_t users = 0;

    bool Take() {
        SyncLine parsed = ParseLine(std::move(line));
        line.clear();
        if (parsed.entry && ++users > kMaxListUsers) return Refuse(SyncList::Problem::kTooManyUsers);
        list.lines.push_back(std::move(parsed));
        return true;
    }
    bool Refuse(SyncList::Problem problem) {
        list.problem_line = list.lines.size() + 1;
        list.lines.clear();
        list.problem = problem;
        return false;
    }
    bool Feed(std::string_view bytes) {
        for (const char c : bytes) {
            if (c == '\n') {
                if (!Take()) return false;
                continue;
            }
            if (c == '\0') return Refuse(SyncList::Problem::kNulByte);
            if (line.size() == kMaxListLine) return Refuse(SyncList::Problem::kLineTooLong);
            line += c;
        }
        return true;
    }
    void End() {
        if (!line.empty()) Take();
    }
};

}  // namespace

std::string TargetUid(std::string_view target) {
    target = TrimBlanks(target);
    return IsUid(target) ? std::string(target) : UidFromAddress(target);
}

std::vector<SyncEntry> SyncList::Entries() const {
    std::vector<SyncEntry> entries;
    for (const SyncLine& line : lines) {
        if (line.entry) entries.push_back(*line.entry);
    }
    return entries;
}

void SyncList::Put(const SyncEntry& entry) {
    // Held as it reads back: a note's line breaks are blanks there.
    SyncLine made = ParseLine(SyncEntryLine(entry));
    for (SyncLine& line : lines) {
        if (line.entry && SameUser(*line.entry, entry)) {
            line = std::move(made);
            return;
        }
    }
    lines.push_back(std::move(made));
}

bool SyncList::Remove(std::string_view target) {
    const SyncEntry gone{std::string(target), {}, {}};
    const auto before = lines.size();
    std::erase_if(lines, [&gone](const SyncLine& line) { return line.entry && SameUser(*line.entry, gone); });
    return lines.size() != before;
}

std::string SyncList::Text() const {
    std::string text;
    for (const SyncLine& line : lines) text += line.text + "\n";
    return text;
}

std::string SyncListPath(const std::string& config_folder) {
    return config_folder + "/" + std::string(kSyncListName);
}

SyncList ParseSyncList(std::string_view text) {
    SyncList list;
    LineReader reader{list, {}};
    if (reader.Feed(text)) reader.End();
    return list;
}

SyncList ReadSyncList(const std::string& path) {
    SyncList list;
    std::unique_ptr<FILE, decltype(&std::fclose)> in(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!in) {
        list.problem = errno == ENOENT ? SyncList::Problem::kMissing : SyncList::Problem::kUnreadable;
        return list;
    }
    LineReader reader{list, {}};
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in.get())) > 0;) {
        if (!reader.Feed(std::string_view(buffer, n))) return list;
    }
    if (std::ferror(in.get())) {
        list.lines.clear();
        list.problem = SyncList::Problem::kUnreadable;
        return list;
    }
    reader.End();
    return list;
}

bool WriteSyncList(const std::string& path, const SyncList& list) { return ReplaceFileContents(path, list.Text()); }

std::string SyncEntryLine(const SyncEntry& entry) {
    std::string line = entry.target;
    if (!entry.albums.empty()) line += " albums=" + JoinText(entry.albums, ",");
    if (!entry.note.empty()) {
        std::string note = entry.note;
        for (char& c : note) {
            if (c == '\n' || c == '\r' || c == '\0') c = ' ';
        }
        line += "  # " + note;
    }
    return line;
}

}  // namespace wa
