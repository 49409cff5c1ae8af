// The program's one window: four pages under a tab strip (login, album list
// and download, settings, about), each a widget of its own. The window
// composes them, owns the background workers, and is the download engine's
// host: what a worker shows is drawn here once a frame without the worker
// waiting, and the options it reads are copies kept up to date.
#pragma once

#include <QElapsedTimer>
#include <QWidget>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "download/download_host.h"
#include "download/download_run.h"
#include "shell/globals.h"
#include "shell/saved_options.h"
#include "ui/display_buffer.h"
#include "util/job_token.h"
#include "weibo/album_list.h"
#include "weibo/user_resolution.h"

class QAudioOutput;
class QMediaPlayer;
class QTabBar;
class QTimer;

namespace wa {

class AboutPage;
class AlbumPage;
class LoginPage;
class SettingsPage;

class MainWindow : public QWidget, public DownloadHost {
    Q_OBJECT

public:
    explicit MainWindow(Globals globals, QWidget* parent = nullptr);
    ~MainWindow() override;

    // DownloadHost: no call waits for the window thread.
    int AlbumRowCount() override;
    AlbumRow AlbumRowAt(int index) override;
    bool RecordStoreEnabled() override;
    bool TimeWindowEnabled() override;
    DateTime TimeWindowStart() override;
    DateTime TimeWindowEnd() override;
    std::string SaveFolder() override;
    NameFormat CheckedNameFormat() override;
    SequenceScheme CheckedSequenceScheme() override;
    bool LiveVideoEnabled() override;
    bool NewOnlyEnabled() override;
    bool UploadTimeAsFileTime() override;
    std::string CompletionSoundPath() override;
    void AppendLog(const std::string& text) override;
    void SetProgress(int position, int maximum) override;
    void SetLabel(StatusLabel label, const std::string& text) override;
    void SetRunState(RunState state) override;
    void PlaySound(const std::string& path) override;
    void ShowMessage(const std::string& text) override;

    // The user the next listing and download are about.
    ResolvedUser resolved_user() const { return resolved_user_; }
    // True while a background task (listing, version check, download) runs.
    bool BusyWithWork() const;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ConnectPages();
    // The size and place of the last run (section 窗口), when the window
    // would still show on a screen; else the design size, centred.
    void RestorePlace();
    void SavePlace();
    void LayoutOnResize();
    void OnTabClicked(int index);
    void ShowPage(int index);

    // Finding the user and listing the albums.
    void DownloadThisUser();
    void OnOpenAlbumPageClicked();
    void ResolveUser();
    void AlbumListTask(ResolvedUser user, int generation, JobToken* job, bool login_wall);
    // The status line, log line and message of a listing that found no album.
    void ShowListingEnd(const AlbumListing& listing);

    // A download run.
    void OnDownloadClicked();
    void OnPauseClicked();
    void OnContinueClicked();
    void OnStopClicked();

    void CheckForUpdate(JobToken* job);

    // Stops the download and every background task at their next safe point.
    void StopAllWork();
    // Runs `work` on a worker thread with a stop token that closing the window
    // trips.
    void RunInBackground(std::function<void(JobToken*)> work);
    // Runs `call` on the window thread, waiting for it when called from a worker.
    void OnWindowThread(const std::function<void()>& call);
    bool OnOwnThread() const;
    // What workers asked to show, drawn at most once a frame.
    void DrawLater(bool first);
    void ScheduleDraw();
    void DrawPending();
    // Runs `call` on the window thread after what is pending is drawn,
    // without waiting for it.
    void AfterPending(std::function<void()> call);
    void ShowLabel(StatusLabel label, const std::string& text);
    // One option of the copy the settings page keeps up to date.
    template <typename Read>
    auto Option(Read read) const;
    void MirrorOptions();
    void OpenMessage(const QString& caption, const QString& text);
    // A rate-limit countdown on the status line; empty text ends it.
    void ShowCountdown(const std::string& text);
    // Writes one option; a write that fails is said in a message.
    void SaveSetting(std::string_view section, std::string_view key, std::string_view value);

    Globals globals_;
    ResolvedUser resolved_user_;
    ResolvedUser listed_user_;     // whose albums the list shows
    std::string run_save_folder_;  // the save folder as the latest run began
    std::vector<AlbumRow> run_rows_;  // the album rows as the latest run began
    int version_check_pending_ = 1;
    int listing_generation_ = 0;
    bool setting_write_failed_ = false;  // the last write of an option failed and was said
    std::optional<QString> status_before_wait_;  // the status line before a countdown began
    FramePace frame_pace_;
    DisplayBuffer display_;
    QTimer* draw_timer_ = nullptr;
    QTimer* place_timer_ = nullptr;
    QRect saved_place_;  // as 配置.ini holds it
    QElapsedTimer since_draw_;
    mutable std::mutex options_mutex_;  // guards the copies a run reads
    SavedOptions options_;
    std::atomic<bool> closing_ = false;

    QWidget* tab_control_ = nullptr;  // 高级选择夹1
    QTabBar* tab_bar_ = nullptr;
    std::vector<QWidget*> pages_;
    LoginPage* login_ = nullptr;
    AlbumPage* album_ = nullptr;
    SettingsPage* settings_ = nullptr;
    AboutPage* about_ = nullptr;

    struct Task {
        std::unique_ptr<JobToken> job;
        std::future<void> done;
    };
    std::vector<Task> tasks_;
    DownloadJob download_;
    QMediaPlayer* player_ = nullptr;
    QAudioOutput* audio_ = nullptr;
};

}  // namespace wa
