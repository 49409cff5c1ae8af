#include "ui/window_place.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include "settings/settings.h"

namespace wa {
namespace {

// A screen shows enough of it to take hold of its title bar.
bool OnAScreen(const QRect& place) {
    const QRect title_bar(place.x(), place.y(), place.width(), 40);
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect seen = screen->availableGeometry().intersected(title_bar);
        if (seen.width() >= 100 && seen.height() >= 20) return true;
    }
    return false;
}

}  // namespace

WindowPlaceKeeper::WindowPlaceKeeper(QWidget* window, Settings& settings)
    : QObject(window), window_(window), settings_(settings) {
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    timer_->setInterval(500);
    connect(timer_, &QTimer::timeout, this, [this] { SaveNow(); });
}

void WindowPlaceKeeper::Restore() {
    if (const std::optional<WindowPlace> kept = settings_.Place()) {
        const QRect place(kept->left, kept->top, std::max(kept->width, window_->minimumWidth()),
                          std::max(kept->height, window_->minimumHeight()));
        if (OnAScreen(place)) {
            window_->resize(place.size());
            window_->move(place.topLeft());
            saved_ = place;
            return;
        }
    }
    window_->resize(window_->minimumSize());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect free = screen->availableGeometry();
        window_->move(free.x() + (free.width() - window_->width()) / 2, free.y() + (free.height() - window_->height()) / 2);
    }
}

void WindowPlaceKeeper::Changed() { timer_->start(); }

void WindowPlaceKeeper::SaveNow() {
    timer_->stop();
    const QRect place(window_->pos(), window_->size());
    if (!window_->isVisible() || window_->isMaximized() || window_->isMinimized() || window_->isFullScreen() ||
        place == saved_) {
        return;
    }
    saved_ = place;
    settings_.SetPlace({place.x(), place.y(), place.width(), place.height()});
}

}  // namespace wa
