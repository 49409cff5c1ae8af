// The window comes back where the user left it, as long as a screen still
// shows it.
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include "shell/saved_options.h"
#include "ui/main_window.h"
#include "util/ini_file.h"

namespace wa {
namespace {

constexpr std::string_view kPlaceSection = "窗口";
constexpr std::string_view kLeftKey = "左";
constexpr std::string_view kTopKey = "上";
constexpr std::string_view kWidthKey = "宽";
constexpr std::string_view kHeightKey = "高";

// A screen shows enough of it to take hold of its title bar.
bool OnAScreen(const QRect& place) {
    const QRect title_bar(place.x(), place.y(), place.width(), 40);
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect seen = screen->availableGeometry().intersected(title_bar);
        if (seen.width() >= 100 && seen.height() >= 20) return true;
    }
    return false;
}

std::optional<int> Number(const std::string& config, std::string_view key) {
    const std::string text = ReadSetting(config, kPlaceSection, key);
    if (text.empty() || text.size() > 6 || text.find_first_not_of("-0123456789") != std::string::npos) return std::nullopt;
    return std::stoi(text);
}

}  // namespace

void MainWindow::RestorePlace() {
    const std::string& config = globals_.config_path;
    const auto left = Number(config, kLeftKey);
    const auto top = Number(config, kTopKey);
    const auto wide = Number(config, kWidthKey);
    const auto high = Number(config, kHeightKey);
    if (left && top && wide && high) {
        const QRect place(*left, *top, std::max(*wide, minimumWidth()), std::max(*high, minimumHeight()));
        if (OnAScreen(place)) {
            resize(place.size());
            move(place.topLeft());
            saved_place_ = place;
            return;
        }
    }
    resize(minimumSize());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect free = screen->availableGeometry();
        move(free.x() + (free.width() - width()) / 2, free.y() + (free.height() - height()) / 2);
    }
}

void MainWindow::SavePlace() {
    if (place_timer_) place_timer_->stop();
    const QRect place(pos(), size());
    if (!isVisible() || isMaximized() || isMinimized() || isFullScreen() || place == saved_place_) return;
    saved_place_ = place;
    SaveSetting(kPlaceSection, kLeftKey, std::to_string(place.x()));
    SaveSetting(kPlaceSection, kTopKey, std::to_string(place.y()));
    SaveSetting(kPlaceSection, kWidthKey, std::to_string(place.width()));
    SaveSetting(kPlaceSection, kHeightKey, std::to_string(place.height()));
}

}  // namespace wa
