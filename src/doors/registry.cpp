#include "doors/registry.h"

#include <random>

namespace wa {

// Each door module gives its one door.
const Door& PhotoServiceDoor();
const Door& AlbumTabDoor();

const std::vector<const Door*>& AllDoors() {
    static const std::vector<const Door*> doors = {&PhotoServiceDoor(), &AlbumTabDoor()};
    return doors;
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

bool Closed(const AlbumListing& listing) {
    return listing.problem == ListingProblem::kNoAnswer || listing.problem == ListingProblem::kLoginNeeded;
}

}  // namespace

AlbumListing ListAlbums(std::string_view uid, std::string_view door_key, const ServiceRequest& request) {
    if (const Door* door = DoorOfKey(door_key)) return door->ListAlbums(uid, request);
    std::optional<AlbumListing> first;
    std::optional<AlbumListing> login_wall;
    const std::vector<const Door*>& doors = AllDoors();
    for (std::size_t i = 0; i < doors.size(); ++i) {
        AlbumListing listing = doors[i]->ListAlbums(uid, request);
        if (!Closed(listing)) return listing;
        if (listing.problem == ListingProblem::kLoginNeeded && !login_wall) login_wall = listing;
        if (!first) first = listing;
        if (i + 1 < doors.size() && request.log) {
            request.log(std::string(doors[i]->Words().label) + "无法获取相册列表，改从" +
                        std::string(doors[i + 1]->Words().label) + "获取");
        }
    }
    // A login wall on any door is what the user can act on.
    return login_wall ? *login_wall : *first;
}

std::unique_ptr<PhotoSource> SourceOf(const AlbumRef& album, const SourceContext& context) {
    const Door* door = DoorOfKey(album.door);
    return door ? door->SourceOf(album, context) : nullptr;
}

std::optional<AlbumRef> AlbumOfKey(std::string_view key) {
    for (const Door* door : AllDoors()) {
        if (std::optional<AlbumRef> album = door->AlbumOfKey(key)) return album;
    }
    return std::nullopt;
}

}  // namespace wa
