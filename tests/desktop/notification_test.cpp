// Notifications sent to a notification service of the test's own, on a
// private session bus.
#include "desktop/notification.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "fake_notifications.h"

namespace wa {
namespace {

using test::FakeNotificationService;
using test::PrivateSessionBus;

class NotificationTest : public ::testing::Test {
protected:
    PrivateSessionBus bus;
};

TEST_F(NotificationTest, ANotificationReachesTheServiceAndAClickOpensTheFolder) {
    std::vector<std::string> opened;
    {
        Notifier nobody_listens([&opened](const std::string& folder) { opened.push_back(folder); });
        const NotificationSent sent = nobody_listens.Send({"微博相册同步", "新照片2张", "/tmp/saved"});
        EXPECT_FALSE(sent.sent);
        EXPECT_NE(sent.problem.find("没有桌面通知服务"), std::string::npos) << sent.problem;
    }
    for (const bool actions : {true, false}) {
        FakeNotificationService service(actions);
        Notifier notifier([&opened](const std::string& folder) { opened.push_back(folder); });
        const NotificationSent sent = notifier.Send({"微博相册同步", "演示用户的微博：新照片2张", "/tmp/saved"});
        ASSERT_TRUE(sent.sent) << sent.problem;
        EXPECT_EQ(sent.clickable, actions);
        const auto shown = service.shown();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].summary, "微博相册同步");
        EXPECT_EQ(shown[0].body, "演示用户的微博：新照片2张");
        const std::vector<std::string> offered =
            actions ? std::vector<std::string>{"default", "打开保存文件夹"} : std::vector<std::string>{};
        EXPECT_EQ(shown[0].actions, offered);
        if (!actions) continue;
        service.Click(41);
        // The window's loop would run meanwhile.
        for (int i = 0; i < 500 && opened.empty(); ++i) {
            g_main_context_iteration(nullptr, FALSE);
            g_usleep(10000);
        }
        EXPECT_EQ(opened, std::vector<std::string>{"/tmp/saved"});
    }
}

// A page title is text: markup is escaped where the service reads it,
// control and direction-changing characters never reach it, and a huge one
// is cut.
TEST_F(NotificationTest, ATitleFromTheServiceIsShownAsTextNeverAsMarkup) {
    using namespace std::string_literals;
    const std::string hostile =
        "<a href=\"https://evil.example/\">点我</a> & <img src=\"file:///etc/passwd\"/>\x1b[31m\r\x07\xe2\x80\xae\0尾"s;
    const std::string huge(5000, 'x');
    for (const bool markup : {true, false}) {
        FakeNotificationService service(false, markup);
        Notifier notifier([](const std::string&) {});
        ASSERT_TRUE(notifier.Send({hostile + "\n" + huge, hostile + "：新照片2张\n" + huge + "：新照片1张", ""}).sent);
        const auto shown = service.shown();
        ASSERT_EQ(shown.size(), 1u);
        const std::string plain = "<a href=\"https://evil.example/\">点我</a> & <img src=\"file:///etc/passwd\"/>[31m尾";
        const std::string escaped =
            "&lt;a href=&quot;https://evil.example/&quot;&gt;点我&lt;/a&gt; &amp; "
            "&lt;img src=&quot;file:///etc/passwd&quot;/&gt;[31m尾";
        EXPECT_EQ(shown[0].summary.substr(0, plain.size() + 1), plain + " ") << "the summary is never markup";
        EXPECT_LE(shown[0].summary.size(), 300u);
        const std::string first_line = shown[0].body.substr(0, shown[0].body.find('\n'));
        EXPECT_EQ(first_line, (markup ? escaped : plain) + "：新照片2张");
        const std::string second_line = shown[0].body.substr(shown[0].body.find('\n') + 1);
        EXPECT_EQ(second_line, std::string(297, 'x') + "…");
    }
}

TEST_F(NotificationTest, NoSessionBusIsSaidNotFailed) {
    const std::string kept = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
    Notifier notifier([](const std::string&) {});
    const NotificationSent sent = notifier.Send({"微博相册同步", "新照片1张", ""});
    setenv("DBUS_SESSION_BUS_ADDRESS", kept.c_str(), 1);
    EXPECT_FALSE(sent.sent);
    EXPECT_NE(sent.problem.find("无法连接会话总线"), std::string::npos) << sent.problem;
}

}  // namespace
}  // namespace wa
