// Shows a download run on the download page. The run's events come on its
// worker threads; the presenter gathers them and draws them on the window
// thread once a frame (queued, never making a worker wait), and says when the
// run has finished, after everything before it has been drawn.
#pragma once

#include <QElapsedTimer>
#include <QObject>

#include "download/run_events.h"
#include "ui/display_buffer.h"

class QTimer;

namespace wa {

class AlbumPage;

class RunPresenter : public QObject, public RunObserver {
    Q_OBJECT

public:
    RunPresenter(AlbumPage* page, QObject* parent);

    // RunObserver: from any thread, never waiting.
    void RunStarted(const RunStart& start) override;
    void AlbumStarted(const AlbumStart& album) override;
    void AlbumProgressed(const AlbumProgress& progress) override;
    void PhotoDone(PhotoResult result) override;
    void Logged(const LogLine& line) override;
    void Waiting(long long seconds_left) override;
    void AlbumFinished(const AlbumOutcome& outcome) override;
    void RunFinished(const RunOutcome& outcome) override;

    // A line of the window's own, after what the run has logged so far.
    void LogNow(const std::string& line);
    // How long the window's last paint took: it sets how often runs are drawn.
    void Painted(double milliseconds) { pace_.Painted(milliseconds); }
    // Stops drawing: the window is closing.
    void Close() { closing_ = true; }

signals:
    void runFinished(const wa::RunOutcome& outcome);

private:
    void DrawLater(bool first);
    void ScheduleDraw();
    void Draw();

    AlbumPage* page_;
    DisplayBuffer buffer_;
    FramePace pace_;
    QTimer* timer_ = nullptr;
    QElapsedTimer since_draw_;
    std::atomic<bool> closing_ = false;
};

}  // namespace wa
