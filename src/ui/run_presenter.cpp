#include "ui/run_presenter.h"

#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#include "ui/run_view.h"

namespace wa {

namespace {

std::string Duration(long long seconds) {
    if (seconds < 60) return std::to_string(seconds) + "秒";
    if (seconds < 3600) return std::to_string(seconds / 60) + "分" + std::to_string(seconds % 60) + "秒";
    return std::to_string(seconds / 3600) + "小时" + std::to_string(seconds % 3600 / 60) + "分";
}

// The pace changed: the next draw, which knows the run's time, notes when.
constexpr double kPacedAtNextDraw = -2;
// Photos ended since the pace changed before the time left is reckoned from them.
constexpr long long kPhotosToReckonPace = 5;

long long PhotosEnded(const PhotoCounts& c) { return c.saved + c.already_there + c.recorded + c.outside_window + c.failed; }

}  // namespace

std::string RunSummary(const RunStats& s) {
    std::string text = "本次：";
    text += s.finished ? std::to_string(s.albums_done) + "/" + std::to_string(s.albums) + "个相册" +
                             (s.stopped ? "，已结束" : s.network_lost ? "，网络中断" : "完成")
                       : "第" + std::to_string(std::max(s.album, 1)) + "/" + std::to_string(s.albums) + "个相册";
    text += "，已" + CountsText(s.counts);
    if (s.finished) return text;
    if (s.paused) return text + "，已暂停";
    if (!s.pace.empty()) text += "，" + s.pace;
    if (s.waiting) {
        switch (*s.waiting) {
            case WaitReason::kNetwork: return text + "，等待网络恢复";
            case WaitReason::kPace: return text + "，按服务限流放慢请求";
            case WaitReason::kRateLimit: break;
        }
        return text + "，请求过于频繁，等待中";
    }
    if (s.seconds < 1) return text;
    const PhotoCounts& c = s.counts;
    const long long done = PhotosEnded(c);
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f", c.saved / s.seconds);
    text += "，每秒" + std::string(rate) + "张";
    // Since the pace last changed, once a few photos show what it gives.
    const bool paced = s.paced_at >= 0;
    const long long since = paced ? done - s.done_when_paced : done;
    const double seconds = paced ? s.seconds - s.paced_at : s.seconds;
    if (s.photos > done && since >= (paced ? kPhotosToReckonPace : 1)) {
        text += "，约还需" + Duration(static_cast<long long>((s.photos - done) * seconds / static_cast<double>(since)));
    }
    return text;
}

std::string CompletionCounts(const RunOutcome& outcome) { return "本次" + CountsText(outcome); }

RunPresenter::RunPresenter(RunView* page, QLabel* summary, QObject* parent)
    : QObject(parent), page_(page), summary_(summary), buffer_([this] { DrawLater(); }) {
    qRegisterMetaType<wa::RunOutcome>("wa::RunOutcome");
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] { Draw(); });
    since_draw_.start();
}

void RunPresenter::Begin() {
    Draw();  // what a run that is still ending wanted shown goes first
    {
        std::lock_guard lock(stats_mutex_);
        stats_ = RunStats{};
    }
    run_time_.start();
    paused_ms_ = 0;
    paused_since_.invalidate();
    page_->ShowRunLabel(RunLabel::kPercent, "");
    page_->ShowRunLabel(RunLabel::kCounter, "");
    page_->ShowProgress(0, 100);
    summary_->clear();
}

void RunPresenter::SetPaused(bool paused) {
    if (paused && !paused_since_.isValid()) paused_since_.start();
    if (!paused && paused_since_.isValid()) {
        paused_ms_ += paused_since_.elapsed();
        paused_since_.invalidate();
    }
    {
        std::lock_guard lock(stats_mutex_);
        stats_.paused = paused;
    }
    Draw();
}

void RunPresenter::Stopped() {
    {
        std::lock_guard lock(stats_mutex_);
        stats_.stopped = true;
        stats_.paused = false;
    }
    page_->EndBusyBar();
    page_->ShowRunLabel(RunLabel::kCounter, "已结束");
    Draw();
}

void RunPresenter::ShowRow(int index, AlbumRowState state) {
    std::lock_guard lock(stats_mutex_);
    if (index >= 1 && index <= static_cast<int>(keys_.size())) buffer_.SetRow(keys_[static_cast<std::size_t>(index - 1)], state);
}

void RunPresenter::RunStarted(const RunStart& start) {
    {
        std::lock_guard lock(stats_mutex_);
        stats_ = RunStats{};
        stats_.albums = start.albums;
        stats_.photos = start.photos;
        keys_ = start.keys;
        for (const std::string& key : keys_) buffer_.SetRow(key, {"等待", -1});
    }
    buffer_.SetLabel(RunLabel::kSelected, "总共需下载[" + std::to_string(start.albums) + "]个相册");
}

void RunPresenter::AlbumStarted(const AlbumStart& album) {
    int albums = 0;
    {
        std::lock_guard lock(stats_mutex_);
        stats_.album = album.index;
        albums = stats_.albums;
    }
    emit albumStarted(album.index, albums);
    buffer_.SetLabel(RunLabel::kCurrentAlbum, "下载到第[" + std::to_string(album.index) + "]个相册");
    buffer_.SetLabel(RunLabel::kPercent, "");
    buffer_.SetProgress(0, 100);
    ShowRow(album.index, {"下载中", 0});
}

void RunPresenter::AlbumProgressed(const AlbumProgress& progress) {
    const std::string counter = progress.Counter();
    if (progress.percent < 0) {  // how far the album is nobody can tell: a busy bar
        buffer_.SetProgress(0, 0);
        buffer_.SetLabel(RunLabel::kPercent, "");
    } else {
        buffer_.SetProgress(progress.percent, 100);
        buffer_.SetLabel(RunLabel::kPercent, std::to_string(progress.percent) + "%");
    }
    buffer_.SetLabel(RunLabel::kCounter, counter);
    int index = 0;
    {
        std::lock_guard lock(stats_mutex_);
        index = stats_.album;
    }
    ShowRow(index, progress.total ? AlbumRowState{"下载中 " + std::to_string(progress.position) + "/" +
                                                      std::to_string(*progress.total), progress.percent}
                                  : AlbumRowState{"下载中 " + std::to_string(progress.position) + "张",
                                                  AlbumRowState::kBusy});
}

void RunPresenter::PhotoDone(const PhotoEnd& end) {
    std::lock_guard lock(stats_mutex_);
    stats_.counts = end.run;
}

void RunPresenter::Logged(const LogLine& line) {
    buffer_.AppendLog(line.text + (line.blank_after ? "\n\n" : "\n"));
}

void RunPresenter::PaceChanged(const PaceChange& change) {
    {
        std::lock_guard lock(stats_mutex_);
        stats_.pace = change.text;
        stats_.paced_at = change.slowed ? kPacedAtNextDraw : -1;
    }
    DrawLater();
}

void RunPresenter::Waiting(const RunWait& wait) {
    {
        std::lock_guard lock(stats_mutex_);
        stats_.waiting = wait.seconds_left > 0 ? std::optional<WaitReason>(wait.reason) : std::nullopt;
    }
    buffer_.SetWaiting(wait);
}

void RunPresenter::AlbumFinished(const AlbumOutcome& outcome) {
    int index = 0;
    {
        std::lock_guard lock(stats_mutex_);
        if (!outcome.stopped && !outcome.login_needed && outcome.network_lost.empty()) ++stats_.albums_done;
        index = stats_.album;
    }
    const int failures = outcome.failed + outcome.videos_failed;
    std::string state = failures > 0 ? "完成（" + std::to_string(failures) + "张失败）" : "完成";
    if (outcome.failed_pages > 0) state = "完成（" + std::to_string(outcome.failed_pages) + "页照片列表失败）";
    if (outcome.stopped) state = "已结束";
    if (outcome.login_needed) state = "需要登录";
    if (!outcome.network_lost.empty()) state = "网络中断";
    ShowRow(index, {state, outcome.stopped || outcome.login_needed || !outcome.network_lost.empty() ? -1 : 100});
    if (!outcome.stopped && !outcome.login_needed) buffer_.SetLabel(RunLabel::kCounter, "");
}

void RunPresenter::RunFinished(const RunOutcome& outcome) {
    int album = 0;
    {
        std::lock_guard lock(stats_mutex_);
        stats_.finished = true;
        stats_.stopped = outcome.stopped;
        stats_.network_lost = !outcome.network_lost.empty();
        album = stats_.album;
    }
    // Albums a lost network kept the run from are kept for a retry.
    for (int later = album + 1; stats_.network_lost && later <= static_cast<int>(keys_.size()); ++later) {
        ShowRow(later, {"没有下载", -1});
    }
    buffer_.SetFinished(outcome);
    // The end of a run is shown at once, not at the next frame.
    if (!closing_) QMetaObject::invokeMethod(this, [this] { Draw(); }, Qt::QueuedConnection);
}

void RunPresenter::LogNow(const std::string& line) {
    Draw();  // the run's lines come first
    page_->AppendLog(line + "\n");
}

void RunPresenter::DrawLater() {
    // The first event of a frame asks for it; the rest only add to it.
    if (!closing_) QMetaObject::invokeMethod(this, [this] { ScheduleDraw(); }, Qt::QueuedConnection);
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
    for (const auto& [key, state] : pending.rows) page_->ShowAlbumState(key, state);
    if (run_time_.isValid()) {
        RunStats stats;
        {
            std::lock_guard lock(stats_mutex_);
            const qint64 paused = paused_ms_ + (paused_since_.isValid() ? paused_since_.elapsed() : 0);
            stats_.seconds = static_cast<double>(run_time_.elapsed() - paused) / 1000;
            if (stats_.paced_at == kPacedAtNextDraw) {
                stats_.paced_at = stats_.seconds;
                stats_.done_when_paced = PhotosEnded(stats_.counts);
            }
            stats = stats_;
        }
        summary_->setText(QString::fromStdString(RunSummary(stats)));
    }
    if (!pending.finished) return;
    const RunOutcome& finished = *pending.finished;
    if (finished.stopped || !finished.network_lost.empty()) page_->EndBusyBar();  // nothing is being read any more
    if (!finished.network_lost.empty()) page_->ShowRunLabel(RunLabel::kCounter, "网络中断");
    if (!finished.stopped && !finished.login_needed && finished.network_lost.empty()) {
        page_->ShowRunLabel(RunLabel::kCounter, "下载完成");
        page_->ShowProgress(100, 100);
        page_->ShowRunLabel(RunLabel::kPercent, "100%");
    }
    emit runFinished(*pending.finished);
}

}  // namespace wa
