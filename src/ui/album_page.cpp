#include "ui/album_page.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <QUrl>

#include "shell/saved_options.h"
#include "util/text.h"
#include "ui/file_chooser.h"
#include "weibo/cover_image.h"
#include "weibo/weibo_service.h"

namespace wa {
namespace {

// The album list as a report with grid lines between its cells.
class GridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->restore();
    }
};

constexpr int kListGroupHeight = 426;
constexpr int kListHeight = 339;
constexpr int kLogGroupHeight = 345;
constexpr int kLogHeight = 292;

}  // namespace

AlbumPage::AlbumPage(std::string program_folder, SettingWriter save, QWidget* parent)
    : QWidget(parent), program_folder_(std::move(program_folder)), save_(std::move(save)) {
    group_main = Make<QGroupBox>(this, "分组框_zhuye", 8, 44, 902, 59);
    label_help = Make<QLabel>(group_main, "标签1", 9, 23, 107, 24, QString::fromUtf8("1:用户主页(不懂?)："));
    label_help->setCursor(Qt::PointingHandCursor);
    label_help->installEventFilter(this);
    edit_home = Make<QLineEdit>(group_main, "编辑框_号码", 124, 18, 384, 32);
    button_get_albums = Make<QPushButton>(group_main, "按钮_获取相册封面", 519, 16, 91, 32, QString::fromUtf8("2：获取相册"));
    button_start = Make<QPushButton>(group_main, "按钮_下载选中", 640, 16, 85, 32, QString::fromUtf8("3：下载选中"));
    button_pause = Make<QPushButton>(group_main, "按钮_暂停线程", 694, 16, 67, 32, QString::fromUtf8("暂停下载"));
    button_continue = Make<QPushButton>(group_main, "按钮_继续下载", 754, 16, 67, 32, QString::fromUtf8("继续下载"));
    button_stop = Make<QPushButton>(group_main, "按钮_结束下载", 828, 16, 64, 32, QString::fromUtf8("结束下载"));
    button_pause->hide();
    button_continue->hide();
    button_stop->hide();

    group_place = Make<QGroupBox>(this, "分组框_weizhi", 8, 104, 902, 50);
    Make<QLabel>(group_place, "标签_保存路径", 32, 12, 76, 32, QString::fromUtf8("保存位置："));
    edit_save_folder = Make<QLineEdit>(group_place, "编辑框_保存位置", 124, 12, 440, 27);
    button_choose_folder = Make<QPushButton>(group_place, "按钮_选择位置", 580, 12, 91, 32, QString::fromUtf8("选择存放位置"));
    button_open_folder = Make<QPushButton>(group_place, "按钮_打开目录", 693, 12, 79, 32, QString::fromUtf8("打开目录"));

    group_list = Make<QGroupBox>(this, "分组框_liebiao", 8, 164, 902, 426);
    check_select_all = Make<QCheckBox>(group_list, "选择框_全选", 16, 22, 46, 16, QString::fromUtf8("全选"));
    check_invert = Make<QCheckBox>(group_list, "选择框_反选", 76, 22, 46, 16, QString::fromUtf8("反选"));
    check_covers = Make<QCheckBox>(group_list, "选择框_有图", 142, 21, 134, 16, QString::fromUtf8("有封面图(影响速度)"));
    label_user = Make<QLabel>(group_list, "标签_用户", 294, 12, 246, 24);
    label_status = Make<QLabel>(group_list, "标签_动态", 559, 12, 227, 24);

    album_list = Make<QTreeWidget>(group_list, "超级列表框1", 6, 41, 638, 339);
    album_list->setRootIsDecorated(false);
    album_list->setSelectionMode(QAbstractItemView::SingleSelection);
    album_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    album_list->setUniformRowHeights(false);
    album_list->header()->setSectionsMovable(true);
    album_list->header()->setStretchLastSection(false);
    album_list->setIconSize(QSize(kCoverSide, kCoverSide));
    album_list->setItemDelegate(new GridDelegate(album_list));
    album_list->setFocusPolicy(Qt::StrongFocus);
    cover_placeholder_ = CoverPlaceholder();
    album_list->setHeaderLabels({QString::fromUtf8("选择"), QString::fromUtf8("序号"), QString::fromUtf8("相册名称"),
                                 QString::fromUtf8("封面"), QString::fromUtf8("图片数量"), QString::fromUtf8("相册ID"),
                                 QString::fromUtf8("相册问题"), QString::fromUtf8("相册密码")});
    const int widths[] = {60, 40, 120, 100, 70, 0, 0, 0};  // id, question and password stay hidden
    for (int column = 0; column < 8; ++column) SetColumnWidth(column, widths[column]);
    album_list->header()->setSectionResizeMode(2, QHeaderView::Stretch);  // the name takes the room there is

    drawing_board = Make<QLabel>(group_list, "画板1", 455, 107, 112, 88);
    drawing_board->setAlignment(Qt::AlignCenter);
    drawing_board->hide();
    group_log = Make<QGroupBox>(group_list, "分组框_日志", 656, 36, 236, 345);
    Make<QLabel>(group_log, "标签3", 8, 12, 88, 19, QString::fromUtf8("执行操作日志："));
    log_box = Make<QPlainTextEdit>(group_log, "编辑框_操作记录", 12, 45, 208, 292);
    log_box->setReadOnly(true);
    log_box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* progress_label = Make<QLabel>(group_list, "标签_进度", 7, 384, 56, 35, QString::fromUtf8("下载进度："));
    progress = Make<QProgressBar>(group_list, "进度条1", 74, 389, 280, 24);
    progress->setRange(0, 100);
    progress->setValue(0);
    progress->setTextVisible(false);
    label_percent = Make<QLabel>(group_list, "标签_进度条比例", 359, 390, 41, 23);
    label_selected = Make<QLabel>(group_list, "标签_选择了相册数量", 404, 390, 144, 23);
    label_current_album = Make<QLabel>(group_list, "标签_正在下载相册", 554, 390, 110, 23);
    label_photo_counter = Make<QLabel>(group_list, "标签_第多少张照片", 666, 390, 95, 23);
    for (QWidget* below : std::initializer_list<QWidget*>{progress_label, progress, label_percent, label_selected,
                                                          label_current_album, label_photo_counter}) {
        progress_row_.emplace_back(below, below->y());
    }

    connect(button_get_albums, &QPushButton::clicked, this, &AlbumPage::getAlbumsClicked);
    connect(edit_home, &QLineEdit::returnPressed, this, &AlbumPage::getAlbumsClicked);
    connect(button_start, &QPushButton::clicked, this, &AlbumPage::startClicked);
    connect(button_pause, &QPushButton::clicked, this, &AlbumPage::pauseClicked);
    connect(button_continue, &QPushButton::clicked, this, &AlbumPage::continueClicked);
    connect(button_stop, &QPushButton::clicked, this, &AlbumPage::stopClicked);
    connect(album_list, &QTreeWidget::itemChanged, this,
            [this](QTreeWidgetItem* item, int column) { OnAlbumCheckChanged(item, column); });
    connect(check_select_all, &QCheckBox::clicked, this, [this] { OnSelectAllClicked(); });
    connect(check_invert, &QCheckBox::clicked, this, [this] { OnInvertClicked(); });
    connect(button_open_folder, &QPushButton::clicked, this, [this] { OnOpenFolderClicked(); });
    connect(button_choose_folder, &QPushButton::clicked, this, [this] { OnChooseSaveFolder(); });
}

void AlbumPage::LayOut(int width, int extra_height) {
    // Downwards, the list and the log take what the window grows by.
    const auto set_height = [](QWidget* widget, int value) { widget->resize(widget->width(), value); };
    set_height(group_list, kListGroupHeight + extra_height);
    set_height(album_list, kListHeight + extra_height);
    set_height(group_log, kLogGroupHeight + extra_height);
    set_height(log_box, kLogHeight + extra_height);
    for (const auto& [below, top] : progress_row_) below->move(below->x(), top + extra_height);

    const auto set_width = [](QWidget* widget, int value) { widget->resize(value, widget->height()); };
    const auto set_left = [](QWidget* widget, int value) { widget->move(value, widget->y()); };
    for (QWidget* group : {static_cast<QWidget*>(group_list), static_cast<QWidget*>(group_place),
                           static_cast<QWidget*>(group_main)}) {
        set_width(group, width - 20);
    }
    set_width(album_list, group_list->width() - group_log->width() - 20);
    set_left(group_log, group_list->width() - group_log->width() - 5);
    set_width(edit_home, std::max(0, group_main->width() - button_get_albums->width() - button_start->width() - 235));
    set_left(button_get_albums, group_main->width() - button_get_albums->width() - button_start->width() - 100);
    set_left(button_start, group_main->width() - button_start->width() - 80);
    set_left(button_pause, button_start->x());
    set_left(button_continue, button_start->x());
    set_left(button_stop, button_start->x() + button_start->width() + 10);
    set_width(edit_save_folder, edit_home->width());
    set_left(button_choose_folder, button_get_albums->x());
    set_left(button_open_folder, button_start->x());
}

void AlbumPage::SetColumnWidth(int column, int width) {
    // A width of 0 hides the column: beside a stretching column the header
    // would otherwise give it its least width.
    album_list->setColumnHidden(column, width == 0);
    if (width > 0) album_list->setColumnWidth(column, width);
}

QImage AlbumPage::CoverImage(std::string_view bytes) {
    const std::optional<DecodedPicture> picture = DecodePicture(bytes);
    if (!picture) return {};
    const QImage full(picture->rgba.data(), picture->width, picture->height, picture->width * 4,
                      QImage::Format_RGBA8888);
    return full.scaled(kCoverSide, kCoverSide, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);  // a deep copy
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

QTreeWidgetItem* AlbumPage::AppendAlbumRow(const AlbumRow& row) {
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

AlbumRow AlbumPage::AlbumRowAt(int index) const {
    const QTreeWidgetItem* item = album_list->topLevelItem(index);
    if (!item) return {};
    return {item->checkState(0) == Qt::Checked, item->text(1).toStdString(), item->text(2).toStdString(),
            item->text(4).toStdString(), item->text(5).toStdString()};
}

void AlbumPage::AppendLog(const std::string& text) {
    const QString lines = QString::fromStdString(ShownLogLines(text));  // no control character from the service
    QTextCursor cursor = log_box->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(lines);
    log_box->setTextCursor(cursor);
    log_box->verticalScrollBar()->setValue(log_box->verticalScrollBar()->maximum());
}

void AlbumPage::SetButtonsFor(RunState state) {
    button_start->setVisible(state == RunState::kIdle);
    button_pause->setVisible(state == RunState::kRunning);
    button_continue->setVisible(state == RunState::kPaused);
    button_stop->setVisible(state != RunState::kIdle);
    // Focus goes where a stray key does no harm: never into a text box, never
    // onto 结束下载.
    QWidget* safe = state == RunState::kRunning  ? static_cast<QWidget*>(button_pause)
                    : state == RunState::kPaused ? static_cast<QWidget*>(button_continue)
                                                 : static_cast<QWidget*>(album_list);
    if (isVisible()) safe->setFocus(Qt::OtherFocusReason);
}

void AlbumPage::OnAlbumCheckChanged(QTreeWidgetItem* item, int column) {
    if (column == 0) album_list->setCurrentItem(item);
}

void AlbumPage::SetChecksQuietly(const std::function<void(QTreeWidgetItem*)>& change) {
    const QSignalBlocker quiet(album_list);
    for (int i = 0; i < album_list->topLevelItemCount(); ++i) change(album_list->topLevelItem(i));
    album_list->viewport()->update();
}

void AlbumPage::OnSelectAllClicked() {
    if (!check_select_all->isChecked()) return;
    check_invert->setChecked(false);
    SetChecksQuietly([](QTreeWidgetItem* item) { item->setCheckState(0, Qt::Checked); });
}

void AlbumPage::OnInvertClicked() {
    if (!check_invert->isChecked()) return;
    check_select_all->setChecked(false);
    SetChecksQuietly([](QTreeWidgetItem* item) {
        item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    });
}

void AlbumPage::OnOpenFolderClicked() {
    QString folder = edit_save_folder->text();
    if (folder.isEmpty()) folder = QString::fromStdString(program_folder_);
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void AlbumPage::OnChooseSaveFolder() {
    QString chosen = choose_folder ? choose_folder()
                                   : ChooseFolder(this, QString::fromUtf8("选择相册的存放位置"), edit_save_folder->text());
    if (chosen.trimmed().isEmpty()) return;  // cancelled: nothing changes
    edit_save_folder->setText(chosen.trimmed());
    save_(kGlobalSection, kSaveFolderKey, edit_save_folder->text().toStdString());
}

bool AlbumPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == label_help && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        QDesktopServices::openUrl(QUrl(QString::fromStdString(HelpPageUrl(CurrentService()))));
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace wa
