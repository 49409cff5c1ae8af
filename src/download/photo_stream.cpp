#include "download/photo_stream.h"

namespace wa {

PhotoStream::PhotoStream(PhotoSource& source, Cut cut, long long numbered)
    : source_(source), cut_(std::move(cut)), numbered_(numbered) {}

PhotoStream::Item* PhotoStream::At(long long index, bool wait) {
    while (index - first_ >= static_cast<long long>(items_.size())) {
        if (!Read(wait)) return nullptr;
    }
    return index < first_ ? nullptr : &items_[static_cast<std::size_t>(index - first_)];
}

std::optional<PageMark> PhotoStream::Unread() const {
    if (ended_) return std::nullopt;
    return PageMark{last_page_ + 1, next_cursor_, numbered_, true};
}

void PhotoStream::DropFirst() {
    items_.pop_front();
    ++first_;
}

bool PhotoStream::Read(bool wait) {
    if (ended_ || (!wait && !source_.Ready())) return false;
    std::optional<PhotoPage> page = source_.Next();
    if (!page) {
        ended_ = true;
        return false;
    }
    ended_ = page->stopped || page->login_wall;
    if (page->numbered_from) numbered_ = *page->numbered_from;
    const long long numbered_before = numbered_;
    // Sequence numbers count the photos listed; a page that never came
    // keeps its numbers for when a later run gets it.
    numbered_ += page->numbers;
    if (!newest_ && !page->photos.empty() && !page->asked_again) newest_ = page->photos.front();
    // Past a photo the last complete run saved, every photo was saved then:
    // no later page is asked for.
    const bool reached_known = cut_ && cut_(*page);
    if (!reached_known && !ended_) source_.FetchAhead();  // asked for while this page's pictures download

    std::vector<PhotoRecord> photos = std::move(page->photos);
    const std::vector<long long> sequences = std::move(page->sequences);
    const bool asked_again = page->asked_again;
    page->photos.clear();
    Item start;
    start.kind = Item::Kind::kPageStart;
    start.sequence = numbered_before;
    last_page_ = page->number;
    next_cursor_ = page->next_cursor;
    start.page = std::move(*page);
    items_.push_back(std::move(start));
    long long sequence = numbered_before;
    for (std::size_t i = 0; i < photos.size(); ++i) {
        Item item;
        item.photo = std::move(photos[i]);
        item.sequence = i < sequences.size() ? sequences[i] : ++sequence;
        item.asked_again = asked_again;
        items_.push_back(std::move(item));
    }
    if (reached_known) {
        ended_ = true;
        const int left = source_.PagesLeft().value_or(0);
        Item end;
        end.kind = Item::Kind::kPageEnd;
        end.lines.push_back("只下载新照片：读到上次完整下载时最新的照片为止，其后" +
                            (left > 0 ? "还有" + std::to_string(left) + "页照片列表" : std::string("的照片列表")) +
                            "没有请求");
        items_.push_back(std::move(end));
    }
    return true;
}

}  // namespace wa
