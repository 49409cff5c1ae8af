#include "ui/main_window.h"

#include <QAudioOutput>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>

#include "shell/saved_options.h"
#include "ui/about_page.h"
#include "ui/album_page.h"
#include "ui/login_page.h"
#include "ui/settings_page.h"
#include "download/record_store.h"
#include "util/folders.h"
#include "util/ini_file.h"

namespace wa {
namespace {

constexpr int kDesignWidth = 1100;
constexpr int kDesignHeight = 638;
constexpr int kTabControlHeight = 601;

}  // namespace

MainWindow::MainWindow(Globals globals, QWidget* parent) : QWidget(parent), globals_(std::move(globals)) {
    for (std::string* folder : {&globals_.config_folder, &globals_.data_folder, &globals_.default_save_folder}) {
        if (folder->empty()) *folder = globals_.program_folder;
    }
    setObjectName("MainWindow");
    setWindowTitle(QString::fromUtf8(kProgramName));
    setWindowIcon(QIcon(":/weibo-albums.png"));
    // Below the design size controls would overlap: the window does not shrink past it.
    setMinimumSize(kDesignWidth, kDesignHeight);
    RestorePlace();

    // The tab control: pages share its coordinates, tab strip included, as the
    // window design places them.
    tab_control_ = Make<QWidget>(this, "高级选择夹1", 4, 7, 1084, 601);
    const SettingWriter save = [this](std::string_view section, std::string_view key, std::string_view value) {
        SaveSetting(section, key, value);
    };
    login_ = new LoginPage(globals_, tab_control_);
    album_ = new AlbumPage(globals_.default_save_folder, save, tab_control_);
    settings_ = new SettingsPage(globals_.config_path, save, tab_control_);
    about_ = new AboutPage(tab_control_);
    for (QWidget* page : std::initializer_list<QWidget*>{login_, album_, settings_, about_}) {
        page->setObjectName("page");
        page->setAttribute(Qt::WA_StyledBackground);
        page->setGeometry(0, 0, 1084, 601);
        page->setVisible(pages_.empty());
        pages_.push_back(page);
    }
    tab_bar_ = new QTabBar(tab_control_);
    tab_bar_->setObjectName("高级选择夹1_标签");
    for (const char* caption : {"  第一步：登录   ", "    第二步：获取相册   ", "  软件设置  ", "  关于  "}) {
        tab_bar_->addTab(QString::fromUtf8(caption));
    }
    tab_bar_->setExpanding(false);
    tab_bar_->setDrawBase(false);
    tab_bar_->setGeometry(0, 0, 1084, tab_bar_->sizeHint().height());
    tab_bar_->raise();
    ConnectPages();

    player_ = new QMediaPlayer(this);
    audio_ = new QAudioOutput(this);
    player_->setAudioOutput(audio_);

    if (const std::string problem = SettingsFileProblem(globals_.config_path); !problem.empty()) {
        OpenMessage(QString::fromUtf8("信息："), QString::fromUtf8("配置文件无法使用（") + QString::fromStdString(problem) +
                                                   QString::fromUtf8("），使用默认设置：") +
                                                   QString::fromStdString(globals_.config_path));
    }
    if (const std::string warning = SettingsFileOpenToOthersWarning(globals_.config_path); !warning.empty()) {
        globals_.notices.push_back(warning);
    }
    for (const std::string& notice : globals_.notices) OpenMessage(QString::fromUtf8("信息："), QString::fromStdString(notice));
    settings_->Load();
    MirrorOptions();
    connect(settings_, &SettingsPage::optionsChanged, this, [this] { MirrorOptions(); });
    // The size and place are written once the user has stopped moving the window.
    place_timer_ = new QTimer(this);
    place_timer_->setSingleShot(true);
    place_timer_->setInterval(500);
    connect(place_timer_, &QTimer::timeout, this, [this] { SavePlace(); });
    draw_timer_ = new QTimer(this);
    draw_timer_->setSingleShot(true);
    connect(draw_timer_, &QTimer::timeout, this, [this] { DrawPending(); });
    since_draw_.start();
    const std::string folder = ReadSetting(globals_.config_path, kGlobalSection, kSaveFolderKey);
    album_->edit_save_folder->setText(QString::fromStdString(folder.empty() ? globals_.default_save_folder : folder));
    QTimer::singleShot(0, this, [this] { login_->OpenHomePage(); });
    std::string store_folder = RecordStoreFolder(globals_.data_folder);
    EnsureDirectory(store_folder);
}

MainWindow::~MainWindow() {
    StopAllWork();
    // Workers wait on this thread for their window calls: serve them until done.
    while (BusyWithWork()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    delete login_;  // the browser and its profile go while the window still stands
    login_ = nullptr;
}

void MainWindow::ConnectPages() {
    connect(tab_bar_, &QTabBar::tabBarClicked, this, [this](int index) { OnTabClicked(index); });
    connect(tab_bar_, &QTabBar::currentChanged, this, [this](int index) { ShowPage(index); });

    connect(login_, &LoginPage::downloadUserRequested, this, [this] { DownloadThisUser(); });
    connect(login_, &LoginPage::albumPageRequested, this, [this] { OnOpenAlbumPageClicked(); });

    connect(album_, &AlbumPage::getAlbumsClicked, this, [this] { ResolveUser(); });
    connect(album_, &AlbumPage::startClicked, this, [this] { OnDownloadClicked(); });
    connect(album_, &AlbumPage::pauseClicked, this, [this] { OnPauseClicked(); });
    connect(album_, &AlbumPage::continueClicked, this, [this] { OnContinueClicked(); });
    connect(album_, &AlbumPage::stopClicked, this, [this] { OnStopClicked(); });

    connect(settings_, &SettingsPage::showAlbumButtonClicked, this, [this] { login_->button_album_page->show(); });
    connect(settings_, &SettingsPage::stopSoundClicked, this, [this] { player_->pause(); });

    connect(about_, &AboutPage::checkClicked, this,
            [this] { RunInBackground([this](JobToken* job) { CheckForUpdate(job); }); });
}

bool MainWindow::event(QEvent* event) {
    if (event->type() != QEvent::UpdateRequest) return QWidget::event(event);
    QElapsedTimer paint;  // what painting the window costs sets how often it draws
    paint.start();
    const bool handled = QWidget::event(event);
    frame_pace_.Painted(static_cast<double>(paint.nsecsElapsed()) / 1e6);
    return handled;
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutOnResize();
    if (place_timer_ && event->spontaneous()) place_timer_->start();  // the user's doing, not ours
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (place_timer_ && event->spontaneous()) place_timer_->start();
}

void MainWindow::LayoutOnResize() {
    const int extra_height = std::max(0, height() - kDesignHeight);
    tab_control_->resize(width() - 20, kTabControlHeight + extra_height);
    for (QWidget* page : pages_) page->resize(tab_control_->size());
    tab_bar_->resize(tab_control_->width(), tab_bar_->height());
    login_->LayOut(tab_control_->width(), extra_height);
    album_->LayOut(tab_control_->width(), extra_height);
    settings_->LayOut(extra_height);
}

void MainWindow::ShowPage(int index) {
    tab_bar_->setCurrentIndex(index);
    for (int i = 0; i < static_cast<int>(pages_.size()); ++i) pages_[static_cast<std::size_t>(i)]->setVisible(i == index);
    tab_bar_->raise();
}

void MainWindow::OnTabClicked(int index) {
    if (index == 2 && version_check_pending_ == 1) {
        RunInBackground([this](JobToken* job) { CheckForUpdate(job); });
        ++version_check_pending_;
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // No question asked: a running download stops at its next safe point, so
    // no half-written picture is left, and the window closes.
    StopAllWork();
    SavePlace();
    event->accept();
}

void MainWindow::StopAllWork() {
    closing_ = true;
    download_.Stop();
    for (Task& task : tasks_) task.job->RequestStop();
}

}  // namespace wa
