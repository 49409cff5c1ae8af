#include "cli/terminal_host.h"

#include <unistd.h>

#include <cstdio>

#include "util/text.h"

namespace wa::cli {

TerminalHost::TerminalHost(std::vector<AlbumRow> rows, SavedOptions options)
    : rows_(std::move(rows)), options_(std::move(options)), bar_(::isatty(STDERR_FILENO) == 1) {}

void TerminalHost::AppendLog(const std::string& text) {
    std::lock_guard lock(mutex_);
    ClearBar();
    std::fputs(ShownLogLines(text).c_str(), stdout);  // what the service wrote never drives the terminal
    std::fflush(stdout);
}

void TerminalHost::SetProgress(int position, int maximum) {
    std::lock_guard lock(mutex_);
    position_ = maximum > 0 ? position : -1;
    DrawBar();
}

void TerminalHost::SetLabel(StatusLabel label, const std::string& text) {
    std::lock_guard lock(mutex_);
    if (label == StatusLabel::kPhotoCounter) counter_ = TerminalSafe(text);
    if (label == StatusLabel::kCurrentAlbum) album_ = TerminalSafe(text);
    if (label == StatusLabel::kStatusLine) status_ = TerminalSafe(text);
    DrawBar();
}

void TerminalHost::ShowMessage(const std::string&) {
    std::lock_guard lock(mutex_);
    ClearBar();
}

void TerminalHost::DrawBar() {
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

void TerminalHost::ClearBar() {
    if (bar_) std::fputs("\r\033[K", stderr);
}

}  // namespace wa::cli
