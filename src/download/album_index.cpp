#include "download/album_index.h"

#include <fcntl.h>
#include <json-c/json.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>

#include "download/picture_file.h"
#include "download/picture_finish.h"
#include "download/picture_story.h"
#include "util/folders.h"
#include "util/json_text.h"

namespace wa {
namespace {

// An index larger than this is no index of ours: some hundred thousand photos.
constexpr std::size_t kMostIndexBytes = 512u << 20;

struct Field {
    const char* name;
    std::string IndexEntry::*member;
};
constexpr Field kFields[] = {
    {"file", &IndexEntry::file},         {"video", &IndexEntry::video_file}, {"photo_id", &IndexEntry::photo_id},
    {"post_id", &IndexEntry::post_id},   {"post_url", &IndexEntry::post_url}, {"caption", &IndexEntry::caption},
    {"door", &IndexEntry::door},         {"url", &IndexEntry::url},
};
constexpr const char* kUploaded = "uploaded";        // ISO 8601, Beijing time
constexpr const char* kUploadSeconds = "uploaded_unix";

std::string EntryJson(const IndexEntry& entry) {
    std::string json = "{";
    const auto add = [&json](const char* name, const std::string& value) {
        json += (json.size() == 1 ? "" : ", ") + JsonQuoted(name) + ": " + value;
    };
    for (const Field& field : kFields) {
        const std::string& value = entry.*field.member;
        if (!value.empty()) add(field.name, JsonQuoted(value));
        if (field.member == &IndexEntry::caption && entry.upload_seconds) {
            add(kUploaded, JsonQuoted(IsoBeijingTime(*entry.upload_seconds)));
            add(kUploadSeconds, std::to_string(*entry.upload_seconds));
        }
    }
    return json + "}";
}

IndexEntry ReadEntry(json_object* object) {
    IndexEntry entry;
    for (const Field& field : kFields) {
        json_object* value = JsonMember(object, field.name);
        if (json_object_is_type(value, json_type_string)) entry.*field.member = json_object_get_string(value);
    }
    if (json_object* seconds = JsonMember(object, kUploadSeconds); json_object_is_type(seconds, json_type_int)) {
        entry.upload_seconds = json_object_get_int64(seconds);
    }
    return entry;
}

// A plain name in the folder that holds a regular file.
bool FileThere(int folder, const std::string& name) {
    struct stat info {};
    return IsOneName(name) && ::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode);
}

// The index the folder holds: none when there is none, or when it cannot be
// read (then `error` says why).
std::optional<std::vector<IndexEntry>> EarlierIndex(int folder, std::string& error) {
    const std::string name(kAlbumIndexName);
    const int fd = ::openat(folder, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        if (errno != ENOENT) error = "无法读取";
        return std::nullopt;
    }
    std::string text;
    const bool read = ReadOpenFile(fd, text, kMostIndexBytes);
    ::close(fd);
    std::optional<std::vector<IndexEntry>> entries = read ? ReadIndexJson(text) : std::nullopt;
    if (!entries) error = "不是相册索引";
    return entries;
}

}  // namespace

std::string IndexJson(const std::vector<IndexEntry>& entries) {
    std::string json = "[";
    for (std::size_t i = 0; i < entries.size(); ++i) json += (i ? ",\n" : "\n") + EntryJson(entries[i]);
    return json + "\n]\n";
}

std::optional<std::vector<IndexEntry>> ReadIndexJson(std::string_view text) {
    // Our own file, as large as the album: not held to the service's answers' bounds.
    json_tokener* tokener = json_tokener_new();
    if (!tokener) return std::nullopt;
    JsonDocument root(json_tokener_parse_ex(tokener, text.data(), static_cast<int>(text.size())));
    const bool whole = json_tokener_get_error(tokener) == json_tokener_success &&
                       json_tokener_get_parse_end(tokener) == text.size();
    json_tokener_free(tokener);
    if (!whole || !json_object_is_type(root.get(), json_type_array)) return std::nullopt;
    std::vector<IndexEntry> entries;
    for (std::size_t i = 0; i < json_object_array_length(root.get()); ++i) {
        json_object* object = json_object_array_get_idx(root.get(), i);
        if (json_object_is_type(object, json_type_object)) entries.push_back(ReadEntry(object));
    }
    return entries;
}

void AlbumIndex::Saved(IndexEntry entry) { entries_.push_back(std::move(entry)); }

void AlbumIndex::VideoSaved(const std::string& still, const std::string& video_file) {
    for (auto entry = entries_.rbegin(); entry != entries_.rend(); ++entry) {
        if (entry->file == still) {
            entry->video_file = video_file;
            return;
        }
    }
}

std::string AlbumIndex::Write(int folder) const {
    if (folder < 0) return "相册文件夹无法打开";
    std::string unread;
    std::optional<std::vector<IndexEntry>> earlier = EarlierIndex(folder, unread);
    if (entries_.empty() && !earlier && unread.empty()) return {};
    std::vector<IndexEntry> kept = entries_;
    std::set<std::string> named;
    for (const IndexEntry& entry : entries_) named.insert(entry.file);
    for (IndexEntry& entry : earlier ? *earlier : std::vector<IndexEntry>{}) {
        if (named.contains(entry.file) || !FileThere(folder, entry.file)) continue;
        if (!entry.video_file.empty() && !FileThere(folder, entry.video_file)) entry.video_file.clear();
        named.insert(entry.file);
        kept.push_back(std::move(entry));
    }
    PictureFile file(folder);
    if (!file.IsOpen() || !file.Write(IndexJson(kept)) || !file.ReplaceAt(std::string(kAlbumIndexName))) {
        return std::string(kAlbumIndexName) + "无法写入（" + WriteFailureReason(file.Error()) + "）";
    }
    return unread.empty() ? std::string() : std::string(kAlbumIndexName) + unread + "，已按本次下载的照片重写";
}

}  // namespace wa
