#include "ui/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QScrollArea>
#include <QTabBar>
#include <QTimer>
#include <QUrl>

#include <filesystem>
#include <utility>

#include "download/record_store.h"
#include "ui/about_page.h"
#include "ui/album_lister.h"
#include "ui/album_page.h"
#include "ui/completion_sound.h"
#include "ui/download_runner.h"
#include "ui/elided_label.h"
#include "ui/login_page.h"
#include "ui/message_box.h"
#include "ui/page_keys.h"
#include "ui/run_presenter.h"
#include "ui/settings_page.h"
#include "ui/sync_page.h"
#include "ui/sync_runner.h"
#include "ui/version_check.h"
#include "ui/window_place.h"
#include "util/folders.h"
#include "weibo/weibo_service.h"

namespace wa {
namespace {

// The pages in the order of their tabs.
enum Page { kLoginPage, kAlbumPage, kSyncPage, kSettingsPage, kAboutPage };

constexpr int kDesignWidth = 1100;
constexpr int kDesignHeight = 638;
constexpr int kTabControlHeight = 601;
// Below the design size the pages that run (login, albums, sync) shrink to
// this, so that a run's buttons, status line and bar stay in view; below it,
// and for the other pages below the design size, the pages scroll. The
// window itself goes this small.
constexpr int kCompactWidth = 760;
constexpr int kCompactHeight = 430;
constexpr int kSmallestWidth = 480;
constexpr int kSmallestHeight = 360;

}  // namespace

MainWindow::MainWindow(Globals globals, QWidget* parent)
    : QWidget(parent), globals_(std::move(globals)), settings_(globals_.files.config_path, [this] {
          OpenMessage(this, QString::fromUtf8("信息："),
                      QString::fromUtf8("设置无法保存到配置文件：") + QString::fromStdString(settings_.path()));
      }) {
    for (std::string* folder : {&globals_.files.config_folder, &globals_.files.data_folder, &globals_.files.default_save_folder}) {
        if (folder->empty()) *folder = globals_.program_folder;
    }
    setObjectName("MainWindow");
    setWindowTitle(QString::fromUtf8(kProgramName));
    setWindowIcon(QIcon(":/weibo-albums.png"));
    setMinimumSize(kSmallestWidth, kSmallestHeight);
    place_ = new WindowPlaceKeeper(this, settings_);
    place_->Restore(QSize(kDesignWidth, kDesignHeight));
    BuildPages();
    ConnectPages();
    AddPageStepKeys(this, [this](int step) { StepPage(step); });
    // Enter presses the button that has the focus.
    for (QPushButton* button : findChildren<QPushButton*>()) button->setAutoDefault(true);

    if (const std::string problem = settings_.Problem(); !problem.empty()) {
        globals_.notices.push_back("配置文件无法使用（" + problem + "），使用默认设置：" + settings_.path());
    }
    if (const std::string warning = settings_.OpenToOthersWarning(); !warning.empty()) globals_.notices.push_back(warning);
    for (const std::string& notice : globals_.notices) {
        OpenMessage(this, QString::fromUtf8("信息："), QString::fromStdString(notice));
    }
    settings_page_->Load();
    live_options_.Set(settings_.Options({}));
    QTimer::singleShot(0, this, [this] { login_->OpenHomePage(); });
    std::string store_folder = RecordStoreFolder(globals_.files.data_folder);
    EnsureDirectory(store_folder);
}

MainWindow::~MainWindow() {
    StopAllWork();
    // Workers never wait for this thread; a run's last events are simply dropped.
    while (BusyWithWork()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    delete login_;  // the browser and its profile go while the window still stands
    login_ = nullptr;
}

void MainWindow::BuildPages() {
    // The tab control: pages share its coordinates, tab strip included, as the
    // window design places them.
    // Controls keep their design places: on a smaller window they scroll
    // rather than overlap or fall off the screen.
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    content_ = new QWidget;
    content_->setMinimumSize(kCompactWidth, kCompactHeight);  // the first page is the login page
    scroll_->setWidget(content_);
    scroll_->setGeometry(rect());
    content_->installEventFilter(this);
    tab_control_ = new QWidget(content_);
    tab_control_->setObjectName(QString::fromUtf8("高级选择夹1"));
    tab_control_->setGeometry(4, 7, 1084, 601);
    login_ = new LoginPage(globals_, tab_control_);
    album_ = new AlbumPage(globals_.files.default_save_folder, settings_, tab_control_);
    sync_page_ = new SyncPage(tab_control_);
    settings_page_ = new SettingsPage(settings_, *globals_.pacer, tab_control_);
    about_ = new AboutPage(tab_control_);
    for (QWidget* page : std::initializer_list<QWidget*>{login_, album_, sync_page_, settings_page_, about_}) {
        page->setObjectName("page");
        page->setAttribute(Qt::WA_StyledBackground);
        page->setGeometry(0, 0, 1084, 601);
        page->setVisible(pages_.empty());
        pages_.push_back(page);
    }
    tab_bar_ = new QTabBar(tab_control_);
    tab_bar_->setObjectName(QString::fromUtf8("高级选择夹1_标签"));
    for (const char* caption : {"  第一步：登录   ", "    第二步：获取相册   ", "  同步列表  ", "  软件设置  ", "  关于  "}) {
        tab_bar_->addTab(QString::fromUtf8(caption));
    }
    tab_bar_->setExpanding(false);
    tab_bar_->setDrawBase(false);
    tab_bar_->setGeometry(0, 0, 1084, tab_bar_->sizeHint().height());
    tab_bar_->raise();
    run_summary_ = new ElidedLabel(content_);
    run_summary_->setObjectName(QString::fromUtf8("标签_本次进度"));
    run_summary_->setGeometry(12, 611, 1076, 22);
    BuildRunners();
}

void MainWindow::BuildRunners() {
    sound_ = new CompletionSound(this);
    DownloadRunner::Ending ending;
    ending.data_folder = globals_.files.data_folder;
    ending.sound = sound_;
    ending.sound_path = [this] { return settings_page_->SoundPath(); };
    ending.notify = [this] { return settings_.Get(kFinishNoticeKey); };
    ending.window = this;
    download_ = new DownloadRunner(album_, run_summary_, tasks_, std::move(ending),
                                   [this](const QString& caption, const QString& text, bool warning) {
                                       OpenMessage(this, caption, text, warning);
                                   },
                                   this);
    presenter_ = download_->presenter();
    const auto message = [this](const QString& caption, const QString& text) { OpenMessage(this, caption, text); };
    lister_ = new AlbumLister(album_, presenter_, tasks_, globals_.files.data_folder, *globals_.pacer, message, this);
    version_ = new VersionChecker(about_, tasks_, this);
    DailySyncPlan daily;
    daily.unit_folder = UserUnitFolder();
    daily.cli = FindCliProgram(globals_.program_folder);
    daily.config_path = globals_.files.config_path;
    sync_ = new SyncRunner(sync_page_, run_summary_, tasks_,
                           SyncListPath(std::filesystem::path(globals_.files.config_path).parent_path().string()),
                           globals_.files.data_folder, daily, message, this);
}

void MainWindow::ConnectPages() {
    connect(tab_bar_, &QTabBar::currentChanged, this, [this](int index) { PageShown(index); });
    connect(login_, &LoginPage::downloadUserRequested, this, [this](const QString& address) {
        tab_bar_->setCurrentIndex(kAlbumPage);
        album_->SetAddress(address);
        lister_->List(address.toStdString(), live_options_.Get().door, album_->CoversWanted());
    });
    connect(login_, &LoginPage::albumPageRequested, this,
            [this](const QString& address) { lister_->FindAlbumPage(address.toStdString()); });
    connect(lister_, &AlbumLister::albumPageFound, this, [this](const QUrl& page) { login_->Open(page); });
    connect(album_, &AlbumPage::listRequested, this, [this](const QString& address) {
        lister_->List(address.toStdString(), live_options_.Get().door, album_->CoversWanted());
    });
    connect(album_, &AlbumPage::startRequested, this, [this] { StartDownload(false); });
    connect(album_, &AlbumPage::retryRequested, this, [this] { StartDownload(true); });
    connect(album_, &AlbumPage::cancelListingRequested, this, [this] { lister_->Cancel(); });
    connect(album_, &AlbumPage::messageRequested, this,
            [this](const QString& text) { OpenMessage(this, QString::fromUtf8("信息："), text); });
    connect(lister_, &AlbumLister::userFound, this, [this](const QString& uid) { download_->ShowFailuresOf(uid.toStdString()); });
    connect(album_, &AlbumPage::addToSyncRequested, this,
            [this] { sync_->AddChosen(lister_->listed_user(), album_->ChosenAlbums(), album_->AlbumCount()); });
    connect(sync_page_, &SyncPage::syncAllRequested, this, [this] { StartSync(); });
    connect(sync_page_, &SyncPage::openRequested, this,
            [this](const QString& target) { sync_->Open(target, album_->SaveFolder()); });
    connect(settings_page_, &SettingsPage::optionsChanged, this, [this] { live_options_.Set(settings_.Options({})); });
    connect(settings_page_, &SettingsPage::showAlbumButtonClicked, this, [this] { login_->ShowAlbumPageButton(); });
    connect(settings_page_, &SettingsPage::stopSoundClicked, this, [this] { sound_->Stop(); });
    connect(sound_, &CompletionSound::failed, this,
            [this](const QString& reason) { presenter_->LogNow("提示音无法播放：" + reason.toStdString()); });
    connect(about_, &AboutPage::checkClicked, this, [this] { version_->Check(); });
    connect(version_, &VersionChecker::newVersionFound, this,
            [this] { OpenMessage(this, QString::fromUtf8("信息："), QString::fromUtf8("有新版本，联系客服索取")); });
}

void MainWindow::StartDownload(bool retry) {
    if (sync_->Running()) {
        OpenMessage(this, QString::fromUtf8("信息："), QString::fromUtf8("正在同步：请等同步结束（或结束同步）后再下载"));
        return;
    }
    // The rows the run downloads belong to the user they were listed for, and
    // the save folder is taken as it stands now, not as it may be typed later.
    RunRequest request{lister_->listed_user(), {}, retry};
    if (!retry) request.albums = album_->ChosenAlbums();
    download_->Start(std::move(request), live_options_.ForRun(album_->SaveFolder()), RunContext());
}

void MainWindow::StartSync() {
    if (download_->Running()) {
        OpenMessage(this, QString::fromUtf8("信息："), QString::fromUtf8("正在下载：请等下载结束（或结束下载）后再同步"));
        return;
    }
    sync_->Start(live_options_.ForRun(album_->SaveFolder()), RunContext());
}

DownloadContext MainWindow::RunContext() const {
    DownloadContext context;
    context.program_folder = globals_.files.data_folder;
    context.referer = CurrentService().home_page;
    context.pacer = globals_.pacer.get();
    return context;
}

bool MainWindow::BusyWithWork() const { return tasks_.Busy() || download_->Running() || sync_->Running(); }

void MainWindow::StepPage(int step) {
    const int count = static_cast<int>(pages_.size());
    const int index = (tab_bar_->currentIndex() + step + count) % count;
    tab_bar_->setCurrentIndex(index);
}

void MainWindow::PageShown(int index) {
    for (int i = 0; i < static_cast<int>(pages_.size()); ++i) pages_[static_cast<std::size_t>(i)]->setVisible(i == index);
    const bool compact = index == kLoginPage || index == kAlbumPage || index == kSyncPage;
    content_->setMinimumSize(compact ? kCompactWidth : kDesignWidth, compact ? kCompactHeight : kDesignHeight);
    tab_bar_->raise();
    if (index == kSettingsPage) version_->CheckFirstTime();
    if (index == kSyncPage) {
        sync_->Reload();  // the list may have been edited by hand
        if (!std::exchange(daily_shown_, true)) sync_->RefreshDaily();
    }
}

bool MainWindow::event(QEvent* event) {
    if (event->type() != QEvent::UpdateRequest || !presenter_) return QWidget::event(event);
    QElapsedTimer paint;  // what painting the window costs sets how often a run is drawn
    paint.start();
    const bool handled = QWidget::event(event);
    presenter_->Painted(static_cast<double>(paint.nsecsElapsed()) / 1e6);
    return handled;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == content_ && event->type() == QEvent::Resize) LayOut();
    return QWidget::eventFilter(watched, event);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (scroll_) scroll_->setGeometry(rect());
    if (event->spontaneous()) place_->Changed();  // the user's doing, not ours
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (event->spontaneous()) place_->Changed();
}

void MainWindow::LayOut() {
    if (!settings_page_) return;
    const int extra_height = content_->height() - kDesignHeight;  // less than nothing on a small screen
    tab_control_->resize(content_->width() - 20, kTabControlHeight + extra_height);
    run_summary_->setGeometry(12, tab_control_->geometry().bottom() + 4, tab_control_->width() - 8, 22);
    for (QWidget* page : pages_) page->resize(tab_control_->size());
    tab_bar_->resize(tab_control_->width(), tab_bar_->height());
    login_->LayOut(tab_control_->width(), extra_height);
    album_->LayOut(tab_control_->width(), extra_height);
    sync_page_->LayOut(tab_control_->width(), extra_height);
    settings_page_->LayOut(std::max(0, extra_height));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // No question asked: a running download stops at its next safe point, so
    // no half-written picture is left, and the window closes.
    StopAllWork();
    place_->SaveNow();
    event->accept();
}

void MainWindow::StopAllWork() {
    download_->Close();
    sync_->Close();
    tasks_.StopAll();
}

}  // namespace wa
