// The window as the download engine's host. A worker never waits for the
// window thread: labels, progress and log lines are gathered and drawn once a
// frame, the options it reads are copies the settings page keeps up to date,
// and the album rows and the save folder are those of the moment the run was
// started. Once the window is closing, calls do nothing.
#include <QLabel>
#include <QMediaPlayer>
#include <QMessageBox>
#include <QProgressBar>
#include <QThread>
#include <QTimer>

#include "shell/saved_options.h"
#include "ui/album_page.h"
#include "ui/main_window.h"
#include "ui/settings_page.h"
#include "util/ini_file.h"

namespace wa {

void MainWindow::OnWindowThread(const std::function<void()>& call) {
    if (OnOwnThread()) {
        call();
        return;
    }
    if (closing_) return;
    QMetaObject::invokeMethod(this, [&call] { call(); }, Qt::BlockingQueuedConnection);
}

void MainWindow::RunInBackground(std::function<void(JobToken*)> work) {
    // Finished tasks leave the list as new ones arrive.
    std::erase_if(tasks_, [](Task& task) {
        return task.done.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    });
    Task task{std::make_unique<JobToken>(), {}};
    JobToken* job = task.job.get();
    task.done = std::async(std::launch::async, [work = std::move(work), job] { work(job); });
    tasks_.push_back(std::move(task));
}

bool MainWindow::BusyWithWork() const {
    for (const Task& task : tasks_) {
        if (task.done.valid() && task.done.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return true;
    }
    return download_.Running();
}

int MainWindow::AlbumRowCount() {
    std::lock_guard lock(options_mutex_);
    return static_cast<int>(run_rows_.size());
}

AlbumRow MainWindow::AlbumRowAt(int index) {
    std::lock_guard lock(options_mutex_);
    return index >= 0 && index < static_cast<int>(run_rows_.size()) ? run_rows_[static_cast<std::size_t>(index)] : AlbumRow{};
}

// The options as the settings page shows them, copied the moment a control
// changes: a run reads them without waiting for the window thread.
void MainWindow::MirrorOptions() {
    SavedOptions now = settings_->Options();
    std::lock_guard lock(options_mutex_);
    options_ = std::move(now);
}

template <typename Read>
auto MainWindow::Option(Read read) const {
    std::lock_guard lock(options_mutex_);
    return read(options_);
}

bool MainWindow::RecordStoreEnabled() { return Option([](const SavedOptions& o) { return o.record_store; }); }
bool MainWindow::TimeWindowEnabled() { return Option([](const SavedOptions& o) { return o.time_window; }); }
DateTime MainWindow::TimeWindowStart() { return Option([](const SavedOptions& o) { return o.start_date; }); }
DateTime MainWindow::TimeWindowEnd() { return Option([](const SavedOptions& o) { return o.end_date; }); }
NameFormat MainWindow::CheckedNameFormat() {
    return Option([](const SavedOptions& o) { return o.name_format.value_or(NameFormat::kContent); });
}
SequenceScheme MainWindow::CheckedSequenceScheme() { return Option([](const SavedOptions& o) { return o.sequence; }); }
bool MainWindow::LiveVideoEnabled() { return Option([](const SavedOptions& o) { return o.live_video; }); }
bool MainWindow::NewOnlyEnabled() { return Option([](const SavedOptions& o) { return o.new_only; }); }
bool MainWindow::UploadTimeAsFileTime() { return Option([](const SavedOptions& o) { return o.upload_time_as_file_time; }); }
std::string MainWindow::CompletionSoundPath() { return Option([](const SavedOptions& o) { return o.sound_path; }); }

std::string MainWindow::SaveFolder() {
    std::lock_guard lock(options_mutex_);
    return run_save_folder_;
}

bool MainWindow::OnOwnThread() const { return QThread::currentThread() == thread(); }

void MainWindow::DrawLater(bool first) {
    // The first call of a frame asks for it; the rest only add to it.
    if (first && !closing_) QMetaObject::invokeMethod(this, [this] { ScheduleDraw(); }, Qt::QueuedConnection);
}

void MainWindow::ScheduleDraw() {
    if (draw_timer_->isActive()) return;
    draw_timer_->start(static_cast<int>(std::max<qint64>(0, frame_pace_.IntervalMilliseconds() - since_draw_.elapsed())));
}

void MainWindow::DrawPending() {
    since_draw_.restart();
    DisplayBuffer::Pending pending = display_.Take();
    if (!pending.log.empty()) album_->AppendLog(pending.log);
    if (pending.progress) {
        album_->progress->setMaximum(pending.progress->second);
        album_->progress->setValue(pending.progress->first);
    }
    for (const auto& [label, text] : pending.labels) ShowLabel(label, text);
}

void MainWindow::AfterPending(std::function<void()> call) {
    if (OnOwnThread()) {
        DrawPending();
        call();
    } else if (!closing_) {
        QMetaObject::invokeMethod(this, [this, call = std::move(call)] { DrawPending(); call(); }, Qt::QueuedConnection);
    }
}

void MainWindow::AppendLog(const std::string& text) {
    if (!OnOwnThread()) return DrawLater(display_.AppendLog(text));
    DrawPending();  // a worker's lines come first
    album_->AppendLog(text);
}

void MainWindow::SetProgress(int position, int maximum) {
    if (!OnOwnThread()) return DrawLater(display_.SetProgress(position, maximum));
    DrawPending();
    album_->progress->setMaximum(maximum);
    album_->progress->setValue(position);
}

void MainWindow::SetLabel(StatusLabel label, const std::string& text) {
    if (!OnOwnThread()) return DrawLater(display_.SetLabel(label, text));
    DrawPending();
    ShowLabel(label, text);
}

void MainWindow::ShowLabel(StatusLabel label, const std::string& text) {
    if (label == StatusLabel::kStatusLine) return ShowCountdown(text);
    QLabel* target = label == StatusLabel::kProgressPercent ? album_->label_percent
                     : label == StatusLabel::kPhotoCounter  ? album_->label_photo_counter
                     : label == StatusLabel::kAlbumsSelected ? album_->label_selected
                                                              : album_->label_current_album;
    target->setText(QString::fromStdString(text));
}

void MainWindow::ShowCountdown(const std::string& text) {
    // The status line says again what it said before the wait.
    if (!status_before_wait_) status_before_wait_ = album_->label_status->text();
    album_->label_status->setText(text.empty() ? *status_before_wait_ : QString::fromStdString(text));
    if (text.empty()) status_before_wait_.reset();
}

void MainWindow::SetRunState(RunState state) {
    AfterPending([this, state] { album_->SetButtonsFor(state); });
}

void MainWindow::PlaySound(const std::string& path) {
    AfterPending([this, path] {
        if (path.empty()) return;  // an unusable file simply plays nothing
        player_->setSource(QUrl::fromLocalFile(QString::fromStdString(path)));
        player_->play();
    });
}

void MainWindow::ShowMessage(const std::string& text) {
    AfterPending([this, text] { OpenMessage(QString::fromUtf8("信息："), QString::fromStdString(text)); });
}

void MainWindow::SaveSetting(std::string_view section, std::string_view key, std::string_view value) {
    if (WriteSetting(globals_.config_path, section, key, value)) {
        setting_write_failed_ = false;
        return;
    }
    if (setting_write_failed_) return;  // said once until a write works again
    setting_write_failed_ = true;
    OpenMessage(QString::fromUtf8("信息："),
                QString::fromUtf8("设置无法保存到配置文件：") + QString::fromStdString(globals_.config_path));
}

void MainWindow::OpenMessage(const QString& caption, const QString& text) {
    // Shown without holding up the worker that asked for it.
    auto* box = new QMessageBox(QMessageBox::Information, caption, text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

}  // namespace wa
