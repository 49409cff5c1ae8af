#include "util/ini_file.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <vector>

#include "util/folders.h"
#include "util/text.h"

namespace wa {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

enum class Encoding { kUtf8, kGbk };

struct IniText {
    std::string text;  // UTF-8, without a byte-order mark
    Encoding encoding = Encoding::kUtf8;
    bool bom = false;
};

constexpr off_t kMaxSettingsFileSize = 1 << 20;

struct FileBytes {
    bool missing = false;        // no such file: reads give defaults, a write creates it
    std::optional<std::string> bytes;  // nullopt for a file that is not to be used
};

// The file's bytes, unless it is missing, not a regular file, unreadable or
// larger than a settings file ever is.
FileBytes ReadBytes(const std::string& file) {
    FileBytes result;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        result.missing = errno == ENOENT;
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxSettingsFileSize) {
        std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
        std::size_t got = 0;
        for (ssize_t n; got < bytes.size() && (n = ::read(fd, bytes.data() + got, bytes.size() - got)) > 0;) {
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
        result.bytes = std::move(bytes);
    }
    ::close(fd);
    return result;
}

// The file's text in UTF-8; nullopt when it is neither UTF-8 nor GBK.
std::optional<IniText> Decode(std::string bytes) {
    IniText ini;
    const std::string_view after_bom =
        bytes.starts_with(kUtf8Bom) ? std::string_view(bytes).substr(kUtf8Bom.size()) : std::string_view(bytes);
    if (IsValidUtf8(after_bom)) {
        ini.bom = after_bom.size() != bytes.size();
        ini.text = std::string(after_bom);
        return ini;
    }
    // GBK bytes may begin like a UTF-8 byte-order mark: all of them are text.
    auto converted = GbkToUtf8(bytes);
    if (!converted) return std::nullopt;
    ini.text = std::move(*converted);
    ini.encoding = Encoding::kGbk;
    return ini;
}

bool SameName(std::string_view a, std::string_view b) {
    return AsciiLower(TrimBlanks(a)) == AsciiLower(TrimBlanks(b));
}

struct Line {
    std::string_view content;  // without its line end
    std::size_t begin = 0;     // offset of the line in the text
    std::size_t end = 0;       // offset after its line end
};

// Lines end in CR LF, LF or a lone CR, as Windows reads them.
std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t stop = std::min(text.find_first_of("\r\n", pos), text.size());
        std::size_t next = stop;
        if (next < text.size()) next += text.substr(next, 2) == "\r\n" ? 2 : 1;
        lines.push_back({text.substr(pos, stop - pos), pos, next});
        pos = next;
    }
    return lines;
}

// The line end a file already uses; LF for a new one.
std::string_view LineEnd(std::string_view text) {
    const std::size_t first = text.find_first_of("\r\n");
    if (first == std::string_view::npos) return "\n";
    if (text[first] == '\n') return "\n";
    return text.substr(first, 2) == "\r\n" ? "\r\n" : "\r";
}

// The section name of a "[name]" line.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = TrimBlanks(line);
    if (!line.starts_with('[')) return std::nullopt;
    line.remove_prefix(1);
    const std::size_t close = line.find(']');
    return TrimBlanks(close == std::string_view::npos ? line : line.substr(0, close));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> ParseKeyLine(std::string_view line) {
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return KeyLine{TrimBlanks(line.substr(0, eq)), TrimBlanks(line.substr(eq + 1))};
}

struct Located {
    std::optional<std::size_t> section_line;   // the "[section]" line
    std::optional<std::size_t> key_line;       // the key's line inside it
    std::size_t last_content_line = 0;         // last non-blank line of the section
};

Located Locate(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Located found;
    bool inside = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (const auto name = SectionName(lines[i].content)) {
            if (inside) break;  // the first section of that name is the one used
            inside = SameName(*name, section);
            if (inside) found.section_line = found.last_content_line = i;
            continue;
        }
        if (!inside) continue;
        if (!TrimBlanks(lines[i].content).empty()) found.last_content_line = i;
        const auto parsed = ParseKeyLine(lines[i].content);
        if (parsed && SameName(parsed->key, key)) {
            found.key_line = i;
            break;
        }
    }
    return found;
}

std::string CutToLength(std::string_view value) { return std::string(CutToBytes(value, kMaxSettingLength)); }

}  // namespace

std::string SettingsFileOpenToOthers(const std::string& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) return {};
    return FileOpenToOthers(info);
}

std::string FileOpenToOthers(const struct stat& info) {
    if (info.st_uid != ::geteuid() && info.st_uid != 0) return "属于另一个用户（uid " + std::to_string(info.st_uid) + "）";
    if (info.st_mode & S_IWOTH) return "所有用户都可以修改";
    if (info.st_mode & S_IWGRP) {
        // A group of the owner's own, with nobody else in it, is no other user.
        const passwd* owner = ::getpwuid(info.st_uid);
        const group* members = ::getgrgid(info.st_gid);
        const bool own_group = owner && members && owner->pw_gid == info.st_gid &&
                               std::string_view(members->gr_name) == owner->pw_name &&
                               (!members->gr_mem[0] || (std::string_view(members->gr_mem[0]) == owner->pw_name &&
                                                        !members->gr_mem[1]));
        if (!own_group) return "用户组的其他成员可以修改";
    }
    return {};
}

bool KeepToOwner(const std::string& file) { return ::chmod(file.c_str(), 0600) == 0; }

std::string SettingsFileProblem(const std::string& file) {
    FileBytes read = ReadBytes(file);
    if (read.missing) return {};
    if (!read.bytes) {
        struct stat info {};
        if (::stat(file.c_str(), &info) != 0) return "无法读取";
        if (!S_ISREG(info.st_mode)) return "不是普通文件";
        return info.st_size > kMaxSettingsFileSize ? "大于1MiB" : "无法读取";
    }
    return Decode(std::move(*read.bytes)) ? std::string() : "既不是UTF-8也不是GBK文本";
}

IniSnapshot IniSnapshot::Read(const std::string& file) {
    IniSnapshot snapshot;
    FileBytes read = ReadBytes(file);
    std::optional<IniText> ini = read.bytes ? Decode(std::move(*read.bytes)) : std::nullopt;
    if (ini) snapshot.text_ = std::move(ini->text);
    return snapshot;
}

std::string IniSnapshot::Get(std::string_view section, std::string_view key, std::string_view fallback) const {
    if (TrimBlanks(section).empty() || TrimBlanks(key).empty()) return {};
    if (!text_) return CutToLength(fallback);
    const auto lines = SplitLines(*text_);
    const Located found = Locate(lines, section, key);
    if (!found.key_line) return CutToLength(fallback);
    std::string_view value = ParseKeyLine(lines[*found.key_line].content)->value;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return CutToLength(value);
}

std::string ReadSetting(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view fallback) {
    if (TrimBlanks(section).empty() || TrimBlanks(key).empty()) return {};
    return IniSnapshot::Read(file).Get(section, key, fallback);
}

bool WriteSetting(const std::string& file, std::string_view section, std::string_view key,
                  std::string_view value) {
    section = TrimBlanks(section);
    key = TrimBlanks(key);
    if (section.empty() || key.empty()) return false;
    if (value.find_first_of("\r\n") != std::string_view::npos) return false;

    IniText ini;
    FileBytes read = ReadBytes(file);
    if (!read.missing) {
        // Never rewrite a file whose text cannot be read back, nor replace
        // what is not a settings file.
        if (!read.bytes) return false;
        auto decoded = Decode(std::move(*read.bytes));
        if (!decoded) return false;
        ini = std::move(*decoded);
    }
    const std::string_view eol = LineEnd(ini.text);
    const auto lines = SplitLines(ini.text);
    const Located found = Locate(lines, section, key);

    std::string text = ini.text;
    if (found.key_line) {
        const Line& line = lines[*found.key_line];
        const std::string_view old_key = ParseKeyLine(line.content)->key;
        text.replace(line.begin, line.content.size(), std::string(old_key) + "=" + std::string(value));
    } else if (found.section_line) {
        const Line& last = lines[found.last_content_line];
        std::string insert = std::string(key) + "=" + std::string(value) + std::string(eol);
        if (last.end == last.begin + last.content.size()) insert.insert(0, eol);  // no line end yet
        text.insert(last.end, insert);
    } else {
        if (!text.empty() && !text.ends_with('\n') && !text.ends_with('\r')) text += eol;
        if (!text.empty()) text += eol;
        text += "[" + std::string(section) + "]" + std::string(eol) + std::string(key) + "=" +
                std::string(value) + std::string(eol);
    }

    std::string bytes;
    if (ini.encoding == Encoding::kGbk) {
        auto encoded = Utf8ToGbk(text);
        if (!encoded) return false;
        bytes = std::move(*encoded);
    } else {
        bytes = ini.bom ? std::string(kUtf8Bom) + text : text;
    }
    // Never write what would not read back in the same encoding.
    const std::optional<IniText> back = Decode(bytes);
    if (!back || back->encoding != ini.encoding) return false;
    return ReplaceFileContents(file, bytes);
}

}  // namespace wa
