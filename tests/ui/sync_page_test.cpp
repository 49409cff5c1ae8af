// The sync page in the real window against the fake service: users added
// from the album page, 全部同步 twice, a stop in the middle, a user taken off,
// and the desktop told on a private session bus.
#include <fstream>
#include <sstream>

#include "desktop/fake_notifications.h"
#include "window_fixture.h"

namespace wa {
namespace {

using test::WaitFor;
namespace fs = std::filesystem;

class SyncPageTest : public test::MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        fake.AddUser(fake::SampleUser("5005", 2, 3));
        fake::User other = fake::SampleUser("6006", 1, 4);
        other.title = "小蓝的微博";
        fake.AddUser(other);
    }
    void ListAndAdd(test::View& w, const std::string& uid, const char* title, bool first_album_too) {
        w.edit_home->setText(QString::fromStdString(uid));
        w.button_get_albums->click();
        ASSERT_TRUE(WaitFor([&] {
            return w.label_user->text() == QString::fromUtf8("要下载用户：") + QString::fromUtf8(title) &&
                   w.label_status->text().startsWith(QString::fromUtf8("相册列表获取完毕"));
        }));
        if (!first_album_too) w.album_list->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
        Find<QPushButton>("按钮_加入同步列表")->click();
    }
    // 全部同步, until the box that ends it; its text.
    QString SyncAll() {
        Find<QPushButton>("按钮_全部同步")->click();
        if (!WaitFor([&] { return !OpenMessageText().isEmpty(); }, 20000)) return {};
        const QString text = OpenMessageText();
        CloseMessageBoxes();
        return text;
    }
    QString Cell(int row, int column) { return Find<QTreeWidget>("超级列表框_同步")->topLevelItem(row)->text(column); }
    std::string ListText() {
        std::stringstream text;
        text << std::ifstream(temp.path() / "同步列表.txt").rdbuf();
        return text.str();
    }
};

TEST_F(SyncPageTest, UsersAddedFromTheAlbumPageAreSyncedNewPhotosOnlyTheSecondTime) {
    test::PrivateSessionBus bus;
    test::FakeNotificationService daemon(true);
    test::View& w = Open();
    w.edit_save_folder->setText(QString::fromStdString((temp.path() / "saved").string()));
    ListAndAdd(w, "5005", "演示用户的微博", false);
    EXPECT_EQ(OpenMessageText(), QString::fromUtf8("已加入同步列表：演示用户的微博（1个相册）"));
    CloseMessageBoxes();
    ListAndAdd(w, "6006", "小蓝的微博", true);
    EXPECT_EQ(OpenMessageText(), QString::fromUtf8("已加入同步列表：小蓝的微博（全部相册）"));
    CloseMessageBoxes();
    EXPECT_EQ(ListText(), "5005 albums=3550000001@@3  # 演示用户的微博\n6006  # 小蓝的微博\n");

    w.tab_bar->setCurrentIndex(2);
    auto* rows = Find<QTreeWidget>("超级列表框_同步");
    ASSERT_EQ(rows->topLevelItemCount(), 2);
    EXPECT_EQ(Cell(0, 0), QString::fromUtf8("演示用户的微博"));
    EXPECT_EQ(Cell(0, 2), QString::fromUtf8("1个相册"));
    EXPECT_EQ(Cell(1, 2), QString::fromUtf8("全部相册"));

    EXPECT_EQ(SyncAll(), QString::fromUtf8("全部同步完毕\n同步完毕：2个用户，新照片7张"));
    ASSERT_TRUE(WaitFor([&] { return Cell(1, 5) == QString::fromUtf8("已完成，新照片4张"); }));
    EXPECT_EQ(Cell(0, 5), QString::fromUtf8("已完成，新照片3张"));
    EXPECT_FALSE(Cell(0, 3).isEmpty());  // the last complete sync
    EXPECT_EQ(Cell(1, 4), "4");
    ASSERT_TRUE(WaitFor([&] { return daemon.shown().size() == 1; }));
    EXPECT_EQ(daemon.shown()[0].summary, "微博相册：新照片7张");
    EXPECT_EQ(daemon.shown()[0].body, "演示用户的微博：新照片3张\n小蓝的微博：新照片4张");
    EXPECT_TRUE(fs::exists(temp.path() / "saved" / "小蓝的微博" / "微博配图4"));

    // Two photos posted since: the second sync saves them alone, one page an album.
    ASSERT_TRUE(fake.AddNewPhotos("5005", 1, 2));
    fake.ClearRequests();
    EXPECT_EQ(SyncAll(), QString::fromUtf8("全部同步完毕\n同步完毕：2个用户，新照片2张"));
    EXPECT_EQ(fake.CountRequests("/photos/get_all"), 2);
    ASSERT_TRUE(WaitFor([&] { return Cell(1, 5) == QString::fromUtf8("已完成，新照片0张"); }));
    EXPECT_EQ(Cell(0, 5), QString::fromUtf8("已完成，新照片2张"));
    EXPECT_EQ(Cell(0, 4), "2");
}

TEST_F(SyncPageTest, AStopInTheMiddleAndAUserTakenOffKeepTheLinesItDoesNotKnow) {
    std::ofstream(temp.path() / "同步列表.txt") << "# 手写的\n5005\n6006 every=day\n7007  # 以后再说\n";
    fake.AddFault("/large/3600000000002", fake::Fault{.stall_ms = 20000});
    test::View& w = Open();
    w.edit_save_folder->setText(QString::fromStdString((temp.path() / "saved").string()));
    w.tab_bar->setCurrentIndex(2);
    auto* rows = Find<QTreeWidget>("超级列表框_同步");
    ASSERT_EQ(rows->topLevelItemCount(), 2);  // the line it does not understand is no row

    Find<QPushButton>("按钮_全部同步")->click();
    ASSERT_TRUE(WaitFor([&] { return Cell(0, 5).startsWith(QString::fromUtf8("正在同步第1/2个相册")); }));
    Find<QPushButton>("按钮_结束同步")->click();
    EXPECT_FALSE(Find<QPushButton>("按钮_全部同步")->isHidden());
    ASSERT_TRUE(WaitFor([&] { return !w.window->BusyWithWork(); }));
    QTest::qWait(100);
    EXPECT_TRUE(OpenMessageText().isEmpty());  // a stopped sync ends without a box
    EXPECT_EQ(Cell(0, 5), QString::fromUtf8("已结束"));
    EXPECT_TRUE(Cell(0, 3).isEmpty());  // no complete sync to show
    EXPECT_EQ(Cell(1, 5), QString::fromUtf8("等待同步"));

    rows->setCurrentItem(rows->topLevelItem(1));
    Find<QPushButton>("按钮_移出同步列表")->click();
    EXPECT_EQ(rows->topLevelItemCount(), 1);
    EXPECT_EQ(ListText(), "# 手写的\n5005\n6006 every=day\n");
    // Where no user systemd runs, 每天自动同步 offers the crontab line.
    ASSERT_TRUE(WaitFor([&] { return !Find<QLabel>("标签_自动同步")->text().isEmpty(); }));
    if (!Find<QLineEdit>("编辑框_定时任务")->isHidden()) {
        EXPECT_NE(Find<QLineEdit>("编辑框_定时任务")->text().indexOf(" sync --notify --config "), -1);
    }
}

// The page says what each step does: an add says what changes for a user
// already there, a row's tooltip names its albums, and the line under the
// pages holds the whole sync's figures, not its last user's.
TEST_F(SyncPageTest, ThePageSaysWhatItDoes) {
    test::View& w = Open();
    w.edit_save_folder->setText(QString::fromStdString((temp.path() / "saved").string()));
    const std::pair<bool, const char*> adds[] = {
        {false, "已加入同步列表：演示用户的微博（1个相册）"},
        {false, "同步列表中已有演示用户的微博（1个相册），没有改变"},
        {true, "已更新同步列表中的演示用户的微博：1个相册 → 全部相册"},
        {false, "已更新同步列表中的演示用户的微博：全部相册 → 1个相册"},
    };
    for (const auto& [all, said] : adds) {
        ListAndAdd(w, "5005", "演示用户的微博", all);
        EXPECT_EQ(OpenMessageText(), QString::fromUtf8(said));
        CloseMessageBoxes();
    }
    ListAndAdd(w, "6006", "小蓝的微博", true);
    CloseMessageBoxes();
    w.tab_bar->setCurrentIndex(2);
    EXPECT_EQ(Find<QTreeWidget>("超级列表框_同步")->topLevelItem(0)->toolTip(2), QString::fromUtf8("头像相册"));

    EXPECT_EQ(SyncAll(), QString::fromUtf8("全部同步完毕\n同步完毕：2个用户，新照片7张"));
    EXPECT_EQ(w.run_summary->text(), QString::fromUtf8("本次同步完毕：2个用户，新照片7张：保存7张，失败0张"));
}

}  // namespace
}  // namespace wa
