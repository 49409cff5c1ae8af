// Takes a picture of every page of the real window against the fake service,
// for looking at the program and for the README. Run it under Xvfb:
//   xvfb-run -a -s "-screen 0 1280x800x24" build/tools/screenshots/window-screenshots OUT_FOLDER
#include <QApplication>
#include <QTabBar>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QWebEngineView>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "fake_weibo.h"
#include "ui/skin.h"
#include "ui/main_window.h"
#include "weibo/weibo_service.h"

namespace {

void Serve(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool WaitFor(const std::function<bool()>& done, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

QMessageBox* OpenMessageBox() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible()) return box;
    }
    return nullptr;
}

void Shoot(const wa::MainWindow& window, const QString& file) {
    Serve(300);
    QGuiApplication::primaryScreen()->grabWindow(0, window.x(), window.y(), window.frameGeometry().width(),
                                                 window.frameGeometry().height()).save(file);
    std::printf("wrote %s\n", file.toUtf8().constData());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: window-screenshots OUT_FOLDER\n");
        return 2;
    }
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]);
    std::filesystem::create_directories(argv[1]);
    const std::string program_folder = (std::filesystem::temp_directory_path() / "weibo-albums-shots").string();
    std::filesystem::remove_all(program_folder);
    std::filesystem::create_directories(program_folder);

    wa::fake::FakeWeibo fake;
    fake.AddUser(wa::fake::SampleUser("1000000001", 5, 24));
    if (!fake.Start()) return 1;
    wa::ServiceAddresses service;
    service.home_page = fake.BaseUrl() + "/";
    service.hosts[std::string(wa::kPhotoServiceHost.setting)] = "127.0.0.1:" + std::to_string(fake.port());
    service.maker_host = fake.BaseUrl();
    wa::SetCurrentService(service);
    wa::ApplySkin(app, QString::fromStdString(program_folder), 13);

    wa::Globals globals;
    globals.program_folder = program_folder;
    globals.files.config_path = program_folder + "/配置.ini";
    globals.files.browser_folder = program_folder + "/browser";
    wa::MainWindow window(globals);
    window.move(20, 20);
    window.show();
    const auto find = [&window]<typename T>(T*, const char* name) {
        return window.findChild<T*>(QString::fromUtf8(name));
    };
    auto* browser = find(static_cast<QWebEngineView*>(nullptr), "超文本浏览框1");
    auto* tab_bar = find(static_cast<QTabBar*>(nullptr), "高级选择夹1_标签");
    auto* album_list = find(static_cast<QTreeWidget*>(nullptr), "超级列表框1");
    auto* drawing_board = find(static_cast<QLabel*>(nullptr), "画板1");
    WaitFor([&] { return browser->url().toString().startsWith(QString::fromStdString(fake.BaseUrl())); }, 20000);
    Serve(2000);
    Shoot(window, out + "/login.png");

    tab_bar->setCurrentIndex(1);
    find(static_cast<QLineEdit*>(nullptr), "编辑框_保存位置")->setText(QString::fromStdString(program_folder + "/下载"));
    find(static_cast<QLineEdit*>(nullptr), "编辑框_号码")->setText(QString::fromStdString(fake.BaseUrl() + "/u/1000000001"));
    find(static_cast<QCheckBox*>(nullptr), "选择框_有图")->setChecked(true);
    find(static_cast<QPushButton*>(nullptr), "按钮_获取相册封面")->click();
    WaitFor([&] { return drawing_board->isHidden() && album_list->topLevelItemCount() == 5; }, 20000);
    Shoot(window, out + "/albums.png");
    album_list->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
    find(static_cast<QPushButton*>(nullptr), "按钮_下载选中")->click();
    WaitFor([] { return OpenMessageBox() != nullptr; }, 60000);
    if (QMessageBox* box = OpenMessageBox()) box->done(0);
    Shoot(window, out + "/download.png");

    tab_bar->setCurrentIndex(2);
    Shoot(window, out + "/settings.png");
    tab_bar->setCurrentIndex(3);
    Shoot(window, out + "/about.png");
    return 0;
}
