// A test fixture running the fake Weibo service on loopback, with every
// service address of the process pointed at it.
#pragma once

#include <gtest/gtest.h>

#include "fake_weibo.h"
#include "weibo/weibo_service.h"

namespace wa::test {

class FakeServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fake.Start());
        ServiceAddresses service;
        service.home_page = fake.BaseUrl() + "/";
        service.photo_host = "127.0.0.1:" + std::to_string(fake.port());
        service.maker_host = service.photo_host;
        SetCurrentService(service);
    }
    void TearDown() override {
        fake.Stop();
        SetCurrentService(ServiceAddresses{});
    }

    std::string Url(const std::string& target) const { return fake.BaseUrl() + target; }

    fake::FakeWeibo fake;
};

}  // namespace wa::test
