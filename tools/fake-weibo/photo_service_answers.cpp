// The fake's photo service and home pages: users' pages, the user-info
// answer, album and photo lists, pictures and covers.
#include <httplib.h>

#include <algorithm>
#include <set>

#include "fake_answers.h"
#include "fake_weibo.h"

namespace wa::fake {

using namespace answers;

bool FakeWeibo::ServeUserPage(const httplib::Request& request, httplib::Response& response) {
    const std::string& path = request.path;
    std::lock_guard lock(mutex_);
    for (const User& user : users_) {
        const bool home = path == user.home_path || path == "/u/" + user.uid || path == "/" + user.uid ||
                          path == "/p/100505" + user.uid ||
                          (!user.custom_name.empty() && path == "/" + user.custom_name);
        if (home && visitor_wall_ && !LoggedIn(request)) {
            response.status = 302;
            response.set_header("Location", "/visitor/visitor?entry=miniblog&url=" + path);
            return true;
        }
        if (home) {
            const std::string title = user.marker == UidMarker::kNone ? "微博" : user.title;
            std::string page = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + title +
                               "</title></head><body><script>";
            if (user.marker == UidMarker::kConfigOid) page += "var $CONFIG = {}; $CONFIG['oid']='" + user.uid + "';";
            if (user.marker == UidMarker::kOwnerUid) page += "var page = {owner_uid: " + user.uid + ", x: 1};";
            if (user.marker == UidMarker::kSpacedOid) page += "var $CONFIG = {}; $CONFIG['oid'] = '" + user.uid + "';";
            if (user.marker == UidMarker::kNone) {
                page += "</script><div id=\"app\"></div><script src=\"/js/index.js\"></script></body></html>";
            } else {
                page += "</script><h1>" + user.title + "</h1></body></html>";
            }
            response.set_content(page, "text/html; charset=utf-8");
            return true;
        }
        if (path == "/" + user.uid + "/albums/") {
            std::string page = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + user.title +
                               "的相册</title></head><body><ul>";
            for (const Album& album : user.albums) page += "<li>" + album.caption + "</li>";
            response.set_content(page + "</ul></body></html>", "text/html; charset=utf-8");
            return true;
        }
    }
    return false;
}

void FakeWeibo::ServeUserInfo(const httplib::Request& request, httplib::Response& response) {
    std::lock_guard lock(mutex_);
    if (require_login_ && !LoggedIn(request)) {
        response.set_content(kLoginWallJson, "application/json");
        return;
    }
    const std::string uid = request.get_param_value("uid");
    const std::string custom = request.get_param_value("custom");
    for (const User& user : users_) {
        if ((uid.empty() || user.uid != uid) && (custom.empty() || user.custom_name != custom)) continue;
        std::string nick = user.screen_name;
        if (nick.empty()) nick = user.title.substr(0, user.title.find("的微博"));
        response.set_content("{\"ok\":1,\"data\":{\"user\":{\"id\":" + user.uid + ",\"idstr\":\"" + user.uid +
                                 "\",\"screen_name\":" + JsonString(nick, false) + "}}}",
                             "application/json");
        return;
    }
    response.set_content("{\"ok\":0,\"msg\":\"这里还没有内容\"}", "application/json");
}

const User* FakeWeibo::FindUser(const std::string& uid) const {
    const auto user = std::find_if(users_.begin(), users_.end(), [&](const User& u) { return u.uid == uid; });
    return user == users_.end() ? nullptr : &*user;
}

void FakeWeibo::ServeHome(const httplib::Request& request, httplib::Response& response) {
    const bool in = LoggedIn(request);
    std::string page =
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>微博-随时随地发现新鲜事</title>"
        "<style>body{font-family:sans-serif;margin:40px}input{margin:4px}</style></head><body>"
        "<h1>微博（演示）</h1>";
    if (in) {
        page += "<p id=\"state\">已登录</p><ul>";
        std::lock_guard lock(mutex_);
        for (const User& user : users_) {
            page += "<li><a href=\"" + user.home_path + "\">" + user.title + "</a></li>";
        }
        page += "</ul><a href=\"/logout\">退出</a>";
    } else {
        page +=
            "<p id=\"state\">未登录</p>"
            "<form id=\"login\" method=\"post\" action=\"/login\">"
            "<label>账号 <input name=\"username\" id=\"username\"></label><br>"
            "<label>密码 <input name=\"password\" id=\"password\" type=\"password\"></label><br>"
            "<button type=\"submit\" id=\"login-button\">登录</button></form>";
    }
    response.set_content(page + "</body></html>", "text/html; charset=utf-8");
}

void FakeWeibo::ServeAlbumList(const httplib::Request& request, httplib::Response& response) {
    std::lock_guard lock(mutex_);
    const User* user = FindUser(request.get_param_value("uid"));
    if (!user) {
        response.set_content("<html><head><meta charset=\"utf-8\"></head><body>用户不存在或者获取用户信息失败</body></html>",
                             "text/html; charset=utf-8");
        return;
    }
    std::string json = "{\"result\":true,\"data\":{\"album_list\":[";
    bool first = true;
    for (const Album& album : user->albums) {
        if (!first) json += ",";
        first = false;
        const std::string count = album.count_text.value_or(std::to_string(album.photos.size()));
        json += "{\"album_id\":\"" + album.album_id + "\",\"caption\":" + JsonString(album.caption, true) +
                ",\"cover_pic\":" +
                (album.cover ? JsonString(BaseUrl() + "/cover/" + album.album_id + ".jpg", false) : "\"\"") +
                ",\"count\":{\"photos\":" + count + "},\"type\":" + album.type + "}";
    }
    response.set_content(json + "]}}", "application/json");
}

void FakeWeibo::ServePhotoList(const httplib::Request& request, httplib::Response& response) {
    const std::string uid = request.get_param_value("uid");
    const std::string album_id = request.get_param_value("album_id");
    const int page = std::max(1, std::atoi(request.get_param_value("page").c_str()));
    int count = std::max(1, std::atoi(request.get_param_value("count").c_str()));
    std::lock_guard lock(mutex_);
    const Album* album = nullptr;
    bool user_videos = false;
    for (const User& user : users_) {
        if (user.uid != uid) continue;
        user_videos = user.photo_service_videos;
        for (const Album& a : user.albums) {
            if (a.album_id == album_id) album = &a;
        }
    }
    if (album && album->page_size > 0) count = album->page_size;
    std::string json = "{\"result\":true,\"data\":{\"photo_list\":[";
    if (album) {
        const std::size_t begin = static_cast<std::size_t>((page - 1) * count);
        const std::size_t end = std::min(album->photos.size(), begin + static_cast<std::size_t>(count));
        for (std::size_t i = begin; i < end; ++i) {
            const Photo& p = album->photos[i];
            std::vector<std::string> members;
            const auto add = [&](const char* name, const std::string& value) {
                if (!p.omit.contains(name)) members.push_back("\"" + std::string(name) + "\":" + value);
            };
            add("photo_id", p.id_as_number ? p.photo_id : "\"" + p.photo_id + "\"");
            add("timestamp", std::to_string(p.timestamp * 1000));
            add("pic_host", JsonString(BaseUrl(), false));
            add("pic_name", JsonString(p.pic_name, false));
            add("caption_render", JsonString(p.caption, true));
            if (!p.mid.empty()) add("mid", JsonString(p.mid, false));
            if (p.live && user_videos) add("video", JsonString(BaseUrl() + "/livephoto/" + p.pid + ".mov", false));
            json += (i == begin ? "{" : ",{");
            for (std::size_t m = 0; m < members.size(); ++m) json += (m ? "," : "") + members[m];
            json += "}";
        }
    }
    response.set_content(json + "]}}", "application/json");
}

const Photo* FakeWeibo::FindPhoto(const std::string& pic_name) const {
    for (const User& user : users_) {
        for (const Album& album : user.albums) {
            for (const Photo& photo : album.photos) {
                if (photo.pic_name == pic_name) return &photo;
            }
        }
    }
    return nullptr;
}

void FakeWeibo::ServePicture(const httplib::Request& request, httplib::Response& response, bool cover) {
    const std::string name = request.path.substr(7);
    std::unique_lock lock(mutex_);
    if (hotlink_protection_ && request.get_header_value("Referer") != BaseUrl() + "/") {
        response.status = 403;
        response.set_content("<html><body>403 Forbidden</body></html>", "text/html");
        return;
    }
    if (cover) {
        response.set_content(MakePicture(PictureFormat::kJpeg, Seed(name), 0, 120, 90), "image/jpeg");
        return;
    }
    const Photo* photo = FindPhoto(name);
    if (!photo) {
        response.status = 404;
        response.set_content("<html><body>404</body></html>", "text/html");
        return;
    }
    response.set_content(PictureOf(*photo), MimeType(photo->format));
    const int delay = photo->delay_ms;
    lock.unlock();
    if (delay > 0) SleepUnlessStopping(delay, stopping_);
}

}  // namespace wa::fake
