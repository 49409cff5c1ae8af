// Finding the user, listing the albums into the album page, and starting,
// pausing, continuing and stopping a download run.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QUrl>
#include <QWebEngineView>

#include "download/photo_list.h"
#include "ui/album_page.h"
#include "ui/login_page.h"
#include "ui/main_window.h"
#include "ui/settings_page.h"
#include "weibo/album_list.h"
#include "weibo/cover_image.h"
#include "net/page_fetch.h"
#include "weibo/service_request.h"
#include "weibo/weibo_service.h"

namespace wa {

void MainWindow::ResolveUser() {
    if (album_->edit_home->text().isEmpty()) {
        QMessageBox::information(this, QString::fromUtf8("信息："), QString::fromUtf8("请输入网址"));
        return;
    }
    album_->label_user->setText(QString::fromUtf8("正在获取 耐心等待！"));
    const std::string address = album_->edit_home->text().toStdString();
    const int generation = ++listing_generation_;  // a newer listing supersedes this one
    RunInBackground([this, address, generation](JobToken* job) {
        const UserLookup lookup = ResolveUserPage(address, job);
        if (job->StopRequested()) return;
        const ResolvedUser& user = lookup.user;
        bool current = false;
        OnWindowThread([this, &user, &current, generation] {
            // A newer resolution has started: this one writes nothing.
            current = generation == listing_generation_;
            if (!current) return;
            resolved_user_ = user;
            album_->label_user->setText(QString::fromUtf8("要下载用户：") + QString::fromStdString(user.title));
            album_->label_status->setText(QString::fromUtf8("温馨提示：正在获取相册列表..."));
            AppendLog("正努力获取相册列表，耐心等待哈！\r\n\r\n");
        });
        if (current) AlbumListTask(user, generation, job, lookup.login_wall);
    });
}

void MainWindow::AlbumListTask(ResolvedUser user, int generation, JobToken* job, bool login_wall) {
    bool current = true;
    // Every window call first checks that no newer listing has started.
    const auto on_window = [&](const std::function<void()>& call) {
        OnWindowThread([&] {
            current = generation == listing_generation_;
            if (current) call();
        });
        return current && !job->StopRequested();
    };
    if (!on_window([this, &user] {
            listed_user_ = user;  // the rows about to be listed are this user's
            album_->drawing_board->show();
            for (const int column : {5, 6, 7}) album_->SetColumnWidth(column, 0);
            album_->label_status->setText(QString::fromUtf8("相册获取中，耐心等待..."));
            album_->album_list->clear();
        })) {
        return;
    }
    ServiceRequest request;
    request.job = job;
    request.log = [&on_window, this](const std::string& line) { on_window([this, &line] { AppendLog(line); }); };
    request.countdown = [&on_window, this](long long left) {
        on_window([this, left] { ShowCountdown(left > 0 ? RateLimitWaitText(left) : ""); });
    };
    AlbumListing listing;
    AlbumDoor door = AlbumDoor::kAuto;
    if (!on_window([this, &door] { door = settings_->CheckedAlbumDoor(); })) return;
    if (!user.uid.empty()) {
        listing = ListAlbums(user.uid, door, request);
    } else {
        // No uid: the visitor page stood in the way, or there is no such user.
        listing.problem = login_wall ? ListingProblem::kLoginNeeded : ListingProblem::kUnknownUser;
    }
    const std::vector<AlbumInfo>& albums = listing.albums;
    if (albums.empty()) {
        on_window([this, &listing] { ShowListingEnd(listing); });
        return;
    }
    const int count = static_cast<int>(albums.size());
    if (!on_window([this] { album_->progress->setValue(0); })) return;
    for (int i = 1; i <= count; ++i) {
        const AlbumInfo& album = albums[static_cast<std::size_t>(i - 1)];
        const bool go_on = on_window([this, i, count] {
            album_->progress->setMaximum(count);
            album_->progress->setValue(i);
            album_->label_percent->setText(QString::number(i * 100 / count) + "%");
        });
        if (!go_on || !PumpingWait(200, 0, job)) return;
        if (album.IsEmpty()) continue;
        bool covers = false;
        if (!on_window([this, &covers] { covers = album_->check_covers->isChecked(); })) return;
        // A cover that cannot be fetched or decoded shows the placeholder.
        QImage cover;
        if (covers && !album.cover_url.empty()) {
            // The picture servers answer 403 unless the Referer is the site.
            PageFetchOptions options;
            options.job = job;
            options.extra_headers = "Referer: " + CurrentService().home_page;
            cover = AlbumPage::CoverImage(PageFetch(album.cover_url, options).body);
        }
        if (!on_window([this, &album, covers, &cover] {
                album_->SetColumnWidth(3, covers ? 100 : 0);
                QTreeWidgetItem* item = album_->AppendAlbumRow({true, std::to_string(album_->album_list->topLevelItemCount() + 1),
                                                        album.name, album.count, album.IdText()});
                if (covers) {
                    const QPixmap picture = QPixmap::fromImage(cover.isNull() ? album_->placeholder() : cover);
                    item->setIcon(3, QIcon(picture));
                    album_->drawing_board->setPixmap(picture);
                }
            })) {
            return;
        }
    }
    on_window([this] {
        album_->drawing_board->hide();
        const QString total = QString::number(album_->album_list->topLevelItemCount());
        album_->label_status->setText(QString::fromUtf8("相册列表获取完毕,共计") + total + QString::fromUtf8("个"));
        AppendLog("-----获取完毕,共计" + total.toStdString() + "个\r\n选择要下载的 点击【3下载选中】\r\n\r\n");
    });
}

void MainWindow::ShowListingEnd(const AlbumListing& listing) {
    album_->drawing_board->hide();
    std::string line = "获取到相册个数为：0";
    switch (listing.problem) {
        case ListingProblem::kStopped: return;
        case ListingProblem::kLoginNeeded: line = kLoginNeededLine; break;
        case ListingProblem::kNoAnswer: line = "相册列表获取失败：" + listing.reason; break;
        case ListingProblem::kUnknownUser: line = kUnknownUserLine; break;
        case ListingProblem::kNone: break;
    }
    album_->label_status->setText(QString::fromStdString(line));
    if (listing.problem != ListingProblem::kNone) AppendLog(line + "\r\n");
    OpenMessage(QString::fromUtf8("温馨提示"), QString::fromStdString(line));
}

void MainWindow::DownloadThisUser() {
    ShowPage(1);
    album_->edit_home->setText(login_->edit_url->text());
    ResolveUser();
}

void MainWindow::OnOpenAlbumPageClicked() {
    const std::string address = login_->edit_url->text().toStdString();
    RunInBackground([this, address](JobToken* job) {
        const UserLookup found = ResolveUserPage(address, job);
        if (job->StopRequested()) return;
        OnWindowThread([this, uid = found.user.uid] {
            resolved_user_.uid = uid;  // the title stays as it was
            login_->browser->setUrl(QUrl(QString::fromStdString(AlbumPageUrl(CurrentService(), uid))));
        });
    });
}

void MainWindow::OnDownloadClicked() {
    DownloadContext context;
    context.program_folder = globals_.data_folder;
    context.referer = CurrentService().home_page;
    context.parallel = settings_->spin_parallel->value();
    // The rows the run downloads belong to the user they were listed for, and
    // the save folder is taken as it stands now, not as it may be typed later.
    {
        std::lock_guard lock(options_mutex_);
        run_save_folder_ = album_->edit_save_folder->text().trimmed().toStdString();
        if (run_save_folder_.empty()) run_save_folder_ = globals_.default_save_folder;
        run_rows_.clear();
        for (int i = 0; i < album_->album_list->topLevelItemCount(); ++i) run_rows_.push_back(album_->AlbumRowAt(i));
    }
    download_.Start(*this, listed_user_, context);
}

void MainWindow::OnPauseClicked() {
    album_->button_start->hide();
    album_->button_pause->hide();
    album_->button_continue->show();
    download_.Pause();
    AppendLog("已暂停下载\r\n");
}

void MainWindow::OnContinueClicked() {
    album_->button_start->hide();
    album_->button_pause->show();
    album_->button_continue->hide();
    download_.Continue();
    AppendLog("继续下载\r\n");
}

void MainWindow::OnStopClicked() {
    download_.Stop();
    album_->SetButtonsFor(RunState::kIdle);
    AppendLog("已结束下载\r\n");
}

}  // namespace wa
