#include "net/cookie_jar.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "../fake_service.h"
#include "../util/temp_folder.h"
#include "net/page_fetch.h"

namespace wa {
namespace {

const Cookie* Find(const std::vector<Cookie>& cookies, const std::string& name) {
    for (const Cookie& c : cookies) {
        if (c.name == name) return &c;
    }
    return nullptr;
}

TEST(CookieJar, SetListReplaceAndRemove) {
    CookieJar jar;
    jar.SetCookie({.domain = ".weibo.com", .include_subdomains = true, .path = "/", .secure = true,
                   .http_only = true, .expires = 1924992000, .name = "SUB", .value = "one"});
    jar.SetCookie({.domain = "photo.weibo.com", .name = "plain", .value = "x"});
    jar.SetCookie({.domain = "", .name = "nodomain", .value = "y"});  // ignored

    auto cookies = jar.AllCookies();
    ASSERT_EQ(cookies.size(), 2u);
    const Cookie* sub = Find(cookies, "SUB");
    ASSERT_TRUE(sub);
    EXPECT_TRUE(sub->http_only);  // listed without the "#HttpOnly_" prefix
    EXPECT_EQ(sub->domain, ".weibo.com");
    EXPECT_TRUE(sub->include_subdomains);
    EXPECT_TRUE(sub->secure);
    EXPECT_EQ(sub->expires, 1924992000);
    EXPECT_EQ(sub->value, "one");

    jar.SetCookie({.domain = ".weibo.com", .include_subdomains = true, .path = "/", .http_only = true,
                   .expires = 1924992000, .name = "SUB", .value = "two"});
    cookies = jar.AllCookies();
    ASSERT_EQ(cookies.size(), 2u);
    EXPECT_EQ(Find(cookies, "SUB")->value, "two");

    jar.RemoveCookie(".weibo.com", "/", "SUB");
    cookies = jar.AllCookies();
    ASSERT_EQ(cookies.size(), 1u);
    EXPECT_EQ(cookies[0].name, "plain");
    jar.Clear();
    EXPECT_TRUE(jar.AllCookies().empty());
}

TEST(CookieJar, LoadsANetscapeCookieFile) {
    test::TempFolder temp;
    const std::string file = temp / "cookies.txt";
    std::ofstream(file) << "# Netscape HTTP Cookie File\n\n"
                           "#HttpOnly_.weibo.com\tTRUE\t/\tFALSE\t1924992000\tSUB\tsecret\n"
                           ".weibo.com\tTRUE\t/\tFALSE\t0\tSUBP\tvalue\r\n"
                           "broken line\n";
    CookieJar jar;
    ASSERT_TRUE(jar.LoadNetscapeFile(file));
    const auto cookies = jar.AllCookies();
    ASSERT_EQ(cookies.size(), 2u);
    EXPECT_TRUE(Find(cookies, "SUB")->http_only);
    EXPECT_EQ(Find(cookies, "SUBP")->value, "value");
    EXPECT_FALSE(jar.LoadNetscapeFile(temp / "missing.txt"));
}

class SharedJarTest : public test::FakeServiceTest {};

TEST_F(SharedJarTest, CookieAddedByTheBrowserReachesPageRequests) {
    CookieJar::Shared().Clear();
    CookieJar::Shared().SetCookie({.domain = "127.0.0.1", .name = "SUB", .value = "from-browser"});
    PageFetch(Url("/test/echo"));
    EXPECT_EQ(fake.Requests().back().Header("cookie"), "SUB=from-browser");
    CookieJar::Shared().RemoveCookie("127.0.0.1", "/", "SUB");
    PageFetch(Url("/test/echo"));
    EXPECT_EQ(fake.Requests().back().headers.count("cookie"), 0u);
}

TEST_F(SharedJarTest, ConcurrentRequestsShareOneJarSafely) {
    CookieJar::Shared().Clear();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < 10; ++i) {
                PageFetch(Url("/test/set-cookie?c=t" + std::to_string(t) + "%3D" + std::to_string(i)));
            }
        });
    }
    for (auto& thread : threads) thread.join();
    const auto cookies = CookieJar::Shared().AllCookies();
    ASSERT_EQ(cookies.size(), 4u);
    for (const Cookie& c : cookies) EXPECT_EQ(c.value, "9");
    CookieJar::Shared().Clear();
}

}  // namespace
}  // namespace wa
