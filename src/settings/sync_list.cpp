#include "settings/sync_list.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "util/folders.h"
#include "util/ini_file.h"
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

// Feeds the lines of a file to the list a piece at a time, without line
// ends; a refused line is skipped to its end.
struct LineReader {
    explicit LineReader(SyncList& into) : list(into) {}

    SyncList& list;
    std::string line;
    std::size_t number = 1;  // of the line being read
    std::size_t users = 0;
    std::size_t bytes = 0;
    std::optional<SyncList::LineProblem> bad;  // of the line being read

    // False when no line after this one is read.
    bool Take() {
        const std::size_t at = number++;
        bytes += line.size() + 1;
        if (at > kMaxListLines || bytes > kMaxListBytes) return Stop(at, SyncList::LineProblem::kTooManyLines);
        if (bad) {
            list.refused.push_back({at, *bad});
            bad.reset();
            line.clear();
            return true;
        }
        SyncLine parsed = ParseLine(std::move(line));
        parsed.number = at;
        line.clear();
        if (parsed.entry && ++users > kMaxListUsers) return Stop(at, SyncList::LineProblem::kTooManyUsers);
        list.lines.push_back(std::move(parsed));
        return true;
    }
    bool Stop(std::size_t at, SyncList::LineProblem why) {
        list.refused.push_back({at, why});
        return false;
    }
    bool Feed(std::string_view piece) {
        for (const char c : piece) {
            if (c == '\n') {
                if (!Take()) return false;
            } else if (bad) {
                continue;  // the rest of a refused line
            } else if (c == '\0') {
                bad = SyncList::LineProblem::kNulByte;
            } else if (line.size() == kMaxListLine) {
                bad = SyncList::LineProblem::kTooLong;
            } else {
                line += c;
            }
        }
        return true;
    }
    void End() {
        if (!line.empty() || bad) Take();
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

bool SyncList::Put(const SyncEntry& entry) {
    // Held as it reads back: a note's line breaks are blanks there.
    SyncLine made = ParseLine(SyncEntryLine(entry));
    if (made.text.size() > kMaxListLine || !made.entry || made.entry->target != entry.target ||
        made.entry->albums != entry.albums) {
        return false;
    }
    for (SyncLine& line : lines) {
        if (line.entry && SameUser(*line.entry, entry)) {
            line = std::move(made);
            return true;
        }
    }
    lines.push_back(std::move(made));
    return true;
}

std::optional<SyncEntry> SyncList::Find(const SyncEntry& entry) const {
    for (const SyncLine& line : lines) {
        if (line.entry && SameUser(*line.entry, entry)) return line.entry;
    }
    return std::nullopt;
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

std::string SyncListLockPath(const std::string& list_path) {
    const std::size_t slash = list_path.rfind('/');
    return (slash == std::string::npos ? std::string(".") : list_path.substr(0, slash)) + "/.同步列表.lock";
}

SyncList ParseSyncList(std::string_view text) {
    SyncList list;
    LineReader reader{list};
    if (reader.Feed(text)) reader.End();
    return list;
}

SyncList ReadSyncList(const std::string& path) {
    SyncList list;
    // Not blocking: a pipe in the list's place is refused, not waited on.
    struct OpenFile {
        int fd;
        ~OpenFile() {
            if (fd >= 0) ::close(fd);
        }
    } file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    const int fd = file.fd;
    if (fd < 0) {
        list.problem = errno == ENOENT ? SyncList::Problem::kMissing : SyncList::Problem::kUnreadable;
        return list;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        list.problem = SyncList::Problem::kNotAFile;
        return list;
    }
    if (list.open_to_others = FileOpenToOthers(info); !list.open_to_others.empty()) {
        list.problem = SyncList::Problem::kOpenToOthers;
        return list;
    }
    LineReader reader{list};
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            list = SyncList{};
            list.problem = SyncList::Problem::kUnreadable;
            return list;
        }
        if (!reader.Feed(std::string_view(buffer, static_cast<std::size_t>(n)))) return list;
    }
    reader.End();
    return list;
}

bool WriteSyncList(const std::string& path, const SyncList& list) { return ReplaceFileContents(path, list.Text()); }

SyncListChange ChangeSyncList(const std::string& path, const std::function<bool(SyncList&)>& change) {
    using Result = SyncListChange::Result;
    const FileLock lock = FileLock::Wait(SyncListLockPath(path));
    SyncListChange changed{Result::kChanged, ReadSyncList(path)};
    if (!changed.read.Whole()) return changed.result = Result::kNotWhole, changed;
    SyncList list = changed.read;
    if (!change(list)) return changed.result = Result::kRefused, changed;
    if (!WriteSyncList(path, list)) changed.result = Result::kNotWritten;
    return changed;
}

std::string SyncEntryLine(const SyncEntry& entry) {
    std::string line = entry.target;
    if (!entry.albums.empty()) line += " albums=" + JoinText(entry.albums, ",");
    if (!entry.note.empty()) {
        std::string note(CutToBytes(entry.note, kMaxNoteBytes));
        for (char& c : note) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
        }
        line += "  # " + note;
    }
    return line;
}

}  // namespace wa
