// The photo service as a door: its album list, and its numbered pages read
// as far as the count says, then on while the count was wrong or the pages
// shorter than asked for.
#include <algorithm>

#include "doors/photo_service.h"

namespace wa {
namespace {

// How many pages of kPhotosPerPage an album of `count` photos takes (at least 1).
int PageCount(std::optional<long long> count) {
    const long long pages = count.value_or(0) / kPhotosPerPage + 1;
    return pages > 1'000'000 ? 1'000'000 : static_cast<int>(pages);
}

// The pages the count gives, then on while the last page was full, or it
// held photos and fewer than the count have been listed.
class PhotoServiceSource : public PhotoSource {
public:
    PhotoServiceSource(const AlbumRef& album, const SourceContext& context)
        : uid_(context.uid), album_id_(album.id), type_(album.type), pages_(PageCount(album.count)),
          count_(album.count.value_or(0)), wait_(context.page_wait), ahead_(context.ahead), fetcher_(context) {
        if (context.resume) {  // a page that never came, or from it on
            page_ = context.resume->number - 1;
            listed_ = context.resume->numbered;
            last_full_ = true;
            only_ = context.resume->to_end ? 0 : context.resume->number;
        }
    }

    std::optional<PhotoPage> Next() override {
        const int number = page_ + 1;
        if (!Wants(number)) return std::nullopt;
        PhotoPage page = fetcher_.Get(number, Fetch(number));
        page_ = number;
        const auto n = static_cast<long long>(page.photos.size());
        listed_ += n;
        last_full_ = n >= kPhotosPerPage;
        last_empty_ = n == 0;
        empty_in_a_row_ = last_empty_ ? empty_in_a_row_ + 1 : 0;
        return page;
    }

    void FetchAhead() override {
        if (ahead_ && Wants(page_ + 1)) fetcher_.Ahead(page_ + 1, Fetch(page_ + 1));
    }

    bool Ready() const override { return !Wants(page_ + 1) || fetcher_.Ready(page_ + 1); }

    std::optional<int> PagesLeft() const override { return std::max(0, pages_ - page_); }

private:
    bool Wants(int number) const {
        if (only_ != 0) return number == only_;
        if (empty_in_a_row_ >= kMaxEmptyPagesInARow) return false;
        if (number <= pages_) return true;
        if (number > kMaxPhotoPages) return false;
        return last_full_ || (!last_empty_ && listed_ < count_);
    }

    PageFetcher::Fetch Fetch(int number) const {
        return [this, number](const ServiceRequest& request) {
            return FetchPhotoPage(uid_, album_id_, type_, number, request, wait_);
        };
    }

    std::string uid_;
    std::string album_id_;
    std::string type_;
    int pages_;
    long long count_;
    AttemptWait wait_;
    bool ahead_;
    int page_ = 0;
    long long listed_ = 0;
    bool last_full_ = false;
    bool last_empty_ = false;
    int empty_in_a_row_ = 0;
    int only_ = 0;  // the one page wanted, when only one is
    PageFetcher fetcher_;
};

std::optional<AlbumRef> PhotoServiceAlbumOfKey(std::string_view key) {
    const AlbumKey parts = SplitAlbumIdText(key);
    if (parts.album_id.empty() || key.find(':') != std::string_view::npos) return std::nullopt;
    AlbumRef album;
    album.id = parts.album_id;
    album.type = parts.type;
    album.key = std::string(key);
    return album;
}

}  // namespace

const Door& PhotoServiceDoor() {
    static const DoorOf<PhotoServiceSource> door(
        {kPhotoServiceKey, "相册服务", "相册服务", "the photo service", "<album id>@@<type>, with a photo count"},
        FetchAlbumList, PhotoServiceAlbumOfKey, kPhotoServiceHost);
    return door;
}

}  // namespace wa
