#include "ui/download_runner.h"

#include <QWidget>

#include "download/record_store.h"
#include "ui/album_page.h"
#include "ui/completion_sound.h"
#include "ui/run_presenter.h"
#include "ui/task_runner.h"
#include "util/text.h"

namespace wa {

QString RunEndText(const RunOutcome& outcome) {
    std::string first = "全部下载完毕";
    if (!outcome.network_lost.empty()) {
        first = "下载没有完成：网络连接中断（" + outcome.network_lost + "），没有下载的已记下，可以重试";
    } else if (outcome.Failures() > 0) {
        first = FailuresText(outcome) + "，可以点【重试失败项】";
    }
    return QString::fromStdString(first + "\n" + CompletionCounts(outcome));
}

DownloadRunner::DownloadRunner(AlbumPage* page, QLabel* summary, TaskRunner& tasks, Ending ending, Message message,
                               QObject* parent)
    : QObject(parent), page_(page), tasks_(tasks), ending_(std::move(ending)), message_(std::move(message)) {
    presenter_ = new RunPresenter(page_, summary, this);
    connect(presenter_, &RunPresenter::runFinished, this, [this](const RunOutcome& outcome) { Finished(outcome); });
    connect(page_, &AlbumPage::pauseRequested, this, [this] { Pause(); });
    connect(page_, &AlbumPage::continueRequested, this, [this] { Continue(); });
    connect(page_, &AlbumPage::stopRequested, this, [this] { Stop(); });
}

DownloadRunner::~DownloadRunner() { Close(); }

void DownloadRunner::Start(RunRequest request, OptionsSource options, DownloadContext context) {
    uid_ = request.user.uid;
    presenter_->Begin();
    job_.Start(*presenter_, std::move(options), std::move(request), std::move(context));
    page_->SetButtonsFor(RunState::kRunning);
}

void DownloadRunner::Pause() {
    page_->SetButtonsFor(RunState::kPaused);
    job_.Pause();
    presenter_->SetPaused(true);
    presenter_->LogNow("已暂停下载");
}

void DownloadRunner::Continue() {
    page_->SetButtonsFor(RunState::kRunning);
    job_.Continue();
    presenter_->SetPaused(false);
    presenter_->LogNow("继续下载");
}

void DownloadRunner::Stop() {
    job_.Stop();
    page_->SetButtonsFor(RunState::kIdle);
    presenter_->Stopped();
    presenter_->LogNow("已结束下载");
}

bool DownloadRunner::Running() const { return job_.Running(); }

void DownloadRunner::Close() {
    presenter_->Close();
    job_.Stop();
}

void DownloadRunner::ShowFailuresOf(const std::string& uid) {
    if (!IsUid(uid)) {
        page_->ShowFailures(0);
        return;
    }
    tasks_.Run([this, uid, folder = ending_.data_folder](JobToken*) {
        RecordStore store;
        OpenUserStore(store, folder, uid);
        const int count = store.FailureCount();
        QMetaObject::invokeMethod(this, [this, count] { page_->ShowFailures(count); }, Qt::QueuedConnection);
    });
}

void DownloadRunner::Finished(const RunOutcome& outcome) {
    ShowFailuresOf(uid_);
    if (outcome.stopped) return;  // the stop button has set the page already
    page_->SetButtonsFor(RunState::kIdle);
    if (outcome.login_needed) return;
    if (ending_.sound && ending_.sound_path) ending_.sound->Play(ending_.sound_path());
    const bool failed = outcome.Failures() > 0 || !outcome.network_lost.empty();
    message_(QString::fromUtf8("信息："), RunEndText(outcome), failed);
    if (ending_.window && !ending_.window->isActiveWindow() && ending_.notify && ending_.notify()) {
        const std::string title = !outcome.network_lost.empty() ? "微博相册：下载没有完成（网络连接中断）"
                                  : failed                        ? "微博相册：" + FailuresText(outcome)
                                                                  : "微博相册：全部下载完毕";
        const NotificationSent sent = notifier_.Send({title, "本次" + CountsText(outcome), ""});
        if (!sent.sent) presenter_->LogNow("桌面通知未发出：" + sent.problem);
    }
}

}  // namespace wa
