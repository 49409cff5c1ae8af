#include "net/object_request.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "../fake_service.h"
#include "util/job_token.h"
#include "net/cookie_jar.h"

namespace wa {
namespace {

using Clock = std::chrono::steady_clock;

class ObjectRequestTest : public test::FakeServiceTest {
protected:
    fake::RecordedRequest Last() const { return fake.Requests().back(); }
    static double Seconds(Clock::time_point since) {
        return std::chrono::duration<double>(Clock::now() - since).count();
    }
};

TEST_F(ObjectRequestTest, GetSendsFiveHeadersAndNoCookies) {
    CookieJar::Shared().Clear();
    CookieJar::Shared().SetCookie({.domain = "127.0.0.1", .name = "SUB", .value = "login"});
    const std::string url = Url("/test/echo");
    const auto result = ObjectRequest(url);
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.sent_headers,
              "Accept: */*\r\nReferer: " + url +
                  "\r\nAccept-Language: zh-cn\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; "
                  "Windows NT 6.1)\r\nContent-Type: application/x-www-form-urlencoded");
    const auto request = Last();
    EXPECT_EQ(request.Header("referer"), url);
    EXPECT_EQ(request.Header("user-agent"), "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
    EXPECT_EQ(request.headers.count("cookie"), 0u);  // the shared jar is never used
    EXPECT_FALSE(result.headers.starts_with("HTTP/"));
    CookieJar::Shared().Clear();
}

TEST_F(ObjectRequestTest, CallerHeadersWinAndCookiesAreAlwaysMerged) {
    ObjectRequestOptions options;
    options.extra_headers = "Referer: http://weibo.com/\r\nUser-Agent: Mine";
    options.cookies = "a=1; b = 2";
    const auto result = ObjectRequest(Url("/test/set-cookie?c=b%3D3%3B%20Path%3D%2F"), options);
    const auto request = Last();
    EXPECT_EQ(request.Header("referer"), "http://weibo.com/");
    EXPECT_EQ(request.Header("user-agent"), "Mine");
    EXPECT_EQ(request.Header("cookie"), "a=1; b = 2");
    EXPECT_EQ(result.returned_cookies, "b=3");
    EXPECT_EQ(result.cookies, "b=3; a=1");

    const auto plain = ObjectRequest(Url("/test/echo"));
    EXPECT_EQ(plain.returned_cookies, "");
    EXPECT_EQ(plain.cookies, "");
}

TEST_F(ObjectRequestTest, ErrorStatusesComeBackWithTheirBodies) {
    fake.AddFault("/large/", fake::Fault{.status = 404});
    const auto result = ObjectRequest(Url("/large/x.jpg"));
    EXPECT_EQ(result.status, 404);
    EXPECT_NE(result.body.find("404"), std::string::npos);
}

TEST_F(ObjectRequestTest, ReusedHandleKeepsTheConnection) {
    RequestHandle handle;
    ObjectRequestOptions options;
    options.handle = &handle;
    for (int i = 0; i < 3; ++i) ASSERT_EQ(ObjectRequest(Url("/test/echo"), options).status, 200);
    ObjectRequest(Url("/test/echo"));  // a handle of its own
    const auto requests = fake.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].remote_port, requests[1].remote_port);
    EXPECT_EQ(requests[1].remote_port, requests[2].remote_port);
    EXPECT_NE(requests[2].remote_port, requests[3].remote_port);
}

TEST_F(ObjectRequestTest, SilentServerIsAbandonedAfterTheTimeOut) {
    fake.AddFault("/test/body", fake::Fault{.delay_ms = 5000});
    ObjectRequestOptions options;
    options.timeout_seconds = 1;
    const auto start = Clock::now();
    const auto result = ObjectRequest(Url("/test/body?size=10"), options);
    EXPECT_LT(Seconds(start), 3.0);
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(result.body.empty());
    EXPECT_FALSE(result.stopped);
}

TEST_F(ObjectRequestTest, StallMidBodyIsAbandonedAfterTheTimeOut) {
    fake.AddFault("/test/body", fake::Fault{.stall_ms = 5000});
    ObjectRequestOptions options;
    options.timeout_seconds = 1;
    const auto start = Clock::now();
    const auto result = ObjectRequest(Url("/test/body?size=200000"), options);
    EXPECT_LT(Seconds(start), 3.0);
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(result.body.empty());
}

TEST_F(ObjectRequestTest, DroppedConnectionIsNoAnswer) {
    fake.AddFault("/test/body", fake::Fault{.drop_half = true});
    const auto result = ObjectRequest(Url("/test/body?size=300000"));
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(result.body.empty());
}

TEST_F(ObjectRequestTest, OversizedAnswerIsAbandoned) {
    ObjectRequestOptions options;
    options.max_body = 1000;
    const auto result = ObjectRequest(Url("/test/body?size=5000"), options);
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(result.body.empty());
    EXPECT_NE(result.error.find("larger"), std::string::npos);
}

TEST_F(ObjectRequestTest, StopAbandonsAStalledTransferAtOnce) {
    fake.AddFault("/test/body", fake::Fault{.stall_ms = 10000});
    JobToken job;
    ObjectRequestOptions options;
    options.job = &job;
    options.timeout_seconds = 30;
    std::thread stopper([&job] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        job.RequestStop();
    });
    const auto start = Clock::now();
    const auto result = ObjectRequest(Url("/test/body?size=200000"), options);
    const double took = Seconds(start);
    stopper.join();
    EXPECT_TRUE(result.stopped);
    EXPECT_TRUE(result.body.empty());
    EXPECT_LT(took, 1.0);
}

TEST_F(ObjectRequestTest, PauseHoldsTheTransferAndContinueFinishesIt) {
    fake.AddFault("/test/body", fake::Fault{.stall_ms = 300});
    JobToken job;
    ObjectRequestOptions options;
    options.job = &job;
    options.timeout_seconds = 1;  // pause time never counts as a stall
    std::thread pauser([&job] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        job.Pause();
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        job.Resume();
    });
    const auto start = Clock::now();
    const auto result = ObjectRequest(Url("/test/body?size=200000"), options);
    const double took = Seconds(start);
    pauser.join();
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.body.size(), 200000u);
    EXPECT_GE(took, 1.5);
}

TEST_F(ObjectRequestTest, PausedBeforeTheRequestSendsNothingUntilContinued) {
    JobToken job;
    job.Pause();
    ObjectRequestOptions options;
    options.job = &job;
    std::thread request([&] { ObjectRequest(Url("/test/echo"), options); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(fake.CountRequests("/test/echo"), 0);
    job.Resume();
    request.join();
    EXPECT_EQ(fake.CountRequests("/test/echo"), 1);
}

class PictureTrustTest : public ObjectRequestTest {
protected:
    PictureTrustTest() { tls = true; }
    // The fake's certificate names 127.0.0.1 and localhost; only 127.0.0.1 is a service host.
    std::string Localhost(const std::string& target) const {
        return "https://localhost:" + std::to_string(fake.port()) + target;
    }
};

TEST_F(PictureTrustTest, TheCertificatesAuthorityIsTrustedForTheServiceHostsOnly) {
    fake.AddUser(fake::SampleUser("1", 1, 1));
    const std::string picture = "/large/3600000000000.jpg";
    const ObjectRequestResult trusted = ObjectRequest(Url(picture));
    EXPECT_EQ(trusted.status, 200);
    const struct {
        std::string url;
        std::string why;
    } refused[] = {
        {Localhost(picture), "signed by the authority, but not a service host"},
        {Url("/test/redirect?to=" + Localhost(picture)), "redirected to such a host"},
    };
    for (const auto& c : refused) {
        const ObjectRequestResult result = ObjectRequest(c.url);
        EXPECT_EQ(result.status, 0) << c.why;
        EXPECT_EQ(FailureTag(result.Answer()), "证书无效") << c.why;
    }
    // Without the authority nothing the fake signed is trusted.
    ServiceAddresses untrusting = CurrentService();
    untrusting.ca_file.clear();
    SetCurrentService(untrusting);
    EXPECT_EQ(ObjectRequest(Url(picture)).failure, NetFailure::kCertificate);
}

}  // namespace
}  // namespace wa
