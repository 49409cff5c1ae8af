// The login in the embedded browser and everything it reaches: the program's
// requests, a restart, Secure cookies and new windows.
#include "window_fixture.h"

namespace wa {
namespace {

using test::MainWindowTest;
using test::View;
using test::WaitFor;
namespace fs = std::filesystem;

QVariant RunScript(View& w, const QString& script) {
    QVariant result;
    bool done = false;
    w.browser->page()->runJavaScript(script, [&](const QVariant& value) {
        result = value;
        done = true;
    });
    WaitFor([&] { return done; }, 10000);
    return result;
}

// Against today's site: https with a certificate the "证书" authority
// vouches for, a Secure login cookie, home pages built by script behind the
// visitor system, pictures and covers only for a Weibo Referer.
class LoginTest : public MainWindowTest {
protected:
    LoginTest() { tls = true; }
    void SetUp() override {
        MainWindowTest::SetUp();
        fake::User user = fake::SampleUser("7007", 3, 3);
        user.marker = fake::UidMarker::kNone;
        user.albums[2].cover = false;  // no cover address: the placeholder
        fake.AddUser(user);
        fake.SetRequireLogin(true);
        fake.SetVisitorWall(true);
        fake.SetHotlinkProtection(true);
    }
    // Logs in on the fake site's login page inside the embedded browser.
    void LogIn(View& w) {
        ASSERT_TRUE(WaitFor([&] { return w.browser->url().toString().startsWith(QString::fromStdString(fake.BaseUrl())) &&
                                        RunScript(w, "document.getElementById('login') !== null").toBool(); },
                            30000));
        RunScript(w, "document.getElementById('username').value='demo';"
                     "document.getElementById('password').value='secret';"
                     "document.getElementById('login-button').click(); true");
        ASSERT_TRUE(WaitFor([&] { return RunScript(w, "document.getElementById('state') ? "
                                                        "document.getElementById('state').innerText : ''")
                                                 .toString() == QString::fromUtf8("已登录"); },
                            30000));
        ASSERT_TRUE(WaitFor([] { return SessionInJar(); }, 10000));
    }
    static bool SessionInJar() {
        for (const Cookie& c : CookieJar::Shared().AllCookies()) {
            if (c.name == fake::FakeWeibo::kSessionCookie && c.value == fake::FakeWeibo::kSessionValue) return true;
        }
        return false;
    }
    bool IsPlaceholder(const QIcon& icon) {
        return icon.pixmap(100, 100).toImage().convertToFormat(QImage::Format_RGB32) ==
               AlbumPage::CoverPlaceholder().convertToFormat(QImage::Format_RGB32);
    }
};

TEST_F(LoginTest, LoginInTheBrowserThenDownloadThisUser) {
    View& w = Open();
    w.edit_save_folder->setText(QString::fromStdString((temp.path() / "saved").string()));
    LogIn(w);
    // The login reaches the program's own requests.
    PageFetch(Url("/test/echo"));
    EXPECT_NE(fake.Requests().back().Header("cookie").find(fake::FakeWeibo::kSessionValue), std::string::npos);

    w.check_covers->setChecked(true);
    fake.AddFault("/cover/3550000001", fake::Fault{.html_instead = true});
    w.edit_url->setText(QString::fromStdString(fake.BaseUrl() + "/u/7007"));
    w.button_open->click();
    ASSERT_TRUE(WaitFor([&] { return w.browser->url().path() == "/u/7007" && w.edit_url->text().endsWith("/u/7007"); }, 30000));
    w.button_download_user->click();
    EXPECT_EQ(w.tab_bar->currentIndex(), 1);
    EXPECT_EQ(w.edit_home->text(), w.edit_url->text());
    ASSERT_TRUE(WaitFor([&] { return w.label_status->text().startsWith(QString::fromUtf8("相册列表获取完毕")); }));
    ASSERT_EQ(w.album_list->topLevelItemCount(), 3);
    EXPECT_EQ(w.album_list->columnWidth(3), 100);
    EXPECT_FALSE(IsPlaceholder(w.album_list->topLevelItem(0)->icon(3)));
    EXPECT_TRUE(IsPlaceholder(w.album_list->topLevelItem(1)->icon(3)));  // broken cover, not the previous one
    EXPECT_TRUE(IsPlaceholder(w.album_list->topLevelItem(2)->icon(3)));  // no cover address

    w.button_start->click();
    ASSERT_TRUE(WaitFor([&] { return !OpenMessageText().isEmpty(); }));
    CloseMessageBoxes();
    EXPECT_TRUE(w.log_box->toPlainText().contains(QString::fromUtf8("---完成相册《头像相册3》下载")));
    EXPECT_TRUE(fs::exists(temp.path() / "saved" / "演示用户的微博" / "旅行3" / "(1)春天的花北京植物园.jpg"));
}

TEST_F(LoginTest, CoversOffFetchNoCover) {
    View& w = Open();
    // Logged out, the site's walls are said plainly.
    w.edit_home->setText(QString::fromStdString(fake.BaseUrl() + "/u/7007"));
    w.button_get_albums->click();
    ASSERT_TRUE(WaitFor([&] { return !OpenMessageText().isEmpty(); }));
    EXPECT_EQ(OpenMessageText(), QString::fromUtf8(kLoginNeededLine.data()));
    EXPECT_TRUE(w.log_box->toPlainText().contains(QString::fromUtf8(kLoginNeededLine.data())));
    CloseMessageBoxes();

    LogIn(w);
    w.button_get_albums->click();
    ASSERT_TRUE(WaitFor([&] { return w.label_status->text().startsWith(QString::fromUtf8("相册列表获取完毕")); }));
    EXPECT_EQ(w.album_list->columnWidth(3), 0);
    EXPECT_TRUE(w.album_list->topLevelItem(0)->icon(3).isNull());
    EXPECT_EQ(fake.CountRequests("/cover/"), 0);
}

TEST_F(LoginTest, CookiesOfPageRequestsReachTheBrowser) {
    View& w = Open();
    ASSERT_TRUE(WaitFor([&] { return w.browser->url().toString().startsWith(QString::fromStdString(fake.BaseUrl())); }, 30000));
    PageFetch(Url("/test/set-cookie?c=fromjar%3D42%3B%20Path%3D%2F"));
    QTest::qWait(300);
    w.browser->setUrl(QUrl(QString::fromStdString(Url("/test/echo"))));
    ASSERT_TRUE(WaitFor([&] { return RunScript(w, "document.body ? document.body.innerText : ''").toString().contains("fromjar=42"); },
                        30000));
    // Exactly one such cookie in the jar after the round trip.
    int copies = 0;
    for (const Cookie& c : CookieJar::Shared().AllCookies()) copies += c.name == "fromjar";
    EXPECT_EQ(copies, 1);
}

TEST_F(LoginTest, SecureCookiesOfTheBrowserTravelOnlyOverHttps) {
    View& w = Open();
    LogIn(w);  // the session cookie, Secure, reaches https requests
    PageFetch(Url("/test/echo"));
    EXPECT_NE(fake.Requests().back().Header("cookie").find(fake::FakeWeibo::kSessionValue), std::string::npos);

    // Loopback counts as a secure origin, so plain http is shown for another
    // host, reached through a plain fake acting as the proxy.
    const auto set_in_browser = [&](const char* name, bool secure) {
        QNetworkCookie cookie(name, "1");
        cookie.setDomain("weibo.test");
        cookie.setPath("/");
        cookie.setSecure(secure);
        w.browser_profile->cookieStore()->setCookie(cookie, QUrl("https://weibo.test/"));
    };
    set_in_browser("plain_one", false);
    set_in_browser("secure_one", true);
    ASSERT_TRUE(WaitFor([] {
        int seen = 0;
        for (const Cookie& c : CookieJar::Shared().AllCookies()) seen += c.domain.ends_with("weibo.test") && c.secure == (c.name == "secure_one");
        return seen == 2;
    }));
    fake::FakeWeibo proxy;
    ASSERT_TRUE(proxy.Start());
    PageFetchOptions through_proxy;
    through_proxy.proxy = "127.0.0.1:" + std::to_string(proxy.port());
    PageFetch("http://weibo.test/test/echo", through_proxy);
    const std::string sent = proxy.Requests().back().Header("cookie");
    EXPECT_NE(sent.find("plain_one=1"), std::string::npos);
    EXPECT_EQ(sent.find("secure_one"), std::string::npos);
}

TEST_F(LoginTest, ANewWindowOpensInTheEmbeddedBrowser) {
    View& w = Open();
    const int windows_before = static_cast<int>(QApplication::topLevelWidgets().size());
    ASSERT_TRUE(WaitFor([&] { return w.browser->url().toString().startsWith(QString::fromStdString(fake.BaseUrl())); }, 30000));
    w.browser->setUrl(QUrl(QString::fromStdString(Url("/test/new-window"))));
    ASSERT_TRUE(WaitFor([&] { return RunScript(w, "document.getElementById('out') !== null").toBool(); }, 30000));
    // The link under the mouse pointer is what the browser reported last.
    emit w.browser_page->linkHovered(QString::fromStdString(Url("/test/echo?from=link")));
    RunScript(w, "document.getElementById('out').click(); true");
    ASSERT_TRUE(WaitFor([&] { return w.browser->url().query() == "from=link"; }, 30000));
    EXPECT_EQ(static_cast<int>(QApplication::topLevelWidgets().size()), windows_before);
}

TEST_F(LoginTest, LoginSurvivesARestartOfTheProgram) {
    {
        View& w = Open();
        LogIn(w);
        window.reset();  // the profile writes its cookies out as it closes
    }
    CookieJar::Shared().Clear();
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("WA_RESTART_CHECK", QString::fromStdString(globals.files.browser_folder));
    environment.insert("WA_RESTART_BASE", QString::fromStdString(fake.BaseUrl()));
    environment.insert("WA_RESTART_CA", QString::fromStdString(CaFile()));
    second.setProcessEnvironment(environment);
    second.start(QCoreApplication::applicationFilePath(), {});
    ASSERT_TRUE(second.waitForFinished(120000));
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
}

}  // namespace

// The second process of the restart test: a new window on the same profile
// must list the albums that need the login, without logging in again.
int RestartCheck() {
    const QString storage = qEnvironmentVariable("WA_RESTART_CHECK");
    test::TempFolder program;
    ServiceAddresses service;
    const std::string base = qEnvironmentVariable("WA_RESTART_BASE").toStdString();
    service.hosts[std::string(kPhotoServiceHost.setting)] = base;
    service.home_page = base + "/";
    service.ca_file = qEnvironmentVariable("WA_RESTART_CA").toStdString();
    SetCurrentService(service);
    Globals globals;
    globals.program_folder = program.path().string();
    globals.files.config_path = ConfigPathIn(globals.program_folder);
    globals.files.browser_folder = storage.toStdString();
    MainWindow w(globals);
    const bool listed = !FetchAlbumList("7007").albums.empty();
    std::fprintf(stderr, "albums listed after the restart: %s\n", listed ? "yes" : "no");
    return listed ? 0 : 1;
}

}  // namespace wa

// One process for every window test: the embedded browser starts once. The
// restart test starts it again as a second process.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_MEDIA_BACKEND", "gstreamer");
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("WA_RESTART_CHECK")) return wa::RestartCheck();
    return RUN_ALL_TESTS();
}

