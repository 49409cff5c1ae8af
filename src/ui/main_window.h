// The program's one window: the login page with its browser, the album list
// and download page, the settings page and the version page. The window is
// the download engine's host: every call a worker makes is carried out here,
// on the window thread, while the worker waits.
#pragma once

#include <QImage>
#include <QWidget>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <vector>

#include "download/download_host.h"
#include "download/download_run.h"
#include "shell/globals.h"
#include "util/job_token.h"
#include "weibo/user_resolution.h"

class QCheckBox;
class QDateTimeEdit;
class QSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMediaPlayer;
class QAudioOutput;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabBar;
class QTreeWidget;
class QTreeWidgetItem;
class QWebEngineProfile;
class QWebEngineView;

namespace wa {

class BrowserCookieBridge;
class BrowserPage;

class MainWindow : public QWidget, public DownloadHost {
    Q_OBJECT

public:
    explicit MainWindow(Globals globals, QWidget* parent = nullptr);
    ~MainWindow() override;

    // DownloadHost: read on the window thread while the worker waits.
    int AlbumRowCount() override;
    AlbumRow AlbumRowAt(int index) override;
    bool RecordStoreEnabled() override;
    bool TimeWindowEnabled() override;
    DateTime TimeWindowStart() override;
    DateTime TimeWindowEnd() override;
    std::string SaveFolder() override;
    NameFormat CheckedNameFormat() override;
    SequenceScheme CheckedSequenceScheme() override;
    std::string CompletionSoundPath() override;
    void AppendLog(const std::string& text) override;
    void SetProgress(int position, int maximum) override;
    void SetLabel(StatusLabel label, const std::string& text) override;
    void SetRunState(RunState state) override;
    void PlaySound(const std::string& path) override;
    void ShowMessage(const std::string& text) override;

    // A cover scaled to the list's picture size; a null image for bytes that
    // are no JPEG or PNG. The placeholder stands in for a missing cover.
    static QImage CoverImage(std::string_view bytes);
    static QImage CoverPlaceholder();
    static constexpr int kCoverSide = 100;

    // The user the next listing and download are about.
    ResolvedUser resolved_user() const { return resolved_user_; }
    // True while a background task (listing, version check, download) runs.
    bool BusyWithWork() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Building the window.
    void CreateLoginPage(QWidget* page);
    void CreateAlbumPage(QWidget* page);
    void CreateSettingsPage(QWidget* page);
    void CreateVersionPage(QWidget* page);
    void ConnectHandlers();
    void OnWindowCreated();

    // Window.
    void LayoutOnResize();
    void OnTabClicked(int index);
    void ShowPage(int index);

    // Settings.
    void LoadSettings();
    void WriteSwitch(std::string_view key, bool on);
    void OnChooseSaveFolder();
    void OnChooseSound();
    void OnSaveSoundPath();

    // Login page.
    void HomePageThread();
    void OnBrowserBeforeNavigate(const QUrl& url);
    void OnBrowserDownloadComplete();
    void OnBrowserNewWindow();
    void OnOpenPageClicked();
    void OnShowAlbumButtonClicked();
    void OnOpenAlbumPageClicked();
    void DownloadThisUser();

    // Album list and download page.
    void ResolveUser();
    void AlbumListTask(ResolvedUser user, int generation, JobToken* job, bool login_wall);
    QTreeWidgetItem* AppendAlbumRow(const AlbumRow& row);

    void OnAlbumCheckChanged(QTreeWidgetItem* item, int column);
    void OnSelectAllClicked();
    void OnInvertClicked();
    void OnOpenFolderClicked();
    void OnHelpLabelPressed();
    void OnStopSoundClicked();
    void OnDownloadClicked();
    void OnPauseClicked();
    void OnContinueClicked();
    void OnStopClicked();
    void SetButtonsFor(RunState state);

    // Version page.
    void CheckForUpdate(JobToken* job);

    // Stops the download and every background task at their next safe point.
    void StopAllWork();
    // Runs `work` on a worker thread with a stop token that closing the window
    // trips.
    void RunInBackground(std::function<void(JobToken*)> work);
    // Runs `call` on the window thread, waiting for it when called from a worker.
    void OnWindowThread(const std::function<void()>& call);
    void OpenMessage(const QString& caption, const QString& text);
    // Writes one option; a write that fails is said in a message.
    void SaveSetting(std::string_view section, std::string_view key, std::string_view value);
    void SetChecksQuietly(const std::function<void(QTreeWidgetItem*)>& change);

    Globals globals_;
    ResolvedUser resolved_user_;
    int version_check_pending_ = 1;
    int listing_generation_ = 0;
    QString status_text_;  // the link last under the mouse in the browser
    bool quiet_checks_ = false;
    bool setting_write_failed_ = false;  // the last write of an option failed and was said
    std::atomic<bool> closing_ = false;

    struct Task {
        std::unique_ptr<JobToken> job;
        std::future<void> done;
    };
    std::vector<Task> tasks_;
    DownloadJob download_;
    BrowserCookieBridge* cookie_bridge_ = nullptr;
    QImage cover_placeholder_;
    QMediaPlayer* player_ = nullptr;
    QAudioOutput* audio_ = nullptr;

public:
    // Controls, named as in the window design (objectName is the same).
    QWidget* tab_control = nullptr;  // 高级选择夹1
    QTabBar* tab_bar = nullptr;
    std::vector<QWidget*> pages;

    QLabel* label_home_address = nullptr;   // 标签_首页网址
    QLineEdit* edit_url = nullptr;          // 编辑框_url
    QPushButton* button_download_user = nullptr;  // 按钮_下载此用户
    QPushButton* button_open = nullptr;     // 按钮_打开
    QPushButton* button_album_page = nullptr;  // 按钮_专辑页面
    QLabel* label_browser_hint = nullptr;   // 标签12
    QWebEngineView* browser = nullptr;      // 超文本浏览框1
    BrowserPage* browser_page = nullptr;
    QWebEngineProfile* browser_profile = nullptr;  // named and kept on disk: a login survives restarts

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

    QCheckBox* check_record = nullptr;      // 选择框_下载记录
    QCheckBox* check_window = nullptr;      // 选择框_时间段
    QDateTimeEdit* date_start = nullptr;    // 日期框_开始时间
    QDateTimeEdit* date_end = nullptr;      // 日期框_结束时间
    QSpinBox* spin_parallel = nullptr;      // 数字框_同时下载数
    QRadioButton* radio_number_text = nullptr;  // 单选框_序号加内容
    QRadioButton* radio_text_number = nullptr;  // 单选框_内容加序号
    QRadioButton* radio_text = nullptr;         // 单选框_内容
    QRadioButton* radio_text_date = nullptr;    // 单选框_内容加日期
    QRadioButton* radio_date_text = nullptr;    // 单选框_日期加内容
    QRadioButton* radio_sequence_default = nullptr;  // 单选框_默认序号
    QRadioButton* radio_sequence_cycle = nullptr;    // 单选框_循环序号
    QLineEdit* edit_sound = nullptr;        // 编辑框_MP3
    QPushButton* button_choose_sound = nullptr;  // 按钮_选择MP3
    QPushButton* button_save_sound = nullptr;    // 按钮3
    QPushButton* button_stop_sound = nullptr;    // 按钮4
    QCheckBox* check_show_album_button = nullptr;  // 选择框_用户专辑按钮不显示

    QLabel* label_version_result = nullptr;  // 标签_banbenjieguo
    QLabel* label_version = nullptr;         // 标签_banben
    QLabel* label_latest_version = nullptr;  // 标签_zxbanben
    QPushButton* button_check_new = nullptr; // 按钮_checknew

    // Tests replace the folder and file dialogs.
    std::function<QString()> choose_folder;
    std::function<QString()> choose_sound_file;
};

}  // namespace wa
