#include "ui/window_place.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <optional>

#include "settings/settings.h"

namespace wa {
namespace {

// What a window frame adds around the page area: the title bar and borders.
constexpr int kFrameWidth = 8;
constexpr int kTitleBarHeight = 32;

// The free area of the screen whose free area holds the whole title bar of a
// window at `place`, if any.
std::optional<QRect> ScreenHoldingTitleBar(const QRect& place) {
    const QRect title_bar(place.x(), place.y(), place.width(), kTitleBarHeight);
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().contains(title_bar)) return screen->availableGeometry();
    }
    return std::nullopt;
}

// A window size the free area shows whole, frame included.
QSize Within(QSize size, const QRect& free, QSize least) {
    size = size.boundedTo(QSize(free.width() - kFrameWidth, free.height() - kTitleBarHeight - kFrameWidth));
    return size.expandedTo(least);
}

}  // namespace

WindowPlaceKeeper::WindowPlaceKeeper(QWidget* window, Settings& settings)
    : QObject(window), window_(window), settings_(settings) {
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    timer_->setInterval(500);
    connect(timer_, &QTimer::timeout, this, [this] { SaveNow(); });
}

void WindowPlaceKeeper::Restore(QSize wanted) {
    const QSize least = window_->minimumSize();
    if (const std::optional<WindowPlace> kept = settings_.Place()) {
        for (const QScreen* screen : QGuiApplication::screens()) {
            // Too wide for the screen it was on, the window narrows first.
            const QRect free = screen->availableGeometry();
            if (!free.contains(QPoint(kept->left, kept->top))) continue;
            const QRect place(QPoint(kept->left, kept->top), Within(QSize(kept->width, kept->height), free, least));
            if (!ScreenHoldingTitleBar(place)) break;
            window_->resize(place.size());
            window_->move(place.topLeft());
            saved_ = place;
            return;
        }
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        window_->resize(wanted.expandedTo(least));
        return;
    }
    const QRect free = screen->availableGeometry();
    window_->resize(Within(wanted, free, least));
    window_->move(free.x() + std::max(0, (free.width() - window_->width() - kFrameWidth) / 2),
                  free.y() + std::max(0, (free.height() - window_->height() - kTitleBarHeight) / 2));
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
