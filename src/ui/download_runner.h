// The album page's runs: a download of the ticked albums, or a retry of what
// the user's runs before could not get, as a job that pauses, continues and
// stops; how it ended told by a box that leads with the failures when there
// are any, the completion sound, and, while the window is not in front, the
// desktop. The run's events go to a run presenter on the page. Nothing here
// waits for a worker, and no worker waits for it.
#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <string>

#include "desktop/notification.h"
#include "download/download_run.h"

class QLabel;
class QMessageBox;

namespace wa {

class AlbumPage;
class CompletionSound;
class RunPresenter;
class TaskRunner;

class DownloadRunner : public QObject {
    Q_OBJECT

public:
    // A box, with the icon it leads with.
    using Message = std::function<void(const QString& caption, const QString& text, bool warning)>;
    // Where a run keeps its records and what it plays and says when it ends.
    struct Ending {
        std::string data_folder;                  // holds the record stores
        CompletionSound* sound = nullptr;
        std::function<std::string()> sound_path;  // as the settings page has it now
        std::function<bool()> notify;             // tell the desktop when the window is not in front
        QWidget* window = nullptr;
    };
    DownloadRunner(AlbumPage* page, QLabel* summary, TaskRunner& tasks, Ending ending, Message message,
                   QObject* parent);
    ~DownloadRunner() override;

    RunPresenter* presenter() const { return presenter_; }

    // Starts `request`; the buttons show the run.
    void Start(RunRequest request, OptionsSource options, DownloadContext context);
    bool Running() const;
    // Stops drawing and the run: the window is closing.
    void Close();

    // Asks the user's record store, on a worker, how much it keeps as
    // failed, and shows 重试失败项 when there is any.
    void ShowFailuresOf(const std::string& uid);

private:
    void Pause();
    void Continue();
    void Stop();
    void Finished(const RunOutcome& outcome);

    AlbumPage* page_;
    RunPresenter* presenter_;
    TaskRunner& tasks_;
    Ending ending_;
    Message message_;
    std::string uid_;  // the user of the last run
    Notifier notifier_;
    DownloadJob job_;  // last: a run ends before what it reports to goes
};

// What a finished run's box says: "全部下载完毕", or what failed first.
QString RunEndText(const RunOutcome& outcome);

}  // namespace wa
