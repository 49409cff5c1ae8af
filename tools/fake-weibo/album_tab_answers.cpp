// The fake's album tab: the picture wall, album pages by cursor, posts and
// pictures and live-photo videos by picture id.
#include <httplib.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <map>
#include <set>

#include "fake_answers.h"
#include "fake_weibo.h"

namespace wa::fake {

using namespace answers;

namespace {

// The first `count` characters of UTF-8 `text`.
std::string FirstCharacters(const std::string& text, int count) {
    std::size_t end = 0;
    for (int n = 0; end < text.size(); ++end) {
        const bool starts_character = (static_cast<unsigned char>(text[end]) & 0xC0) != 0x80;
        if (starts_character && n++ == count) break;
    }
    return text.substr(0, end);
}

// A post's short id as its address names it: letters and digits, made up
// from its number.
std::string MblogId(const std::string& mid) {
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    unsigned long long number = std::strtoull(mid.c_str(), nullptr, 10);
    std::string id;
    do {
        id.insert(id.begin(), kDigits[number % 62]);
        number /= 62;
    } while (number > 0);
    return id;
}

}  // namespace

const Photo* FakeWeibo::FindPid(const std::string& pid) const {
    for (const User& user : users_) {
        for (const Album& album : user.albums) {
            for (const Photo& photo : album.photos) {
                if (photo.pid == pid) return &photo;
            }
        }
    }
    return nullptr;
}

void FakeWeibo::ServeAlbumTab(const httplib::Request& request, httplib::Response& response) {
    std::lock_guard lock(mutex_);
    const User* user = FindUser(request.get_param_value("uid"));
    if (!user) {
        response.set_content("{\"ok\":0,\"msg\":\"用户不存在\"}", "application/json");
        return;
    }
    const bool wall = request.path == "/ajax/profile/getImageWall";
    // The wall holds every picture of the user, newest first; an album its own.
    std::vector<const Photo*> photos;
    std::string json_albums;
    if (wall) {
        std::set<std::string> seen;
        for (const Album& album : user->albums) {
            for (const Photo& photo : album.photos) {
                if (seen.insert(photo.pid).second) photos.push_back(&photo);
            }
            if (!json_albums.empty()) json_albums += ",";
            json_albums += "{\"pic_title\":" + JsonString(album.caption, false) + ",\"containerid\":\"" +
                           PercentEncoded(ContainerId(*user, album)) + "\",\"pic\":" +
                           JsonString(BaseUrl() + "/cover/" + album.album_id + ".jpg", false) + "}";
        }
        std::stable_sort(photos.begin(), photos.end(), [](const Photo* a, const Photo* b) { return a->timestamp > b->timestamp; });
    } else {
        const std::string containerid = request.get_param_value("containerid");
        for (const Album& album : user->albums) {
            if (ContainerId(*user, album) != containerid) continue;
            for (const Photo& photo : album.photos) photos.push_back(&photo);
        }
    }
    // Entries: a picture each, or its post once when the list names posts.
    std::vector<std::string> items;
    std::set<std::string> posts_named;
    for (const Photo* photo : photos) {
        const std::string type = photo->live ? "livephoto" : "pic";
        if (photo->listed_without_pid) {
            if (posts_named.insert(photo->mid).second) items.push_back("{\"mid\":\"" + photo->mid + "\",\"type\":\"pic\"}");
            continue;
        }
        items.push_back("{\"pid\":\"" + photo->pid + "\",\"mid\":\"" + photo->mid + "\",\"type\":\"" + type +
                        "\",\"timeline_year\":\"2014\",\"timeline_month\":\"5\"}");
    }
    std::string cursor = request.get_param_value(wall ? "sinceid" : "since_id");
    cursor = cursor.substr(0, cursor.find('x'));  // the padding
    std::size_t begin = 0;
    if (cursor.find('_') != std::string::npos) {
        begin = std::stoul(cursor.substr(cursor.find('_') + 1));
    } else if (!cursor.empty() && cursor != "0") {
        begin = std::stoul(cursor) - 1000;
    }
    const std::size_t size = static_cast<std::size_t>(std::max(1, user->tab_page_size));
    // A looping wall serves its first page again and again, each time with a cursor it never gave before.
    const std::size_t next = user->tab_loops ? begin + size : 0;
    if (user->tab_loops) begin = 0;
    const std::size_t end = std::min(items.size(), begin + size);
    std::string json = "{\"ok\":1,\"data\":{";
    const std::string padding(user->tab_cursor_padding, 'x');
    if (end < items.size() || user->tab_loops) {
        // The cursor of the next page: text on the wall, a number in albums.
        const std::size_t at = user->tab_loops ? next : end;
        if (wall) {
            json += "\"since_id\":\"4954_" + std::to_string(at) + padding + "\",";
        } else {
            const std::string number = std::to_string(1000 + at);
            json += "\"since_id\":" + (padding.empty() ? number : "\"" + number + padding + "\"") + ",";
        }
    } else {
        switch (user->tab_end) {
            case CursorEnd::kZero: json += "\"since_id\":0,"; break;
            case CursorEnd::kZeroText: json += "\"since_id\":\"0\","; break;
            case CursorEnd::kEmpty: json += "\"since_id\":\"\","; break;
            case CursorEnd::kMissing: break;
        }
    }
    json += "\"list\":[";
    for (std::size_t i = begin; i < end; ++i) json += (i == begin ? "" : ",") + items[i];
    json += "]";
    if (wall && request.get_param_value("has_album") == "true") json += ",\"album_list\":[" + json_albums + "]";
    response.set_content(json + "},\"bottom_tips_visible\":false}", "application/json");
}

std::string FakeWeibo::StatusJson(const std::string& mid, const std::vector<const Photo*>& pictures,
                                  const std::string& author, bool liked, int pic_cap) const {
    std::string ids;
    std::string infos;
    const auto now = static_cast<long long>(std::time(nullptr));
    int named = 0;
    for (const Photo* photo : pictures) {
        if (pic_cap > 0 && named == pic_cap) break;
        ++named;
        const std::string url = BaseUrl() + "/mw2000/" + photo->pid + ".jpg";
        const std::string type = photo->format == PictureFormat::kGif ? "gif" : photo->live ? "livephoto" : "pic";
        ids += (ids.empty() ? "\"" : ",\"") + photo->pid + "\"";
        infos += (infos.empty() ? "\"" : ",\"") + photo->pid + "\":{\"type\":\"" + type + "\",\"largest\":{\"url\":" +
                 JsonString(url, false) + "},\"large\":{\"url\":" + JsonString(url, false) + "}";
        if (photo->live) {
            // A signed link, good for an hour; one that had expired before it was asked for.
            const bool expired = photo->video_link_expired && expired_links_given_.insert(photo->pid).second;
            const std::string video = BaseUrl() + "/livephoto/" + photo->pid + photo->video_suffix +
                                      "?Expires=" + std::to_string(expired ? now - 60 : now + 3600) + "&ssig=x";
            infos += ",\"video\":" + JsonString(photo->wrapped_video
                                                    ? "https://video.weibo.com/media/play?livephoto=" + PercentEncoded(video)
                                                    : video,
                                                false);
        }
        infos += "}";
    }
    const std::int64_t time = pictures.empty() ? 0 : pictures.front()->timestamp;
    const bool long_text = !pictures.empty() && pictures.front()->long_text;
    std::string text = pictures.empty() ? std::string("今天天气不错") : pictures.front()->caption;
    if (long_text) text = FirstCharacters(text, 10) + "...展开";
    std::string json = "\"mid\":\"" + mid + "\",\"mblogid\":\"" + MblogId(mid) + "\",\"created_at\":\"" +
                       PostTime(time) + "\",\"text_raw\":" + JsonString(text, false) +
                       (long_text ? ",\"isLongText\":true" : "") + ",\"user\":{\"id\":" + author + "},\"pic_num\":" + std::to_string(pictures.size()) +
                       ",\"pic_ids\":[" + ids + "],\"pic_infos\":{" + infos + "}";
    if (liked) json += ",\"title\":{\"text\":\"赞过\"}";
    return json;
}

void FakeWeibo::ServeLongText(const httplib::Request& request, httplib::Response& response) {
    const std::string id = request.get_param_value("id");
    std::lock_guard lock(mutex_);
    for (const User& user : users_) {
        for (const Album& album : user.albums) {
            for (const Photo& photo : album.photos) {
                if (photo.mid.empty() || (photo.mid != id && MblogId(photo.mid) != id)) continue;
                response.set_content("{\"ok\":1,\"data\":{\"longTextContent\":" + JsonString(photo.caption, false) + "}}",
                                     "application/json");
                return;
            }
        }
    }
    response.set_content("{\"ok\":1,\"data\":{}}", "application/json");
}

void FakeWeibo::ServePost(const httplib::Request& request, httplib::Response& response) {
    const std::string mid = request.get_param_value("id");
    std::lock_guard lock(mutex_);
    std::vector<const Photo*> pictures;
    std::set<std::string> seen;
    std::string author;
    for (const User& user : users_) {
        for (const Album& album : user.albums) {
            for (const Photo& photo : album.photos) {
                if (photo.mid == mid && seen.insert(photo.pid).second) {
                    pictures.push_back(&photo);
                    author = user.uid;
                }
            }
        }
    }
    if (pictures.empty()) {
        response.set_content("{\"ok\":0,\"message\":\"该微博不存在\"}", "application/json");
        return;
    }
    for (const Photo* photo : pictures) {
        if (photo->followers_only) {
            response.set_content("{\"ok\":0,\"message\":\"暂无查看权限\",\"error_code\":20112}", "application/json");
            return;
        }
    }
    response.set_content("{\"ok\":1," + StatusJson(mid, pictures, author, false, 0) + "}", "application/json");
}

namespace {

// Post ids as numbers: longer is larger.
bool LaterPost(const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() > b.size() : a > b;
}

std::string OneBefore(const std::string& mid, int steps) {
    if (mid.empty() || mid.find_first_not_of("0123456789") != std::string::npos) return {};
    return std::to_string(std::stoll(mid) - steps);
}

}  // namespace

void FakeWeibo::ServeTimeline(const httplib::Request& request, httplib::Response& response) {
    std::lock_guard lock(mutex_);
    const User* user = FindUser(request.get_param_value("uid"));
    if (!user) {
        response.set_content("{\"ok\":0,\"msg\":\"用户不存在\"}", "application/json");
        return;
    }
    // The user's posts with pictures (each once; followers-only ones are not
    // shown), posts without pictures and posts of others the user liked.
    struct Entry {
        std::string mid;
        std::vector<const Photo*> pictures;
        std::string author;
        bool liked = false;
    };
    std::map<std::string, Entry> posts;
    for (const Album& album : user->albums) {
        for (const Photo& photo : album.photos) {
            Entry& entry = posts[photo.mid];
            entry.mid = photo.mid;
            entry.author = user->uid;
            if (std::none_of(entry.pictures.begin(), entry.pictures.end(), [&](const Photo* p) { return p->pid == photo.pid; })) {
                entry.pictures.push_back(&photo);
            }
        }
    }
    std::erase_if(posts, [](const auto& post) {
        return std::any_of(post.second.pictures.begin(), post.second.pictures.end(), [](const Photo* p) { return p->followers_only; });
    });
    std::vector<Entry> list;
    for (auto& [mid, entry] : posts) list.push_back(entry);
    const std::size_t picture_posts = list.size();
    for (int k = 0; k < user->text_posts && picture_posts > 0; ++k) {
        const std::string mid = OneBefore(list[static_cast<std::size_t>(k) % picture_posts].mid, 1 + k / static_cast<int>(picture_posts) * 10);
        if (!mid.empty()) list.push_back({mid, {}, user->uid, false});
    }
    for (int k = 0; k < user->liked_posts && picture_posts > 0; ++k) {  // beside the newest posts
        const std::string mid = OneBefore(list[picture_posts - 1 - static_cast<std::size_t>(k) % picture_posts].mid, 5);
        if (!mid.empty()) list.push_back({mid, {}, "9" + user->uid, true});
    }
    std::sort(list.begin(), list.end(), [](const Entry& a, const Entry& b) { return LaterPost(a.mid, b.mid); });
    if (user->timeline_depth >= 0 && list.size() > static_cast<std::size_t>(user->timeline_depth)) {
        list.resize(static_cast<std::size_t>(user->timeline_depth));
    }
    const std::string page_text = request.get_param_value("page");
    std::size_t page = page_text.empty() ? 1 : std::max<std::size_t>(1, std::stoul(page_text));
    if (user->timeline_same_cursor) page = 1;
    if (user->timeline_flood > 0) {
        response.set_content(FloodedTimelinePage(*user, page), "application/json");
        return;
    }
    const std::size_t size = static_cast<std::size_t>(std::max(1, user->timeline_page_size));
    const std::size_t begin = std::min(list.size(), (page - 1) * size);
    const std::size_t end = std::min(list.size(), begin + size);
    std::string items;
    if (user->timeline_pinned && page == 1 && picture_posts > 0) {
        const auto oldest = std::min_element(list.begin(), list.end(), [](const Entry& a, const Entry& b) {
            return !a.pictures.empty() && (b.pictures.empty() || LaterPost(b.mid, a.mid));
        });
        items = "{" + StatusJson(oldest->mid, oldest->pictures, oldest->author, false, 0) + ",\"isTop\":1}";
    }
    for (std::size_t i = begin; i < end; ++i) {
        const Entry& entry = list[i];
        std::string status;
        if (entry.liked) {
            // Another user's post with a picture of its own, which is never to be saved.
            status = "\"mid\":\"" + entry.mid + "\",\"created_at\":\"" + PostTime(1400000000) +
                     "\",\"text_raw\":\"赞过的微博\",\"user\":{\"id\":" + entry.author +
                     "},\"pic_num\":1,\"pic_ids\":[\"liked" + entry.mid + "\"],\"pic_infos\":{\"liked" + entry.mid +
                     "\":{\"type\":\"pic\",\"largest\":{\"url\":\"" + BaseUrl() + "/mw2000/liked" + entry.mid +
                     ".jpg\"}}},\"title\":{\"text\":\"赞过\"}";
        } else {
            status = StatusJson(entry.mid, entry.pictures, entry.author, false, user->timeline_pic_cap);
        }
        items += (items.empty() ? "{" : ",{") + status + "}";
    }
    const std::string cursor = end > begin ? list[end - 1].mid + std::string(user->timeline_cursor_padding, '0') : "";
    response.set_content("{\"ok\":1,\"data\":{\"since_id\":\"" + cursor + "\",\"list\":[" + items +
                             "],\"total\":" + std::to_string(list.size()) + "}}",
                         "application/json");
}

std::string FakeWeibo::FloodedTimelinePage(const User& user, std::size_t page) const {
    const std::string caption(2048, 'x');
    std::string items;
    for (int i = 0; i < user.timeline_flood; ++i) {
        const std::string mid =
            std::to_string(9'000'000'000'000'000'000ULL - page * static_cast<std::size_t>(user.timeline_flood) - i);
        std::string ids;
        std::string infos;
        for (int k = 0; k < 9; ++k) {
            const std::string pid = "flood" + mid + "p" + std::to_string(k);
            ids += (k ? ",\"" : "\"") + pid + "\"";
            infos += (k ? ",\"" : "\"") + pid + "\":{\"type\":\"pic\",\"largest\":{\"url\":\"" + BaseUrl() +
                     "/mw2000/" + pid + ".jpg\"}}";
        }
        items += std::string(i ? ",{" : "{") + "\"mid\":\"" + mid + "\",\"created_at\":\"" + PostTime(1400000000) +
                 "\",\"text_raw\":\"" + caption + "\",\"user\":{\"id\":" + user.uid + "},\"pic_num\":9,\"pic_ids\":[" +
                 ids + "],\"pic_infos\":{" + infos + "}}";
    }
    return "{\"ok\":1,\"data\":{\"since_id\":\"c" + std::to_string(page) + "\",\"list\":[" + items + "]}}";
}

void FakeWeibo::ServeByPid(const httplib::Request& request, httplib::Response& response, bool video) {
    std::string pid = request.get_param_value("pid");
    if (pid.empty()) {
        pid = request.path.substr(request.path.rfind('/') + 1);
        pid = pid.substr(0, pid.find('.'));
    }
    std::lock_guard lock(mutex_);
    if (hotlink_protection_ && request.get_header_value("Referer") != BaseUrl() + "/") {
        response.status = 403;
        response.set_content("<html><body>403 Forbidden</body></html>", "text/html");
        return;
    }
    const Photo* photo = FindPid(pid);
    if (!photo || (video && !photo->live)) {
        response.status = 404;
        response.set_content("<html><body>404</body></html>", "text/html");
        return;
    }
    if (video) {
        // A signed link works until it expires.
        const std::string expires = request.get_param_value("Expires");
        if (!expires.empty() && std::stoll(expires) < static_cast<long long>(std::time(nullptr))) {
            response.status = 403;
            response.set_content("<html><body>403 Forbidden</body></html>", "text/html");
            return;
        }
        response.set_content(MovieBytes(photo->pid, photo->mp4_video), photo->mp4_video ? "video/mp4" : "video/quicktime");
    } else {
        response.set_content(PictureOf(*photo), MimeType(photo->format));
    }
}

}  // namespace wa::fake
