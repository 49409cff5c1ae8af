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
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wa {

inline constexpr std::string_view kSyncListName = "同步列表.txt";
// What a list holds at most; a line past these bounds is not read. Every
// line counts, blank and "#" lines too.
inline constexpr std::size_t kMaxListLine = 64 * 1024;  // bytes
inline constexpr std::size_t kMaxListUsers = 10'000;
inline constexpr std::size_t kMaxListLines = 20'000;
inline constexpr std::size_t kMaxListBytes = 4u << 20;
// A note the window writes is cut to this many bytes.
inline constexpr std::size_t kMaxNoteBytes = 300;

struct SyncEntry {
    std::string target;               // an address or a uid, as written
    std::vector<std::string> albums;  // album keys; empty: every album
    std::string note;                 // the text after " #"

    bool operator==(const SyncEntry&) const = default;
};

// One line as it stands in the file, and the entry it holds.
struct SyncLine {
    std::size_t number = 0;          // its line in the file, from 1; 0 for a line put in
    std::string text;                // without its line end
    std::optional<SyncEntry> entry;  // none for blank lines, "#" lines and lines not understood
    std::string not_understood;      // the word that made it not understood
};

struct SyncList {
    // What keeps the whole list from being used: then it has no lines.
    enum class Problem { kNone, kMissing, kUnreadable, kNotAFile, kOpenToOthers };
    // What keeps a line from being read: it alone, or with the kTooMany
    // ones, every line from it on.
    enum class LineProblem { kTooLong, kNulByte, kTooManyUsers, kTooManyLines };
    struct Refusal {
        std::size_t line;  // from 1
        LineProblem why;
    };

    std::vector<SyncLine> lines;  // the lines read, in order
    Problem problem = Problem::kNone;
    std::string open_to_others;    // kOpenToOthers: who else may write it
    std::vector<Refusal> refused;  // in order; a kTooMany one is the last

    // The list read whole: the window may write it back without losing a line.
    bool Whole() const { return (problem == Problem::kNone || problem == Problem::kMissing) && refused.empty(); }
    std::vector<SyncEntry> Entries() const;
    // Puts `entry` in the place of the entry of the same user (the same
    // target, or the same uid in it), else after the last line. False, and
    // nothing changed, when its line would not read back as it: past
    // kMaxListLine, or an album key holding a blank or a comma.
    bool Put(const SyncEntry& entry);
    // The entry of the user `entry` names, if any.
    std::optional<SyncEntry> Find(const SyncEntry& entry) const;
    // Takes out the lines of the user `target` names; false when none did.
    bool Remove(std::string_view target);
    std::string Text() const;
};

// The file beside 配置.ini in `config_folder`.
std::string SyncListPath(const std::string& config_folder);
// The lock beside the list that whoever changes it holds from reading it to
// writing it back.
std::string SyncListLockPath(const std::string& list_path);

// Reads a piece at a time: a line over kMaxListLine bytes or holding a NUL is
// refused on its own, and the lines past kMaxListUsers users, kMaxListLines
// lines or kMaxListBytes are not read. Something other than a file, or a
// file others may write, is refused whole, at once.
SyncList ReadSyncList(const std::string& path);
SyncList ParseSyncList(std::string_view text);
// Replaces the file whole (a crash leaves the old one or the new one).
bool WriteSyncList(const std::string& path, const SyncList& list);

// How a change of the list on disk went: the list as it was read, and
// whether it was not whole, the change refused it, or it could not be written.
struct SyncListChange {
    enum class Result { kChanged, kNotWhole, kRefused, kNotWritten };
    Result result = Result::kChanged;
    SyncList read;
};
// Reads the list, lets `change` change it (false: it refuses) and writes it
// back, holding the lock beside it throughout so that no two programs change
// it at once. A list that was not read whole is neither changed nor written.
SyncListChange ChangeSyncList(const std::string& path, const std::function<bool(SyncList&)>& change);

// The line the window writes for `entry`: "<target> albums=<a>,<b>  # <note>",
// the note on one line and cut to kMaxNoteBytes.
std::string SyncEntryLine(const SyncEntry& entry);

// The uid a target names, when it names one by itself ("123", ".../u/123",
// ".../p/100505123", "...?uid=123"); empty otherwise.
std::string TargetUid(std::string_view target);

}  // namespace wa
