// The window comes back where the user left it, as long as its whole title
// bar lies on a screen, and never larger than the screen's free area; its
// size and place (section 窗口) are written once the user has stopped moving
// it, and when it closes.
#pragma once

#include <QObject>
#include <QRect>
#include <QSize>

class QTimer;
class QWidget;

namespace wa {

class Settings;

class WindowPlaceKeeper : public QObject {
    Q_OBJECT

public:
    WindowPlaceKeeper(QWidget* window, Settings& settings);
    // The kept size and place, else `wanted` centred; either bounded by the
    // free area of the screen the window opens on.
    void Restore(QSize wanted);
    // The user moved or resized the window: written soon.
    void Changed();
    void SaveNow();

private:
    QWidget* window_;
    Settings& settings_;
    QTimer* timer_ = nullptr;
    QRect saved_;  // as 配置.ini holds it
};

}  // namespace wa
