#include "doors/registry.h"

#include <cstdio>
#include <ctime>
#include <random>

#include "util/date_time.h"

namespace wa {

// Each door module gives its one door.
const Door& PhotoServiceDoor();
const Door& AlbumTabDoor();

const std::vector<const Door*>& AllDoors() {
    static const std::vector<const Door*> doors = {&PhotoServiceDoor(), &AlbumTabDoor()};
    return doors;
}

std::optional<long long> PhotoCountOf(std::string_view text) {
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    return std::stoll(std::string(text));
}

std::string UnnamedAlbumName() {
    thread_local std::mt19937 engine{std::random_device{}()};
    return "未知名称随机数字" + std::to_string(std::uniform_int_distribution<int>(100, 1000)(engine));
}

const Door* DoorOfKey(std::string_view key) {
    for (const Door* door : AllDoors()) {
        if (door->Words().key == key) return door;
    }
    return nullptr;
}

std::string DoorKeyOfSetting(std::string_view setting) {
    for (const Door* door : AllDoors()) {
        if (door->Words().setting == setting) return std::string(door->Words().key);
    }
    return {};
}

std::string_view DoorSettingOfKey(std::string_view key) {
    const Door* door = DoorOfKey(key);
    return door ? door->Words().setting : kAutoDoorWords.setting;
}

namespace {

// The door's listing, each album stamped with the door it came through.
AlbumListing ListThrough(const Door& door, std::string_view uid, const ServiceRequest& request) {
    AlbumListing listing = door.ListAlbums(uid, request);
    listing.door = door.Words().key;
    for (AlbumRef& album : listing.albums) album.door = listing.door;
    return listing;
}

bool Closed(const AlbumListing& listing) {
    return listing.problem == ListingProblem::kNoAnswer || listing.problem == ListingProblem::kLoginNeeded;
}

}  // namespace

AlbumListing ListAlbums(std::string_view uid, std::string_view door_key, const ServiceRequest& request,
                        DoorMemory* memory) {
    if (const Door* door = DoorOfKey(door_key)) return ListThrough(*door, uid, request);
    const auto log = [&request](const std::string& line) {
        if (request.log) request.log(line);
    };
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    // A door found closed within the day is asked last, if at all.
    std::vector<const Door*> order;
    std::vector<const Door*> remembered;
    for (const Door* door : AllDoors()) {
        const std::optional<std::int64_t> at = memory ? memory->ClosedAt(door->Words().key) : std::nullopt;
        // A time to come, or long gone, is no memory (nor an overflow).
        if (!at || *at > now || *at <= now - kClosedDoorRemembered) {
            order.push_back(door);
            continue;
        }
        remembered.push_back(door);
    }
    for (const Door* door : remembered) {
        if (order.empty()) break;  // every door closed lately: each is asked
        const std::int64_t at = *memory->ClosedAt(door->Words().key);
        log(std::string(door->Words().label) + "于" + LocalMinuteText(at) + "无法获取相册列表，" +
            LocalMinuteText(at + kClosedDoorRemembered) + "之前直接从" + std::string(order.front()->Words().label) + "获取");
    }
    order.insert(order.end(), remembered.begin(), remembered.end());
    std::optional<AlbumListing> first;
    std::optional<AlbumListing> login_wall;
    std::vector<const Door*> closed;  // gave no answer this time
    for (std::size_t i = 0; i < order.size(); ++i) {
        const Door& door = *order[i];
        AlbumListing listing = ListThrough(door, uid, request);
        if (!Closed(listing)) {
            if (memory && listing.problem == ListingProblem::kNone) {
                memory->SetClosed(door.Words().key, std::nullopt);  // open, whatever it was
                for (const Door* earlier : closed) memory->SetClosed(earlier->Words().key, now);
            }
            return listing;
        }
        if (listing.problem == ListingProblem::kNoAnswer) closed.push_back(&door);
        if (listing.problem == ListingProblem::kLoginNeeded && !login_wall) login_wall = listing;
        if (!first) first = listing;
        if (i + 1 < order.size()) {
            log(std::string(door.Words().label) + "无法获取相册列表，改从" + std::string(order[i + 1]->Words().label) + "获取");
        }
    }
    // A login wall on any door is what the user can act on.
    if (login_wall) return *login_wall;
    return first ? *first : AlbumListing{{}, ListingProblem::kNoAnswer, "", ""};
}

std::unique_ptr<PhotoSource> SourceOf(const AlbumRef& album, const SourceContext& context) {
    const Door* door = DoorOfKey(album.door);
    return door ? door->SourceOf(album, context) : nullptr;
}

std::optional<AlbumRef> AlbumOfKey(std::string_view key) {
    for (const Door* door : AllDoors()) {
        if (std::optional<AlbumRef> album = door->AlbumOfKey(key)) {
            album->door = door->Words().key;
            return album;
        }
    }
    return std::nullopt;
}

}  // namespace wa
