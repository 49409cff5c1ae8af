// A run the window's user can trust: each album's state in its row, a box
// that leads with what failed, 重试失败项 getting those alone, buttons that
// act only when they can, and a run's controls in view on a small screen.
#include "ui/run_presenter.h"
#include "window_fixture.h"

namespace wa {
namespace {

using test::MainWindowTest;
using test::View;
using test::WaitFor;
namespace fs = std::filesystem;

class RunTrustTest : public MainWindowTest {
protected:
    // Lists user `uid` on the album page, saving below the temporary folder.
    void List(View& w, const std::string& uid) {
        w.tab_bar->setCurrentIndex(1);
        w.edit_save_folder->setText(QString::fromStdString((temp.path() / "saved").string()));
        w.edit_home->setText(QString::fromStdString(uid));
        w.button_get_albums->click();
        ASSERT_TRUE(WaitFor([&] {
            return w.button_get_albums->text() == QString::fromUtf8("2：获取相册") &&
                   w.label_status->text().startsWith(QString::fromUtf8("相册列表获取完毕"));
        }));
    }
    QString RowState(View& w, int row) { return w.album_list->topLevelItem(row)->text(8); }
    QMessageBox* OpenBox() {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible()) return box;
        }
        return nullptr;
    }
};

TEST_F(RunTrustTest, FailuresLeadTheBoxAndTheRetryGetsThemAlone) {
    fake.AddUser(fake::SampleUser("9201", 2, 6));
    fake.AddFault("/large/3600000000001", fake::Fault{.status = 404});
    fake.AddFault("/large/3600000100002", fake::Fault{.status = 404});
    View& w = Open();
    List(w, "9201");
    auto* retry = Find<QPushButton>("按钮_重试失败项");
    EXPECT_TRUE(retry->isHidden());
    w.button_start->click();
    ASSERT_TRUE(WaitFor([&] { return OpenBox() != nullptr; }));
    EXPECT_EQ(OpenBox()->icon(), QMessageBox::Warning);
    EXPECT_EQ(OpenMessageText(), QString::fromUtf8("下载结束，但有2张图片没有获取，可以点【重试失败项】\n本次保存10张，失败2张"));
    EXPECT_EQ(w.run_summary->text(), QString::fromUtf8("本次：2/2个相册完成，已保存10张，失败2张"));
    EXPECT_EQ(RowState(w, 0), QString::fromUtf8("完成（1张失败）"));
    EXPECT_EQ(RowState(w, 1), QString::fromUtf8("完成（1张失败）"));
    CloseMessageBoxes();
    ASSERT_TRUE(WaitFor([&] { return !retry->isHidden(); }));

    // The pictures come now: the retry asks for those two and nothing else.
    fake.ClearFaults();
    fake.ClearRequests();
    retry->click();
    ASSERT_TRUE(WaitFor([&] { return OpenBox() != nullptr; }));
    EXPECT_EQ(OpenBox()->icon(), QMessageBox::Information);
    EXPECT_EQ(OpenMessageText(), QString::fromUtf8("全部下载完毕\n本次保存2张，失败0张"));
    CloseMessageBoxes();
    EXPECT_EQ(fake.CountRequests("/large/"), 2);
    EXPECT_EQ(fake.CountRequests("/photos/get_all") + fake.CountRequests("/albums/get_all"), 0);
    const fs::path user = temp.path() / "saved" / "演示用户的微博";
    EXPECT_TRUE(fs::exists(user / "微博配图6" / "(2).jpg"));  // under the names the run meant for them
    EXPECT_TRUE(fs::exists(user / "头像相册6" / "(3)旅行😀日记第一天.jpg"));
    ASSERT_TRUE(WaitFor([&] { return retry->isHidden(); }));
}

TEST_F(RunTrustTest, TheRowsAndReadoutsFollowTheRunItsPauseAndItsStop) {
    fake.AddUser(fake::SampleUser("9202", 2, 5));
    fake.AddFault("/large/3600000000003", fake::Fault{.stall_ms = 20000});
    View& w = Open();
    List(w, "9202");
    w.button_start->click();
    ASSERT_TRUE(WaitFor([&] { return RowState(w, 0).startsWith(QString::fromUtf8("下载中 4/5")); }));
    EXPECT_EQ(RowState(w, 1), QString::fromUtf8("等待"));
    EXPECT_EQ(w.label_photo_counter->text(), "5/4");
    EXPECT_FALSE(w.label_photo_counter->toolTip().isEmpty());  // what the two numbers are
    w.button_pause->click();
    QTest::qWait(1100);
    EXPECT_TRUE(w.run_summary->text().endsWith(QString::fromUtf8("，已暂停"))) << w.run_summary->text().toStdString();
    w.button_stop->click();
    EXPECT_EQ(w.label_photo_counter->text(), QString::fromUtf8("已结束"));
    ASSERT_TRUE(WaitFor([&] { return !w.window->BusyWithWork(); }));
    ASSERT_TRUE(WaitFor([&] { return RowState(w, 0) == QString::fromUtf8("已结束"); }));
    EXPECT_TRUE(w.run_summary->text().contains(QString::fromUtf8("已结束")));
    EXPECT_TRUE(OpenMessageText().isEmpty());

    // A new listing clears the last run's readouts: the bar is the listing's own.
    List(w, "9202");
    EXPECT_EQ(w.label_photo_counter->text(), "");
    EXPECT_EQ(w.progress->maximum(), 2);
    EXPECT_EQ(RowState(w, 0), "");
}

TEST_F(RunTrustTest, ButtonsThatCannotActDoNot) {
    fake.AddUser(fake::SampleUser("9203", 1, 2));
    fake.AddFault("/albums/get_all", fake::Fault{.delay_ms = 3000, .times = 1});
    View& w = Open();
    w.tab_bar->setCurrentIndex(1);
    EXPECT_FALSE(w.button_start->isEnabled());  // nothing listed, nothing ticked
    w.edit_home->setText("9203");
    w.button_get_albums->click();
    EXPECT_FALSE(w.button_start->isEnabled());
    EXPECT_EQ(w.button_get_albums->text(), QString::fromUtf8("取消获取"));
    ASSERT_TRUE(WaitFor([&] { return fake.CountRequests("/albums/get_all") > 0; }));
    w.button_get_albums->click();  // the slow listing is given up
    EXPECT_EQ(w.label_status->text(), QString::fromUtf8("已取消获取相册"));
    EXPECT_EQ(w.button_get_albums->text(), QString::fromUtf8("2：获取相册"));
    QTest::qWait(3300);
    EXPECT_EQ(w.album_list->topLevelItemCount(), 0);  // what it found late is not shown

    List(w, "9203");
    EXPECT_TRUE(w.button_start->isEnabled());
    w.album_list->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    EXPECT_FALSE(w.button_start->isEnabled());

    // A save folder that is not there yet is said, not opened.
    w.edit_save_folder->setText(QString::fromStdString((temp.path() / "nowhere").string()));
    w.button_open_folder->click();
    ASSERT_TRUE(WaitFor([&] { return !OpenMessageText().isEmpty(); }));
    EXPECT_TRUE(OpenMessageText().startsWith(QString::fromUtf8("保存位置还不存在：")));
    CloseMessageBoxes();
}

TEST_F(RunTrustTest, OnASmallScreenTheRunsControlsStayInViewAndCtrlShiftTabGoesBack) {
    View& w = Open();
    w.window->resize(910, 500);  // 1366×800 at a scale of 1.5, less the window's frame
    w.tab_bar->setCurrentIndex(1);
    QCoreApplication::processEvents();
    const QRect window(QPoint(0, 0), w.window->size());
    for (QWidget* control : std::initializer_list<QWidget*>{w.button_start, w.button_get_albums, w.progress,
                                                             w.run_summary, w.label_photo_counter, w.album_list}) {
        const QRect at(control->mapTo(w.window, QPoint(0, 0)), control->size());
        EXPECT_TRUE(window.contains(at)) << control->objectName().toStdString();
    }
    auto* scroll = w.window->findChild<QScrollArea*>();
    EXPECT_FALSE(scroll->verticalScrollBar()->isVisible());
    EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible());
    w.tab_bar->setCurrentIndex(3);  // the settings keep their design and scroll
    QCoreApplication::processEvents();
    EXPECT_TRUE(scroll->verticalScrollBar()->isVisible());

    // Ctrl+Shift+Tab goes back a page from any control, however the keyboard sends it.
    w.window->activateWindow();
    QApplication::setActiveWindow(w.window);
    w.tab_bar->setCurrentIndex(1);
    for (QWidget* control : std::initializer_list<QWidget*>{w.edit_home, w.album_list, w.log_box, w.button_start,
                                                             w.check_select_all, w.edit_save_folder}) {
        for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
            w.tab_bar->setCurrentIndex(1);
            control->setFocus();
            QTest::keyClick(control, key, Qt::ControlModifier | Qt::ShiftModifier);
            EXPECT_EQ(w.tab_bar->currentIndex(), 0) << control->objectName().toStdString() << " " << key;
        }
    }
}

// The time left is reckoned from the pace since the service's limit last
// slowed the run, once a few photos show it; before any slow-down, from the
// whole run.
TEST(RunSummaryTest, TheTimeLeftFollowsThePaceSinceItLastChanged) {
    RunStats stats;
    stats.albums = 1;
    stats.photos = 100;
    stats.counts.saved = 50;
    stats.seconds = 50;
    const struct {
        double paced_at;
        long long done_when_paced;
        const char* left;  // nullptr: none shown
    } cases[] = {
        {-1, 0, "约还需50秒"},      // 50 photos in 50 s
        {20, 40, "约还需2分30秒"},  // 10 in the 30 s since: 3 s a photo
        {48, 48, nullptr},          // 2 since: too few to tell
    };
    for (const auto& c : cases) {
        stats.paced_at = c.paced_at;
        stats.done_when_paced = c.done_when_paced;
        stats.pace = c.paced_at >= 0 ? "服务限流：已放慢到每3秒一次请求" : "";
        const std::string text = RunSummary(stats);
        EXPECT_EQ(text.find("约还需") != std::string::npos, c.left != nullptr) << text;
        if (c.left) {
            EXPECT_TRUE(text.ends_with(c.left)) << text;
        }
    }
}

}  // namespace
}  // namespace wa
