#include "download/retry_source.h"

#include <utility>

#include "doors/registry.h"

namespace wa {

using FailedItem = RecordStore::FailedItem;

RetrySource::RetrySource(const AlbumRef& album, const std::vector<FailedItem>& items, SourceContext context)
    : album_(album), context_(std::move(context)) {
    for (const FailedItem& item : items) {
        if (item.kind == FailedItem::Kind::kPicture) pictures_.push_back(item);
        if (item.kind == FailedItem::Kind::kPages) marks_.push_back(item.pages);
    }
}

bool RetrySource::DoorKnown() const { return DoorOfKey(album_.door) != nullptr; }

std::optional<PhotoPage> RetrySource::Next() {
    if (!pictures_given_) {
        pictures_given_ = true;
        if (!pictures_.empty()) {
            PhotoPage page;
            page.fetched = true;
            page.asked_again = true;
            for (const FailedItem& item : pictures_) {
                page.photos.push_back(item.photo);
                page.sequences.push_back(item.sequence);
            }
            return page;
        }
    }
    while (true) {
        if (!pages_) {
            if (next_mark_ == marks_.size()) return std::nullopt;
            SourceContext from = context_;
            from.resume = marks_[next_mark_++];
            pages_ = SourceOf(album_, from);
            first_of_mark_ = true;
            if (!pages_) continue;
        }
        std::optional<PhotoPage> page = pages_->Next();
        if (!page) {
            pages_.reset();
            continue;
        }
        if (std::exchange(first_of_mark_, false)) page->numbered_from = marks_[next_mark_ - 1].numbered;
        return page;
    }
}

bool RetrySource::Ready() const {
    if (!pictures_given_) return true;
    return pages_ ? pages_->Ready() : next_mark_ == marks_.size();
}

void RetrySource::FetchAhead() {
    if (pages_) pages_->FetchAhead();
}

std::string RetrySource::FreshVideoUrl(const PhotoRecord& photo) {
    if (!signing_) signing_ = SourceOf(album_, context_);
    return signing_ ? signing_->FreshVideoUrl(photo) : std::string();
}

}  // namespace wa
