#include "ui/run_presenter.h"

#include <QTimer>

#include "ui/album_page.h"

namespace wa {

RunPresenter::RunPresenter(AlbumPage* page, QObject* parent) : QObject(parent), page_(page) {
    qRegisterMetaType<wa::RunOutcome>("wa::RunOutcome");
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] { Draw(); });
    since_draw_.start();
}

void RunPresenter::RunStarted(const RunStart& start) {
    DrawLater(buffer_.SetLabel(RunLabel::kSelected, "总共需下载[" + std::to_string(start.albums) + "]个相册"));
}

void RunPresenter::AlbumStarted(const AlbumStart& album) {
    DrawLater(buffer_.SetLabel(RunLabel::kCurrentAlbum, "下载到第[" + std::to_string(album.index) + "]个相册"));
    buffer_.SetLabel(RunLabel::kPercent, "");
    buffer_.SetProgress(0, 100);
}

void RunPresenter::AlbumProgressed(const AlbumProgress& progress) {
    const std::string counter = (progress.total.empty() ? "?" : progress.total) + "/" + std::to_string(progress.position);
    if (progress.percent < 0) {  // how far the album is nobody can tell: a busy bar
        DrawLater(buffer_.SetProgress(0, 0));
        buffer_.SetLabel(RunLabel::kPercent, "");
    } else {
        DrawLater(buffer_.SetProgress(progress.percent, 100));
        buffer_.SetLabel(RunLabel::kPercent, std::to_string(progress.percent) + "%");
    }
    buffer_.SetLabel(RunLabel::kCounter, counter);
}

void RunPresenter::PhotoDone(PhotoResult) {}

void RunPresenter::Logged(const LogLine& line) {
    DrawLater(buffer_.AppendLog(line.text + (line.blank_after ? "\n\n" : "\n")));
}

void RunPresenter::Waiting(long long seconds_left) { DrawLater(buffer_.SetWaiting(seconds_left)); }

void RunPresenter::AlbumFinished(const AlbumOutcome& outcome) {
    if (!outcome.stopped && !outcome.login_needed) DrawLater(buffer_.SetLabel(RunLabel::kCounter, ""));
}

void RunPresenter::RunFinished(const RunOutcome& outcome) {
    buffer_.SetFinished(outcome);
    // The end of a run is shown at once, not at the next frame.
    if (!closing_) QMetaObject::invokeMethod(this, [this] { Draw(); }, Qt::QueuedConnection);
}

void RunPresenter::LogNow(const std::string& line) {
    Draw();  // the run's lines come first
    page_->AppendLog(line + "\n");
}

void RunPresenter::DrawLater(bool first) {
    // The first event of a frame asks for it; the rest only add to it.
    if (first && !closing_) QMetaObject::invokeMethod(this, [this] { ScheduleDraw(); }, Qt::QueuedConnection);
}

void RunPresenter::ScheduleDraw() {
    if (timer_->isActive()) return;
    timer_->start(static_cast<int>(std::max<qint64>(0, pace_.IntervalMilliseconds() - since_draw_.elapsed())));
}

void RunPresenter::Draw() {
    since_draw_.restart();
    const DisplayBuffer::Pending pending = buffer_.Take();
    if (!pending.log.empty()) page_->AppendLog(pending.log);
    if (pending.progress) page_->ShowProgress(pending.progress->first, pending.progress->second);
    for (const auto& [label, text] : pending.labels) page_->ShowRunLabel(label, text);
    if (pending.waiting) page_->ShowCountdown(*pending.waiting);
    if (!pending.finished) return;
    if (!pending.finished->stopped && !pending.finished->login_needed) {
        page_->ShowRunLabel(RunLabel::kCounter, "下载完成");
        page_->ShowProgress(100, 100);
        page_->ShowRunLabel(RunLabel::kPercent, "100%");
    }
    emit runFinished(*pending.finished);
}

}  // namespace wa
