// The album list and download page: resolving a user, listing the albums,
// ticking them, and starting, pausing, continuing and stopping a run.
#include <QCheckBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QUrl>

#include "download/photo_list.h"
#include "ui/main_window.h"
#include "weibo/album_list.h"
#include "weibo/cover_image.h"
#include "weibo/page_fetch.h"
#include "weibo/service_request.h"
#include "weibo/weibo_service.h"

namespace wa {

void MainWindow::ResolveUser() {
    if (edit_home->text().isEmpty()) {
        QMessageBox::information(this, QString::fromUtf8("信息："), QString::fromUtf8("请输入网址"));
        return;
    }
    label_user->setText(QString::fromUtf8("正在获取 耐心等待！"));
    const std::string address = edit_home->text().toStdString();
    const int generation = ++listing_generation_;  // a newer listing supersedes this one
    RunInBackground([this, address, generation](JobToken* job) {
        const UserLookup lookup = ResolveUserPage(address, job);
        if (job->StopRequested()) return;
        const ResolvedUser& user = lookup.user;
        OnWindowThread([this, &user] {
            resolved_user_ = user;
            label_user->setText(QString::fromUtf8("要下载用户：") + QString::fromStdString(user.title));
            label_status->setText(QString::fromUtf8("温馨提示：正在获取相册列表..."));
            AppendLog("正努力获取相册列表，耐心等待哈！\r\n\r\n");
        });
        AlbumListTask(user, generation, job, lookup.login_wall);
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
    if (!on_window([this] {
            drawing_board->show();
            for (const int column : {5, 6, 7}) album_list->setColumnWidth(column, 0);
            label_status->setText(QString::fromUtf8("相册获取中，耐心等待..."));
            album_list->clear();
        })) {
        return;
    }
    ServiceRequest request;
    request.job = job;
    request.log = [&on_window, this](const std::string& line) { on_window([this, &line] { AppendLog(line); }); };
    AlbumListing listing;
    if (!user.uid.empty()) {
        listing = FetchAlbumList(user.uid, request);
    } else if (login_wall) {
        listing.problem = ListingProblem::kLoginNeeded;  // no uid behind the visitor page
    }
    const std::vector<AlbumInfo>& albums = listing.albums;
    if (albums.empty()) {
        on_window([this, problem = listing.problem] {
            if (problem == ListingProblem::kLoginNeeded) {
                AppendLog(std::string(kLoginNeededLine) + "\r\n");
                OpenMessage(QString::fromUtf8("温馨提示"), QString::fromUtf8(kLoginNeededLine.data()));
                return;
            }
            if (problem == ListingProblem::kUnknownUser) AppendLog(std::string(kUnknownUserLine) + "\r\n");
            OpenMessage(QString::fromUtf8("温馨提示"), QString::fromUtf8("获取到相册个数为：0"));
        });
        return;
    }
    const int count = static_cast<int>(albums.size());
    if (!on_window([this] { progress->setValue(0); })) return;
    for (int i = 1; i <= count; ++i) {
        const AlbumInfo& album = albums[static_cast<std::size_t>(i - 1)];
        const bool go_on = on_window([this, i, count] {
            progress->setMaximum(count);
            progress->setValue(i);
            label_percent->setText(QString::number(i * 100 / count) + "%");
        });
        if (!go_on || !PumpingWait(200, 0, job)) return;
        if (album.IsEmpty()) continue;
        bool covers = false;
        if (!on_window([this, &covers] { covers = check_covers->isChecked(); })) return;
        // A cover that cannot be fetched or decoded shows the placeholder.
        QImage cover;
        if (covers && !album.cover_url.empty()) {
            // The picture servers answer 403 unless the Referer is the site.
            PageFetchOptions options;
            options.job = job;
            options.extra_headers = "Referer: " + CurrentService().home_page;
            cover = CoverImage(PageFetch(album.cover_url, options).body);
        }
        if (!on_window([this, &album, covers, &cover] {
                album_list->setColumnWidth(3, covers ? 100 : 0);
                QTreeWidgetItem* item = AppendAlbumRow({true, std::to_string(album_list->topLevelItemCount() + 1),
                                                        album.name, album.count, album.IdText()});
                if (covers) {
                    const QPixmap picture = QPixmap::fromImage(cover.isNull() ? cover_placeholder_ : cover);
                    item->setIcon(3, QIcon(picture));
                    drawing_board->setPixmap(picture);
                }
            })) {
            return;
        }
    }
    on_window([this] {
        drawing_board->hide();
        const QString total = QString::number(album_list->topLevelItemCount());
        label_status->setText(QString::fromUtf8("相册列表获取完毕,共计") + total + QString::fromUtf8("个"));
        AppendLog("-----获取完毕,共计" + total.toStdString() + "个\r\n选择要下载的 点击【3下载选中】\r\n\r\n");
    });
}

QImage MainWindow::CoverImage(std::string_view bytes) {
    const std::optional<DecodedPicture> picture = DecodePicture(bytes);
    if (!picture) return {};
    const QImage full(picture->rgba.data(), picture->width, picture->height, picture->width * 4,
                      QImage::Format_RGBA8888);
    return full.scaled(kCoverSide, kCoverSide, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);  // a deep copy
}

QImage MainWindow::CoverPlaceholder() {
    QImage image(kCoverSide, kCoverSide, QImage::Format_RGB32);
    image.fill(QColor(0xE6, 0xE6, 0xE6));
    QPainter painter(&image);
    painter.setPen(QPen(QColor(0xB0, 0xB0, 0xB0), 2));
    painter.drawRect(18, 22, 64, 48);
    painter.drawEllipse(QPoint(64, 36), 5, 5);
    painter.drawPolyline(QPolygon({QPoint(20, 68), QPoint(42, 44), QPoint(58, 60), QPoint(66, 52), QPoint(80, 68)}));
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawText(QRect(0, 74, kCoverSide, 22), Qt::AlignCenter, QString::fromUtf8("无封面"));
    return image;
}

QTreeWidgetItem* MainWindow::AppendAlbumRow(const AlbumRow& row) {
    const QSignalBlocker quiet(album_list);  // rows set from code raise no check-changed event
    auto* item = new QTreeWidgetItem(album_list);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, row.checked ? Qt::Checked : Qt::Unchecked);
    item->setText(1, QString::fromStdString(row.number));
    item->setText(2, QString::fromStdString(row.name));
    item->setText(4, QString::fromStdString(row.count));
    item->setText(5, QString::fromStdString(row.id_text));
    return item;
}

void MainWindow::OnAlbumCheckChanged(QTreeWidgetItem* item, int column) {
    if (column == 0) album_list->setCurrentItem(item);
}

void MainWindow::SetChecksQuietly(const std::function<void(QTreeWidgetItem*)>& change) {
    const QSignalBlocker quiet(album_list);
    for (int i = 0; i < album_list->topLevelItemCount(); ++i) change(album_list->topLevelItem(i));
    album_list->viewport()->update();
}

void MainWindow::OnSelectAllClicked() {
    if (!check_select_all->isChecked()) return;
    check_invert->setChecked(false);
    SetChecksQuietly([](QTreeWidgetItem* item) { item->setCheckState(0, Qt::Checked); });
}

void MainWindow::OnInvertClicked() {
    if (!check_invert->isChecked()) return;
    check_select_all->setChecked(false);
    SetChecksQuietly([](QTreeWidgetItem* item) {
        item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    });
}

void MainWindow::OnOpenFolderClicked() {
    QString folder = edit_save_folder->text();
    if (folder.isEmpty()) folder = QString::fromStdString(globals_.program_folder);
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void MainWindow::OnHelpLabelPressed() {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(HelpPageUrl(CurrentService()))));
}

void MainWindow::OnStopSoundClicked() { player_->pause(); }

void MainWindow::SetButtonsFor(RunState state) {
    button_start->setVisible(state == RunState::kIdle);
    button_pause->setVisible(state == RunState::kRunning);
    button_continue->setVisible(state == RunState::kPaused);
    button_stop->setVisible(state != RunState::kIdle);
}

void MainWindow::OnDownloadClicked() {
    DownloadContext context;
    context.program_folder = globals_.program_folder;
    context.referer = CurrentService().home_page;
    context.parallel = spin_parallel->value();
    download_.Start(*this, resolved_user_, context);
}

void MainWindow::OnPauseClicked() {
    button_start->hide();
    button_pause->hide();
    button_continue->show();
    download_.Pause();
}

void MainWindow::OnContinueClicked() {
    button_start->hide();
    button_pause->show();
    button_continue->hide();
    download_.Continue();
}

void MainWindow::OnStopClicked() {
    download_.Stop();
    SetButtonsFor(RunState::kIdle);
}

}  // namespace wa
