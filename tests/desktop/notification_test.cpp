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
        notifier.WaitWhileShown(std::chrono::seconds(5));
        EXPECT_EQ(opened, std::vector<std::string>{"/tmp/saved"});
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
