#include <gtest/gtest.h>

#include "../fake_service.h"
#include "doors/photo_service.h"
#include "net/cookie_jar.h"
#include "net/page_fetch.h"
#include "weibo/user_resolution.h"

namespace wa {
namespace {

TEST(UserResolution, AddressNormalisation) {
    EXPECT_EQ(NormalizeHomeAddress("  weibo.com/u/1 "), "http://weibo.com/u/1");
    EXPECT_EQ(NormalizeHomeAddress("https://weibo.com/u/1"), "https://weibo.com/u/1");
    EXPECT_EQ(NormalizeHomeAddress("HTTP://weibo.com/"), "http://HTTP://weibo.com/");  // case-sensitive test
    EXPECT_EQ(NormalizeHomeAddress("weibo.com/u/1", "https://"), "https://weibo.com/u/1");

    const ServiceAddresses before = CurrentService();
    ServiceAddresses service = before;
    service.home_page = "https://weibo.com";
    SetCurrentService(service);
    const std::pair<const char*, const char*> typed[] = {
        {" 1234 ", "https://weibo.com/u/1234"},           // a bare uid
        {"some_name-2", "https://weibo.com/some_name-2"},  // a bare custom name
        {"weibo.com/some_name", "https://weibo.com/some_name"},
        {"http://127.0.0.1:1/u/5", "http://127.0.0.1:1/u/5"},
        {"名字", "https://名字"},  // not a custom name: left to the page lookup to refuse
    };
    for (const auto& [text, address] : typed) EXPECT_EQ(HomeAddressOf(text), address) << text;
    SetCurrentService(before);
}

TEST(UserResolution, EitherUidMarkerAndTheTitle) {
    EXPECT_EQ(ReadUserPage("<title>某人的微博</title>$CONFIG['oid']='1234';").uid, "1234");
    EXPECT_EQ(ReadUserPage("<title>某人的微博</title>$CONFIG['oid']='1234';").title, "某人的微博");
    EXPECT_EQ(ReadUserPage("{owner_uid: 987, x}").uid, "987");
    EXPECT_EQ(ReadUserPage("<html>nothing</html>").uid, "");
    EXPECT_EQ(ReadUserPage("$CONFIG['oid'] = '2013';").uid, "2013");
    // A uid is digits only: nothing else may name a record store.
    EXPECT_EQ(ReadUserPage("$CONFIG['oid']='../../x';").uid, "");
    EXPECT_EQ(ReadUserPage("$CONFIG['oid']='1/2';owner_uid: 55,").uid, "55");
    for (const char* address : {"weibo.com/u/12ab", "weibo.com/u/..%2F1", "weibo.com/p/100505", "weibo.com/?uid=1;2"}) {
        EXPECT_EQ(UidFromAddress(address), "") << address;
    }
    EXPECT_EQ(CustomNameFromAddress("https://weibo.com/a.b"), "");
    EXPECT_EQ(CustomNameFromAddress("https://weibo.com/u/12"), "");
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
    EXPECT_EQ(albums[0].count, 35);
    EXPECT_EQ(albums[0].key, "1@@3");
    EXPECT_TRUE(albums[1].name.starts_with("未知名称随机数字"));
    const int number = std::stoi(albums[1].name.substr(std::string("未知名称随机数字").size()));
    EXPECT_GE(number, 100);
    EXPECT_LE(number, 1000);
    EXPECT_EQ(albums[1].count, 7);
    EXPECT_EQ(albums[2].name, "it's");
    EXPECT_EQ(albums[2].count, std::nullopt);  // no count told: none made up
    EXPECT_EQ(albums[2].key, "4@@null");
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

    const ResolvedUser resolved = ResolveUserPage("127.0.0.1:" + std::to_string(fake.port()) + "/u/3003").user;
    EXPECT_EQ(resolved.uid, "3003");
    EXPECT_EQ(resolved.title, "演示用户的微博");
    EXPECT_EQ(FetchAlbumList("3003").problem, ListingProblem::kLoginNeeded);

    PageFetchOptions login;
    login.method = 1;
    login.post_text = "username=demo&password=x";
    PageFetch(Url("/login"), login);
    const auto albums = FetchAlbumList("3003").albums;
    ASSERT_EQ(albums.size(), 3u);
    EXPECT_EQ(albums[0].name, "微博配图");
    EXPECT_EQ(albums[0].count, 2);
    EXPECT_EQ(albums[0].cover_url, fake.BaseUrl() + "/cover/3550000000.jpg");
    CookieJar::Shared().Clear();
}

// Today's site: https, a Secure login cookie, home pages built by script.
class TodaysSiteTest : public test::FakeServiceTest {
protected:
    TodaysSiteTest() { tls = true; }
    void SetUp() override {
        FakeServiceTest::SetUp();
        CookieJar::Shared().Clear();
    }
    void TearDown() override {
        CookieJar::Shared().Clear();
        FakeServiceTest::TearDown();
    }
    void LogIn() {
        PageFetchOptions login;
        login.method = 1;
        login.post_text = "username=demo&password=x";
        PageFetch(Url("/login"), login);
    }
    static fake::User MakeUser(const std::string& uid, const std::string& title, fake::UidMarker marker) {
        fake::User user = fake::SampleUser(uid, 1, 1);
        user.title = title;
        user.marker = marker;
        return user;
    }
};

TEST_F(TodaysSiteTest, FindsTheUserOnEveryRungOfTheLadder) {
    fake::User elder = MakeUser("2002", "乙的微博", fake::UidMarker::kConfigOid);
    elder.home_path = "/u/9999";  // the page's marker wins over the address
    fake.AddUser(elder);
    fake.AddUser(MakeUser("2003", "丙的微博", fake::UidMarker::kOwnerUid));
    fake.AddUser(MakeUser("2004", "戊的微博", fake::UidMarker::kSpacedOid));
    fake::User today = MakeUser("2005", "丁的微博", fake::UidMarker::kNone);
    today.custom_name = "ding";
    fake.AddUser(today);
    fake.SetRequireLogin(true);
    fake.SetVisitorWall(true);
    LogIn();  // the Secure cookie goes out over https

    const std::string host = "127.0.0.1:" + std::to_string(fake.port());
    const struct {
        std::string address;
        std::string uid;
        std::string title;
    } cases[] = {
        {Url("/u/9999"), "2002", "乙的微博"},
        {Url("/u/2003"), "2003", "丙的微博"},
        {Url("/u/2004"), "2004", "戊的微博"},
        {Url("/u/2005"), "2005", "丁的微博"},
        {Url("/2005"), "2005", "丁的微博"},
        {Url("/p/1005052005"), "2005", "丁的微博"},
        {Url("/ding"), "2005", "丁的微博"},
        {Url("/index?uid=2005"), "2005", "丁的微博"},
        {host + "/u/2005", "2005", "丁的微博"},  // no scheme: the home page's https
        {Url("/nobody"), "", ""},
    };
    for (const auto& c : cases) {
        const UserLookup lookup = ResolveUserPage(c.address);
        EXPECT_EQ(lookup.user.uid, c.uid) << c.address;
        EXPECT_EQ(lookup.user.title, c.title) << c.address;
        EXPECT_FALSE(lookup.login_wall) << c.address;
    }

    CookieJar::Shared().Clear();  // logged out: the visitor system and {"ok":-100}
    const UserLookup by_name = ResolveUserPage(Url("/ding"));
    EXPECT_EQ(by_name.user.uid, "");
    EXPECT_TRUE(by_name.login_wall);
    const UserLookup by_uid = ResolveUserPage(Url("/u/2005"));
    EXPECT_EQ(by_uid.user.uid, "2005");
    EXPECT_TRUE(by_uid.login_wall);
}

TEST_F(TodaysSiteTest, LoginWallsAndUnknownUsersAreToldApart) {
    fake.AddUser(fake::SampleUser("2005", 2, 1));
    fake.SetRequireLogin(true);
    EXPECT_EQ(FetchAlbumList("2005").problem, ListingProblem::kLoginNeeded);  // the 新浪通行证 page
    LogIn();
    EXPECT_EQ(FetchAlbumList("2005").albums.size(), 2u);
    EXPECT_EQ(FetchAlbumList("4242").problem, ListingProblem::kUnknownUser);

    // A login page is known by its markers; any other unusable body is no
    // answer, never "please log in".
    const std::pair<const char*, ListingProblem> answers[] = {
        {R"({"ok":-100,"url":"https://weibo.com/login.php"})", ListingProblem::kLoginNeeded},
        {"<html><title>Sina Visitor System</title></html>", ListingProblem::kLoginNeeded},
        {"<html><head><title>登录 - 微博</title></head></html>", ListingProblem::kLoginNeeded},
        {"<html>500 Internal Server Error</html>", ListingProblem::kNoAnswer},
        {R"({"data":{"album_list":[{"album_id":)", ListingProblem::kNoAnswer},  // cut off
        {R"({"ok":0,"msg":"busy"})", ListingProblem::kNoAnswer},
        {"", ListingProblem::kNoAnswer},
        {R"({"data":{"album_list":[]}})", ListingProblem::kNone},
        {R"({"data":{"album_list":[{"caption":"新浪通行证","album_id":"1","count":{"photos":1}}]}})", ListingProblem::kNone},
    };
    for (const auto& [body, problem] : answers) EXPECT_EQ(ReadAlbumListing(body).problem, problem) << body;
    EXPECT_TRUE(ReadUserInfo(R"({"ok":-100,"url":"x"})").login_wall);
}

}  // namespace
}  // namespace wa
