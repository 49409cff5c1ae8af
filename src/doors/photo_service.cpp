#include "doors/photo_service.h"

#include <json-c/json.h>

#include <algorithm>
#include <charconv>
#include <random>

#include "net/http_text.h"
#include "net/net_failure.h"
#include "util/escapes.h"
#include "util/json_text.h"
#include "util/text.h"
#include "weibo/weibo_service.h"

namespace wa {

std::string AlbumListUrl(const ServiceAddresses& service, std::string_view uid) {
    return HostBase(service, kPhotoServiceHost) + "/albums/get_all?uid=" + std::string(uid) + "&count=6355";
}

std::string PhotoPageUrl(const ServiceAddresses& service, std::string_view uid, std::string_view album_id, int page,
                         std::string_view type, std::string_view random_fraction) {
    std::string url = HostBase(service, kPhotoServiceHost) + "/photos/get_all?uid=";
    url += uid;
    url += "&album_id=";
    url += album_id;
    url += "&count=100&page=" + std::to_string(page) + "&type=";
    url += type;
    url += "&__rnd=";
    url += random_fraction;
    return url;
}

std::string LargePictureUrl(std::string_view pic_host, std::string_view pic_name) {
    return std::string(pic_host) + "/large/" + std::string(pic_name);
}

std::optional<std::int64_t> UploadSeconds(std::string_view timestamp_text) {
    const std::optional<long long> value = PhotoCountOf(timestamp_text);
    if (!value) return std::nullopt;
    return *value > 9'999'999'999LL ? *value / 1000 : *value;
}

AlbumKey SplitAlbumIdText(std::string_view text) {
    const std::vector<std::string> pieces = SplitText(text, "@@");
    if (pieces.size() == 2) return {pieces[0], pieces[1]};
    return {std::string(text), ""};
}

namespace {

// A string member's text as written, zero characters and all; empty when it
// is missing or null, the JSON text of anything else.
std::string PlainText(json_object* object, const char* name) {
    json_object* value = JsonMember(object, name);
    if (!value) return {};
    if (!json_object_is_type(value, json_type_string)) return JsonText(value);
    return {json_object_get_string(value), static_cast<std::size_t>(json_object_get_string_len(value))};
}

}  // namespace

std::vector<AlbumRef> ReadAlbumList(std::string_view text) {
    std::vector<AlbumRef> albums;
    const JsonDocument document = ParseJson(text);
    json_object* list = DataList(document.get(), "album_list");
    if (!list) return albums;
    const std::size_t count = std::min<std::size_t>(json_object_array_length(list), kMaxAlbums);
    for (std::size_t i = 0; i < count; ++i) {
        json_object* album = json_object_array_get_idx(list, i);
        AlbumRef ref;
        ref.name = UnescapeText(RemoveChars(MemberJsonText(album, "caption"), "\""));
        if (ref.name.empty()) ref.name = UnnamedAlbumName();
        ref.cover_url = PlainText(album, "cover_pic");
        ref.count = PhotoCountOf(RemoveChars(MemberJsonText(JsonMember(album, "count"), "photos"), "\""));
        ref.id = RemoveChars(MemberJsonText(album, "album_id"), "\"");
        ref.type = RemoveChars(MemberJsonText(album, "type"), "\"");
        ref.key = ref.id + "@@" + ref.type;
        albums.push_back(std::move(ref));
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

namespace {

PhotoRecord ReadPhoto(json_object* photo) {
    PhotoRecord record;
    record.photo_id = RemoveChars(MemberJsonText(photo, "photo_id"), "\"");
    record.upload_seconds = UploadSeconds(RemoveChars(MemberJsonText(photo, "timestamp"), "\""));
    const std::string host = RemoveChars(MemberJsonText(photo, "pic_host"), "\\\"");
    const std::string name = RemoveChars(MemberJsonText(photo, "pic_name"), "\\\"");
    record.picture_url = LargePictureUrl(host, name);
    // A picture the list names fully, on an http(s) server.
    record.addressable = IsWebAddress(record.picture_url) && !name.empty() && name != "null";
    record.caption = PlainText(photo, "caption_render");
    // The post the photo came with, where the list names it.
    const std::string mid = RemoveChars(MemberJsonText(photo, "mid"), "\"");
    if (IsPostId(mid)) record.post_id = mid;
    if (name.find(".gif") != std::string::npos) record.kind = PhotoKind::kGif;
    // A live photo's video, when the answer carries one.
    if (json_object* video = JsonMember(photo, "video"); video && json_object_is_type(video, json_type_string)) {
        record.kind = PhotoKind::kLive;
        record.video_url = LiveVideoUrl(json_object_get_string(video));
    }
    return record;
}

}  // namespace

std::optional<std::vector<PhotoRecord>> ReadPhotoPage(std::string_view text, std::size_t* left_out) {
    std::vector<PhotoRecord> records;
    const JsonDocument document = ParseJson(text);
    json_object* list = DataList(document.get(), "photo_list");
    if (!list) return std::nullopt;
    const std::size_t listed = json_object_array_length(list);
    const std::size_t count = std::min(listed, kMaxPhotosPerAnswer);
    if (left_out) *left_out = listed - count;
    records.reserve(count);
    for (std::size_t i = 0; i < count; ++i) records.push_back(ReadPhoto(json_object_array_get_idx(list, i)));
    return records;
}

PhotoPage FetchPhotoPage(std::string_view uid, std::string_view album_id, std::string_view type, int page,
                         const ServiceRequest& request, const AttemptWait& wait) {
    const std::string url = PhotoPageUrl(CurrentService(), uid, album_id, page, type, RandomFraction());
    PhotoPage result;
    result.number = page;
    const Attempts attempts = FetchWithAttempts(url, request, wait, [&result, uid](const std::string& text) {
        std::optional<std::vector<PhotoRecord>> records = ReadPhotoPage(text, &result.left_out);
        if (records) result.photos = std::move(*records);
        for (PhotoRecord& photo : result.photos) photo.post_url = PostAddress(uid, photo.post_id);
        return records.has_value();
    });
    result.Took(attempts);
    result.numbers = result.fetched ? static_cast<long long>(result.photos.size()) : kPhotosPerPage;
    return result;
}

std::string RandomFraction() {
    thread_local std::mt19937_64 engine{std::random_device{}()};
    std::uniform_real_distribution<double> draw(0.0, 1.0);
    char buffer[40];
    while (true) {
        // Always a full stop, whatever the program's numeric locale.
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, draw(engine), std::chars_format::general, 15).ptr;
        const std::string_view drawn(buffer, static_cast<std::size_t>(end - buffer));
        const std::string text = drawn.starts_with('0') ? std::string(drawn) : "0" + std::string(drawn);
        if (text.size() == 17) return text;
    }
}

}  // namespace wa
