// The doors to a user's photos, in the order 自动 tries them, and the rule
// that moves from one to the next.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "doors/door.h"

namespace wa {

// 自动 in commands ("auto"), in 配置.ini and on the settings page: every door in turn.
inline constexpr DoorWords kAutoDoorWords{"auto", "自动", "自动", "each door in turn", ""};

// Every door, in the order 自动 tries them.
const std::vector<const Door*>& AllDoors();

// The door of a key ("photo", "page"); nullptr for 自动 and for a key no
// door has.
const Door* DoorOfKey(std::string_view key);
// The key a value of 相册来源 in 配置.ini names; "" (自动) for any other word.
std::string DoorKeyOfSetting(std::string_view setting);
// The value 相册来源 is written as for a door's key ("" is 自动).
std::string_view DoorSettingOfKey(std::string_view key);

// How long 自动 goes past a door found closed before it asks it again.
inline constexpr std::int64_t kClosedDoorRemembered = 24 * 3600;

// The albums of `uid` through the door of `door_key`, or under 自动 ("" or
// "auto") through each door in turn: when one gives no usable answer (or a
// login page), the next is asked after the log line
// "<door>无法获取相册列表，改从<next door>获取". When none has albums, a login
// wall on any door stands, else the first door's finding. With a `memory`,
// 自动 remembers a door that gave no answer while a later one listed the
// albums, and for a day goes past it, saying so; a door that answers is
// forgotten as closed.
AlbumListing ListAlbums(std::string_view uid, std::string_view door_key, const ServiceRequest& request = {},
                        DoorMemory* memory = nullptr);

// The photos of an album, from the door that listed it; nullptr for an album
// of a door there is none of.
std::unique_ptr<PhotoSource> SourceOf(const AlbumRef& album, const SourceContext& context);

// The album an album key names ("3550000000@@3", "page:wall"), without its
// name or count; nullopt for a key no door knows.
std::optional<AlbumRef> AlbumOfKey(std::string_view key);

}  // namespace wa
