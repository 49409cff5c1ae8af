#include "download/user_albums.h"

#include <optional>

#include "doors/registry.h"
#include "download/record_store.h"
#include "util/folders.h"
#include "util/job_token.h"
#include "weibo/service_request.h"

namespace wa {
namespace {

// The doors found closed, kept in the user's record store.
class StoreDoorMemory : public DoorMemory {
public:
    StoreDoorMemory(const std::string& program_folder, const std::string& uid) {
        OpenUserStore(store_, program_folder, uid, true);
    }
    std::optional<std::int64_t> ClosedAt(std::string_view door) override { return store_.DoorClosedAt(door); }
    void SetClosed(std::string_view door, std::optional<std::int64_t> at) override { store_.SetDoorClosed(door, at); }

private:
    RecordStore store_;
};

}  // namespace

std::string ListingEndLine(const AlbumListing& listing) {
    switch (listing.problem) {
        case ListingProblem::kStopped: return {};
        case ListingProblem::kLoginNeeded: return std::string(kLoginNeededLine);
        case ListingProblem::kNoAnswer: return "相册列表获取失败：" + listing.reason;
        case ListingProblem::kUnknownUser: return std::string(kUnknownUserLine);
        case ListingProblem::kNoUserPage: return std::string(kNoUserPageLine);
        case ListingProblem::kNone: break;
    }
    return listing.albums.empty() ? "获取到相册个数为：0" : "";
}

UserAlbums FindUserAlbums(std::string_view typed, std::string_view door_key, const ServiceRequest& request,
                          const std::function<void(const ResolvedUser& user)>& user_found,
                          const std::string& program_folder) {
    UserAlbums found;
    const UserLookup lookup = ResolveUserPage(typed, request.job, request.pacer);
    if (request.job && request.job->StopRequested()) {
        found.listing.problem = ListingProblem::kStopped;
        return found;
    }
    // A visitor page, or a page that names no user, is no user: its title is
    // not taken for one.
    if (lookup.login_wall) {
        found.listing.problem = ListingProblem::kLoginNeeded;
        return found;
    }
    if (lookup.user.uid.empty()) {
        const std::string address = HomeAddressOf(typed);
        const bool names_a_user = !UidFromAddress(address).empty() || !CustomNameFromAddress(address).empty();
        found.listing.problem = names_a_user ? ListingProblem::kUnknownUser : ListingProblem::kNoUserPage;
        return found;
    }
    found.user = lookup.user;
    if (user_found) user_found(found.user);
    std::optional<StoreDoorMemory> memory;
    if (!program_folder.empty()) memory.emplace(program_folder, found.user.uid);
    found.listing = ListAlbums(found.user.uid, door_key, request, memory ? &*memory : nullptr);
    std::erase_if(found.listing.albums, [](const AlbumRef& album) { return album.IsEmpty(); });
    return found;
}

}  // namespace wa
