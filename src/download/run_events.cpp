#include "download/run_events.h"

#include "weibo/service_request.h"

namespace wa {

std::string RunWaitText(const RunWait& wait) {
    if (wait.reason == WaitReason::kNetwork) return "网络连接中断，" + std::to_string(wait.seconds_left) + "秒后重试";
    return RateLimitWaitText(wait.seconds_left);
}

std::string AlbumProgress::Counter() const {
    return (total ? std::to_string(*total) : std::string("?")) + "/" + std::to_string(position);
}

void RunOutcome::Add(const AlbumOutcome& album) {
    ++albums;
    saved += album.saved;
    videos += album.videos;
    skipped += album.skipped;
    failed += album.failed;
    failed_pages += album.failed_pages;
}

}  // namespace wa
