// What the fake service's answers share: JSON text as the site writes it,
// picture kinds, and the pages a logged-out visitor gets.
#pragma once

#include <atomic>
#include <cctype>
#include <chrono>
#include <thread>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

#include "fake_weibo.h"
#include "util/json_text.h"

namespace wa::fake::answers {

// Waits `ms`, or less once the server is stopping.
inline void SleepUnlessStopping(int ms, const std::atomic<bool>& stopping) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end && !stopping) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// JSON string text as the site writes it; with `ascii_only` every non-ASCII
// character as \uXXXX escapes, as the photo service writes captions.
inline std::string JsonString(const std::string& text, bool ascii_only) {
    return JsonQuoted(text, {.as_weibo = true, .ascii_only = ascii_only});
}

inline const char* Extension(PictureFormat format) {
    switch (format) {
        case PictureFormat::kPng: return ".png";
        case PictureFormat::kGif: return ".gif";
        case PictureFormat::kJpeg: break;
    }
    return ".jpg";
}

inline const char* MimeType(PictureFormat format) {
    switch (format) {
        case PictureFormat::kPng: return "image/png";
        case PictureFormat::kGif: return "image/gif";
        case PictureFormat::kJpeg: break;
    }
    return "image/jpeg";
}



// Percent-encodes all but the unreserved characters, as the album tab's
// container ids come.
inline std::string PercentEncoded(const std::string& text) {
    std::string out;
    char buffer[4];
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += c;
        } else {
            std::snprintf(buffer, sizeof buffer, "%%%02X", u);
            out += buffer;
        }
    }
    return out;
}

// "Wed May 14 00:53:12 +0800 2014": a post's time at UTC+8.
inline std::string PostTime(std::int64_t seconds) {
    const std::time_t shifted = static_cast<std::time_t>(seconds + 8 * 3600);
    std::tm parts{};
    ::gmtime_r(&shifted, &parts);
    char buffer[64];
    std::strftime(buffer, sizeof buffer, "%a %b %d %H:%M:%S +0800 %Y", &parts);
    return buffer;
}

// The container id of an album on the album tab, before percent-encoding.
inline std::string ContainerId(const User& user, const Album& album) {
    return "107803" + user.uid + "_-_albumeach_-_" + album.album_id + "_-_" + album.caption;
}

// A few bytes a player would take for a QuickTime movie, or an MP4 one.
inline std::string MovieBytes(const std::string& seed, bool mp4 = false) {
    std::string bytes = mp4 ? std::string("\x00\x00\x00\x14" "ftypisom\x00\x00\x02\x00isom", 20)
                            : std::string("\x00\x00\x00\x14" "ftypqt  \x00\x00\x00\x00qt  ", 20);
    bytes += std::string("\x00\x00\x00\x08" "wide", 8);
    bytes += "mdat-" + seed;
    return bytes;
}

inline constexpr const char* kLoginWallJson = "{\"ok\":-100,\"url\":\"https://weibo.com/login.php?url=%2F\"}";

inline constexpr const char* kLoginPage =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>新浪通行证</title></head>"
    "<body><form action=\"https://login.sina.com.cn/sso/login.php\">请登录</form></body></html>";

}  // namespace wa::fake::answers
