#include "download/run_events.h"

namespace wa {

std::string AlbumProgress::Counter() const {
    return (total ? std::to_string(*total) : std::string("?")) + "/" + std::to_string(position);
}

void PhotoCounts::Count(PhotoResult result) {
    switch (result) {
        case PhotoResult::kSaved: ++saved; break;
        case PhotoResult::kAlreadyThere:
        case PhotoResult::kVideoAlreadyThere: ++already_there; break;
        case PhotoResult::kRecorded: ++recorded; break;
        case PhotoResult::kOutsideWindow: ++outside_window; break;
        case PhotoResult::kFailed: ++failed; break;
        case PhotoResult::kVideoSaved: ++videos; break;
        case PhotoResult::kVideoFailed: ++videos_failed; break;
    }
}

void PhotoCounts::Add(const PhotoCounts& other) {
    saved += other.saved;
    videos += other.videos;
    already_there += other.already_there;
    recorded += other.recorded;
    outside_window += other.outside_window;
    failed += other.failed;
    videos_failed += other.videos_failed;
    failed_pages += other.failed_pages;
}

std::string CountsText(const PhotoCounts& c) {
    const auto figure = [](int n, const char* before, const char* after) {
        return n > 0 ? before + std::to_string(n) + after : std::string();
    };
    return "保存" + std::to_string(c.saved) + "张" + figure(c.videos, "、实况视频", "个") +
           figure(c.already_there, "，已存在", "张") + figure(c.recorded, "，跳过已下载", "张") +
           figure(c.outside_window, "，时间段外", "张") + "，失败" + std::to_string(c.failed) + "张" +
           figure(c.videos_failed, "、实况视频", "个") + figure(c.failed_pages, "，", "页照片列表获取失败");
}

std::string FailuresText(const PhotoCounts& c) {
    std::string what;
    const auto add = [&what](int n, const char* unit) {
        if (n <= 0) return;
        if (!what.empty()) what += "、";
        what += std::to_string(n) + unit;
    };
    add(c.failed, "张图片");
    add(c.videos_failed, "个实况视频");
    add(c.failed_pages, "页照片列表");
    return "下载结束，但有" + what + "没有获取";
}

void RunOutcome::Add(const AlbumOutcome& album) {
    ++albums;
    PhotoCounts::Add(album);
}

}  // namespace wa
