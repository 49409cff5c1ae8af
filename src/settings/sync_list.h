// The sync list, 同步列表.txt beside 配置.ini: the users kept in sync, an
// address or uid a line, optionally followed by the albums to keep
// ("albums=<key>,<key>", the keys `weibo-albums-cli albums` prints; without
// it every album) and a note after " #" (the window writes the user's name
// there). Blank lines and "#" lines are left out. The command line reads the
// same format as a users file.
//
// The window edits it line by line: what it does not understand it keeps as
// it was, so a file edited by hand loses nothing.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wa {

inline constexpr std::string_view kSyncListName = "同步列表.txt";
inline constexpr std::size_t kMaxListLine = 4096;  // bytes
inline constexpr std::size_t kMaxListUsers = 10'000;

struct SyncEntry {
    std::string target;               // an address or a uid, as written
    std::vector<std::string> albums;  // album keys; empty: every album
    std::string note;                 // the text after " #"

    bool operator==(const SyncEntry&) const = default;
};

// One line as it stands in the file, and the entry it holds.
struct SyncLine {
    std::string text;                // without its line end
    std::optional<SyncEntry> entry;  // none for blank lines, "#" lines and lines not understood
    std::string not_understood;      // the word that made it not understood
};

struct SyncList {
    enum class Problem { kNone, kMissing, kUnreadable, kLineTooLong, kNulByte, kTooManyUsers };

    std::vector<SyncLine> lines;
    Problem problem = Problem::kNone;  // with any problem but kMissing, no lines
    std::size_t problem_line = 0;      // the line it is in, from 1

    std::vector<SyncEntry> Entries() const;
    // Puts `entry` in the place of the entry of the same user (the same
    // target, or the same uid in it), else after the last line.
    void Put(const SyncEntry& entry);
    // Takes out the lines of the user `target` names; false when none did.
    bool Remove(std::string_view target);
    std::string Text() const;
};

// The file beside 配置.ini in `config_folder`.
std::string SyncListPath(const std::string& config_folder);

// Reads a piece at a time, refusing a line over kMaxListLine bytes, a NUL
// byte and more than kMaxListUsers users, with the line's number.
SyncList ReadSyncList(const std::string& path);
SyncList ParseSyncList(std::string_view text);
// Replaces the file whole (a crash leaves the old one or the new one).
bool WriteSyncList(const std::string& path, const SyncList& list);

// The line the window writes for `entry`: "<target> albums=<a>,<b>  # <note>".
std::string SyncEntryLine(const SyncEntry& entry);

// The uid a target names, when it names one by itself ("123", ".../u/123",
// ".../p/100505123", "...?uid=123"); empty otherwise.
std::string TargetUid(std::string_view target);

}  // namespace wa
