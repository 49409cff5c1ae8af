// The settings file: INI sections and key=value lines, read and written one
// value at a time, as the Windows private-profile functions do.
#pragma once

#include <sys/stat.h>

#include <string>
#include <optional>
#include <string_view>

namespace wa {

// The longest value a read hands back, in bytes.
inline constexpr std::size_t kMaxSettingLength = 10239;

// Why `file` cannot serve as the settings file (not a regular file,
// unreadable, over 1 MiB, neither UTF-8 nor GBK), in words for the user;
// empty when it can or is missing. Reads of such a file give the defaults and writes fail.
std::string SettingsFileProblem(const std::string& file);

// Why others than the user could have written `file`: it belongs to another
// user (not root), or its group (other than the user's own private group) or
// everyone may write it; empty when only the user could. As OpenSSH does with
// its own files, settings that could betray the user's traffic are not taken
// from such a file.
std::string SettingsFileOpenToOthers(const std::string& file);
// The same of a file already opened.
std::string FileOpenToOthers(const struct stat& info);

// Lets only its owner read and write `file`: for a file that holds a password.
bool KeepToOwner(const std::string& file);

// The value of `key` in `section` of `file`; `fallback` when the file, section
// or key is missing. Names match without regard to ASCII case or surrounding
// blanks. Empty text, without reading the file, for an empty section or key.
std::string ReadSetting(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view fallback = {});

// A settings file read once, for reading many keys: each value as
// ReadSetting would give it.
class IniSnapshot {
public:
    IniSnapshot() = default;
    static IniSnapshot Read(const std::string& file);
    std::string Get(std::string_view section, std::string_view key, std::string_view fallback = {}) const;

private:
    std::optional<std::string> text_;  // UTF-8; none for a file that is missing or not to be used
};

// Sets `key` in `section` to `value`, creating the file and the section as
// needed and keeping every other line as it was. The new file replaces the old
// one by a rename, so a crash leaves either the old or the new file. A file
// written in GBK on Windows stays GBK. False when nothing could be written, and
// for an empty name or a value holding a line break.
bool WriteSetting(const std::string& file, std::string_view section, std::string_view key,
                  std::string_view value);

}  // namespace wa
