#include "net/curl_transfer.h"
#include "net/page_fetch.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "../fake_service.h"
#include "net/cookie_jar.h"

namespace wa {
namespace {

class PageFetchTest : public test::FakeServiceTest {
protected:
    void SetUp() override {
        FakeServiceTest::SetUp();
        CookieJar::Shared().Clear();
    }
    fake::RecordedRequest Last() const { return fake.Requests().back(); }
};

TEST_F(PageFetchTest, PlainGetSendsTheFourStandardLinesAndTheDefaultAgent) {
    const std::string url = Url("/test/echo?x=1");
    const PageFetchResult result = PageFetch(url);
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.sent_headers,
              "Accept: */*\r\nReferer: " + url +
                  "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded");
    const auto request = Last();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "/test/echo?x=1");
    EXPECT_EQ(request.Header("accept"), "*/*");
    EXPECT_EQ(request.Header("referer"), url);
    EXPECT_EQ(request.Header("accept-language"), "zh-cn");
    EXPECT_EQ(request.Header("content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(request.Header("user-agent"), "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
    EXPECT_EQ(request.headers.count("cookie"), 0u);
    EXPECT_TRUE(result.headers.starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(result.headers.ends_with("\r\n"));
}

TEST_F(PageFetchTest, MethodsAndBodies) {
    PageFetchOptions post;
    post.method = 1;
    post.post_text = "a=1&b=2";
    EXPECT_TRUE(PageFetch(Url("/test/echo"), post).body.ends_with("\na=1&b=2"));
    EXPECT_EQ(Last().method, "POST");

    PageFetchOptions bytes = post;
    bytes.post_bytes = "raw";
    EXPECT_EQ(PageFetch(Url("/test/echo"), bytes).post_bytes, "raw");

    PageFetchOptions odd;
    odd.method = 7;
    PageFetch(Url("/test/echo"), odd);
    EXPECT_EQ(Last().method, "GET");

    PageFetchOptions head;
    head.method = 2;
    const auto result = PageFetch(Url("/test/echo"), head);
    EXPECT_EQ(Last().method, "HEAD");
    EXPECT_TRUE(result.body.empty());
}

TEST_F(PageFetchTest, CallerAgentLineIsUsed) {
    PageFetchOptions options;
    options.extra_headers = "User-Agent: Test/2.0";
    PageFetch(Url("/test/echo"), options);
    EXPECT_EQ(Last().Header("user-agent"), "Test/2.0");
}

TEST_F(PageFetchTest, SharedJarStoresCookiesAndSendsThemToTheHost) {
    std::vector<std::pair<std::string, std::string>> told;
    const int id = CookieJar::Shared().AddListener(
        [&told](const std::string& url, const std::string& value) { told.emplace_back(url, value); });
    PageFetch(Url("/test/set-cookie?c=SUB%3Dabc%3B%20Path%3D%2F&c=other%3D2"));
    CookieJar::Shared().RemoveListener(id);
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0].second, "SUB=abc; Path=/");
    EXPECT_TRUE(told[0].first.starts_with(fake.BaseUrl()));

    PageFetch(Url("/test/echo"));
    const std::string cookie = Last().Header("cookie");
    EXPECT_NE(cookie.find("SUB=abc"), std::string::npos);
    EXPECT_NE(cookie.find("other=2"), std::string::npos);
}

TEST_F(PageFetchTest, SuppliedCookieTextBypassesTheJar) {
    PageFetch(Url("/test/set-cookie?c=stored%3D1"));
    PageFetchOptions options;
    options.cookies = "";
    const auto result = PageFetch(Url("/test/set-cookie?c=fresh%3D2%3B%20Path%3D%2F&c=gone%3Ddeleted"), options);
    EXPECT_EQ(Last().headers.count("cookie"), 0u);  // nothing from the jar
    EXPECT_EQ(result.returned_cookies, "fresh=2; gone=deleted");
    EXPECT_EQ(result.cookies, "fresh=2");
    for (const Cookie& c : CookieJar::Shared().AllCookies()) EXPECT_NE(c.name, "fresh");

    options.cookies = "mine=1";
    PageFetch(Url("/test/echo"), options);
    EXPECT_EQ(Last().Header("cookie"), "mine=1");
}

TEST_F(PageFetchTest, RedirectsAreFollowedUnlessToldNot) {
    const auto followed = PageFetch(Url("/test/redirect?to=/test/echo"));
    EXPECT_EQ(followed.status, 200);
    EXPECT_TRUE(followed.body.starts_with("GET /test/echo"));
    EXPECT_TRUE(followed.headers.starts_with("HTTP/1.1 200"));  // the final response only

    PageFetchOptions options;
    options.no_redirect = true;
    const auto held = PageFetch(Url("/test/redirect?to=/test/echo"), options);
    EXPECT_EQ(held.status, 302);
    EXPECT_EQ(held.body, "redirect body");
    EXPECT_NE(held.headers.find("Location: /test/echo"), std::string::npos);
}

TEST_F(PageFetchTest, LongHeaderBlocksKeepTheirCookies) {
    PageFetchOptions options;
    options.cookies = "";
    const auto result = PageFetch(Url("/test/big-headers?size=6000"), options);
    EXPECT_GT(result.headers.size(), 6000u);
    EXPECT_EQ(result.returned_cookies, "late=1");
}

TEST_F(PageFetchTest, TheEnvironmentsProxyUnlessTheSettingOrNoProxySaysOtherwise) {
    const struct {
        const char* setting;
        const char* no_proxy;
        long status;  // 0: it went to the proxy, where nothing listens
    } cases[] = {{"", nullptr, 0},
                 {"direct", nullptr, 200},
                 {"", "127.0.0.1", 200},
                 {"http://127.0.0.1:9", nullptr, 0},
                 {"http://127.0.0.1:9", "127.0.0.1", 200}};  // no_proxy holds for the setting's proxy too, as in curl
    setenv("http_proxy", "http://127.0.0.1:9", 1);
    for (const auto& c : cases) {
        SetProxySetting(c.setting);
        if (c.no_proxy) setenv("no_proxy", c.no_proxy, 1);
        EXPECT_EQ(PageFetch(Url("/test/echo")).status, c.status) << c.setting << " " << (c.no_proxy ? c.no_proxy : "");
        unsetenv("no_proxy");
    }
    unsetenv("http_proxy");
    SetProxySetting("");
}

TEST_F(PageFetchTest, AddressWithoutSchemeGoesOverHttp) {
    const auto result = PageFetch("127.0.0.1:" + std::to_string(fake.port()) + "/test/echo");
    EXPECT_EQ(result.status, 200);
}

TEST_F(PageFetchTest, BrokenAnswerGivesNoBody) {
    fake.AddFault("/test/body", fake::Fault{.drop_half = true});
    const auto result = PageFetch(Url("/test/body?size=100000"));
    EXPECT_TRUE(result.body.empty());
    EXPECT_EQ(result.status, 0);
    EXPECT_FALSE(result.error.empty());
}

TEST_F(PageFetchTest, NothingListeningGivesAnEmptyResult) {
    fake.Stop();
    const auto result = PageFetch(Url("/test/echo"));
    EXPECT_TRUE(result.body.empty());
    EXPECT_EQ(result.status, 0);
}

}  // namespace
}  // namespace wa
