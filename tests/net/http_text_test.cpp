#include "net/http_text.h"

#include <gtest/gtest.h>

namespace wa {
namespace {

TEST(TextBetween, FindsTheTextBetweenMarkers) {
    EXPECT_EQ(TextBetween("$CONFIG['oid']='123';", "['oid']='", "'"), "123");
    EXPECT_EQ(TextBetween("abc", "x", "c"), "");
    EXPECT_EQ(TextBetween("abc", "a", "x"), "");
}

TEST(TextBetween, QuoteMarkStandsForADoubleQuote) {
    EXPECT_EQ(TextBetween(R"(<a title="相册">)", "title=@#引号", "@#引号"), "相册");
}

TEST(TextBetween, StartIsOneBasedAndCaseCanBeIgnored) {
    EXPECT_EQ(TextBetween("[a][b]", "[", "]", 2), "b");
    EXPECT_EQ(TextBetween("[a][b]", "[", "]", 0), "a");
    EXPECT_EQ(TextBetween("<TITLE>x</title>", "<title>", "</TITLE>"), "");
    EXPECT_EQ(TextBetween("<TITLE>x</title>", "<title>", "</TITLE>", 1, true), "x");
}

TEST(UrlSplitting, AddressWithoutScheme) {
    const std::string url = "weibo.com/u/123?x=1";
    EXPECT_EQ(UrlHost(url), "weibo.com");
    EXPECT_EQ(UrlPort(url), 80);
    EXPECT_EQ(UrlPath(url), "/u/123?x=1");
    EXPECT_FALSE(IsHttpsUrl(url));
}

TEST(UrlSplitting, HttpsWithMixedCaseHostPortAndQuery) {
    const std::string url = "HTTPS://Photo.Weibo.COM:8443/albums/get_all?uid=1&count=6355";
    EXPECT_TRUE(IsHttpsUrl(url));
    EXPECT_EQ(UrlHost(url), "photo.weibo.com");
    EXPECT_EQ(UrlHost(url, true), "photo.weibo.com:8443");
    EXPECT_EQ(UrlPort(url), 8443);
    EXPECT_EQ(UrlPath(url), "/albums/get_all?uid=1&count=6355");
    EXPECT_EQ(UrlPort("https://weibo.com/"), 443);
}

TEST(UrlSplitting, NothingAfterTheHost) {
    EXPECT_EQ(UrlHost("http://weibo.com"), "weibo.com");
    EXPECT_EQ(UrlPort("http://weibo.com"), 80);
    EXPECT_EQ(UrlPath("http://weibo.com"), "/");
    EXPECT_EQ(UrlPath("http://127.0.0.1:8080"), "/");
    EXPECT_EQ(UrlPort("http://127.0.0.1:8080"), 8080);
}

TEST(SetCookies, ExtractsPairsInHeaderOrderWithoutAttributes) {
    std::string headers =
        "HTTP/1.1 200 OK\r\nset-cookie: SUB=abc; path=/; domain=.weibo.com\r\n"
        "Content-Type: text/html\r\nSET-COOKIE: SUBP=x=y\r\n\r\n";
    NormalizeSetCookieCase(headers);
    EXPECT_NE(headers.find("Set-Cookie: SUB=abc"), std::string::npos);
    EXPECT_EQ(ExtractSetCookies(headers), "SUB=abc; SUBP=x=y");
    EXPECT_EQ(ExtractSetCookies("HTTP/1.1 200 OK\r\nServer: x\r\n"), "");
}

TEST(MergeCookies, NewerValueWinsAndDeletedCookiesDisappear) {
    std::string cookies = "a=1; b=2";
    EXPECT_EQ(MergeCookies(cookies, "b=3; c=deleted"), "b=3; a=1");
    EXPECT_EQ(cookies, "b=3; a=1");
    std::string single = "a=1";
    EXPECT_EQ(MergeCookies(single, "a=deleted"), "");
}

TEST(MergeCookies, RemovesEveryBlankIncludingFullWidthAndDuplicates) {
    std::string cookies = "x = 1 2;\u3000y=z; y=z";
    EXPECT_EQ(MergeCookies(cookies, ""), "x=12; y=z");
    std::string empty;
    EXPECT_EQ(MergeCookies(empty, ""), "");
}

TEST(PageHeaders, FourStandardLinesInOrder) {
    std::string headers;
    CompletePageHeaders(headers, "http://weibo.com/u/1", "");
    EXPECT_EQ(headers,
              "Accept: */*\r\nReferer: http://weibo.com/u/1\r\nAccept-Language: zh-cn\r\n"
              "Content-Type: application/x-www-form-urlencoded");
}

TEST(PageHeaders, CallerLinesStayAndCookieLineIsAlwaysAdded) {
    std::string headers = "Referer: http://weibo.com/\r\nCookie: old=1";
    CompletePageHeaders(headers, "http://x/", "SUB=2");
    EXPECT_EQ(headers,
              "Referer: http://weibo.com/\r\nCookie: old=1\r\nAccept: */*\r\n"
              "Accept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded\r\n"
              "Cookie: SUB=2");
}

TEST(PageHeaders, AgentComesFromTheCallerOrTheDefault) {
    EXPECT_EQ(AgentFromHeaders(""), kDefaultUserAgent);
    EXPECT_EQ(AgentFromHeaders("Accept: x\r\nuser-agent:  Test/1.0 \r\nX: y"), "Test/1.0");
    EXPECT_EQ(AgentFromHeaders("User-Agent: Last"), "Last");
}

TEST(ObjectHeaders, FiveLinesInOrderAndNoSecondAgent) {
    std::string headers;
    CompleteObjectHeaders(headers, "http://ww1.sinaimg.cn/large/a.jpg");
    const auto fields = HeaderFields(headers);
    ASSERT_EQ(fields.size(), 5u);
    EXPECT_EQ(fields[0], (std::pair<std::string, std::string>{"Accept", "*/*"}));
    EXPECT_EQ(fields[1].second, "http://ww1.sinaimg.cn/large/a.jpg");
    EXPECT_EQ(fields[2].first, "Accept-Language");
    EXPECT_EQ(fields[3], (std::pair<std::string, std::string>{"User-Agent", std::string(kDefaultUserAgent)}));
    EXPECT_EQ(fields[4].first, "Content-Type");

    std::string own = "User-Agent: Mine";
    CompleteObjectHeaders(own, "http://x/");
    EXPECT_EQ(own.find("User-Agent", 1), std::string::npos);
}

TEST(ObjectHeaders, FieldsOfALineWithoutColonAreEmpty) {
    const auto fields = HeaderFields("A: 1\r\nbogus\r\n\r\nB:2");
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields[1], (std::pair<std::string, std::string>{}));
    EXPECT_EQ(fields[2].second, "2");
}

}  // namespace
}  // namespace wa
