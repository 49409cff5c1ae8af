// The photos a retry asks for again: first the pictures a run before could
// not get, as one page of their own, each with the number it was to be
// named by; then the pages that never came, each read through the album's
// door from where it begins, and no other page.
#pragma once

#include <memory>
#include <vector>

#include "doors/album_ref.h"
#include "doors/photo_source.h"
#include "download/record_store.h"

namespace wa {

class RetrySource : public PhotoSource {
public:
    // `items`: the album's failures; its videos are left to the run.
    RetrySource(const AlbumRef& album, const std::vector<RecordStore::FailedItem>& items, SourceContext context);

    std::optional<PhotoPage> Next() override;
    bool Ready() const override;
    void FetchAhead() override;
    std::string FreshVideoUrl(const PhotoRecord& photo) override;

    // False when the album's door is none there is: no page can be read.
    bool DoorKnown() const;

private:
    const AlbumRef& album_;
    SourceContext context_;
    std::vector<RecordStore::FailedItem> pictures_;
    std::vector<PageMark> marks_;
    std::size_t next_mark_ = 0;
    bool pictures_given_ = false;
    std::unique_ptr<PhotoSource> pages_;    // reading from the current mark
    bool first_of_mark_ = false;
    std::unique_ptr<PhotoSource> signing_;  // asks for fresh video links
};

}  // namespace wa
