// The photos of an album-tab album: its wall or album pages by cursor, each
// picture completed from its post (caption, upload time, address, video),
// every post asked for once per run.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "download/photo_source.h"
#include "weibo/album_tab.h"

namespace wa {

// The posts a run has read, shared by its albums: the wall and the named
// albums hold the same pictures.
class PostCache {
public:
    std::optional<Post> Find(const std::string& mid) const;
    void Add(const std::string& mid, const Post& post);

private:
    mutable std::mutex mutex_;
    std::map<std::string, Post> posts_;
};

std::unique_ptr<PhotoSource> MakeAlbumTabSource(const AlbumEntry& entry, const std::string& uid,
                                                const DownloadContext& context, DownloadHost& host, bool ahead);

}  // namespace wa
