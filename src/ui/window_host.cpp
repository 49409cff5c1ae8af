// The window as the download engine's host. A worker's call waits while the
// window thread carries it out; once the window is closing, calls do nothing
// and reads answer what a stopped run needs.
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QThread>
#include <QTreeWidget>

#include "ui/album_page.h"
#include "ui/main_window.h"
#include "ui/settings_page.h"
#include "util/ini_file.h"
#include "ui/qt_dates.h"

namespace wa {

void MainWindow::OnWindowThread(const std::function<void()>& call) {
    if (QThread::currentThread() == thread()) {
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
    int count = 0;
    OnWindowThread([&] { count = album_->album_list->topLevelItemCount(); });
    return count;
}

AlbumRow MainWindow::AlbumRowAt(int index) {
    AlbumRow row;
    OnWindowThread([&] { row = album_->AlbumRowAt(index); });
    return row;
}

bool MainWindow::RecordStoreEnabled() {
    bool on = false;
    OnWindowThread([&] { on = settings_->check_record->isChecked(); });
    return on;
}

bool MainWindow::TimeWindowEnabled() {
    bool on = false;
    OnWindowThread([&] { on = settings_->check_window->isChecked(); });
    return on;
}

DateTime MainWindow::TimeWindowStart() {
    DateTime value;
    OnWindowThread([&] { value = settings_->WindowStart(); });
    return value;
}

DateTime MainWindow::TimeWindowEnd() {
    DateTime value;
    OnWindowThread([&] { value = settings_->WindowEnd(); });
    return value;
}

std::string MainWindow::SaveFolder() {
    std::string folder;
    OnWindowThread([&] { folder = run_save_folder_; });
    return folder;
}

NameFormat MainWindow::CheckedNameFormat() {
    NameFormat format = NameFormat::kContent;
    OnWindowThread([&] { format = settings_->CheckedNameFormat(); });
    return format;
}

SequenceScheme MainWindow::CheckedSequenceScheme() {
    SequenceScheme scheme = SequenceScheme::kRunning;
    OnWindowThread([&] { scheme = settings_->CheckedSequenceScheme(); });
    return scheme;
}

bool MainWindow::LiveVideoEnabled() {
    bool on = true;
    OnWindowThread([&] { on = settings_->check_live_video->isChecked(); });
    return on;
}

std::string MainWindow::CompletionSoundPath() {
    std::string path;
    OnWindowThread([&] { path = settings_->edit_sound->text().toStdString(); });
    return path;
}

void MainWindow::AppendLog(const std::string& text) {
    OnWindowThread([&] { album_->AppendLog(text); });
}

void MainWindow::SetProgress(int position, int maximum) {
    OnWindowThread([&] {
        album_->progress->setMaximum(maximum);
        album_->progress->setValue(position);
    });
}

void MainWindow::SetLabel(StatusLabel label, const std::string& text) {
    OnWindowThread([&] {
        if (label == StatusLabel::kStatusLine) return ShowCountdown(text);
        QLabel* target = label == StatusLabel::kProgressPercent ? album_->label_percent
                         : label == StatusLabel::kPhotoCounter  ? album_->label_photo_counter
                         : label == StatusLabel::kAlbumsSelected ? album_->label_selected
                                                                  : album_->label_current_album;
        target->setText(QString::fromStdString(text));
    });
}

void MainWindow::ShowCountdown(const std::string& text) {
    // The status line says again what it said before the wait.
    if (!status_before_wait_) status_before_wait_ = album_->label_status->text();
    album_->label_status->setText(text.empty() ? *status_before_wait_ : QString::fromStdString(text));
    if (text.empty()) status_before_wait_.reset();
}

void MainWindow::SetRunState(RunState state) {
    OnWindowThread([&] { album_->SetButtonsFor(state); });
}

void MainWindow::PlaySound(const std::string& path) {
    OnWindowThread([&] {
        if (path.empty()) return;  // an unusable file simply plays nothing
        player_->setSource(QUrl::fromLocalFile(QString::fromStdString(path)));
        player_->play();
    });
}

void MainWindow::ShowMessage(const std::string& text) {
    OnWindowThread([&] { OpenMessage(QString::fromUtf8("信息："), QString::fromStdString(text)); });
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
