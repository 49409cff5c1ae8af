// Finds the user a typed address names and lists the user's albums through
// the chosen door: the one listing the window and the command line share.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "doors/door.h"
#include "weibo/user_resolution.h"

namespace wa {

inline constexpr std::string_view kNoUserPageLine = "请先打开一个用户的主页";

struct UserAlbums {
    ResolvedUser user;      // no uid when none was found
    AlbumListing listing;   // the albums that hold photos, or why there are none
};

// Why a listing gave no albums, in the words the user reads: the login line,
// "相册列表获取失败：<reason>", the unknown-user line, kNoUserPageLine, or
// "获取到相册个数为：0"; empty when it was stopped or gave albums.
std::string ListingEndLine(const AlbumListing& listing);

// Resolves `typed` (an address, a uid or a custom name), tells `user_found`
// whom it found, then lists through the door of `door_key` ("" for 自动).
// Without a user the listing says why: a login wall (a visitor page is no
// user), an address that names no user (the site's home page), or a user
// nobody knows; nothing is listed then.
// Albums whose count reads 0 are left out. With a `program_folder`, the
// user's record store there remembers a door found closed.
UserAlbums FindUserAlbums(std::string_view typed, std::string_view door_key, const ServiceRequest& request,
                          const std::function<void(const ResolvedUser& user)>& user_found = {},
                          const std::string& program_folder = {});

}  // namespace wa
