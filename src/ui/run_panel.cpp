#include "ui/run_panel.h"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>

#include <algorithm>

#include "ui/elided_label.h"
#include "ui/run_view.h"
#include "ui/widget_factory.h"

namespace wa {
namespace {

constexpr int kLogGroupHeight = 345;
constexpr int kLogHeight = 292;
constexpr int kDesignGroupWidth = 902;
constexpr int kDesignBarWidth = 280;
constexpr int kLeastBarWidth = 90;

}  // namespace

RunPanel::RunPanel(QGroupBox* list_group, const RunPanelNames& names) : list_group_(list_group) {
    group_log_ = Make<QGroupBox>(list_group, names.log_group, 656, 36, 236, kLogGroupHeight);
    Make<QLabel>(group_log_, names.log_title, 8, 12, 88, 19, QString::fromUtf8("执行操作日志："));
    log_box_ = Make<QPlainTextEdit>(group_log_, names.log_box, 12, 45, 208, kLogHeight);
    log_box_->setReadOnly(true);
    log_box_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* title = Make<QLabel>(list_group, names.progress_title, 7, 384, 56, 35, QString::fromUtf8(names.progress_caption));
    bar_ = Make<QProgressBar>(list_group, names.bar, 74, 389, 280, 24);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    percent_ = Make<QLabel>(list_group, names.percent, 359, 390, 41, 23);
    selected_ = Make<ElidedLabel>(list_group, names.selected, 404, 390, 144, 23);
    current_album_ = Make<ElidedLabel>(list_group, names.current_album, 554, 390, 110, 23);
    counter_ = Make<ElidedLabel>(list_group, names.counter, 666, 390, 95, 23);
    for (QWidget* below : std::initializer_list<QWidget*>{title, bar_, percent_, selected_, current_album_, counter_}) {
        progress_row_.emplace_back(below, below->pos());
    }
    counter_->setToolTip(QString::fromUtf8("相册的照片数/正在处理第几张（照片数不知道时为?）"));
}

void RunPanel::LayOut(QWidget* list, int extra_height) {
    const auto set_height = [](QWidget* widget, int value) { widget->resize(widget->width(), value); };
    set_height(list_group_, kListGroupHeight + extra_height);
    set_height(list, kListHeight + extra_height);
    set_height(group_log_, kLogGroupHeight + extra_height);
    set_height(log_box_, kLogHeight + extra_height);
    // Narrower than the design, the bar gives up what the row lacks.
    const int narrower = std::clamp(kDesignGroupWidth - list_group_->width(), 0, kDesignBarWidth - kLeastBarWidth);
    bar_->resize(kDesignBarWidth - narrower, bar_->height());
    for (const auto& [below, place] : progress_row_) {
        below->move(place.x() - (place.x() > bar_->x() ? narrower : 0), place.y() + extra_height);
    }
    list->resize(list_group_->width() - group_log_->width() - 20, list->height());
    group_log_->move(list_group_->width() - group_log_->width() - 5, group_log_->y());
}

void RunPanel::AppendLog(const std::string& text) { AppendToLog(log_box_, text); }

void RunPanel::ShowProgress(int position, int maximum) {
    bar_->setMaximum(maximum);
    bar_->setValue(position);
}

void RunPanel::EndBusyBar() {
    if (bar_->maximum() == 0) ShowProgress(0, 100);
}

void RunPanel::ShowRunLabel(RunLabel label, const std::string& text) {
    QLabel* target = label == RunLabel::kPercent   ? percent_
                     : label == RunLabel::kCounter  ? counter_
                     : label == RunLabel::kSelected ? selected_
                                                    : current_album_;
    target->setText(QString::fromStdString(text));
}

}  // namespace wa
