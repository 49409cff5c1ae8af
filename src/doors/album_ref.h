// One album as a door to the photos listed it: the value the listing, the
// window's rows, the command line and the engine pass from hand to hand,
// never turned into text and parsed back.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wa {

struct AlbumRef {
    std::string door;                  // the door it was listed through: its key ("photo", "page")
    std::string id;                    // the album's id behind that door
    std::string type;                  // the photo service's album type; empty elsewhere
    std::optional<long long> count;    // how many photos the door says it holds; none where it tells none
    std::string name;                  // escapes decoded; a stand-in when the album has none
    std::string cover_url;             // may be empty
    // How the album is named outside the program, given by its door: what
    // `albums` prints ("3550000000@@3", "page:wall"), what a sync list holds
    // and what the record store keeps its last complete run under.
    std::string key;

    // An album whose count is 0 is not listed.
    bool IsEmpty() const { return count == 0; }
};

// A count as a door writes it: digits, and no more than a count can be; none
// for anything else.
std::optional<long long> PhotoCountOf(std::string_view text);

// "未知名称随机数字" and a random number from 100 to 1000: an album without a name.
std::string UnnamedAlbumName();

}  // namespace wa
