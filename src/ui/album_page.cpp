#include "ui/album_page.h"

#include <QBuffer>
#include <QCheckBox>
#include <QImageReader>
#include <QDesktopServices>
#include <QEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <QPainter>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>

#include "settings/settings.h"
#include "util/text.h"
#include "ui/album_rows.h"
#include "ui/elided_label.h"
#include "ui/file_chooser.h"
#include "ui/run_panel.h"
#include "weibo/service_request.h"
#include "weibo/weibo_service.h"

namespace wa {
namespace {

// The list's columns: the design's eight, and the run's state.
constexpr int kStateColumn = 8;
constexpr int kUserLabelWidth = 246;

}  // namespace

AlbumPage::AlbumPage(std::string program_folder, Settings& settings, QWidget* parent)
    : QWidget(parent), program_folder_(std::move(program_folder)), settings_(settings) {
    BuildTop();
    BuildList();
    const std::string folder = settings_.Get(kSaveFolderKey);
    edit_save_folder_->setText(QString::fromStdString(folder.empty() ? program_folder_ : folder));

    connect(button_get_albums_, &QPushButton::clicked, this, [this] {
        if (listing_) {
            emit cancelListingRequested();
        } else {
            emit listRequested(Address());
        }
    });
    connect(edit_home_, &QLineEdit::returnPressed, this, [this] { emit listRequested(Address()); });
    connect(button_start_, &QPushButton::clicked, this, &AlbumPage::startRequested);
    connect(button_pause_, &QPushButton::clicked, this, &AlbumPage::pauseRequested);
    connect(button_continue_, &QPushButton::clicked, this, &AlbumPage::continueRequested);
    connect(button_stop_, &QPushButton::clicked, this, &AlbumPage::stopRequested);
    connect(button_add_sync_, &QPushButton::clicked, this, &AlbumPage::addToSyncRequested);
    connect(button_retry_, &QPushButton::clicked, this, &AlbumPage::retryRequested);
    connect(album_list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (column != 0) return;
        album_list_->setCurrentItem(item);
        UpdateStartButton();
    });
    connect(check_select_all_, &QCheckBox::clicked, this, [this] { OnSelectAllClicked(); });
    connect(check_invert_, &QCheckBox::clicked, this, [this] { OnInvertClicked(); });
    connect(button_open_folder_, &QPushButton::clicked, this, [this] { OnOpenFolderClicked(); });
    connect(button_choose_folder_, &QPushButton::clicked, this, [this] { OnChooseSaveFolder(); });
    UpdateStartButton();
}

void AlbumPage::BuildTop() {
    group_main_ = Make<QGroupBox>(this, "分组框_zhuye", 8, 44, 902, 59);
    label_help_ = Make<QLabel>(group_main_, "标签1", 9, 23, 107, 24, QString::fromUtf8("1:用户主页(不懂?)："));
    label_help_->setCursor(Qt::PointingHandCursor);
    label_help_->installEventFilter(this);
    edit_home_ = Make<QLineEdit>(group_main_, "编辑框_号码", 124, 18, 384, 32);
    button_get_albums_ = Make<QPushButton>(group_main_, "按钮_获取相册封面", 519, 16, 91, 32, QString::fromUtf8("2：获取相册"));
    button_start_ = Make<QPushButton>(group_main_, "按钮_下载选中", 640, 16, 85, 32, QString::fromUtf8("3：下载选中"));
    button_pause_ = Make<QPushButton>(group_main_, "按钮_暂停线程", 694, 16, 67, 32, QString::fromUtf8("暂停下载"));
    button_continue_ = Make<QPushButton>(group_main_, "按钮_继续下载", 754, 16, 67, 32, QString::fromUtf8("继续下载"));
    button_stop_ = Make<QPushButton>(group_main_, "按钮_结束下载", 828, 16, 64, 32, QString::fromUtf8("结束下载"));
    button_pause_->hide();
    button_continue_->hide();
    button_stop_->hide();

    group_place_ = Make<QGroupBox>(this, "分组框_weizhi", 8, 104, 902, 50);
    Make<QLabel>(group_place_, "标签_保存路径", 32, 12, 76, 32, QString::fromUtf8("保存位置："));
    edit_save_folder_ = Make<QLineEdit>(group_place_, "编辑框_保存位置", 124, 12, 440, 27);
    button_choose_folder_ = Make<QPushButton>(group_place_, "按钮_选择位置", 580, 12, 91, 32, QString::fromUtf8("选择存放位置"));
    button_open_folder_ = Make<QPushButton>(group_place_, "按钮_打开目录", 693, 12, 79, 32, QString::fromUtf8("打开目录"));
}

void AlbumPage::BuildList() {
    group_list_ = Make<QGroupBox>(this, "分组框_liebiao", 8, 164, 902, RunPanel::kListGroupHeight);
    check_select_all_ = Make<QCheckBox>(group_list_, "选择框_全选", 16, 22, 46, 16, QString::fromUtf8("全选"));
    check_invert_ = Make<QCheckBox>(group_list_, "选择框_反选", 76, 22, 46, 16, QString::fromUtf8("反选"));
    check_covers_ = Make<QCheckBox>(group_list_, "选择框_有图", 142, 21, 134, 16, QString::fromUtf8("有封面图(影响速度)"));
    label_user_ = Make<ElidedLabel>(group_list_, "标签_用户", 294, 12, 246, 24);
    label_status_ = Make<ElidedLabel>(group_list_, "标签_动态", 559, 12, 227, 24);
    status_line_ = std::make_unique<CountdownLine>(label_status_);
    button_add_sync_ = Make<QPushButton>(group_list_, "按钮_加入同步列表", 790, 10, 102, 26, QString::fromUtf8("加入同步列表"));
    button_add_sync_->setToolTip(QString::fromUtf8("把这个用户和勾选的相册加入同步列表，以后点【全部同步】只下载新照片"));
    button_retry_ = Make<QPushButton>(group_list_, "按钮_重试失败项", 680, 10, 102, 26, QString::fromUtf8("重试失败项"));
    button_retry_->hide();

    album_list_ = Make<QTreeWidget>(group_list_, "超级列表框1", 6, 41, 638, RunPanel::kListHeight);
    album_list_->setRootIsDecorated(false);
    album_list_->setSelectionMode(QAbstractItemView::SingleSelection);
    album_list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    album_list_->setUniformRowHeights(false);
    album_list_->header()->setSectionsMovable(true);
    album_list_->header()->setStretchLastSection(false);
    album_list_->setIconSize(QSize(kCoverSide, kCoverSide));
    album_list_->setItemDelegate(new AlbumRowsDelegate(kStateColumn, album_list_));
    album_list_->setFocusPolicy(Qt::StrongFocus);
    album_list_->installEventFilter(this);
    cover_placeholder_ = CoverPlaceholder();
    album_list_->setHeaderLabels({QString::fromUtf8("选择"), QString::fromUtf8("序号"), QString::fromUtf8("相册名称"),
                                 QString::fromUtf8("封面"), QString::fromUtf8("图片数量"), QString::fromUtf8("相册ID"),
                                 QString::fromUtf8("相册问题"), QString::fromUtf8("相册密码"), QString::fromUtf8("下载状态")});
    const int widths[] = {60, 40, 120, 100, 70, 0, 0, 0, 130};  // id, question and password stay hidden
    for (int column = 0; column <= kStateColumn; ++column) SetColumnWidth(column, widths[column]);
    album_list_->header()->setSectionResizeMode(2, QHeaderView::Stretch);  // the name takes the room there is

    drawing_board_ = Make<QLabel>(group_list_, "画板1", 455, 107, 112, 88);
    drawing_board_->setAlignment(Qt::AlignCenter);
    drawing_board_->hide();
    panel_ = std::make_unique<RunPanel>(
        group_list_, RunPanelNames{"分组框_日志", "标签3", "编辑框_操作记录", "标签_进度", "下载进度：", "进度条1",
                                   "标签_进度条比例", "标签_选择了相册数量", "标签_正在下载相册", "标签_第多少张照片"});
    buttons_ = {button_start_, button_pause_, button_continue_, button_stop_, album_list_};
}

void AlbumPage::LayOut(int width, int extra_height) {
    laid_out_width_ = width;
    laid_out_extra_height_ = extra_height;
    const auto set_width = [](QWidget* widget, int value) { widget->resize(value, widget->height()); };
    const auto set_left = [](QWidget* widget, int value) { widget->move(value, widget->y()); };
    for (QWidget* group : {static_cast<QWidget*>(group_list_), static_cast<QWidget*>(group_place_),
                           static_cast<QWidget*>(group_main_)}) {
        set_width(group, width - 20);
    }
    // Downwards, the list and the log take what the window grows by.
    panel_->LayOut(album_list_, extra_height);
    set_width(edit_home_, std::max(0, group_main_->width() - button_get_albums_->width() - button_start_->width() - 235));
    set_left(button_get_albums_, group_main_->width() - button_get_albums_->width() - button_start_->width() - 100);
    set_left(button_start_, group_main_->width() - button_start_->width() - 80);
    set_left(button_pause_, button_start_->x());
    set_left(button_continue_, button_start_->x());
    set_left(button_stop_, button_start_->x() + button_start_->width() + 10);
    set_width(edit_save_folder_, edit_home_->width());
    // The status line takes the room there is before 加入同步列表.
    set_left(button_add_sync_, group_list_->width() - button_add_sync_->width() - 10);
    set_left(button_retry_, button_add_sync_->x() - button_retry_->width() - 6);
    // The user's name and the status line share what the buttons leave.
    const int status_end = button_retry_->isVisible() ? button_retry_->x() : button_add_sync_->x();
    const int room = status_end - 8 - label_user_->x();
    set_width(label_user_, std::min(kUserLabelWidth, room * 45 / 100));
    set_left(label_status_, label_user_->x() + label_user_->width() + 19);
    set_width(label_status_, std::max(60, status_end - label_status_->x() - 8));
    set_left(button_choose_folder_, button_get_albums_->x());
    set_left(button_open_folder_, button_start_->x());
}

void AlbumPage::SetColumnWidth(int column, int width) {
    // A width of 0 hides the column: beside a stretching column the header
    // would otherwise give it its least width.
    album_list_->setColumnHidden(column, width == 0);
    if (width > 0) album_list_->setColumnWidth(column, width);
}

QImage AlbumPage::CoverImage(std::string_view bytes) {
    QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    QImageReader reader(&buffer);
    if (reader.format() != "jpeg" && reader.format() != "png") return {};
    // A picture that would take more memory than this to decode is no cover;
    // what its header claims is looked at before a byte is decoded.
    const QSize claimed = reader.size();
    if (claimed.isEmpty() || 4LL * claimed.width() * claimed.height() > kCoverMemoryMegabytes * (1LL << 20)) return {};
    QImageReader::setAllocationLimit(kCoverMemoryMegabytes);
    reader.setScaledSize(QSize(kCoverSide, kCoverSide));  // decoded straight to the list's size
    return reader.read();
}

QImage AlbumPage::CoverPlaceholder() {
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

QString AlbumPage::Address() const { return edit_home_->text(); }

void AlbumPage::SetAddress(const QString& address) { edit_home_->setText(address); }

bool AlbumPage::CoversWanted() const { return check_covers_->isChecked(); }

void AlbumPage::SetListing(bool listing) {
    listing_ = listing;
    button_get_albums_->setText(QString::fromUtf8(listing ? "取消获取" : "2：获取相册"));
    button_get_albums_->setToolTip(listing ? QString::fromUtf8("不再等待这次获取相册") : QString());
    UpdateStartButton();
}

void AlbumPage::BeginListing() {
    drawing_board_->clear();  // the last listing's cover goes with its rows
    drawing_board_->hide();
    for (const int column : {5, 6, 7}) SetColumnWidth(column, 0);
    label_status_->setText(QString::fromUtf8("相册获取中，耐心等待..."));
    album_list_->clear();
    listed_.clear();
    // The last run's readouts were about the rows that go.
    panel_->ShowProgress(0, 100);
    for (const RunLabel label : {RunLabel::kPercent, RunLabel::kCounter, RunLabel::kSelected, RunLabel::kCurrentAlbum}) {
        panel_->ShowRunLabel(label, "");
    }
    UpdateStartButton();
}

void AlbumPage::ShowFailures(int count) {
    button_retry_->setVisible(count > 0);
    button_retry_->setToolTip(QString::fromUtf8("再下载这个用户上次没有获取的%1项，不再请求别的").arg(count));
    LayOut(laid_out_width_, laid_out_extra_height_);
}

void AlbumPage::ShowAlbumState(const std::string& key, const AlbumRowState& state) {
    QTreeWidgetItem* item = nullptr;
    for (int i = 0; i < album_list_->topLevelItemCount() && !item; ++i) {
        if (listed_[static_cast<std::size_t>(i)].key == key) item = album_list_->topLevelItem(i);
    }
    if (!item) return;  // an album of a retry that the list does not show
    const QSignalBlocker quiet(album_list_);  // no check changed
    item->setText(kStateColumn, QString::fromStdString(state.text));
    item->setData(kStateColumn, Qt::UserRole, state.percent);
    item->setToolTip(kStateColumn, QString::fromStdString(state.text));
    album_list_->viewport()->update();
}

void AlbumPage::UpdateStartButton() {
    bool ticked = false;
    for (int i = 0; i < album_list_->topLevelItemCount() && !ticked; ++i) {
        ticked = album_list_->topLevelItem(i)->checkState(0) == Qt::Checked;
    }
    button_start_->setEnabled(!listing_ && ticked);
    button_start_->setToolTip(listing_ ? QString::fromUtf8("相册列表还在获取中")
                              : ticked ? QString()
                                       : QString::fromUtf8("先勾选要下载的相册"));
}

void AlbumPage::ShowUser(const QString& text) { label_user_->setText(text); }

void AlbumPage::ShowStatus(const QString& text) { status_line_->SetStatus(text); }

void AlbumPage::AddAlbum(const AlbumRef& album, const QImage& cover, bool covers) {
    SetColumnWidth(3, covers ? kCoverSide : 0);
    const QSignalBlocker quiet(album_list_);  // rows set from code raise no check-changed event
    auto* item = new QTreeWidgetItem(album_list_);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Checked);
    item->setText(1, QString::number(album_list_->topLevelItemCount()));
    item->setText(2, QString::fromStdString(album.name));
    item->setText(4, album.count ? QString::number(*album.count) : QString());
    item->setText(5, QString::fromStdString(album.key));
    listed_.push_back(album);
    UpdateStartButton();
    if (covers) {
        const QPixmap picture = QPixmap::fromImage(cover.isNull() ? cover_placeholder_ : cover);
        item->setIcon(3, QIcon(picture));
        drawing_board_->setPixmap(picture);
        drawing_board_->show();
    }
}

void AlbumPage::ShowListingProgress(int done, int of) {
    panel_->ShowProgress(done, of);
    panel_->ShowRunLabel(RunLabel::kPercent, std::to_string(of > 0 ? done * 100 / of : 0) + "%");
}

void AlbumPage::EndListing() { drawing_board_->hide(); }

int AlbumPage::AlbumCount() const { return album_list_->topLevelItemCount(); }

std::vector<ChosenAlbum> AlbumPage::ChosenAlbums() const {
    std::vector<ChosenAlbum> chosen;
    for (int i = 0; i < album_list_->topLevelItemCount() && i < static_cast<int>(listed_.size()); ++i) {
        const QTreeWidgetItem* item = album_list_->topLevelItem(i);
        if (item->checkState(0) != Qt::Checked) continue;
        AlbumRef album = listed_[static_cast<std::size_t>(i)];
        album.name = item->text(2).toStdString();
        chosen.push_back({item->text(1).toInt(), std::move(album)});
    }
    return chosen;
}

std::string AlbumPage::SaveFolder() const {
    const std::string folder = edit_save_folder_->text().trimmed().toStdString();
    return folder.empty() ? program_folder_ : folder;
}

void AlbumPage::ShowProgress(int position, int maximum) { panel_->ShowProgress(position, maximum); }

void AlbumPage::EndBusyBar() { panel_->EndBusyBar(); }

void AlbumPage::ShowRunLabel(RunLabel label, const std::string& text) { panel_->ShowRunLabel(label, text); }

void AlbumPage::ShowCountdown(const RunWait& wait) { status_line_->Show(wait); }

void AlbumPage::AppendLog(const std::string& text) { panel_->AppendLog(text); }

void AlbumPage::SetButtonsFor(RunState state) { buttons_.SetButtonsFor(state, isVisible()); }

void AlbumPage::SetChecksQuietly(const std::function<void(QTreeWidgetItem*)>& change) {
    const QSignalBlocker quiet(album_list_);
    for (int i = 0; i < album_list_->topLevelItemCount(); ++i) change(album_list_->topLevelItem(i));
    album_list_->viewport()->update();
    UpdateStartButton();
}

void AlbumPage::OnSelectAllClicked() {
    if (!check_select_all_->isChecked()) return;
    check_invert_->setChecked(false);
    SetChecksQuietly([](QTreeWidgetItem* item) { item->setCheckState(0, Qt::Checked); });
}

void AlbumPage::OnInvertClicked() {
    if (!check_invert_->isChecked()) return;
    check_select_all_->setChecked(false);
    SetChecksQuietly([](QTreeWidgetItem* item) {
        item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    });
}

void AlbumPage::OnOpenFolderClicked() {
    QString folder = edit_save_folder_->text().trimmed();
    if (folder.isEmpty()) folder = QString::fromStdString(program_folder_);
    if (!QFileInfo(folder).isDir()) {
        emit messageRequested(QString::fromUtf8("保存位置还不存在：") + folder +
                              QString::fromUtf8("\n第一次下载时会建立它"));
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void AlbumPage::OnChooseSaveFolder() {
    QString chosen = choose_folder ? choose_folder()
                                   : ChooseFolder(this, QString::fromUtf8("选择相册的存放位置"), edit_save_folder_->text());
    if (chosen.trimmed().isEmpty()) return;  // cancelled: nothing changes
    edit_save_folder_->setText(chosen.trimmed());
    settings_.Set(kSaveFolderKey, edit_save_folder_->text().toStdString());
}

bool AlbumPage::eventFilter(QObject* watched, QEvent* event) {
    // Space ticks or unticks the current row, whichever of its cells is current.
    if (watched == album_list_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        if (QTreeWidgetItem* item = album_list_->currentItem()) {
            item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
        }
        return true;
    }
    if (watched == label_help_ && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        QDesktopServices::openUrl(QUrl(QString::fromStdString(HelpPageUrl(CurrentService()))));
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace wa
