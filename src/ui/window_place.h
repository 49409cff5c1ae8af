// The window comes back where the user left it, as long as a screen still
// shows its title bar; its size and place (section 窗口) are written once the
// user has stopped moving it, and when it closes.
#pragma once

#include <QObject>
#include <QRect>

class QTimer;
class QWidget;

namespace wa {

class Settings;

class WindowPlaceKeeper : public QObject {
    Q_OBJECT

public:
    WindowPlaceKeeper(QWidget* window, Settings& settings);
    // The kept size and place, else the window's least size, centred.
    void Restore();
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
