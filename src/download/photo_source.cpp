#include "download/photo_source.h"

#include "download/album_download.h"
#include "download/album_tab_source.h"
#include "download/download_host.h"
#include "weibo/service_request.h"

namespace wa {
namespace {

// The photo service's numbered pages: the pages the count gives, then on
// while the count was wrong or pages are shorter than asked for: the last
// page was full, or it held photos and fewer than the count have been listed.
class PhotoServiceSource : public PhotoSource {
public:
    PhotoServiceSource(const AlbumEntry& entry, std::string uid, const DownloadContext& context, DownloadHost& host,
                       bool ahead)
        : uid_(std::move(uid)), id_text_(entry.id_text), pages_(PhotoPageCount(entry.count)),
          count_(CountValue(entry.count)), wait_(context.page_wait), ahead_(ahead), fetcher_(host, context.job) {}

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

private:
    bool Wants(int number) const {
        if (empty_in_a_row_ >= kMaxEmptyPagesInARow) return false;
        if (number <= pages_) return true;
        if (number > kMaxPhotoPages) return false;
        return last_full_ || (!last_empty_ && listed_ < count_);
    }

    PageFetcher::Fetch Fetch(int number) const {
        return [this, number](const ServiceRequest& request) {
            PhotoPage page = FetchPhotoPage(uid_, id_text_, number, request, wait_);
            page.number = number;
            return page;
        };
    }

    std::string uid_;
    std::string id_text_;
    int pages_;
    long long count_;
    AttemptWait wait_;
    bool ahead_;
    int page_ = 0;
    long long listed_ = 0;
    bool last_full_ = false;
    bool last_empty_ = false;
    int empty_in_a_row_ = 0;
    PageFetcher fetcher_;
};

}  // namespace

ServiceRequest PageFetcher::Request(std::function<void(const std::string&)> log) {
    ServiceRequest request;
    request.job = job_;
    request.log = std::move(log);
    // A countdown is shown at once, also while the page is fetched ahead.
    request.countdown = [this](long long left) {
        host_.SetLabel(StatusLabel::kStatusLine, left > 0 ? RateLimitWaitText(left) : "");
    };
    return request;
}

PageFetcher::~PageFetcher() {
    if (next_.valid()) next_.wait();
}

void PageFetcher::Ahead(int number, Fetch fetch) {
    if (next_.valid()) return;
    next_number_ = number;
    next_ = std::async(std::launch::async, [this, fetch = std::move(fetch)] {
        return fetch(Request([this](const std::string& line) { held_.push_back(line); }));
    });
}

PhotoPage PageFetcher::Get(int number, const Fetch& fetch) {
    if (next_.valid() && next_number_ == number) {
        PhotoPage page = next_.get();
        for (const std::string& line : held_) host_.AppendLog(line);
        held_.clear();
        return page;
    }
    if (next_.valid()) {  // a page that is not wanted after all
        next_.wait();
        next_ = {};
        held_.clear();
    }
    return fetch(Request([this](const std::string& line) { host_.AppendLog(line); }));
}

void PageFetcher::Log(const std::string& line) { host_.AppendLog(line); }

std::unique_ptr<PhotoSource> MakePhotoSource(const AlbumEntry& entry, const std::string& uid,
                                             const DownloadContext& context, DownloadHost& host, bool ahead) {
    if (IsAlbumTabId(entry.id_text)) return MakeAlbumTabSource(entry, uid, context, host, ahead);
    return std::make_unique<PhotoServiceSource>(entry, uid, context, host, ahead);
}

}  // namespace wa
