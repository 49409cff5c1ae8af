#include "weibo/album_list.h"

#include <json-c/json.h>

#include <algorithm>
#include <random>

#include "util/escapes.h"
#include "util/text.h"
#include "weibo/album_tab.h"
#include "util/json_text.h"
#include "weibo/service_request.h"
#include "weibo/weibo_service.h"

namespace wa {
std::string UnnamedAlbumName() {
    thread_local std::mt19937 engine{std::random_device{}()};
    return "未知名称随机数字" + std::to_string(std::uniform_int_distribution<int>(100, 1000)(engine));
}

std::vector<AlbumInfo> ReadAlbumList(std::string_view text) {
    std::vector<AlbumInfo> albums;
    const JsonDocument document = ParseJson(text);
    json_object* list = DataList(document.get(), "album_list");
    if (!list) return albums;
    // No user has more albums; the list asks for 6355.
    const std::size_t count = std::min<std::size_t>(json_object_array_length(list), kMaxAlbums);
    for (std::size_t i = 0; i < count; ++i) {
        json_object* album = json_object_array_get_idx(list, i);
        AlbumInfo info;
        info.name = UnescapeText(RemoveChars(MemberJsonText(album, "caption"), "\""));
        if (info.name.empty()) info.name = UnnamedAlbumName();
        info.cover_url = RemoveChars(MemberJsonText(album, "cover_pic"), "\"\\");
        info.count = RemoveChars(MemberJsonText(JsonMember(album, "count"), "photos"), "\"");
        info.album_id = RemoveChars(MemberJsonText(album, "album_id"), "\"");
        info.type = RemoveChars(MemberJsonText(album, "type"), "\"");
        albums.push_back(std::move(info));
    }
    return albums;
}

AlbumListing ReadAlbumListing(std::string_view body, std::string_view url) {
    AlbumListing listing;
    if (IsUnknownUserPage(body)) {
        listing.problem = ListingProblem::kUnknownUser;
    } else if (IsLoginWall(body)) {
        listing.problem = ListingProblem::kLoginNeeded;
    } else if (DataList(ParseJson(body).get(), "album_list")) {
        listing.albums = ReadAlbumList(body);
    } else {
        listing.problem = ListingProblem::kNoAnswer;
        FailedAnswer unusable;
        unusable.status = 200;
        listing.reason = FailureReason(url, unusable);
    }
    return listing;
}

AlbumListing FetchAlbumList(std::string_view uid, const ServiceRequest& request) {
    const std::string url = AlbumListUrl(CurrentService(), uid);
    const ServiceAnswer answer = FetchFromService(url, request);
    AlbumListing listing;
    const std::string& body = answer.fetch.body;
    if (answer.stopped) {
        listing.problem = ListingProblem::kStopped;
    } else if (answer.login_redirect) {
        listing.problem = ListingProblem::kLoginNeeded;
    } else if (answer.fetch.status == 200 || IsLoginWall(body) || IsUnknownUserPage(body)) {
        listing = ReadAlbumListing(body, url);
    } else {
        // No answer, a server error, or still "too many requests".
        listing.problem = ListingProblem::kNoAnswer;
        listing.reason = FailureReason(url, answer.fetch.Answer());
    }
    return listing;
}

AlbumListing ListAlbums(std::string_view uid, AlbumDoor door, const ServiceRequest& request) {
    if (door == AlbumDoor::kAlbumTab) return FetchAlbumTabList(uid, request);
    AlbumListing photo_service = FetchAlbumList(uid, request);
    const bool closed = photo_service.problem == ListingProblem::kNoAnswer ||
                        photo_service.problem == ListingProblem::kLoginNeeded;
    if (door == AlbumDoor::kPhotoService || !closed) return photo_service;
    if (request.log) request.log("相册服务无法获取相册列表，改从相册页获取\r\n");
    AlbumListing album_tab = FetchAlbumTabList(uid, request);
    if (album_tab.problem == ListingProblem::kNone || album_tab.problem == ListingProblem::kStopped) return album_tab;
    // A login wall on either door is what the user can act on.
    if (album_tab.problem == ListingProblem::kLoginNeeded) return album_tab;
    return photo_service;
}

}  // namespace wa
