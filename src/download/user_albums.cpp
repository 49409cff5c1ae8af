#include "download/user_albums.h"

#include <algorithm>

#include "doors/registry.h"
#include "util/job_token.h"

namespace wa {

UserAlbums FindUserAlbums(std::string_view typed, std::string_view door_key, const ServiceRequest& request,
                          const std::function<void(const ResolvedUser& user)>& user_found) {
    UserAlbums found;
    const UserLookup lookup = ResolveUserPage(typed, request.job);
    if (request.job && request.job->StopRequested()) {
        found.listing.problem = ListingProblem::kStopped;
        return found;
    }
    found.user = lookup.user;
    if (user_found) user_found(found.user);
    if (found.user.uid.empty()) {
        // No uid: the visitor page stood in the way, or there is no such user.
        found.listing.problem = lookup.login_wall ? ListingProblem::kLoginNeeded : ListingProblem::kUnknownUser;
        return found;
    }
    found.listing = ListAlbums(found.user.uid, door_key, request);
    std::erase_if(found.listing.albums, [](const AlbumRef& album) { return album.IsEmpty(); });
    return found;
}

}  // namespace wa
