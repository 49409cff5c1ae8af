#include "ui/sync_runner.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QUrl>

#include <sys/stat.h>

#include "download/record_store.h"
#include "ui/run_presenter.h"
#include "ui/sync_page.h"
#include "ui/task_runner.h"
#include "util/folders.h"
#include "util/text.h"
#include "weibo/user_resolution.h"

namespace wa {
namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

// What of the list cannot be used, in the page's words; empty when all can.
QString ListProblem(const SyncList& list, const std::string& path) {
    switch (list.problem) {
        case SyncList::Problem::kNone:
        case SyncList::Problem::kMissing: break;
        case SyncList::Problem::kUnreadable: return Text("同步列表无法读取：" + path);
        case SyncList::Problem::kNotAFile: return Text("同步列表不是普通文件，不予使用：" + path);
        case SyncList::Problem::kOpenToOthers: return Text("同步列表 " + path + " " + list.open_to_others + "，不予使用");
    }
    std::string said;
    for (std::size_t i = 0; i < list.refused.size() && i < 3; ++i) {
        const SyncList::Refusal& refusal = list.refused[i];
        said += (i ? "；第" : "同步列表第") + std::to_string(refusal.line) + "行";
        switch (refusal.why) {
            case SyncList::LineProblem::kTooLong: said += "超过" + std::to_string(kMaxListLine) + "字节，未读取"; break;
            case SyncList::LineProblem::kNulByte: said += "含有NUL字符，未读取"; break;
            case SyncList::LineProblem::kTooManyUsers:
                said += "起超过" + std::to_string(kMaxListUsers) + "个用户，未读取";
                break;
            case SyncList::LineProblem::kTooManyLines:
                said += "起超过" + std::to_string(kMaxListLines) + "行或" + std::to_string(kMaxListBytes >> 20) +
                        "MiB，未读取";
                break;
        }
    }
    if (list.refused.size() > 3) said += "等" + std::to_string(list.refused.size()) + "处";
    return said.empty() ? QString() : Text(said + "：" + path);
}

}  // namespace

SyncRunner::SyncRunner(SyncPage* page, QLabel* summary, TaskRunner& tasks, std::string list_path,
                       std::string data_folder, DailySyncPlan daily, Message message, QObject* parent)
    : QObject(parent), page_(page), summary_(summary), tasks_(tasks), list_path_(std::move(list_path)),
      data_folder_(std::move(data_folder)), daily_(std::move(daily)), message_(std::move(message)) {
    qRegisterMetaType<wa::SyncOutcome>("wa::SyncOutcome");
    presenter_ = new RunPresenter(page_, summary, this);
    // On the run's thread, while the user is still the one being synced.
    connect(presenter_, &RunPresenter::albumStarted, this, [this](int index, int albums) {
        ShowState(user_, QString::fromUtf8("正在同步第%1/%2个相册").arg(index).arg(albums));
    }, Qt::DirectConnection);
    connect(page_, &SyncPage::pauseRequested, this, [this] { Pause(); });
    connect(page_, &SyncPage::continueRequested, this, [this] { Continue(); });
    connect(page_, &SyncPage::stopRequested, this, [this] { Stop(); });
    connect(page_, &SyncPage::removeRequested, this, [this](const QString& target) { Remove(target); });
    connect(page_, &SyncPage::dailyToggled, this, [this](bool on) { SetDaily(on); });
}

SyncRunner::~SyncRunner() { Close(); }

SyncRow SyncRunner::RowOf(const SyncEntry& entry) const {
    SyncRow row;
    row.target = Text(entry.target);
    const std::string uid = TargetUid(entry.target);
    row.uid = Text(uid);
    row.title = Text(entry.note.empty() ? entry.target : entry.note);
    row.albums = entry.albums.empty() ? QString::fromUtf8("全部相册") : QString::number(entry.albums.size()) + QString::fromUtf8("个相册");
    RecordStore records;
    OpenUserStore(records, data_folder_, uid);
    std::vector<std::string> names;
    for (const std::string& key : entry.albums) names.push_back(OneLine(records.AlbumName(key).value_or(key)));
    row.albums_tip = Text(JoinText(names, "\n"));
    if (const std::optional<RecordStore::SyncMark> mark = records.LastSync()) {
        row.last_sync = QDateTime::fromSecsSinceEpoch(mark->at).toString("yyyy-MM-dd HH:mm");
        row.new_photos = QString::number(mark->saved);
        if (!mark->title.empty()) row.title = Text(mark->title);
    }
    return row;
}

void SyncRunner::Reload() {
    if (Running()) return;  // the rows stand for the users being synced
    const SyncList list = ReadSyncList(list_path_);
    page_->ShowListProblem(ListProblem(list, list_path_));
    entries_ = list.Entries();
    rows_.clear();
    for (const SyncEntry& entry : entries_) rows_.push_back(RowOf(entry));
    page_->ShowRows(rows_);
}

void SyncRunner::Add(const ResolvedUser& user, const std::vector<std::string>& album_keys) {
    const auto albums = [](const std::vector<std::string>& keys) {
        return keys.empty() ? std::string("全部相册") : std::to_string(keys.size()) + "个相册";
    };
    std::optional<SyncEntry> before;
    const SyncListChange changed = ChangeSyncList(list_path_, [&](SyncList& list) {
        before = list.Find({user.uid, {}, {}});
        return list.Put({user.uid, album_keys, user.title});
    });
    if (!Said(changed, "再加入用户")) return;
    std::string said = "已加入同步列表：" + user.title + "（" + albums(album_keys) + "）";
    if (before && before->albums == album_keys) {
        said = "同步列表中已有" + user.title + "（" + albums(album_keys) + "），没有改变";
    } else if (before) {
        said = "已更新同步列表中的" + user.title + "：" + albums(before->albums) + " → " + albums(album_keys);
    }
    Reload();
    message_(QString::fromUtf8("信息："), Text(said));
}

bool SyncRunner::Said(const SyncListChange& changed, const char* then) {
    using Result = SyncListChange::Result;
    if (changed.result == Result::kNotWhole) {
        message_(QString::fromUtf8("信息："), ListProblem(changed.read, list_path_) + QString::fromUtf8("\n请先修改同步列表，") + QString::fromUtf8(then));
    } else if (changed.result == Result::kRefused) {
        message_(QString::fromUtf8("信息："), QString::fromUtf8("无法加入同步列表：勾选的相册太多，或相册编号含有空格或逗号"));
    } else if (changed.result == Result::kNotWritten) {
        message_(QString::fromUtf8("信息："), Text("同步列表无法写入：" + list_path_));
    }
    return changed.result == Result::kChanged;
}

void SyncRunner::AddChosen(const ResolvedUser& user, const std::vector<ChosenAlbum>& chosen, int listed) {
    if (user.uid.empty() || listed == 0) {
        message_(QString::fromUtf8("信息："), QString::fromUtf8("请先获取一个用户的相册，勾选要同步的相册"));
        return;
    }
    if (chosen.empty()) {
        message_(QString::fromUtf8("信息："), QString::fromUtf8("请勾选要同步的相册"));
        return;
    }
    std::vector<std::string> keys;
    if (static_cast<int>(chosen.size()) < listed) {
        RecordStore records;  // the names the list's rows show for the keys
        OpenUserStore(records, data_folder_, user.uid, true);
        for (const ChosenAlbum& album : chosen) {
            keys.push_back(album.album.key);
            records.SetAlbumName(album.album.key, album.album.name);
        }
    }
    Add(user, keys);
}

void SyncRunner::Remove(const QString& target) {
    const SyncListChange changed =
        ChangeSyncList(list_path_, [&](SyncList& list) { return list.Remove(target.toStdString()); });
    // A user no longer there is no change to say.
    if (changed.result != SyncListChange::Result::kRefused && !Said(changed, "再移出用户")) return;
    Reload();
}

void SyncRunner::Open(const QString& target, const std::string& save_folder) {
    QString folder = Text(save_folder);
    for (const SyncRow& row : rows_) {
        if (row.target == target && QDir(folder + "/" + row.title).exists()) folder += "/" + row.title;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

bool SyncRunner::Start(OptionsSource options, DownloadContext context) {
    Reload();
    if (entries_.empty()) {
        message_(QString::fromUtf8("信息："),
                 QString::fromUtf8("同步列表里还没有用户：在第二步获取相册、勾选后点【加入同步列表】"));
        return false;
    }
    std::vector<SyncUser> users;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        users.push_back({entries_[i].target, entries_[i].albums});
        rows_[i].state = QString::fromUtf8("等待同步");
        page_->ShowRow(static_cast<int>(i), rows_[i]);
    }
    save_folder_ = options().save_folder;
    presenter_->Begin();
    job_.StartSync(*this, std::move(options), std::move(users), std::move(context));
    page_->SetButtonsFor(RunState::kRunning);
    return true;
}

void SyncRunner::Pause() {
    page_->SetButtonsFor(RunState::kPaused);
    job_.Pause();
    presenter_->LogNow("已暂停同步");
}

void SyncRunner::Continue() {
    page_->SetButtonsFor(RunState::kRunning);
    job_.Continue();
    presenter_->LogNow("继续同步");
}

void SyncRunner::Stop() {
    job_.Stop();
    presenter_->LogNow("已结束同步");
    page_->EndBusyBar();
    page_->SetButtonsFor(RunState::kIdle);
}

bool SyncRunner::Running() const { return job_.Running(); }

void SyncRunner::Close() {
    presenter_->Close();
    job_.Stop();
}

void SyncRunner::RefreshDaily() {
    if (daily_.cli.empty()) {
        page_->ShowDaily(false, QString::fromUtf8("找不到weibo-albums-cli，无法每天自动同步"), {});
        return;
    }
    tasks_.Run([this, daily = daily_](JobToken*) {
        const DailySyncState state = DailySyncNow(daily);
        QMetaObject::invokeMethod(this, [this, state] { ShowDailyState(state); }, Qt::QueuedConnection);
    });
}

void SyncRunner::SetDaily(bool on) {
    if (daily_.cli.empty()) return RefreshDaily();
    tasks_.Run([this, daily = daily_, on](JobToken*) {
        const DailySyncState state = on ? TurnDailySyncOn(daily) : TurnDailySyncOff(daily);
        QMetaObject::invokeMethod(this, [this, state, on] {
            ShowDailyState(state);
            if (!state.problem.empty()) presenter_->LogNow(state.problem);
            if (on && !state.on) message_(QString::fromUtf8("信息："), DailyRefusalText(state));
        }, Qt::QueuedConnection);
    });
}

QString SyncRunner::DailyRefusalText(const DailySyncState& state) const {
    if (const std::string refusal = DailySyncRefusal(daily_); !refusal.empty()) return Text(refusal);
    if (state.user_systemd) return Text(state.problem.empty() ? "每天自动同步没有开启" : state.problem);
    return Text("本机没有运行用户级systemd，无法开启每天自动同步。\n可以用crontab每天同步：运行 crontab -e，加入这一行：\n" +
                SyncCrontabLine(daily_));
}

void SyncRunner::ShowDailyState(const DailySyncState& state) {
    if (const std::string refusal = DailySyncRefusal(daily_); !refusal.empty()) {
        page_->ShowDaily(false, Text(refusal), {});
        return;
    }
    if (!state.user_systemd) {
        page_->ShowDaily(false, QString::fromUtf8("没有用户级systemd：可用crontab（crontab -e加入右边这一行）"),
                         Text(SyncCrontabLine(daily_)));
        return;
    }
    QString text = state.on ? QString::fromUtf8("已开启，下次同步：") + Text(state.next_run.empty() ? "未知" : state.next_run)
                            : QString::fromUtf8("每天同步一次列表里的用户，有新照片时通知");
    if (!state.problem.empty()) text = Text(state.problem);
    page_->ShowDaily(state.on, text, {});
}

void SyncRunner::ShowState(int index, const QString& state, bool refresh) {
    QMetaObject::invokeMethod(this, [this, index, state, refresh] {
        if (index < 1 || index > static_cast<int>(rows_.size())) return;
        const auto at = static_cast<std::size_t>(index - 1);
        if (refresh) rows_[at] = RowOf(entries_[at]);  // what the record store holds now
        rows_[at].state = state;
        page_->ShowRow(index - 1, rows_[at]);
    }, Qt::QueuedConnection);
}

RunObserver& SyncRunner::UserRun() { return *presenter_; }
void SyncRunner::Logged(const LogLine& line) { presenter_->Logged(line); }
void SyncRunner::Waiting(const RunWait& wait) { presenter_->Waiting(wait); }

void SyncRunner::UserStarted(const SyncUserStart& start) {
    user_ = start.index;
    ShowState(start.index, QString::fromUtf8("正在同步"));
}

void SyncRunner::UserFinished(const SyncUserOutcome& outcome) {
    QString state = outcome.run.stopped ? QString::fromUtf8("已结束")
                                        : QString::fromUtf8("已完成，新照片%1张").arg(outcome.run.saved);
    if (!outcome.failure.empty()) state = QString::fromUtf8("失败：") + Text(outcome.failure);
    if (outcome.busy) state = QString::fromUtf8("另一个同步正在同步，已跳过");
    ShowState(outcome.index, state, true);
}

void SyncRunner::SyncFinished(const SyncOutcome& outcome) {
    QMetaObject::invokeMethod(this, [this, outcome] {
        presenter_->Settle();  // the sync's last lines come first
        // The whole sync's figures, not its last user's.
        summary_->setText(Text("本次" + SyncSummary(outcome) + "：" + CountsText(outcome.photos)));
        if (!outcome.stopped) {  // else the stop button has set the page already
            Notify(outcome);
            page_->SetButtonsFor(RunState::kIdle);
            if (!outcome.login_needed) {
                message_(QString::fromUtf8("信息："),
                         QString::fromUtf8("全部同步完毕\n") + Text(SyncSummary(outcome)));
            }
        }
        emit syncFinished(outcome);
    }, Qt::QueuedConnection);
}

void SyncRunner::Notify(const SyncOutcome& outcome) {
    if (outcome.photos.saved <= 0) return;
    const NotificationSent sent = notifier_.Send({SyncNewsTitle(outcome), SyncNewsText(outcome), save_folder_});
    if (!sent.sent) presenter_->LogNow("桌面通知未发出：" + sent.problem);
}

}  // namespace wa
