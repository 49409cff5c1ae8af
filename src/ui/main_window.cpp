// Building the window: every control with its name, place, size and caption,
// and the layout that follows the window's width.
#include "ui/main_window.h"

#include <QAudioOutput>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include "shell/saved_options.h"
#include "ui/browser_cookie_bridge.h"
#include "ui/browser_page.h"
#include "weibo/cookie_jar.h"
#include "ui/qt_dates.h"
#include "util/ini_file.h"
#include "util/folders.h"
#include "weibo/weibo_service.h"

namespace wa {
namespace {

template <typename Widget>
Widget* Make(QWidget* parent, const char* name, int left, int top, int width, int height,
             const QString& caption = {}) {
    auto* widget = new Widget(parent);
    widget->setObjectName(QString::fromUtf8(name));
    widget->setGeometry(left, top, width, height);
    if constexpr (std::is_same_v<Widget, QGroupBox>) {
        widget->setTitle(caption);
    } else if constexpr (requires { widget->setText(caption); }) {
        if (!caption.isEmpty()) widget->setText(caption);
    }
    return widget;
}

}  // namespace

MainWindow::MainWindow(Globals globals, QWidget* parent) : QWidget(parent), globals_(std::move(globals)) {
    setObjectName("MainWindow");
    setWindowTitle(QString::fromUtf8("Tavrin新浪微博Quorvel工具"));
    setWindowIcon(QIcon(":/weibo-albums.png"));
    resize(1100, 638);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect free = screen->availableGeometry();
        move(free.x() + (free.width() - 1100) / 2, free.y() + (free.height() - 638) / 2);
    }

    // The tab control: pages share its coordinates, tab strip included, as the
    // window design places them.
    tab_control = Make<QWidget>(this, "高级选择夹1", 4, 7, 1084, 601);
    for (int i = 0; i < 4; ++i) {
        auto* page = new QWidget(tab_control);
        page->setObjectName("page");
        page->setAttribute(Qt::WA_StyledBackground);
        page->setGeometry(0, 0, 1084, 601);
        page->setVisible(i == 0);
        pages.push_back(page);
    }
    tab_bar = new QTabBar(tab_control);
    tab_bar->setObjectName("高级选择夹1_标签");
    for (const char* caption : {"  第一步：登录   ", "    第二步：获取相册   ", "  软件设置  ", "  关于  "}) {
        tab_bar->addTab(QString::fromUtf8(caption));
    }
    tab_bar->setExpanding(false);
    tab_bar->setDrawBase(false);
    tab_bar->setGeometry(0, 0, 1084, tab_bar->sizeHint().height());
    tab_bar->raise();

    CreateLoginPage(pages[0]);
    CreateAlbumPage(pages[1]);
    CreateSettingsPage(pages[2]);
    CreateVersionPage(pages[3]);
    ConnectHandlers();

    player_ = new QMediaPlayer(this);
    audio_ = new QAudioOutput(this);
    player_->setAudioOutput(audio_);

    OnWindowCreated();
}

MainWindow::~MainWindow() {
    StopAllWork();
    // Workers wait on this thread for their window calls: serve them until done.
    while (BusyWithWork()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    // The page goes before its profile, which then writes its cookies out.
    delete browser;
    browser = nullptr;
    delete browser_profile;
}

void MainWindow::CreateLoginPage(QWidget* page) {
    label_home_address = Make<QLabel>(page, "标签_首页网址", 8, 42, 40, 32, QString::fromUtf8("网址："));
    edit_url = Make<QLineEdit>(page, "编辑框_url", 52, 45, 440, 32);
    edit_url->setText(QString::fromStdString(CurrentService().home_page));
    button_download_user = Make<QPushButton>(page, "按钮_下载此用户", 496, 43, 80, 32, QString::fromUtf8("下载此用户"));
    button_open = Make<QPushButton>(page, "按钮_打开", 599, 44, 69, 32, QString::fromUtf8("打开网页"));
    button_album_page = Make<QPushButton>(page, "按钮_专辑页面", 684, 43, 96, 32, QString::fromUtf8("[查看用户专辑]"));
    button_album_page->hide();
    label_browser_hint = Make<QLabel>(
        page, "标签12", 12, 75, 848, 32,
        QString::fromUtf8("温馨提示：如果网页无法显示，点击右侧的打开按钮，还是不行请检查网络或代理设置是否正常。再点打开！\n"));
    browser = Make<QWebEngineView>(page, "超文本浏览框1", 12, 107, 896, 437);
    browser_profile = new QWebEngineProfile(QStringLiteral("weibo-albums"), this);
    if (!globals_.browser_storage.empty()) {
        const QString storage = QString::fromStdString(globals_.browser_storage);
        browser_profile->setPersistentStoragePath(storage);
        browser_profile->setCachePath(storage + "/cache");
    }
    browser_profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    cookie_bridge_ = new BrowserCookieBridge(browser_profile, CookieJar::Shared(), this);
    browser_page = new BrowserPage(browser_profile, browser);
    browser->setPage(browser_page);
}

void MainWindow::CreateAlbumPage(QWidget* page) {
    group_main = Make<QGroupBox>(page, "分组框_zhuye", 8, 44, 902, 59);
    label_help = Make<QLabel>(group_main, "标签1", 9, 23, 107, 24, QString::fromUtf8("1:用户主页(不懂?)："));
    label_help->setCursor(Qt::PointingHandCursor);
    label_help->installEventFilter(this);
    edit_home = Make<QLineEdit>(group_main, "编辑框_号码", 124, 18, 384, 32);
    button_get_albums = Make<QPushButton>(group_main, "按钮_获取相册封面", 519, 16, 91, 32, QString::fromUtf8("2：获取相册"));
    button_start = Make<QPushButton>(group_main, "按钮_下载选中", 640, 16, 85, 32, QString::fromUtf8("3：下载选中"));
    button_pause = Make<QPushButton>(group_main, "按钮_暂停线程", 694, 16, 67, 32, QString::fromUtf8("暂停下载"));
    button_continue = Make<QPushButton>(group_main, "按钮_继续下载", 754, 16, 67, 32, QString::fromUtf8("继续下载"));
    button_stop = Make<QPushButton>(group_main, "按钮_结束下载", 828, 16, 64, 32, QString::fromUtf8("结束下载"));
    button_pause->hide();
    button_continue->hide();
    button_stop->hide();

    group_place = Make<QGroupBox>(page, "分组框_weizhi", 8, 104, 902, 50);
    Make<QLabel>(group_place, "标签_保存路径", 32, 12, 76, 32, QString::fromUtf8("保存位置："));
    edit_save_folder = Make<QLineEdit>(group_place, "编辑框_保存位置", 124, 12, 440, 27);
    button_choose_folder = Make<QPushButton>(group_place, "按钮_选择位置", 580, 12, 91, 32, QString::fromUtf8("选择存放位置"));
    button_open_folder = Make<QPushButton>(group_place, "按钮_打开目录", 693, 12, 79, 32, QString::fromUtf8("打开目录"));

    group_list = Make<QGroupBox>(page, "分组框_liebiao", 8, 164, 902, 426);
    check_select_all = Make<QCheckBox>(group_list, "选择框_全选", 16, 22, 46, 16, QString::fromUtf8("全选"));
    check_invert = Make<QCheckBox>(group_list, "选择框_反选", 76, 22, 46, 16, QString::fromUtf8("反选"));
    check_covers = Make<QCheckBox>(group_list, "选择框_有图", 142, 21, 134, 16, QString::fromUtf8("有封面图(影响速度)"));
    label_user = Make<QLabel>(group_list, "标签_用户", 294, 12, 246, 24);
    label_status = Make<QLabel>(group_list, "标签_动态", 559, 12, 227, 24);

    album_list = Make<QTreeWidget>(group_list, "超级列表框1", 6, 41, 638, 339);
    album_list->setRootIsDecorated(false);
    album_list->setSelectionMode(QAbstractItemView::SingleSelection);
    album_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    album_list->setUniformRowHeights(false);
    album_list->header()->setSectionsMovable(true);
    album_list->header()->setStretchLastSection(false);
    album_list->setIconSize(QSize(kCoverSide, kCoverSide));
    cover_placeholder_ = CoverPlaceholder();
    album_list->setHeaderLabels({QString::fromUtf8("选择"), QString::fromUtf8("序号"), QString::fromUtf8("相册名称"),
                                 QString::fromUtf8("封面"), QString::fromUtf8("图片数量"), QString::fromUtf8("相册ID"),
                                 QString::fromUtf8("相册问题"), QString::fromUtf8("相册密码")});
    const int widths[] = {60, 40, 120, 100, 70, 80, 80, 80};
    for (int column = 0; column < 8; ++column) album_list->setColumnWidth(column, widths[column]);

    drawing_board = Make<QLabel>(group_list, "画板1", 455, 107, 112, 88);
    drawing_board->setAlignment(Qt::AlignCenter);
    drawing_board->hide();
    group_log = Make<QGroupBox>(group_list, "分组框_日志", 656, 36, 236, 345);
    Make<QLabel>(group_log, "标签3", 8, 12, 88, 19, QString::fromUtf8("执行操作日志："));
    log_box = Make<QPlainTextEdit>(group_log, "编辑框_操作记录", 12, 45, 208, 292);
    log_box->setReadOnly(true);
    log_box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Make<QLabel>(group_list, "标签_进度", 7, 384, 56, 35, QString::fromUtf8("下载进度："));
    progress = Make<QProgressBar>(group_list, "进度条1", 74, 389, 280, 24);
    progress->setRange(0, 100);
    progress->setValue(0);
    progress->setTextVisible(false);
    label_percent = Make<QLabel>(group_list, "标签_进度条比例", 359, 390, 41, 23);
    label_selected = Make<QLabel>(group_list, "标签_选择了相册数量", 404, 390, 144, 23);
    label_current_album = Make<QLabel>(group_list, "标签_正在下载相册", 554, 390, 110, 23);
    label_photo_counter = Make<QLabel>(group_list, "标签_第多少张照片", 666, 390, 95, 23);
}

void MainWindow::CreateSettingsPage(QWidget* page) {
    auto* frame = Make<QGroupBox>(page, "分组框7", 16, 40, 1036, 553);
    auto* common = Make<QGroupBox>(frame, "分组框2", 20, 15, 384, 322, QString::fromUtf8("常用设置："));
    check_record = Make<QCheckBox>(common, "选择框_下载记录", 24, 58, 240, 20,
                                   QString::fromUtf8("开启下载记录（已经下载过的不再下载）"));
    check_window = Make<QCheckBox>(common, "选择框_时间段", 24, 97, 240, 16,
                                   QString::fromUtf8("开启后，只采集下面时间段上传的图片"));
    Make<QLabel>(common, "标签2", 40, 128, 56, 32, QString::fromUtf8("开始时间："));
    date_start = Make<QDateTimeEdit>(common, "日期框_开始时间", 112, 132, 152, 24);
    date_start->setDisplayFormat("yyyy-MM-dd");
    date_start->setCalendarPopup(true);
    date_start->setMinimumDateTime(QDateTime(QDate(100, 1, 1), QTime(0, 0)));
    date_start->setDateTime(QDateTime(QDate(2006, 3, 30), QTime(0, 0)));
    date_start->installEventFilter(this);
    Make<QLabel>(common, "标签4", 40, 167, 56, 32, QString::fromUtf8("结束时间："));
    date_end = Make<QDateTimeEdit>(common, "日期框_结束时间", 112, 171, 152, 24);
    date_end->setDisplayFormat("yyyy-MM-dd");
    date_end->setCalendarPopup(true);
    date_end->setDateTimeRange(QDateTime(QDate(2006, 12, 30), QTime(0, 0)), QDateTime(QDate(2037, 12, 30), QTime(23, 59, 59)));
    date_end->setDateTime(QDateTime(QDate(2025, 12, 30), QTime(0, 0)));
    Make<QLabel>(common, "标签8", 16, 201, 288, 32, QString::fromUtf8("温馨提示：有的微博相册里写的图片总数是不准确的。"));
    Make<QLabel>(common, "标签_同时下载数", 40, 244, 72, 32, QString::fromUtf8("同时下载数："));
    spin_parallel = Make<QSpinBox>(common, "数字框_同时下载数", 112, 248, 64, 24);
    spin_parallel->setRange(1, kMaxParallel);
    spin_parallel->setValue(kDefaultParallel);

    auto* naming = Make<QGroupBox>(frame, "分组框_文件设置", 429, 15, 367, 322, QString::fromUtf8("下载图片命名格式："));
    radio_number_text = Make<QRadioButton>(naming, "单选框_序号加内容", 13, 124, 163, 13, QString::fromUtf8("下载序号+微博内容(默认)"));
    radio_text_number = Make<QRadioButton>(naming, "单选框_内容加序号", 13, 155, 136, 16, QString::fromUtf8("微博内容+下载序号"));
    radio_text = Make<QRadioButton>(naming, "单选框_内容", 13, 185, 136, 18, QString::fromUtf8("微博内容"));
    radio_text_date = Make<QRadioButton>(naming, "单选框_内容加日期", 13, 212, 139, 24, QString::fromUtf8("微博内容+发布日期"));
    radio_date_text = Make<QRadioButton>(naming, "单选框_日期加内容", 13, 251, 136, 16, QString::fromUtf8("发布日期+内容"));
    auto* sequence = Make<QGroupBox>(frame, "分组框5", 435, 32, 345, 96, QString::fromUtf8("下载序号格式："));
    radio_sequence_default = Make<QRadioButton>(sequence, "单选框_默认序号", 7, 24, 217, 24,
                                                QString::fromUtf8("[默认]下载序号格式1.2.3递增"));
    radio_sequence_cycle = Make<QRadioButton>(sequence, "单选框_循环序号", 10, 69, 222, 18,
                                              QString::fromUtf8("100次循环,如1-1...1-100, 2-1..."));

    auto* sound = Make<QGroupBox>(frame, "分组框6", 20, 354, 776, 64, QString::fromUtf8("下载完成提示音（mp3格式,不使用请留空）："));
    Make<QLabel>(sound, "标签_保存路径1", 8, 21, 64, 32, QString::fromUtf8("MP3位置："));
    edit_sound = Make<QLineEdit>(sound, "编辑框_MP3", 80, 25, 260, 27);
    button_choose_sound = Make<QPushButton>(sound, "按钮_选择MP3", 348, 24, 52, 28, QString::fromUtf8("选择"));
    button_save_sound = Make<QPushButton>(sound, "按钮3", 416, 24, 52, 28, QString::fromUtf8("保存"));
    button_stop_sound = Make<QPushButton>(sound, "按钮4", 488, 23, 56, 28, QString::fromUtf8("停止播放"));

    auto* about_albums = Make<QGroupBox>(frame, "分组框8", 20, 425, 784, 112);
    auto* hint = Make<QLabel>(about_albums, "标签11", 15, 16, 747, 48,
                              QString::fromUtf8("关于下载别人设置了密码的相册：首先，你要有该相册访问密码，之后，在上面输入对方主页，"
                                                "点击查看【用户专辑】按钮。\n\n最后找到有密码的专辑点击，输入密码后，进入了有密码的相册。"
                                                "再进行第二步操作。\n"));
    hint->setWordWrap(true);
    check_show_album_button = Make<QCheckBox>(about_albums, "选择框_用户专辑按钮不显示", 8, 84, 216, 16,
                                              QString::fromUtf8("显示用户专辑按钮[不明白就别勾选]"));
}

void MainWindow::CreateVersionPage(QWidget* page) {
    auto* box = Make<QGroupBox>(page, "分组框3", 8, 190, 228, 208, QString::fromUtf8("版本："));
    label_version_result = Make<QLabel>(box, "标签_banbenjieguo", 16, 31, 164, 24);
    Make<QLabel>(box, "标签5", 16, 57, 72, 40, QString::fromUtf8("当前版本："));
    label_version = Make<QLabel>(box, "标签_banben", 86, 57, 95, 40);
    Make<QLabel>(box, "标签_xinbanben", 16, 105, 72, 40, QString::fromUtf8("最新版本："));
    label_latest_version = Make<QLabel>(box, "标签_zxbanben", 87, 105, 93, 40);
    button_check_new = Make<QPushButton>(box, "按钮_checknew", 14, 152, 166, 40, QString::fromUtf8("检测程序是否有更新"));
}

void MainWindow::OnWindowCreated() {
    edit_url->resize(624, edit_url->height());
    label_version->setText(kVersionText);
    if (const std::string problem = SettingsFileProblem(globals_.config_path); !problem.empty()) {
        OpenMessage(QString::fromUtf8("信息："), QString::fromUtf8("配置文件无法使用（") + QString::fromStdString(problem) +
                                                   QString::fromUtf8("），使用默认设置：") +
                                                   QString::fromStdString(globals_.config_path));
    }
    LoadSettings();
    for (const int column : {5, 6, 7}) album_list->setColumnWidth(column, 0);
    QTimer::singleShot(0, this, [this] { HomePageThread(); });
    std::string store_folder = globals_.program_folder + "/防止重复下载数据库";
    EnsureDirectory(store_folder);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutOnResize();
}

void MainWindow::LayoutOnResize() {
    const int w = width();
    const auto set_width = [](QWidget* widget, int value) { widget->resize(value, widget->height()); };
    const auto set_left = [](QWidget* widget, int value) { widget->move(value, widget->y()); };
    set_width(tab_control, w - 20);
    for (QWidget* page : pages) page->resize(tab_control->size());
    tab_bar->resize(tab_control->width(), tab_bar->height());
    set_width(browser, w - 40);
    set_left(button_album_page, w - button_album_page->width() - 40);
    set_left(button_open, w - button_album_page->width() - button_open->width() - 60);
    set_width(edit_url, 440);
    for (QWidget* group : {static_cast<QWidget*>(group_list), static_cast<QWidget*>(group_place),
                           static_cast<QWidget*>(group_main)}) {
        set_width(group, tab_control->width() - 20);
    }
    set_width(album_list, group_list->width() - group_log->width() - 20);
    set_left(group_log, group_list->width() - group_log->width() - 5);
    set_width(edit_home, std::max(0, group_main->width() - button_get_albums->width() - button_start->width() - 235));
    set_left(button_get_albums, group_main->width() - button_get_albums->width() - button_start->width() - 100);
    set_left(button_start, group_main->width() - button_start->width() - 80);
    set_left(button_pause, button_start->x());
    set_left(button_continue, button_start->x());
    set_left(button_stop, button_start->x() + button_start->width() + 10);
    set_width(edit_save_folder, edit_home->width());
    set_left(button_choose_folder, button_get_albums->x());
    set_left(button_open_folder, button_start->x());
}

void MainWindow::ShowPage(int index) {
    tab_bar->setCurrentIndex(index);
    for (int i = 0; i < static_cast<int>(pages.size()); ++i) pages[static_cast<std::size_t>(i)]->setVisible(i == index);
    tab_bar->raise();
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
    event->accept();
}

void MainWindow::StopAllWork() {
    closing_ = true;
    download_.Stop();
    for (Task& task : tasks_) task.job->RequestStop();
}

void MainWindow::ConnectHandlers() {
    // Window and tabs.
    connect(tab_bar, &QTabBar::tabBarClicked, this, [this](int index) { OnTabClicked(index); });
    connect(tab_bar, &QTabBar::currentChanged, this, [this](int index) { ShowPage(index); });

    // Settings.
    connect(check_record, &QCheckBox::clicked, this, [this] { WriteSwitch(kRecordStoreKey, check_record->isChecked()); });
    connect(spin_parallel, &QSpinBox::valueChanged, this,
            [this](int value) { SaveSetting(kGlobalSection, kParallelKey, std::to_string(value)); });
    connect(check_window, &QCheckBox::clicked, this, [this] { WriteSwitch(kTimeWindowKey, check_window->isChecked()); });
    const std::pair<QRadioButton*, NameFormat> naming[] = {
        {radio_number_text, NameFormat::kNumberThenContent}, {radio_text_number, NameFormat::kContentThenNumber},
        {radio_text, NameFormat::kContent},                  {radio_text_date, NameFormat::kContentThenDate},
        {radio_date_text, NameFormat::kDateThenContent}};
    for (const auto& [radio, format] : naming) {
        connect(radio, &QRadioButton::clicked, this, [this, radio = radio, format = format] {
            if (radio->isChecked()) {
                SaveSetting(kGlobalSection, kNameFormatKey, NameFormatText(format));
            }
        });
    }
    connect(radio_sequence_default, &QRadioButton::clicked, this, [this] {
        if (radio_sequence_default->isChecked()) {
            SaveSetting(kGlobalSection, kSequenceKey, kSequenceDefault);
        }
    });
    connect(radio_sequence_cycle, &QRadioButton::clicked, this, [this] {
        if (radio_sequence_cycle->isChecked()) SaveSetting(kGlobalSection, kSequenceKey, kSequenceCycle);
    });
    connect(date_start, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime& value) {
        SaveSetting(kGlobalSection, kStartDateKey, DateText(FromQt(value)));
    });
    connect(date_end, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime& value) {
        SaveSetting(kGlobalSection, kEndDateKey, DateText(FromQt(value)));
    });
    connect(button_choose_folder, &QPushButton::clicked, this, [this] { OnChooseSaveFolder(); });
    connect(button_choose_sound, &QPushButton::clicked, this, [this] { OnChooseSound(); });
    connect(button_save_sound, &QPushButton::clicked, this, [this] { OnSaveSoundPath(); });
    connect(button_stop_sound, &QPushButton::clicked, this, [this] { OnStopSoundClicked(); });
    connect(check_show_album_button, &QCheckBox::clicked, this, [this] { OnShowAlbumButtonClicked(); });

    // Login page.
    connect(browser_page, &BrowserPage::beforeNavigate, this, [this](const QUrl& url) { OnBrowserBeforeNavigate(url); });
    connect(browser_page, &QWebEnginePage::loadFinished, this, [this] { OnBrowserDownloadComplete(); });
    connect(browser_page, &QWebEnginePage::linkHovered, this, [this](const QString& link) {
        if (!link.isEmpty()) status_text_ = link;
    });
    connect(browser_page, &BrowserPage::newWindowRequested, this, [this] { OnBrowserNewWindow(); });
    connect(button_open, &QPushButton::clicked, this, [this] { OnOpenPageClicked(); });
    connect(button_download_user, &QPushButton::clicked, this, [this] { DownloadThisUser(); });
    connect(button_album_page, &QPushButton::clicked, this, [this] { OnOpenAlbumPageClicked(); });

    // Album list and download page.
    connect(button_get_albums, &QPushButton::clicked, this, [this] { ResolveUser(); });
    connect(album_list, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        OnAlbumCheckChanged(item, column);
    });
    connect(check_select_all, &QCheckBox::clicked, this, [this] { OnSelectAllClicked(); });
    connect(check_invert, &QCheckBox::clicked, this, [this] { OnInvertClicked(); });
    connect(button_open_folder, &QPushButton::clicked, this, [this] { OnOpenFolderClicked(); });
    connect(button_start, &QPushButton::clicked, this, [this] { OnDownloadClicked(); });
    connect(button_pause, &QPushButton::clicked, this, [this] { OnPauseClicked(); });
    connect(button_continue, &QPushButton::clicked, this, [this] { OnContinueClicked(); });
    connect(button_stop, &QPushButton::clicked, this, [this] { OnStopClicked(); });

    // Version page.
    connect(button_check_new, &QPushButton::clicked, this, [this] {
        RunInBackground([this](JobToken* job) { CheckForUpdate(job); });
    });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == date_start && event->type() == QEvent::MouseButtonRelease) {
        SaveSetting(kGlobalSection, kStartDateKey, DateText(FromQt(date_start->dateTime())));
    }
    if (watched == label_help && event->type() == QEvent::MouseButtonPress) OnHelpLabelPressed();
    return QWidget::eventFilter(watched, event);
}

}  // namespace wa
