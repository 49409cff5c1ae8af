// The album list and download page: the home-page box, the album list with
// its check boxes and covers, the save folder, the log and the progress of a
// run, and the buttons that start, pause, continue and stop it.
#pragma once

#include <QImage>
#include <QWidget>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "download/download_host.h"
#include "ui/widget_factory.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace wa {

class AlbumPage : public QWidget {
    Q_OBJECT

public:
    // `default_folder` is where pictures go when no save folder is set.
    AlbumPage(std::string default_folder, SettingWriter save, QWidget* parent);

    // A cover scaled to the list's picture size; a null image for bytes that
    // are no JPEG or PNG. The placeholder stands in for a missing cover.
    static QImage CoverImage(std::string_view bytes);
    static QImage CoverPlaceholder();
    static constexpr int kCoverSide = 100;
    const QImage& placeholder() const { return cover_placeholder_; }

    QTreeWidgetItem* AppendAlbumRow(const AlbumRow& row);
    // 0 hides the column.
    void SetColumnWidth(int column, int width);
    AlbumRow AlbumRowAt(int index) const;
    void AppendLog(const std::string& text);
    void SetButtonsFor(RunState state);
    // Widths follow the tab control's width; the list and the log grow by
    // what the window is taller than its design.
    void LayOut(int width, int extra_height);

    QGroupBox* group_main = nullptr;        // 分组框_zhuye
    QLabel* label_help = nullptr;           // 标签1
    QLineEdit* edit_home = nullptr;         // 编辑框_号码
    QPushButton* button_get_albums = nullptr;  // 按钮_获取相册封面
    QPushButton* button_start = nullptr;    // 按钮_下载选中
    QPushButton* button_pause = nullptr;    // 按钮_暂停线程
    QPushButton* button_continue = nullptr; // 按钮_继续下载
    QPushButton* button_stop = nullptr;     // 按钮_结束下载
    QGroupBox* group_place = nullptr;       // 分组框_weizhi
    QLineEdit* edit_save_folder = nullptr;  // 编辑框_保存位置
    QPushButton* button_choose_folder = nullptr;  // 按钮_选择位置
    QPushButton* button_open_folder = nullptr;    // 按钮_打开目录
    QGroupBox* group_list = nullptr;        // 分组框_liebiao
    QCheckBox* check_select_all = nullptr;  // 选择框_全选
    QCheckBox* check_invert = nullptr;      // 选择框_反选
    QCheckBox* check_covers = nullptr;      // 选择框_有图
    QLabel* label_user = nullptr;           // 标签_用户
    QLabel* label_status = nullptr;         // 标签_动态
    QTreeWidget* album_list = nullptr;      // 超级列表框1
    QLabel* drawing_board = nullptr;        // 画板1
    QGroupBox* group_log = nullptr;         // 分组框_日志
    QPlainTextEdit* log_box = nullptr;      // 编辑框_操作记录
    QProgressBar* progress = nullptr;       // 进度条1
    QLabel* label_percent = nullptr;        // 标签_进度条比例
    QLabel* label_selected = nullptr;       // 标签_选择了相册数量
    QLabel* label_current_album = nullptr;  // 标签_正在下载相册
    QLabel* label_photo_counter = nullptr;  // 标签_第多少张照片

    // Tests replace the folder dialog.
    std::function<QString()> choose_folder;

signals:
    void getAlbumsClicked();
    void startClicked();
    void pauseClicked();
    void continueClicked();
    void stopClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnAlbumCheckChanged(QTreeWidgetItem* item, int column);
    void OnSelectAllClicked();
    void OnInvertClicked();
    void OnOpenFolderClicked();
    void OnChooseSaveFolder();
    void SetChecksQuietly(const std::function<void(QTreeWidgetItem*)>& change);

    std::string program_folder_;
    SettingWriter save_;
    QImage cover_placeholder_;
    std::vector<std::pair<QWidget*, int>> progress_row_;  // below the list, with their design tops
};

}  // namespace wa
