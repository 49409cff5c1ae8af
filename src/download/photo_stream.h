// The photos of an album in the order it lists them, read page by page from
// its door only as far as the run gets to them, each with the sequence
// number it is named by. Between them stand the beginnings and ends of
// pages, so that what is said of a page is said when the run comes to it,
// however early the page was read.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "doors/photo_source.h"

namespace wa {

// What becomes of a photo, decided as the run plans its pictures.
enum class Decision { kUndecided, kEndOfWindow, kRecorded, kOutsideWindow, kUnknownDate, kBadAddress, kFetch };

class PhotoStream {
public:
    struct Item {
        enum class Kind { kPageStart, kPhoto, kPageEnd };
        Kind kind = Kind::kPhoto;
        PhotoPage page;                  // kPageStart: the page, its photos taken out
        PhotoRecord photo;               // kPhoto
        // kPhoto: its place among the album's numbers, from 1; kPageStart: the
        // numbers the pages before it take up.
        long long sequence = 0;
        Decision decision = Decision::kUndecided;  // kPhoto
        bool asked_again = false;                  // kPhoto: a picture a run before could not get
        std::vector<std::string> lines;  // kPageEnd: what is said once the page's photos are done
    };

    // Cuts a page before the first photo the album's last complete run had
    // saved; true when it did, and no page after it is wanted.
    using Cut = std::function<bool(PhotoPage& page)>;

    // `numbered`: the sequence numbers taken before the first page read.
    PhotoStream(PhotoSource& source, Cut cut, long long numbered = 0);

    // The item `index` (0 for the first one read): read as far as it when
    // `wait`, else only from pages that have come; nullptr past the end, or
    // not yet there.
    Item* At(long long index, bool wait);
    // Forgets the first item, which the run is done with.
    void DropFirst();
    long long First() const { return first_; }

    // The sequence numbers the pages read so far take up.
    long long Numbered() const { return numbered_; }
    // The first photo of the first page read.
    const std::optional<PhotoRecord>& Newest() const { return newest_; }
    // True once the door has no more pages, or a page ended the reading.
    bool Ended() const { return ended_; }
    // Where the pages not read yet begin; none when there are none.
    std::optional<PageMark> Unread() const;

private:
    bool Read(bool wait);

    PhotoSource& source_;
    Cut cut_;
    std::deque<Item> items_;
    long long first_ = 0;  // the index of items_.front()
    long long numbered_ = 0;
    std::optional<PhotoRecord> newest_;
    int last_page_ = 0;
    std::string next_cursor_;  // where the page after the last one read begins
    bool ended_ = false;
};

}  // namespace wa
