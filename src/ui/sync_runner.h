// The sync page's work: the sync list on disk and each user's last sync,
// users added and taken off, 全部同步 as a job that pauses, continues and
// stops like a download, what it brings told to the desktop, and
// 每天自动同步. The run's own events go to a run presenter on the page; the
// users' states are posted to the window thread. Nothing here waits for a
// worker, and no worker waits for it.
#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "desktop/daily_sync.h"
#include "desktop/notification.h"
#include "download/sync_run.h"
#include "settings/sync_list.h"

class QLabel;

namespace wa {

class RunPresenter;
class SyncPage;
class TaskRunner;
struct SyncRow;

class SyncRunner : public QObject, public SyncObserver {
    Q_OBJECT

public:
    using Message = std::function<void(const QString& caption, const QString& text)>;
    // `list_path` is the sync list; `data_folder` holds the record stores;
    // `summary` shows where a sync stands; `daily` says where the daily
    // sync's units go and what they run.
    SyncRunner(SyncPage* page, QLabel* summary, TaskRunner& tasks, std::string list_path, std::string data_folder,
               DailySyncPlan daily, Message message, QObject* parent);
    ~SyncRunner() override;

    // Shows the list as the file holds it now, with each user's last sync.
    void Reload();
    // 加入同步列表: `user` with the albums of `album_keys` (none: every album).
    void Add(const ResolvedUser& user, const std::vector<std::string>& album_keys);
    // 加入同步列表 of the album page: the albums `chosen` of the `listed`
    // albums of `user`; every album ticked means every album, those the user
    // makes later too.
    void AddChosen(const ResolvedUser& user, const std::vector<ChosenAlbum>& chosen, int listed);
    void Remove(const QString& target);
    // The user's folder under `save_folder`, or the save folder itself.
    void Open(const QString& target, const std::string& save_folder);

    // 全部同步: false (and said) when the list names nobody. The page's
    // pause, continue and stop buttons act on the sync that runs.
    bool Start(OptionsSource options, DownloadContext context);
    void Pause();
    void Continue();
    void Stop();
    bool Running() const;
    // Stops drawing and the run: the window is closing.
    void Close();

    // 每天自动同步: shows where it stands; turns it on or off. Both ask
    // systemctl on a worker.
    void RefreshDaily();
    void SetDaily(bool on);

    // SyncObserver: from the worker, never waiting. Each user's run goes to
    // the page's presenter as a download's does.
    RunObserver& UserRun() override;
    void Logged(const LogLine& line) override;
    void Waiting(const RunWait& wait) override;
    void UserStarted(const SyncUserStart& start) override;
    void UserFinished(const SyncUserOutcome& outcome) override;
    void SyncFinished(const SyncOutcome& outcome) override;

signals:
    // After everything the sync logged has been drawn.
    void syncFinished(const wa::SyncOutcome& outcome);

private:
    // Says why a change of the list did not go through (`then`: what to do
    // once the list is mended); true when it did.
    bool Said(const SyncListChange& changed, const char* then);
    SyncRow RowOf(const SyncEntry& entry) const;
    // Shows a row's state from the worker; `refresh` reads its last sync anew.
    void ShowState(int index, const QString& state, bool refresh = false);
    void ShowDailyState(const DailySyncState& state);
    // Why 每天自动同步 is not on after the user ticked it: with the whole
    // crontab line where no user systemd runs.
    QString DailyRefusalText(const DailySyncState& state) const;
    void Notify(const SyncOutcome& outcome);

    SyncPage* page_;
    QLabel* summary_;
    RunPresenter* presenter_;
    TaskRunner& tasks_;
    std::string list_path_;
    std::string data_folder_;
    DailySyncPlan daily_;
    Message message_;
    std::vector<SyncEntry> entries_;  // the rows, in order
    std::vector<SyncRow> rows_;
    std::atomic<int> user_ = 0;       // the user being synced, from 1
    std::string save_folder_;         // of the sync that runs
    Notifier notifier_;
    DownloadJob job_;  // last: a sync ends before what it reports to goes
};

}  // namespace wa
