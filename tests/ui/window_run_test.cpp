// Listing and downloading through the window: the run buttons, the log, the
// status line, and a window thread that is busy.
#include "ui/display_buffer.h"
#include "window_fixture.h"

namespace wa {
namespace {

using test::MainWindowTest;
using test::View;
using test::WaitFor;
namespace fs = std::filesystem;

TEST_F(MainWindowTest, ListingAndAFullRunThroughTheWindow) {
    fake::User user = fake::SampleUser("5005", 3, 4);
    user.albums[1].count_text = "0";
    fake.AddUser(user);
    View& w = Open();
    WriteSetting(globals.files.config_path, "全局设置", "保存位置", (temp.path() / "saved").string());
    w.edit_save_folder->setText(QString::fromStdString((temp.path() / "saved").string()));
    w.edit_sound->setText(QString::fromStdString((temp.path() / "none.mp3").string()));

    QTimer::singleShot(0, [this] {
        EXPECT_EQ(OpenMessageText(), QString::fromUtf8("请输入网址"));
        CloseMessageBoxes();
    });
    w.button_get_albums->click();

    w.edit_home->setText(QString::fromStdString("127.0.0.1:" + std::to_string(fake.port()) + "/u/5005"));
    w.button_get_albums->click();
    ASSERT_TRUE(WaitFor([&] { return w.label_status->text().startsWith(QString::fromUtf8("相册列表获取完毕")); }));
    EXPECT_EQ(w.label_status->text(), QString::fromUtf8("相册列表获取完毕,共计2个"));
    EXPECT_EQ(w.label_user->text(), QString::fromUtf8("要下载用户：演示用户的微博"));
    EXPECT_EQ(w.label_percent->text(), "100%");
    ASSERT_EQ(w.album_list->topLevelItemCount(), 2);
    EXPECT_EQ(w.album_list->topLevelItem(1)->text(1), "2");
    EXPECT_EQ(w.album_list->topLevelItem(1)->text(2), QString::fromUtf8("旅行"));
    EXPECT_EQ(w.album_list->topLevelItem(1)->text(5), "3550000002@@3");
    EXPECT_EQ(w.album_list->columnWidth(3), 0);
    EXPECT_TRUE(w.log_box->toPlainText().contains(QString::fromUtf8("-----获取完毕,共计2个\n选择要下载的 点击【3下载选中】")));

    w.album_list->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    w.check_record->setChecked(true);
    w.button_start->click();
    EXPECT_TRUE(w.button_start->isHidden());
    EXPECT_FALSE(w.button_pause->isHidden());
    EXPECT_FALSE(w.button_stop->isHidden());
    ASSERT_TRUE(WaitFor([&] { return !OpenMessageText().isEmpty(); }));
    EXPECT_EQ(OpenMessageText(), QString::fromUtf8("全部下载完毕\n本次保存4张，失败0张"));
    EXPECT_EQ(w.run_summary->text(), QString::fromUtf8("本次：1/1个相册完成，已保存4张，失败0张"));
    CloseMessageBoxes();
    EXPECT_FALSE(w.button_start->isHidden());
    EXPECT_TRUE(w.button_pause->isHidden() && w.button_continue->isHidden() && w.button_stop->isHidden());
    EXPECT_EQ(w.label_selected->text(), QString::fromUtf8("总共需下载[1]个相册"));
    EXPECT_EQ(w.label_photo_counter->text(), QString::fromUtf8("下载完成"));
    EXPECT_EQ(w.label_percent->text(), "100%");
    EXPECT_EQ(w.progress->value(), 100);
    const QString log = w.log_box->toPlainText();
    EXPECT_TRUE(log.contains(QString::fromUtf8("当前被选择相册编号:2、")));
    EXPECT_TRUE(log.contains(QString::fromUtf8("---完成相册《旅行4》下载")));
    // The sound the settings name is not there: the log says so after the run's end.
    EXPECT_TRUE(log.contains(QString::fromUtf8("-------全部下载完毕--------\n\n提示音无法播放：找不到文件 ")));
    const fs::path album = temp.path() / "saved" / "演示用户的微博" / "旅行4";
    EXPECT_TRUE(fs::exists(album / "(1)春天的花北京植物园.jpg"));
    EXPECT_TRUE(fs::exists(album / "(2).jpg"));

    // Run again: the last run's end goes before the new one starts, and a run
    // that saved nothing says so.
    w.button_start->click();
    EXPECT_EQ(w.label_percent->text(), "");
    EXPECT_EQ(w.label_photo_counter->text(), "");
    EXPECT_EQ(w.progress->value(), 0);
    ASSERT_TRUE(WaitFor([&] { return !OpenMessageText().isEmpty(); }));
    EXPECT_EQ(OpenMessageText(), QString::fromUtf8("全部下载完毕\n本次保存0张，跳过已下载4张，失败0张"));
    CloseMessageBoxes();
}

TEST_F(MainWindowTest, PauseContinueAndStopButtons) {
    fake::User user = fake::SampleUser("6006", 1, 5);
    fake.AddUser(user);
    fake.AddFault("/large/3600000000001", fake::Fault{.stall_ms = 20000});
    View& w = Open();
    w.edit_save_folder->setText(QString::fromStdString((temp.path() / "saved").string()));
    w.edit_home->setText(QString::fromStdString(fake.BaseUrl() + "/u/6006"));
    w.button_get_albums->click();
    ASSERT_TRUE(WaitFor([&] { return w.album_list->topLevelItemCount() == 1 && w.drawing_board->isHidden(); }));
    // Focus never lands where a stray key edits a box or stops the run.
    const auto focus_is_safe = [&] {
        QWidget* focus = w.window->focusWidget();
        return focus && !qobject_cast<QLineEdit*>(focus) && focus != w.button_stop;
    };
    w.button_start->setFocus();
    w.button_start->click();
    EXPECT_TRUE(focus_is_safe());
    ASSERT_TRUE(WaitFor([&] { return fake.CountRequests("/large/3600000000001") > 0; }));
    w.edit_save_folder->setText("x");  // typed after the start: the run keeps its folder

    w.button_pause->click();
    EXPECT_TRUE(focus_is_safe());
    EXPECT_TRUE(w.button_start->isHidden() && w.button_pause->isHidden());
    EXPECT_FALSE(w.button_continue->isHidden());
    EXPECT_FALSE(w.button_stop->isHidden());
    w.button_continue->click();
    EXPECT_TRUE(focus_is_safe());
    EXPECT_FALSE(w.button_pause->isHidden());
    EXPECT_TRUE(w.button_continue->isHidden());
    w.button_pause->click();
    w.button_stop->click();  // stop while paused
    EXPECT_FALSE(w.button_start->isHidden());
    EXPECT_TRUE(w.button_pause->isHidden() && w.button_continue->isHidden() && w.button_stop->isHidden());
    ASSERT_TRUE(WaitFor([&] { return !w.window->BusyWithWork(); }));
    EXPECT_TRUE(OpenMessageText().isEmpty());
    EXPECT_FALSE(w.log_box->toPlainText().contains(QString::fromUtf8("全部下载完毕")));
    EXPECT_TRUE(w.log_box->toPlainText().contains(QString::fromUtf8("已暂停下载\n继续下载\n已暂停下载\n已结束下载\n")));
    // No half-written file is left; a folder the stop left empty is gone.
    const fs::path saved = temp.path() / "saved";
    if (fs::exists(saved)) {
        for (const auto& entry : fs::recursive_directory_iterator(saved)) {
            EXPECT_FALSE(entry.path().filename().string().starts_with(".weibo-albums-"));
            if (entry.is_directory()) {
                EXPECT_FALSE(fs::is_empty(entry.path())) << entry.path();
            }
        }
    }
}

TEST_F(MainWindowTest, ASupersededResolutionWritesNothingAndTheRunTakesTheListedUser) {
    fake::User slow = fake::SampleUser("9101", 1, 2);
    slow.title = "甲的微博";
    fake::User fast = fake::SampleUser("9102", 1, 2);
    fast.title = "乙的微博";
    fake.AddUser(slow);
    fake.AddUser(fast);
    fake.AddFault("/u/9101", fake::Fault{.delay_ms = 1500});
    View& w = Open();
    w.edit_save_folder->setText(QString::fromStdString((temp.path() / "saved").string()));
    w.edit_home->setText(QString::fromStdString(fake.BaseUrl() + "/u/9101"));
    w.button_get_albums->click();
    ASSERT_TRUE(WaitFor([&] { return fake.CountRequests("/u/9101") > 0; }));
    w.edit_home->setText(QString::fromStdString(fake.BaseUrl() + "/u/9102"));
    QTest::keyClick(w.edit_home, Qt::Key_Return);  // Enter acts as 2：获取相册
    ASSERT_TRUE(WaitFor([&] { return w.album_list->topLevelItemCount() == 1 && w.drawing_board->isHidden(); }));
    QTest::qWait(1800);  // the slow resolution comes back late
    EXPECT_EQ(w.label_user->text(), QString::fromUtf8("要下载用户：乙的微博"));
    w.button_start->click();
    ASSERT_TRUE(WaitFor([&] { return !OpenMessageText().isEmpty(); }));
    CloseMessageBoxes();
    EXPECT_TRUE(fs::exists(temp.path() / "saved" / "乙的微博"));
    EXPECT_FALSE(fs::exists(temp.path() / "saved" / "甲的微博"));
}

TEST_F(MainWindowTest, ABusyWindowThreadNeverHoldsARunBackAndItsLinesComeInOrder) {
    fake.AddUser(fake::SampleUser("9009", 1, 40));
    for (const char* id : {"3600000000003", "3600000000017", "3600000000031"}) {
        fake.AddFault(std::string("/large/") + id, fake::Fault{.status = 404});
    }
    View& w = Open();
    w.edit_save_folder->setText(QString::fromStdString((temp.path() / "saved").string()));
    w.edit_home->setText("9009");  // a bare uid stands for its home page
    w.button_get_albums->click();
    ASSERT_TRUE(WaitFor([&] { return w.label_status->text().startsWith(QString::fromUtf8("相册列表获取完毕")); }));
    w.button_start->click();
    // The window thread does nothing else until the pictures are saved: the
    // worker must not be waiting for it.
    const fs::path album = temp.path() / "saved" / "演示用户的微博" / "微博配图40";
    const auto count = [&album] {
        std::error_code error;
        auto entries = fs::directory_iterator(album, error);
        return error ? 0 : static_cast<int>(std::distance(fs::begin(entries), fs::end(entries)));
    };
    const auto start = std::chrono::steady_clock::now();
    while (count() < 37 && std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(count(), 37);
    ASSERT_TRUE(WaitFor([&] { return !OpenMessageText().isEmpty(); }));
    CloseMessageBoxes();
    const QString log = w.log_box->toPlainText();
    const QString base = QString::fromStdString(fake.BaseUrl());
    const QStringList in_order = {"当前被选择相册编号:1、", "准备下载相册《微博配图》",
                                  "图片下载失败[404]：" + base + "/large/3600000000003.png",
                                  "图片下载失败[404]：" + base + "/large/3600000000017.png",
                                  "图片下载失败[404]：" + base + "/large/3600000000031.png",
                                  "---完成相册《微博配图40》下载", "-------下载结束，但有3张图片没有获取--------"};
    qsizetype at = 0;
    for (const QString& line : in_order) {
        const qsizetype found = log.indexOf(line, at);
        EXPECT_GE(found, at) << line.toStdString();
        at = std::max(at, found);
    }
    EXPECT_EQ(w.label_photo_counter->text(), QString::fromUtf8("下载完成"));
    EXPECT_EQ(w.label_percent->text(), "100%");
}

TEST(FramePace, AboutThirtyFramesASecondUnlessPaintingIsDear) {
    const std::pair<double, int> steady[] = {
        {0.3, 33},  // a composited desktop: about 30 a second
        {5, 100},
        {9.5, 190},  // a window composited in software
        {80, 250},   // never fewer than 4 a second
    };
    for (const auto& [paint, interval] : steady) {
        FramePace pace;
        for (int i = 0; i < 60; ++i) pace.Painted(paint);
        EXPECT_EQ(pace.IntervalMilliseconds(), interval) << paint;
    }
    // One slow paint (the first showing, a resize) slows a few frames only.
    FramePace pace;
    pace.Painted(300);
    EXPECT_EQ(pace.IntervalMilliseconds(), 250);
    for (int i = 0; i < 30; ++i) pace.Painted(0.5);
    EXPECT_EQ(pace.IntervalMilliseconds(), 33);
}

TEST(DisplayBufferTest, NothingIsLeftWithoutAFrameAskedForHoweverTheWindowInterleaves) {
    // The window thread at its quickest: it takes the buffer the moment a
    // frame is asked for, between two changes of one event.
    std::vector<DisplayBuffer::Pending> frames;
    DisplayBuffer* self = nullptr;
    DisplayBuffer buffer([&] { frames.push_back(self->Take()); });
    self = &buffer;
    buffer.SetProgress(40, 100);
    buffer.SetLabel(RunLabel::kPercent, "40%");
    buffer.SetLabel(RunLabel::kCounter, "60/24");
    buffer.AppendLog("第一行\n");
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0].progress, (std::pair{40, 100}));
    EXPECT_EQ(frames[1].labels.at(RunLabel::kPercent), "40%");
    EXPECT_EQ(frames[2].labels.at(RunLabel::kCounter), "60/24");
    EXPECT_EQ(frames[3].log, "第一行\n");
    EXPECT_TRUE(buffer.Take().Empty());

    // A slower window: one frame for everything that came before it.
    int asked = 0;
    DisplayBuffer gathered([&] { ++asked; });
    gathered.SetProgress(1, 100);
    gathered.SetLabel(RunLabel::kPercent, "1%");
    gathered.SetProgress(2, 100);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(gathered.Take().progress, (std::pair{2, 100}));
    gathered.AppendLog("x\n");
    EXPECT_EQ(asked, 2);
}

TEST_F(MainWindowTest, EveryListingEndsWithATrueStatusLineReadWhole) {
    fake::User user = fake::SampleUser("7007", 2, 1);
    user.marker = fake::UidMarker::kNone;
    fake.AddUser(user);
    ApplySkin(*qApp, QString::fromStdString(globals.program_folder), 13);  // its fonts and least widths too
    View& w = Open();
    const auto list = [&](const std::string& typed) {
        w.edit_home->setText(QString::fromStdString(typed));
        w.button_get_albums->click();
        return WaitFor([&] { return !OpenMessageText().isEmpty(); });
    };
    w.edit_home->setText(QString::fromStdString(fake.BaseUrl() + "/u/7007"));
    w.button_get_albums->click();
    ASSERT_TRUE(WaitFor([&] { return w.label_status->text().startsWith(QString::fromUtf8("相册列表获取完毕")); }));
    ASSERT_EQ(w.album_list->topLevelItemCount(), 2);

    // Whatever ends a listing, no user and no rows stay from before, and the
    // whole reason is in the status line, the message and the log.
    const struct {
        std::string typed;
        bool logged_out;
        bool photo_service_closed;
        std::string_view status;
    } cases[] = {
        {fake.BaseUrl() + "/nobody", false, false, kUnknownUserLine},
        {fake.BaseUrl() + "/u/7007", true, false, kLoginNeededLine},  // the visitor system's page
        {fake.BaseUrl() + "/", false, false, kNoUserPageLine},        // the site's home page
        {"12345", false, true, "相册列表获取失败：无法连接到 127.0.0.1:1（Connection refused）"},
    };
    ServiceAddresses closed = CurrentService();
    closed.hosts[std::string(kPhotoServiceHost.setting)] = "127.0.0.1:1";
    WriteSetting(globals.files.config_path, "全局设置", "相册来源", "相册服务");
    w.window->findChild<SettingsPage*>()->Load();
    for (const auto& c : cases) {
        const QString status = QString::fromUtf8(c.status.data(), static_cast<int>(c.status.size()));
        fake.SetRequireLogin(c.logged_out);
        fake.SetVisitorWall(c.logged_out);
        if (c.photo_service_closed) SetCurrentService(closed);
        ASSERT_TRUE(list(c.typed)) << c.typed;
        EXPECT_EQ(w.label_status->text(), status) << c.typed;
        EXPECT_EQ(OpenMessageText(), status) << c.typed;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(top);
            if (!box || !box->isVisible()) continue;
            const QLabel* text = box->findChild<QLabel*>("qt_msgbox_label");
            QCoreApplication::processEvents();
            EXPECT_GE(text->contentsRect().width(), text->fontMetrics().horizontalAdvance(status)) << c.typed;
        }
        EXPECT_TRUE(w.log_box->toPlainText().contains(status)) << c.typed;
        EXPECT_TRUE(w.label_user->text().isEmpty()) << c.typed;
        EXPECT_EQ(w.album_list->topLevelItemCount(), 0) << c.typed;
        CloseMessageBoxes();
    }

    // A line too long for its label ends in "…", and its tooltip is the whole line.
    auto* label = qobject_cast<ElidedLabel*>(w.label_status);
    ASSERT_TRUE(label);
    label->resize(120, label->height());
    ASSERT_TRUE(label->Elided());
    QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), label->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(label, &hover);
    EXPECT_EQ(QToolTip::text(), w.label_status->text());
    qApp->setStyleSheet({});
}

TEST_F(MainWindowTest, TheWindowComesBackWhereItWasWhenItsTitleBarIsOnAScreenAndFitsIt) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    WriteSetting(globals.files.config_path, "窗口", "左", "30");
    WriteSetting(globals.files.config_path, "窗口", "上", "40");
    WriteSetting(globals.files.config_path, "窗口", "宽", "600");
    WriteSetting(globals.files.config_path, "窗口", "高", "400");
    View& w = Open();
    EXPECT_EQ(w.window->pos(), QPoint(30, 40));
    EXPECT_EQ(w.window->size(), QSize(600, 400));
    w.window->move(50, 60);
    w.window->close();  // closing writes where it is
    EXPECT_EQ(Setting("窗口", "左"), "50");
    EXPECT_EQ(Setting("窗口", "高"), "400");

    // No screen shows it there, or only part of its title bar: the window
    // opens centred, no larger than the screen's free area, and what does not
    // fit scrolls.
    for (const int left : {9000, screen.right() - 300}) {
        WriteSetting(globals.files.config_path, "窗口", "左", std::to_string(left));
        window.reset();
        View& again = Open();
        EXPECT_NE(again.window->x(), left);
        EXPECT_LE(again.window->width(), screen.width());
        EXPECT_LE(again.window->height(), screen.height());
        EXPECT_EQ(again.window->size(), QSize(1100, 638).boundedTo(again.window->size()));
    }
    window->resize(600, 400);
    QCoreApplication::processEvents();
    auto* scroll = window->findChild<QScrollArea*>();
    ASSERT_TRUE(scroll);
    EXPECT_GT(scroll->horizontalScrollBar()->maximum(), 0);
    EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);
    scroll->ensureWidgetVisible(view.button_open);  // the farthest control on the first page
    QCoreApplication::processEvents();
    const QRect seen(view.button_open->mapTo(scroll->viewport(), QPoint(0, 0)), view.button_open->size());
    EXPECT_TRUE(scroll->viewport()->rect().contains(seen));
}

}  // namespace
}  // namespace wa
