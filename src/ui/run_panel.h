// What a run page shows of a run, beside and under its list: the log at the
// right of the list group and the progress row under the list, where the
// window design places them; the list, the log and the row follow what the
// window grows by. The download page and the sync page each have one, under
// their own design names.
#pragma once

#include <QPoint>

#include <string>
#include <utility>
#include <vector>

#include "ui/display_buffer.h"

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QWidget;

namespace wa {

struct RunPanelNames {
    const char* log_group;
    const char* log_title;
    const char* log_box;
    const char* progress_title;
    const char* progress_caption;  // "下载进度："
    const char* bar;
    const char* percent;
    const char* selected;
    const char* current_album;
    const char* counter;
};

class RunPanel {
public:
    // The list group's design height, and that of the list in it.
    static constexpr int kListGroupHeight = 426;
    static constexpr int kListHeight = 339;

    RunPanel(QGroupBox* list_group, const RunPanelNames& names);

    // The group, `list` and the log take `extra_height`; `list` takes the
    // group's width the log leaves. The group's width is set before.
    void LayOut(QWidget* list, int extra_height);

    void AppendLog(const std::string& text);
    void ShowProgress(int position, int maximum);
    // A busy bar (no total known) stands still, empty.
    void EndBusyBar();
    void ShowRunLabel(RunLabel label, const std::string& text);

private:
    QGroupBox* list_group_;
    QGroupBox* group_log_ = nullptr;
    QPlainTextEdit* log_box_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QLabel* percent_ = nullptr;
    QLabel* selected_ = nullptr;
    QLabel* current_album_ = nullptr;
    QLabel* counter_ = nullptr;
    std::vector<std::pair<QWidget*, QPoint>> progress_row_;  // with their design places
};

}  // namespace wa
