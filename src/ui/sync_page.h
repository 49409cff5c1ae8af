// The sync page: the users of the sync list, each with the albums it keeps,
// its last complete sync and what that brought, and its state in the sync
// that runs; the buttons that sync them all, pause, continue and stop, take a
// user off the list or open the user's folder; 每天自动同步; the log and the
// progress of the user being synced. It says what the user asks for as
// signals and shows what it is told.
#pragma once

#include <QWidget>

#include <memory>
#include <vector>

#include "ui/run_panel.h"
#include "ui/run_view.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace wa {


// A row as the page shows it.
struct SyncRow {
    QString target;      // the line's address or uid: how the page names the user to its owner
    QString title;
    QString uid;
    QString albums;      // "全部相册", or "3个相册"
    QString albums_tip;  // the albums' ids
    QString last_sync;   // "2026-12-10 04:23", or empty
    QString new_photos;  // of that sync
    QString state;       // 等待同步, 正在同步第1/3个相册, 已完成, 失败：<reason>
};

class SyncPage : public QWidget, public RunView {
    Q_OBJECT

public:
    explicit SyncPage(QWidget* parent);

    void ShowRows(const std::vector<SyncRow>& rows);
    void ShowRow(int index, const SyncRow& row);
    // The list's own trouble (it cannot be read), or empty.
    void ShowListProblem(const QString& text);
    void SetButtonsFor(RunState state);
    // 每天自动同步: whether it is on, and what to say beside it; a crontab
    // line to copy when there is no user systemd.
    void ShowDaily(bool on, const QString& text, const QString& crontab_line);

    void AppendLog(const std::string& text) override;
    void ShowProgress(int position, int maximum) override;
    void EndBusyBar() override;
    void ShowRunLabel(RunLabel label, const std::string& text) override;
    void ShowCountdown(const RunWait& wait) override;

    void LayOut(int width, int extra_height);

signals:
    void syncAllRequested();
    void pauseRequested();
    void continueRequested();
    void stopRequested();
    void removeRequested(const QString& target);
    void openRequested(const QString& target);
    void dailyToggled(bool on);

private:
    void FitDailyRow();
    void BuildTop();
    void BuildList();
    QString CurrentTarget() const;

    QGroupBox* group_top_ = nullptr;         // 分组框_同步
    QPushButton* button_sync_ = nullptr;     // 按钮_全部同步
    QPushButton* button_pause_ = nullptr;    // 按钮_暂停同步
    QPushButton* button_continue_ = nullptr; // 按钮_继续同步
    QPushButton* button_stop_ = nullptr;     // 按钮_结束同步
    QPushButton* button_remove_ = nullptr;   // 按钮_移出同步列表
    QPushButton* button_open_ = nullptr;     // 按钮_打开用户目录
    QGroupBox* group_daily_ = nullptr;       // 分组框_自动同步
    QCheckBox* check_daily_ = nullptr;       // 选择框_每天自动同步
    QLabel* label_daily_ = nullptr;          // 标签_自动同步
    QLineEdit* edit_crontab_ = nullptr;      // 编辑框_定时任务
    QGroupBox* group_list_ = nullptr;        // 分组框_同步列表
    QLabel* label_status_ = nullptr;         // 标签_同步动态
    QTreeWidget* list_ = nullptr;            // 超级列表框_同步
    std::unique_ptr<CountdownLine> status_line_;
    std::unique_ptr<RunPanel> panel_;  // the log and the progress row
    RunButtons buttons_;
};

}  // namespace wa
