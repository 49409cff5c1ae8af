// One album as a door to the photos listed it: the value the listing, the
// window's rows, the command line and the engine pass from hand to hand,
// never turned into text and parsed back.
#pragma once

#include <optional>
#include <string>

namespace wa {

struct AlbumRef {
    std::string door;                  // the door it was listed through: its key ("photo", "page")
    std::string id;                    // the album's id behind that door
    std::string type;                  // the photo service's album type; empty elsewhere
    std::optional<std::string> count;  // the photo count as the door wrote it; none where no count is told
    std::string name;                  // escapes decoded; a stand-in when the album has none
    std::string cover_url;             // may be empty
    // How the album is named outside the program, given by its door: what
    // `albums` prints ("3550000000@@3", "page:wall"), what a sync list holds
    // and what the record store keeps its last complete run under.
    std::string key;

    // An album whose count reads "0" is not listed.
    bool IsEmpty() const { return count && *count == "0"; }
};

// "未知名称随机数字" and a random number from 100 to 1000: an album without a name.
std::string UnnamedAlbumName();

}  // namespace wa
