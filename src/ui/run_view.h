// Where a run is shown: a page with a log, a progress bar, the run's labels
// and a status line for rate-limit waits. The download page is one, the sync
// page another; the run presenter draws on either.
#pragma once

#include <QString>

#include <optional>
#include <string>

#include "ui/display_buffer.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace wa {

class RunView {
public:
    virtual ~RunView() = default;
    virtual void AppendLog(const std::string& text) = 0;
    virtual void ShowProgress(int position, int maximum) = 0;
    // A busy bar (no total known) stands still, empty.
    virtual void EndBusyBar() = 0;
    virtual void ShowRunLabel(RunLabel label, const std::string& text) = 0;
    // A wait counted down on the status line; 0 seconds ends it, and the
    // line says again what it said before.
    virtual void ShowCountdown(const RunWait& wait) = 0;
    // How the album of `key` stands, where the page lists the run's albums.
    virtual void ShowAlbumState(const std::string& /*key*/, const AlbumRowState& /*state*/) {}
};

enum class RunState { kIdle, kRunning, kPaused };

// The buttons of a page that runs: start, pause, continue and stop.
struct RunButtons {
    QPushButton* start = nullptr;
    QPushButton* pause = nullptr;
    QPushButton* resume = nullptr;
    QPushButton* stop = nullptr;
    QWidget* idle_focus = nullptr;  // where the focus goes when nothing runs

    // The buttons for `state`; the focus goes where a stray key does no
    // harm: never into a text box, never onto the stop button.
    void SetButtonsFor(RunState state, bool page_visible) const;
};

// Adds log lines at the end of a log box and scrolls to them; nothing the
// service wrote drives the box.
void AppendToLog(QPlainTextEdit* box, const std::string& text);

// A status line that a rate-limit wait takes over while it lasts.
class CountdownLine {
public:
    explicit CountdownLine(QLabel* label) : label_(label) {}
    void Show(const RunWait& wait);
    // A new status: a countdown in progress ends in it.
    void SetStatus(const QString& text);

private:
    QLabel* label_;
    std::optional<QString> before_;  // the line before the countdown began
};

}  // namespace wa
