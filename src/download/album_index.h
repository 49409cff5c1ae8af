// 相册索引.json beside an album's pictures: one entry a saved photo, with its
// file, its live video's file, its ids, its post's text and address, its
// upload time and where it came from. Each run rewrites it whole through a
// temporary file, keeping the entries of earlier runs whose files are still
// there. Its name ends in .json, which no picture or video name does.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wa {

inline constexpr std::string_view kAlbumIndexName = "相册索引.json";

struct IndexEntry {
    std::string file;        // the picture's name in the album's folder
    std::string video_file;  // its live video's, when one was saved
    std::string photo_id;
    std::string post_id;
    std::string post_url;
    std::string caption;  // the post's text as written
    std::optional<std::int64_t> upload_seconds;
    std::string door;  // the key of the door it came by
    std::string url;   // the picture's address

    friend bool operator==(const IndexEntry&, const IndexEntry&) = default;
};

// The index's text: a JSON array, an entry a line, every string valid UTF-8
// however the service wrote it; a field nobody knows is left out.
std::string IndexJson(const std::vector<IndexEntry>& entries);
// The entries of an index's text; none when it is not one.
std::optional<std::vector<IndexEntry>> ReadIndexJson(std::string_view text);

class AlbumIndex {
public:
    // A photo saved (or found there already) under `entry.file`.
    void Saved(IndexEntry entry);
    // Its live video, saved beside the picture `still`.
    void VideoSaved(const std::string& still, const std::string& video_file);
    bool Empty() const { return entries_.empty(); }

    // Rewrites the index in the album's folder (an open descriptor): this
    // run's entries, then those of earlier runs whose file is still there and
    // that this run did not save again. Writes nothing when there is nothing
    // to keep and no index yet. What the log is to say: why it could not be
    // written, or that an index that was none was written anew; else empty.
    std::string Write(int folder) const;

private:
    std::vector<IndexEntry> entries_;
};

}  // namespace wa
