#include "cli/terminal_observer.h"

#include <unistd.h>

#include <cstdio>

#include "util/text.h"
#include "weibo/service_request.h"

namespace wa::cli {

std::string TerminalLine(const LogLine& line) {
    return TerminalSafe(line.text) + (line.blank_after ? "\n\n" : "\n");
}

TerminalObserver::TerminalObserver() : bar_(::isatty(STDERR_FILENO) == 1) {}

void TerminalObserver::AlbumStarted(const AlbumStart& album) {
    std::lock_guard lock(mutex_);
    album_ = "下载到第[" + std::to_string(album.index) + "]个相册";
    position_ = 0;
    counter_.clear();
    DrawBar();
}

void TerminalObserver::AlbumProgressed(const AlbumProgress& progress) {
    std::lock_guard lock(mutex_);
    position_ = progress.percent;
    counter_ = progress.Counter();
    DrawBar();
}

void TerminalObserver::Logged(const LogLine& line) {
    std::lock_guard lock(mutex_);
    ClearBar();
    std::fputs(TerminalLine(line).c_str(), stdout);
    std::fflush(stdout);
}

void TerminalObserver::Waiting(const RunWait& wait) {
    std::lock_guard lock(mutex_);
    status_ = wait.seconds_left > 0 ? RunWaitText(wait) : "";
    DrawBar();
}

void TerminalObserver::RunFinished(const RunOutcome&) {
    std::lock_guard lock(mutex_);
    ClearBar();
}

void TerminalObserver::UserStarted(const SyncUserStart& start) {
    std::lock_guard lock(mutex_);
    ClearBar();
    std::printf("同步第%d/%d个用户：%s\n", start.index, start.users, TerminalSafe(start.target).c_str());
    std::fflush(stdout);
}

void TerminalObserver::UserFinished(const SyncUserOutcome& outcome) {
    std::lock_guard lock(mutex_);
    ClearBar();
    if (!outcome.failure.empty()) {
        std::fprintf(stderr, "weibo-albums-cli: %s: %s\n", TerminalSafe(outcome.target).c_str(),
                     TerminalSafe(outcome.failure).c_str());
    } else if (!outcome.run.stopped) {
        PrintUserSummary(outcome.user, outcome.run);
    }
}

void PrintUserSummary(const ResolvedUser& user, const RunOutcome& outcome) {
    const std::string videos = outcome.videos > 0 ? ", live videos " + std::to_string(outcome.videos) : "";
    const std::string videos_failed =
        outcome.videos_failed > 0 ? ", videos failed " + std::to_string(outcome.videos_failed) : "";
    std::printf("%s (uid %s): saved %d%s, already there %d, skipped as downloaded %d, outside the date window %d, "
                "failed %d%s, photo-list pages failed %d\n",
                TerminalSafe(user.title).c_str(), user.uid.c_str(), outcome.saved, videos.c_str(), outcome.already_there,
                outcome.recorded, outcome.outside_window, outcome.failed, videos_failed.c_str(), outcome.failed_pages);
    std::fflush(stdout);
}

void TerminalObserver::DrawBar() {
    if (!bar_) return;
    if (!status_.empty()) {
        std::fprintf(stderr, "\r%s\033[K", status_.c_str());
    } else if (position_ < 0) {  // no total: the counter alone
        std::fprintf(stderr, "\r%s %s\033[K", album_.c_str(), counter_.c_str());
    } else {
        const int filled = position_ * 30 / 100;
        std::fprintf(stderr, "\r%s [%s%s] %3d%% %s\033[K", album_.c_str(), std::string(filled, '#').c_str(),
                     std::string(30 - filled, '.').c_str(), position_, counter_.c_str());
    }
    std::fflush(stderr);
}

void TerminalObserver::ClearBar() {
    if (bar_) std::fputs("\r\033[K", stderr);
}

}  // namespace wa::cli
