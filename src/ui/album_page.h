// The album list and download page: the home-page box, the album list with
// its check boxes and covers, the save folder, the log and the progress of a
// run, and the buttons that start, pause, continue and stop it. It says what
// the user asks for as signals, and shows what it is told; nothing outside
// reaches its controls.
#pragma once

#include <QImage>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "download/download_run.h"
#include "ui/display_buffer.h"
#include "ui/run_panel.h"
#include "ui/run_view.h"
#include "ui/widget_factory.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace wa {

class Settings;

class AlbumPage : public QWidget, public RunView {
    Q_OBJECT

public:
    // `default_folder` is where pictures go when no save folder is set.
    AlbumPage(std::string default_folder, Settings& settings, QWidget* parent);

    // A cover scaled to the list's picture size; a null image for bytes that
    // are no JPEG or PNG, or would take more than kCoverMemoryMegabytes to
    // decode. The placeholder stands in for a missing cover.
    static QImage CoverImage(std::string_view bytes);
    static QImage CoverPlaceholder();
    static constexpr int kCoverSide = 100;
    static constexpr int kCoverMemoryMegabytes = 64;

    // The home-page box, and whether covers are wanted.
    QString Address() const;
    void SetAddress(const QString& address);
    bool CoversWanted() const;

    // A listing: it begins (and 2：获取相册 cancels it until it ends), empties
    // the list once it finds its user, adds its albums one by one, and ends
    // with its status line.
    void SetListing(bool listing);
    void BeginListing();
    void ShowUser(const QString& text);
    void ShowStatus(const QString& text);
    void AddAlbum(const AlbumRef& album, const QImage& cover, bool covers);
    void ShowListingProgress(int done, int of);
    void EndListing();
    int AlbumCount() const;

    // A run: the ticked albums and the save folder as they stand now.
    std::vector<ChosenAlbum> ChosenAlbums() const;
    // What the listed user's runs could not get: 重试失败项 shows when there is any.
    void ShowFailures(int count);
    std::string SaveFolder() const;
    void SetButtonsFor(RunState state);

    // What a run shows.
    void AppendLog(const std::string& text) override;
    void ShowProgress(int position, int maximum) override;
    void EndBusyBar() override;
    void ShowRunLabel(RunLabel label, const std::string& text) override;
    void ShowCountdown(const RunWait& wait) override;
    void ShowAlbumState(const std::string& key, const AlbumRowState& state) override;

    // Widths follow the tab control's width; the list and the log grow by
    // what the window is taller than its design.
    void LayOut(int width, int extra_height);

    // Tests replace the folder dialog.
    std::function<QString()> choose_folder;

signals:
    void listRequested(const QString& address);  // 2：获取相册, or Enter in the box
    void startRequested();
    void pauseRequested();
    void continueRequested();
    void stopRequested();
    void addToSyncRequested();  // 加入同步列表
    void retryRequested();      // 重试失败项
    void cancelListingRequested();
    void messageRequested(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildTop();
    void BuildList();
    void OnSelectAllClicked();
    void OnInvertClicked();
    void OnOpenFolderClicked();
    void OnChooseSaveFolder();
    void SetChecksQuietly(const std::function<void(QTreeWidgetItem*)>& change);
    // 3：下载选中 acts only with an album ticked and no listing going on.
    void UpdateStartButton();
    void SetColumnWidth(int column, int width);

    std::string program_folder_;
    Settings& settings_;
    QImage cover_placeholder_;
    std::vector<AlbumRef> listed_;  // the albums of the list's rows, in order
    std::unique_ptr<CountdownLine> status_line_;  // 标签_动态, which a rate-limit wait takes over
    std::unique_ptr<RunPanel> panel_;  // the log and the progress row
    RunButtons buttons_;

    QGroupBox* group_main_ = nullptr;        // 分组框_zhuye
    QLabel* label_help_ = nullptr;           // 标签1
    QLineEdit* edit_home_ = nullptr;         // 编辑框_号码
    QPushButton* button_get_albums_ = nullptr;  // 按钮_获取相册封面
    QPushButton* button_start_ = nullptr;    // 按钮_下载选中
    QPushButton* button_pause_ = nullptr;    // 按钮_暂停线程
    QPushButton* button_continue_ = nullptr; // 按钮_继续下载
    QPushButton* button_stop_ = nullptr;     // 按钮_结束下载
    QGroupBox* group_place_ = nullptr;       // 分组框_weizhi
    QLineEdit* edit_save_folder_ = nullptr;  // 编辑框_保存位置
    QPushButton* button_choose_folder_ = nullptr;  // 按钮_选择位置
    QPushButton* button_open_folder_ = nullptr;    // 按钮_打开目录
    QGroupBox* group_list_ = nullptr;        // 分组框_liebiao
    QCheckBox* check_select_all_ = nullptr;  // 选择框_全选
    QCheckBox* check_invert_ = nullptr;      // 选择框_反选
    QCheckBox* check_covers_ = nullptr;      // 选择框_有图
    QLabel* label_user_ = nullptr;           // 标签_用户
    QLabel* label_status_ = nullptr;         // 标签_动态
    QPushButton* button_add_sync_ = nullptr; // 按钮_加入同步列表
    QPushButton* button_retry_ = nullptr;    // 按钮_重试失败项
    bool listing_ = false;
    int laid_out_width_ = 0;
    int laid_out_extra_height_ = 0;
    QTreeWidget* album_list_ = nullptr;      // 超级列表框1
    QLabel* drawing_board_ = nullptr;        // 画板1
};

}  // namespace wa
