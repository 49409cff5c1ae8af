#include "ui/sync_page.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "ui/elided_label.h"
#include "ui/run_panel.h"
#include "ui/widget_factory.h"

namespace wa {
namespace {

enum Column { kTitle, kUid, kAlbums, kLastSync, kNewPhotos, kState };

}  // namespace

SyncPage::SyncPage(QWidget* parent) : QWidget(parent) {
    BuildTop();
    BuildList();
    connect(button_sync_, &QPushButton::clicked, this, &SyncPage::syncAllRequested);
    connect(button_pause_, &QPushButton::clicked, this, &SyncPage::pauseRequested);
    connect(button_continue_, &QPushButton::clicked, this, &SyncPage::continueRequested);
    connect(button_stop_, &QPushButton::clicked, this, &SyncPage::stopRequested);
    connect(button_remove_, &QPushButton::clicked, this, [this] {
        if (const QString target = CurrentTarget(); !target.isEmpty()) emit removeRequested(target);
    });
    connect(button_open_, &QPushButton::clicked, this, [this] {
        if (const QString target = CurrentTarget(); !target.isEmpty()) emit openRequested(target);
    });
    connect(list_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        emit openRequested(item->data(kTitle, Qt::UserRole).toString());
    });
    connect(check_daily_, &QCheckBox::clicked, this, &SyncPage::dailyToggled);
}

void SyncPage::BuildTop() {
    group_top_ = Make<QGroupBox>(this, "分组框_同步", 8, 44, 902, 59);
    button_sync_ = Make<QPushButton>(group_top_, "按钮_全部同步", 16, 16, 85, 32, QString::fromUtf8("全部同步"));
    button_pause_ = Make<QPushButton>(group_top_, "按钮_暂停同步", 16, 16, 85, 32, QString::fromUtf8("暂停同步"));
    button_continue_ = Make<QPushButton>(group_top_, "按钮_继续同步", 16, 16, 85, 32, QString::fromUtf8("继续同步"));
    button_stop_ = Make<QPushButton>(group_top_, "按钮_结束同步", 111, 16, 85, 32, QString::fromUtf8("结束同步"));
    button_remove_ = Make<QPushButton>(group_top_, "按钮_移出同步列表", 230, 16, 103, 32, QString::fromUtf8("移出同步列表"));
    button_open_ = Make<QPushButton>(group_top_, "按钮_打开用户目录", 343, 16, 103, 32, QString::fromUtf8("打开用户目录"));
    Make<QLabel>(group_top_, "标签_同步说明", 470, 16, 420, 32,
                 QString::fromUtf8("在第二步勾选相册后点【加入同步列表】；同步只下载新照片"));
    button_pause_->hide();
    button_continue_->hide();
    button_stop_->hide();

    group_daily_ = Make<QGroupBox>(this, "分组框_自动同步", 8, 104, 902, 50);
    check_daily_ = Make<QCheckBox>(group_daily_, "选择框_每天自动同步", 16, 16, 110, 20, QString::fromUtf8("每天自动同步"));
    label_daily_ = Make<ElidedLabel>(group_daily_, "标签_自动同步", 134, 14, 330, 24);
    edit_crontab_ = Make<QLineEdit>(group_daily_, "编辑框_定时任务", 470, 12, 420, 27);
    edit_crontab_->setReadOnly(true);
    edit_crontab_->hide();
}

void SyncPage::BuildList() {
    group_list_ = Make<QGroupBox>(this, "分组框_同步列表", 8, 164, 902, RunPanel::kListGroupHeight);
    label_status_ = Make<ElidedLabel>(group_list_, "标签_同步动态", 16, 12, 620, 24);
    status_line_ = std::make_unique<CountdownLine>(label_status_);
    list_ = Make<QTreeWidget>(group_list_, "超级列表框_同步", 6, 41, 638, RunPanel::kListHeight);
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setHeaderLabels({QString::fromUtf8("用户"), QString::fromUtf8("UID"), QString::fromUtf8("同步的相册"),
                            QString::fromUtf8("上次同步"), QString::fromUtf8("新照片"), QString::fromUtf8("状态")});
    const int widths[] = {140, 90, 80, 120, 60};
    for (int column = 0; column < 5; ++column) list_->setColumnWidth(column, widths[column]);
    list_->header()->setStretchLastSection(true);

    panel_ = std::make_unique<RunPanel>(
        group_list_, RunPanelNames{"分组框_同步日志", "标签_同步日志", "编辑框_同步记录", "标签_同步进度", "同步进度：",
                                   "进度条_同步", "标签_同步进度比例", "标签_同步相册数量", "标签_同步相册", "标签_同步第多少张"});
    buttons_ = {button_sync_, button_pause_, button_continue_, button_stop_, list_};
}

void SyncPage::LayOut(int width, int extra_height) {
    const auto set_width = [](QWidget* widget, int value) { widget->resize(value, widget->height()); };
    for (QWidget* group : {static_cast<QWidget*>(group_top_), static_cast<QWidget*>(group_daily_),
                           static_cast<QWidget*>(group_list_)}) {
        set_width(group, width - 20);
    }
    panel_->LayOut(list_, extra_height);
    set_width(label_status_, list_->width() - label_status_->x() + list_->x());
    set_width(edit_crontab_, group_daily_->width() - edit_crontab_->x() - 12);
    FitDailyRow();
}

void SyncPage::FitDailyRow() {
    // Without a crontab line beside them the words take the row.
    const int end = edit_crontab_->isHidden() ? edit_crontab_->geometry().right() : edit_crontab_->x() - 6;
    label_daily_->resize(end - label_daily_->x(), label_daily_->height());
}

void SyncPage::ShowRows(const std::vector<SyncRow>& rows) {
    const QString current = CurrentTarget();
    list_->clear();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        new QTreeWidgetItem(list_);
        ShowRow(static_cast<int>(i), rows[i]);
        if (rows[i].target == current) list_->setCurrentItem(list_->topLevelItem(static_cast<int>(i)));
    }
}

void SyncPage::ShowRow(int index, const SyncRow& row) {
    QTreeWidgetItem* item = list_->topLevelItem(index);
    if (!item) return;
    const QString texts[] = {row.title, row.uid, row.albums, row.last_sync, row.new_photos, row.state};
    for (int column = kTitle; column <= kState; ++column) {
        item->setText(column, texts[column]);
        item->setToolTip(column, texts[column]);  // a failure's reason is read whole
    }
    if (!row.albums_tip.isEmpty()) item->setToolTip(kAlbums, row.albums_tip);
    item->setData(kTitle, Qt::UserRole, row.target);
}

void SyncPage::ShowListProblem(const QString& text) { status_line_->SetStatus(text); }

QString SyncPage::CurrentTarget() const {
    const QTreeWidgetItem* item = list_->currentItem();
    return item ? item->data(kTitle, Qt::UserRole).toString() : QString();
}

void SyncPage::SetButtonsFor(RunState state) {
    buttons_.SetButtonsFor(state, isVisible());
    button_remove_->setEnabled(state == RunState::kIdle);
}

void SyncPage::ShowDaily(bool on, const QString& text, const QString& crontab_line) {
    check_daily_->setChecked(on);
    label_daily_->setText(text);
    edit_crontab_->setText(crontab_line);
    edit_crontab_->setCursorPosition(0);  // the time and the program first
    edit_crontab_->setToolTip(crontab_line);
    edit_crontab_->setVisible(!crontab_line.isEmpty());
    FitDailyRow();
}

void SyncPage::AppendLog(const std::string& text) { panel_->AppendLog(text); }

void SyncPage::ShowProgress(int position, int maximum) { panel_->ShowProgress(position, maximum); }

void SyncPage::EndBusyBar() { panel_->EndBusyBar(); }

void SyncPage::ShowRunLabel(RunLabel label, const std::string& text) { panel_->ShowRunLabel(label, text); }

void SyncPage::ShowCountdown(const RunWait& wait) { status_line_->Show(wait); }

}  // namespace wa
