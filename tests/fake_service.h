// A test fixture running the fake Weibo service on loopback, with every
// service address of the process pointed at it. With `tls` set before SetUp
// the fake speaks https, as today's site does, and the process trusts its
// certificate authority through the "证书" setting.
#pragma once

#include <gtest/gtest.h>

#include "fake_weibo.h"
#include "util/temp_folder.h"
#include "weibo/weibo_service.h"

namespace wa::test {

class FakeServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (tls) {
            ASSERT_TRUE(fake.EnableTls(CaFile()));
        }
        ASSERT_TRUE(fake.Start());
        ServiceAddresses service;
        service.home_page = fake.BaseUrl() + "/";
        service.hosts[std::string(kPhotoServiceHost.setting)] = tls ? fake.BaseUrl() : "127.0.0.1:" + std::to_string(fake.port());
        service.maker_host = fake.BaseUrl();
        if (tls) service.ca_file = CaFile();
        SetCurrentService(service);
    }
    void TearDown() override {
        fake.Stop();
        SetCurrentService(ServiceAddresses{});
    }

    std::string Url(const std::string& target) const { return fake.BaseUrl() + target; }
    std::string CaFile() const { return fake_files / "fake-weibo-ca.pem"; }

    bool tls = false;
    TempFolder fake_files;
    fake::FakeWeibo fake;
};

}  // namespace wa::test
