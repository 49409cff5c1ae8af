#include "doors/photo_service.h"
#include "settings/settings.h"
#include "weibo/weibo_service.h"

#include <gtest/gtest.h>

#include "../util/temp_folder.h"
#include "util/ini_file.h"

namespace wa {
namespace {

TEST(ServiceAddresses, RealAddressesUnlessTheSettingsFileOverridesThem) {
    test::TempFolder temp;
    const std::string config = temp / "配置.ini";
    const ServiceAddresses real = Settings(config).Addresses();
    EXPECT_EQ(real.home_page, "https://weibo.com/");
    EXPECT_EQ(AlbumListUrl(real, "123"), "https://photo.weibo.com/albums/get_all?uid=123&count=6355");
    EXPECT_EQ(AlbumPageUrl(real, "123"), "https://photo.weibo.com/123/albums/");
    EXPECT_EQ(UserInfoUrl(real, "custom", "abc"), "https://weibo.com/ajax/profile/info?custom=abc");
    EXPECT_EQ(real.ca_file, "");

    ASSERT_TRUE(WriteSetting(config, "服务地址", "相册服务", "127.0.0.1:8080"));
    ASSERT_TRUE(WriteSetting(config, "服务地址", "官网", "127.0.0.1:8081"));
    ASSERT_TRUE(WriteSetting(config, "服务地址", "证书", "/tmp/ca.pem"));
    const ServiceAddresses fake = Settings(config).Addresses();
    EXPECT_EQ(fake.home_page, "https://weibo.com/");
    EXPECT_EQ(fake.ca_file, "/tmp/ca.pem");
    EXPECT_EQ(PhotoPageUrl(fake, "1", "2", 3, "", "0.5"),
              "http://127.0.0.1:8080/photos/get_all?uid=1&album_id=2&count=100&page=3&type=&__rnd=0.5");
    EXPECT_EQ(VersionPageUrl(fake), "https://127.0.0.1:8081/download/softzuixinv/index.html");  // https unless told
    ASSERT_TRUE(WriteSetting(config, "服务地址", "相册服务", "https://127.0.0.1:8443/"));
    EXPECT_EQ(AlbumListUrl(Settings(config).Addresses(), "1"),
              "https://127.0.0.1:8443/albums/get_all?uid=1&count=6355");
    ASSERT_TRUE(WriteSetting(config, "服务地址", "微博首页", "127.0.0.1:8082"));
    const ServiceAddresses bare = Settings(config).Addresses();
    EXPECT_EQ(bare.home_page, "http://127.0.0.1:8082");  // every site address then has a scheme
    EXPECT_EQ(UserInfoUrl(bare, "uid", "1"), "http://127.0.0.1:8082/ajax/profile/info?uid=1");
    EXPECT_EQ(LargePictureUrl("http://ww1.sinaimg.cn", "a.jpg"), "http://ww1.sinaimg.cn/large/a.jpg");
}

}  // namespace
}  // namespace wa
