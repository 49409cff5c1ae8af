// The real window under the offscreen platform (or Xvfb) against the fake
// service, and its controls found by their design names as a user's tools
// would find them: the setting of the window tests.
#pragma once

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QTimer>
#include <QLabel>
#include <QLineEdit>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTest>
#include <QToolTip>
#include <QHelpEvent>
#include <QTreeWidget>
#include <QProcess>
#include <QNetworkCookie>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "../fake_service.h"
#include "../util/temp_folder.h"
#include "download/record_store.h"
#include "doors/photo_service.h"
#include "settings/settings.h"
#include "ui/completion_sound.h"
#include "ui/browser_page.h"
#include "ui/album_page.h"
#include "ui/main_window.h"
#include "ui/display_buffer.h"
#include "ui/settings_page.h"
#include "ui/elided_label.h"
#include "download/user_albums.h"
#include "ui/skin.h"
#include "util/ini_file.h"
#include "net/cookie_jar.h"
#include "net/curl_transfer.h"
#include "net/page_fetch.h"
#include "weibo/service_request.h"


namespace wa::test {

namespace fs = std::filesystem;

inline bool WaitFor(const std::function<bool()>& done, int ms = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// The window's controls, found by their design names as a user's tools would.
struct View {
    MainWindow* window = nullptr;
    BrowserPage* browser_page = nullptr;
    QWebEngineProfile* browser_profile = nullptr;
    QTreeWidget* album_list = nullptr;
    QWebEngineView* browser = nullptr;
    QLineEdit* edit_url = nullptr;
    QPushButton* button_start = nullptr;
    QPushButton* button_pause = nullptr;
    QLineEdit* edit_sound = nullptr;
    QPushButton* button_stop = nullptr;
    QPushButton* button_get_albums = nullptr;
    QPlainTextEdit* log_box = nullptr;
    QLineEdit* edit_save_folder = nullptr;
    QLineEdit* edit_home = nullptr;
    QCheckBox* check_select_all = nullptr;
    QPushButton* button_continue = nullptr;
    QTabBar* tab_bar = nullptr;
    QLabel* label_status = nullptr;
    QCheckBox* check_record = nullptr;
    QCheckBox* check_invert = nullptr;
    QPushButton* button_album_page = nullptr;
    QRadioButton* radio_number_text = nullptr;
    QRadioButton* radio_date_text = nullptr;
    QLabel* label_version_result = nullptr;
    QGroupBox* group_log = nullptr;
    QDateTimeEdit* date_start = nullptr;
    QDateTimeEdit* date_end = nullptr;
    QPushButton* button_open = nullptr;
    QRadioButton* radio_sequence_default = nullptr;
    QRadioButton* radio_sequence_cycle = nullptr;
    QLabel* label_percent = nullptr;
    QLabel* label_latest_version = nullptr;
    QGroupBox* group_list = nullptr;
    QCheckBox* check_window = nullptr;
    QCheckBox* check_show_album_button = nullptr;
    QPushButton* button_save_sound = nullptr;
    QPushButton* button_choose_folder = nullptr;
    QWidget* tab_control = nullptr;
    QRadioButton* radio_text_number = nullptr;
    QRadioButton* radio_text_date = nullptr;
    QRadioButton* radio_text = nullptr;
    QProgressBar* progress = nullptr;
    QLabel* label_version = nullptr;
    QLabel* label_user = nullptr;
    QLabel* label_selected = nullptr;
    QLabel* label_photo_counter = nullptr;
    QGroupBox* group_place = nullptr;
    QGroupBox* group_main = nullptr;
    QLabel* drawing_board = nullptr;
    QCheckBox* check_covers = nullptr;
    QPushButton* button_stop_sound = nullptr;
    QPushButton* button_download_user = nullptr;
    QPushButton* button_check_new = nullptr;
    QPushButton* button_choose_sound = nullptr;
    QPushButton* button_open_folder = nullptr;
    QLabel* run_summary = nullptr;
    QSpinBox* spin_spacing = nullptr;
};

class MainWindowTest : public FakeServiceTest {
protected:
    void SetUp() override {
        FakeServiceTest::SetUp();
        globals.program_folder = temp.path().string();
        globals.files.config_path = ConfigPathIn(globals.program_folder);
        globals.files.browser_folder = (temp.path() / "browser").string();
        CookieJar::Shared().Clear();
    }
    void TearDown() override {
        window.reset();
        FakeServiceTest::TearDown();
    }
    View& Open() {
        window = std::make_unique<MainWindow>(globals);
        window->findChild<AlbumPage*>()->choose_folder = [] { return QString(); };
        window->findChild<SettingsPage*>()->choose_sound_file = [] { return QString(); };
        window->show();
        view = View{};
        view.window = window.get();
        view.album_list = Find<QTreeWidget>("超级列表框1");
        view.browser = Find<QWebEngineView>("超文本浏览框1");
        view.edit_url = Find<QLineEdit>("编辑框_url");
        view.button_start = Find<QPushButton>("按钮_下载选中");
        view.button_pause = Find<QPushButton>("按钮_暂停线程");
        view.edit_sound = Find<QLineEdit>("编辑框_MP3");
        view.button_stop = Find<QPushButton>("按钮_结束下载");
        view.button_get_albums = Find<QPushButton>("按钮_获取相册封面");
        view.log_box = Find<QPlainTextEdit>("编辑框_操作记录");
        view.edit_save_folder = Find<QLineEdit>("编辑框_保存位置");
        view.edit_home = Find<QLineEdit>("编辑框_号码");
        view.check_select_all = Find<QCheckBox>("选择框_全选");
        view.button_continue = Find<QPushButton>("按钮_继续下载");
        view.tab_bar = Find<QTabBar>("高级选择夹1_标签");
        view.label_status = Find<QLabel>("标签_动态");
        view.check_record = Find<QCheckBox>("选择框_下载记录");
        view.check_invert = Find<QCheckBox>("选择框_反选");
        view.button_album_page = Find<QPushButton>("按钮_专辑页面");
        view.radio_number_text = Find<QRadioButton>("单选框_序号加内容");
        view.radio_date_text = Find<QRadioButton>("单选框_日期加内容");
        view.label_version_result = Find<QLabel>("标签_banbenjieguo");
        view.group_log = Find<QGroupBox>("分组框_日志");
        view.date_start = Find<QDateTimeEdit>("日期框_开始时间");
        view.date_end = Find<QDateTimeEdit>("日期框_结束时间");
        view.button_open = Find<QPushButton>("按钮_打开");
        view.radio_sequence_default = Find<QRadioButton>("单选框_默认序号");
        view.radio_sequence_cycle = Find<QRadioButton>("单选框_循环序号");
        view.label_percent = Find<QLabel>("标签_进度条比例");
        view.label_latest_version = Find<QLabel>("标签_zxbanben");
        view.group_list = Find<QGroupBox>("分组框_liebiao");
        view.check_window = Find<QCheckBox>("选择框_时间段");
        view.check_show_album_button = Find<QCheckBox>("选择框_用户专辑按钮不显示");
        view.button_save_sound = Find<QPushButton>("按钮3");
        view.button_choose_folder = Find<QPushButton>("按钮_选择位置");
        view.tab_control = Find<QWidget>("高级选择夹1");
        view.radio_text_number = Find<QRadioButton>("单选框_内容加序号");
        view.radio_text_date = Find<QRadioButton>("单选框_内容加日期");
        view.radio_text = Find<QRadioButton>("单选框_内容");
        view.progress = Find<QProgressBar>("进度条1");
        view.label_version = Find<QLabel>("标签_banben");
        view.label_user = Find<QLabel>("标签_用户");
        view.label_selected = Find<QLabel>("标签_选择了相册数量");
        view.label_photo_counter = Find<QLabel>("标签_第多少张照片");
        view.group_place = Find<QGroupBox>("分组框_weizhi");
        view.group_main = Find<QGroupBox>("分组框_zhuye");
        view.drawing_board = Find<QLabel>("画板1");
        view.check_covers = Find<QCheckBox>("选择框_有图");
        view.button_stop_sound = Find<QPushButton>("按钮4");
        view.button_download_user = Find<QPushButton>("按钮_下载此用户");
        view.button_check_new = Find<QPushButton>("按钮_checknew");
        view.button_choose_sound = Find<QPushButton>("按钮_选择MP3");
        view.button_open_folder = Find<QPushButton>("按钮_打开目录");
        view.run_summary = Find<QLabel>("标签_本次进度");
        view.spin_spacing = Find<QSpinBox>("数字框_请求间隔");
        view.browser_page = qobject_cast<BrowserPage*>(view.browser->page());
        view.browser_profile = view.browser_page->profile();
        return view;
    }
    template <typename T>
    T* Find(const char* name) {
        T* found = window->findChild<T*>(QString::fromUtf8(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    std::string Setting(std::string_view section, std::string_view key) {
        return ReadSetting(globals.files.config_path, section, key, "<none>");
    }
    int XOnTab(QWidget* widget) { return widget->mapTo(view.tab_control, QPoint(0, 0)).x(); }
    void CloseMessageBoxes() {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible()) box->done(0);
        }
    }
    QString OpenMessageText() {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible()) return box->text();
        }
        return {};
    }

    TempFolder temp;
    Globals globals;
    std::unique_ptr<MainWindow> window;
    View view;
};

}  // namespace wa::test
