#include <gtest/gtest.h>

#include "../fake_service.h"
#include "weibo/album_list.h"
#include "weibo/cookie_jar.h"
#include "weibo/page_fetch.h"
#include "weibo/user_resolution.h"

namespace wa {
namespace {

TEST(UserResolution, AddressNormalisation) {
    EXPECT_EQ(NormalizeHomeAddress("  weibo.com/u/1 "), "http://weibo.com/u/1");
    EXPECT_EQ(NormalizeHomeAddress("https://weibo.com/u/1"), "https://weibo.com/u/1");
    EXPECT_EQ(NormalizeHomeAddress("HTTP://weibo.com/"), "http://HTTP://weibo.com/");  // case-sensitive test
}

TEST(UserResolution, EitherUidMarkerAndTheTitle) {
    EXPECT_EQ(ReadUserPage("<title>某人的微博</title>$CONFIG['oid']='1234';").uid, "1234");
    EXPECT_EQ(ReadUserPage("<title>某人的微博</title>$CONFIG['oid']='1234';").title, "某人的微博");
    EXPECT_EQ(ReadUserPage("{owner_uid: 987, x}").uid, "987");
    EXPECT_EQ(ReadUserPage("<html>nothing</html>").uid, "");
}

TEST(AlbumList, ReadsAndCleansEveryAlbum) {
    auto albums = ReadAlbumList(
        R"({"data":{"album_list":[)"
        R"({"album_id":"1","caption":"\u76f8\u518c","cover_pic":"http:\/\/x\/c.jpg","count":{"photos":35},"type":3},)"
        R"({"album_id":"2","caption":"empty","count":{"photos":0},"type":3},)"
        R"({"album_id":"3","caption":"","count":{"photos":"7"},"type":18},)"
        R"({"album_id":"4","caption":"it's"}]}})");
    ASSERT_EQ(albums.size(), 4u);
    EXPECT_TRUE(albums[1].IsEmpty());
    albums.erase(albums.begin() + 1);
    EXPECT_EQ(albums[0].name, "相册");
    EXPECT_EQ(albums[0].cover_url, "http://x/c.jpg");
    EXPECT_EQ(albums[0].count, "35");
    EXPECT_EQ(albums[0].IdText(), "1@@3");
    EXPECT_TRUE(albums[1].name.starts_with("未知名称随机数字"));
    const int number = std::stoi(albums[1].name.substr(std::string("未知名称随机数字").size()));
    EXPECT_GE(number, 100);
    EXPECT_LE(number, 1000);
    EXPECT_EQ(albums[1].count, "7");
    EXPECT_EQ(albums[2].name, "it's");
    EXPECT_EQ(albums[2].count, "null");
    EXPECT_EQ(albums[2].IdText(), "4@@null");
    EXPECT_TRUE(ReadAlbumList("").empty());
    EXPECT_TRUE(ReadAlbumList(R"({"data":{}})").empty());
}

class ResolveAgainstServiceTest : public test::FakeServiceTest {};

TEST_F(ResolveAgainstServiceTest, LoginInTheSharedJarOpensTheAlbumList) {
    fake::User user = fake::SampleUser("3003", 3, 2);
    user.marker = fake::UidMarker::kOwnerUid;
    fake.AddUser(user);
    fake.SetRequireLogin(true);
    CookieJar::Shared().Clear();

    const ResolvedUser resolved = ResolveUserPage("127.0.0.1:" + std::to_string(fake.port()) + "/u/3003");
    EXPECT_EQ(resolved.uid, "3003");
    EXPECT_EQ(resolved.title, "演示用户的微博");
    EXPECT_TRUE(FetchAlbumList("3003").empty());  // not logged in

    PageFetchOptions login;
    login.method = 1;
    login.post_text = "username=demo&password=x";
    PageFetch(Url("/login"), login);
    const auto albums = FetchAlbumList("3003");
    ASSERT_EQ(albums.size(), 3u);
    EXPECT_EQ(albums[0].name, "微博配图");
    EXPECT_EQ(albums[0].count, "2");
    EXPECT_EQ(albums[0].cover_url, fake.BaseUrl() + "/cover/3550000000.jpg");
    CookieJar::Shared().Clear();
}

}  // namespace
}  // namespace wa
