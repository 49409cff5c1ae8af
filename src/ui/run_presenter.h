// Shows a run on the page it belongs to (the album page's download, the sync
// page's sync). The run's events come on its
// worker threads; the presenter gathers them and draws them on the window
// thread once a frame (queued, never making a worker wait), and says when the
// run has finished, after everything before it has been drawn.
#pragma once

#include <QElapsedTimer>
#include <QObject>

#include <mutex>
#include <string>

#include "download/run_events.h"
#include "ui/display_buffer.h"

class QLabel;
class QTimer;

namespace wa {

class RunView;

// Where a run stands, as the summary line tells it.
struct RunStats {
    int albums = 0;          // chosen
    int album = 0;           // the one being downloaded, from 1
    int albums_done = 0;
    long long photos = -1;   // what the chosen albums' counts add up to; -1 unknown
    PhotoCounts counts;      // the run's figures so far
    double seconds = 0;      // since the run began, not counting pauses
    bool finished = false;
    bool stopped = false;
    bool paused = false;
    bool network_lost = false;
    std::optional<WaitReason> waiting;  // a wait going on
    std::string pace;                   // how the service's limit slowed the run, if it did
    // When it last did, and the photos ended by then: the time left is
    // reckoned from the pace since.
    double paced_at = -1;
    long long done_when_paced = 0;
};

// "本次：第1/3个相册，已保存120张，跳过已下载3张，失败1张，每秒8.5张，约还需1分20秒"
std::string RunSummary(const RunStats& stats);
// What a finished run did: "本次保存120张，已存在16张，失败1张".
std::string CompletionCounts(const RunOutcome& outcome);

class RunPresenter : public QObject, public RunObserver {
    Q_OBJECT

public:
    // Draws on `page`; `summary` shows where the run stands.
    RunPresenter(RunView* page, QLabel* summary, QObject* parent);

    // RunObserver: from any thread, never waiting.
    void RunStarted(const RunStart& start) override;
    void AlbumStarted(const AlbumStart& album) override;
    void AlbumProgressed(const AlbumProgress& progress) override;
    void PhotoDone(const PhotoEnd& end) override;
    void Logged(const LogLine& line) override;
    void Waiting(const RunWait& wait) override;
    void PaceChanged(const PaceChange& change) override;
    void AlbumFinished(const AlbumOutcome& outcome) override;
    void RunFinished(const RunOutcome& outcome) override;

    // A line of the window's own, after what the run has logged so far.
    void LogNow(const std::string& line);
    // How long the window's last paint took: it sets how often runs are drawn.
    void Painted(double milliseconds) { pace_.Painted(milliseconds); }
    // Stops drawing: the window is closing.
    void Close() { closing_ = true; }
    // A run begins: what the last one left on the page goes.
    void Begin();
    // The user paused or continued the run: the line says so, and the
    // time left counts no paused time.
    void SetPaused(bool paused);
    // The user stopped the run: its readouts say so at once.
    void Stopped();
    // Draws what is gathered now, not at the next frame.
    void Flush() { Draw(); }
    // Draws what is gathered, then leaves the line under the pages to its
    // owner: a later frame no longer writes the run's figures there.
    void Settle() {
        Draw();
        run_time_.invalidate();
    }

signals:
    void runFinished(const wa::RunOutcome& outcome);
    // Emitted on the run's thread as the `index`-th of the run's `albums` starts.
    void albumStarted(int index, int albums);

private:
    void DrawLater();
    void ScheduleDraw();
    void Draw();

    RunView* page_;
    QLabel* summary_;
    void ShowRow(int index, AlbumRowState state);

    std::mutex stats_mutex_;
    RunStats stats_;
    std::vector<std::string> keys_;  // of the run's albums, in order
    QElapsedTimer run_time_;
    qint64 paused_ms_ = 0;      // of the run so far, besides the pause going on
    QElapsedTimer paused_since_;
    DisplayBuffer buffer_;
    FramePace pace_;
    QTimer* timer_ = nullptr;
    QElapsedTimer since_draw_;
    std::atomic<bool> closing_ = false;
};

}  // namespace wa
