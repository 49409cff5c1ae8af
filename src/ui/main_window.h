// The program's one window: five pages under a tab strip (login, album list
// and download, sync list, settings, about). The window composes them: it wires the
// pages' requests to the listing, the run and the version check, and the
// run's events to the presenter that shows them. Nothing here waits for a
// worker, and no worker waits for it.
#pragma once

#include <QWidget>

#include <atomic>
#include <memory>
#include <vector>

#include "download/download_run.h"
#include "settings/program.h"
#include "settings/settings.h"
#include "ui/live_options.h"
#include "ui/task_runner.h"

class QLabel;
class QScrollArea;
class QTabBar;

namespace wa {

class AboutPage;
class AlbumLister;
class AlbumPage;
class CompletionSound;
class DownloadRunner;
class LoginPage;
class RunPresenter;
class SettingsPage;
class SyncPage;
class SyncRunner;
class VersionChecker;
class WindowPlaceKeeper;

class MainWindow : public QWidget {
    Q_OBJECT

public:
    explicit MainWindow(Globals globals, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The options a run started now would read.
    DownloadOptions Options() const { return live_options_.Get(); }
    // True while a background task (listing, version check, download) runs.
    bool BusyWithWork() const;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildPages();
    // What does the pages' work: the download, the listing, the sync, the
    // version check.
    void BuildRunners();
    void ConnectPages();
    void LayOut();
    // The tab bar's current page changed: it alone shows.
    void PageShown(int index);
    void StepPage(int step);
    // A download of the ticked albums, or with `retry` of what the listed
    // user's runs before could not get.
    void StartDownload(bool retry);
    void StartSync();
    // Where a run or a sync keeps its records, and the Referer of its pictures.
    DownloadContext RunContext() const;
    void StopAllWork();

    Globals globals_;
    Settings settings_;
    LiveOptions live_options_;
    TaskRunner tasks_;

    QScrollArea* scroll_ = nullptr;   // below the design size the pages scroll
    QWidget* content_ = nullptr;      // what scrolls: the design-size area
    QWidget* tab_control_ = nullptr;  // 高级选择夹1
    QLabel* run_summary_ = nullptr;   // 标签_本次进度
    QTabBar* tab_bar_ = nullptr;
    std::vector<QWidget*> pages_;
    LoginPage* login_ = nullptr;
    AlbumPage* album_ = nullptr;
    SyncPage* sync_page_ = nullptr;
    SettingsPage* settings_page_ = nullptr;
    AboutPage* about_ = nullptr;
    DownloadRunner* download_ = nullptr;
    RunPresenter* presenter_ = nullptr;  // the download's, which the listing logs to
    AlbumLister* lister_ = nullptr;
    SyncRunner* sync_ = nullptr;
    bool daily_shown_ = false;  // 每天自动同步 asked about once the sync page shows
    VersionChecker* version_ = nullptr;
    CompletionSound* sound_ = nullptr;
    WindowPlaceKeeper* place_ = nullptr;
};

}  // namespace wa
