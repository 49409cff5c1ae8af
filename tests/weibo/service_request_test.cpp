// The service's "too many requests" as one budget: a wait one request
// waits out holds every other request of the process too.
#include "weibo/service_request.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "../fake_service.h"

namespace wa {
namespace {

class ServiceRequestTest : public test::FakeServiceTest {};

TEST_F(ServiceRequestTest, ALimitOneRequestWaitsOutHoldsTheOthersAndIsCountedDownForThem) {
    fake.AddUser(fake::SampleUser("2002", 1, 1));
    fake.AddFault("/albums/get_all", fake::Fault{.status = 432, .retry_after_s = 2, .times = 1});
    const std::string url = Url("/albums/get_all?uid=2002");
    std::atomic<int> first_logs = 0;
    std::atomic<int> second_logs = 0;
    std::atomic<long long> second_counted = 0;
    ServiceAnswer first_answer;
    ServiceAnswer second_answer;
    std::thread first([&] {
        ServiceRequest request;
        request.log = [&first_logs](const std::string&) { ++first_logs; };
        first_answer = FetchFromService(url, request);
    });
    while (fake.CountRequests("/albums/get_all") == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::thread second([&] {
        ServiceRequest request;
        request.log = [&second_logs](const std::string&) { ++second_logs; };
        request.countdown = [&second_counted](const RunWait& wait) {
            second_counted = std::max<long long>(second_counted, wait.seconds_left);
        };
        second_answer = FetchFromService(url, request);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_EQ(fake.CountRequests("/albums/get_all"), 1);  // the second waits with the first, asking nothing
    first.join();
    second.join();
    EXPECT_EQ(first_answer.fetch.status, 200);
    EXPECT_EQ(second_answer.fetch.status, 200);
    EXPECT_EQ(first_logs, 1);          // "请求过于频繁，2秒后重试", once
    EXPECT_EQ(second_logs, 0);
    EXPECT_GE(second_counted.load(), 1);  // its status line counts the wait down too
    EXPECT_EQ(fake.CountRequests("/albums/get_all"), 3);
}

}  // namespace
}  // namespace wa
