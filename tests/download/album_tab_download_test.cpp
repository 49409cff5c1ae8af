// Albums downloaded through the album tab: pictures completed from their
// posts, live-photo videos beside their stills, every paging end.
#include <gtest/gtest.h>

#include <map>

#include "album_download_fixture.h"
#include "download/download_run.h"
#include "download/picture_file.h"
#include "doors/album_tab_posts.h"
#include "doors/door.h"
#include "doors/registry.h"

namespace wa {
namespace {

namespace fs = std::filesystem;
using test::FileNames;
using test::ReadFile;

class AlbumTabDownloadTest : public test::AlbumDownloadTest {
protected:
    // Eight pictures in six posts: two in one post, a gif, two live photos
    // (one video behind the older wrapped address), a followers-only post,
    // and a post the lists name without its two pictures.
    fake::Album PostAlbum() {
        fake::Album album = Album("601", 8);
        album.caption = "春天";
        const char* captions[] = {"春游 第一天", "", "动图", "实况", "旧实况", "秘密", "合集", ""};
        const char* mids[] = {"m1", "m1", "m2", "m3", "m4", "m5", "m6", "m6"};
        for (std::size_t i = 0; i < 8; ++i) {
            album.photos[i].caption = captions[i];
            album.photos[i].mid = mids[i];
        }
        album.photos[2].format = fake::PictureFormat::kGif;
        album.photos[3].live = album.photos[4].live = true;
        album.photos[4].wrapped_video = true;
        album.photos[5].followers_only = true;
        album.photos[6].listed_without_pid = album.photos[7].listed_without_pid = true;
        return album;
    }
    AlbumOutcome DownloadTab(const std::string& key, const std::string& name) {
        AlbumRef album = *AlbumOfKey(key);
        album.name = name;
        return AlbumDownload(album, user, host, host.Source(), context);
    }
    static std::string Pid(int i) { return "006Xmpvgly1h601" + std::to_string(100000 + i); }
};

TEST_F(AlbumTabDownloadTest, PicturesTakeCaptionTimeAndVideoFromTheirPostsAskedOncePerRun) {
    Serve({PostAlbum()});
    fake.SetHotlinkProtection(true);
    const AlbumListing listing = ListAlbums("1001", "page");
    ASSERT_EQ(listing.albums.size(), 2u);
    host.options.parallel = 4;
    DownloadJob job;
    job.Start(host, host.Source(), {user, {{1, listing.albums[0]}, {2, listing.albums[1]}}}, context);
    const RunOutcome run = job.Wait();
    EXPECT_EQ(run.saved, 16);
    EXPECT_EQ(run.videos, 4);
    EXPECT_EQ(run.failed, 0);
    const std::vector<std::string> expected{"(1)春游第一天.jpg", "(2)春游第一天.jpg", "(3)动图.gif", "(4)实况.jpg",
                                            "(4)实况.mov",       "(5)旧实况.jpg",     "(5)旧实况.mov", "(6).jpg",
                                            "(7)合集.jpg",       "(8)合集.jpg"};
    EXPECT_EQ(FileNames(AlbumFolder("全部图片")), expected);
    EXPECT_EQ(FileNames(AlbumFolder("春天")), expected);
    EXPECT_TRUE(IsVideoData(ReadFile(AlbumFolder("春天") / "(5)旧实况.mov")));
    EXPECT_TRUE(IsPictureData(ReadFile(AlbumFolder("春天") / "(6).jpg")));
    EXPECT_EQ(fake.CountRequests("/ajax/statuses/show"), 6);  // one a post, for both albums
    EXPECT_EQ(fake.CountRequests("/ajax/common/download?pid=" + Pid(6)), 2);
    EXPECT_NE(host.Log().find("微博m5无法查看（暂无查看权限），图片按序号保存\r\n"), std::string::npos);
    EXPECT_TRUE(Recorded(Pid(1)));
    EXPECT_FALSE(Recorded(Pid(1).substr(0, 20)));  // picture ids are kept whole

    // The upload time names the pictures too; a second run skips what it recorded.
    fake.ClearRequests();
    host.options.name_format = NameFormat::kDateThenContent;
    host.options.record_store = true;
    host.options.save_folder = (temp.path() / "dated").string();
    EXPECT_EQ(DownloadTab("page:wall", "全部图片").recorded, 8);
    EXPECT_EQ(fake.CountRequests("/mw2000/") + fake.CountRequests("/livephoto/"), 0);
    // Recorded pictures cost no post: only the post the lists name without its pictures is asked.
    EXPECT_EQ(fake.CountRequests("/ajax/statuses/show"), 1);
    host.options.record_store = false;
    DownloadTab("page:wall", "全部图片");
    const fs::path dated = temp.path() / "dated" / "小明的微博" / "全部图片";
    EXPECT_TRUE(fs::exists(dated / "[2014.05.13 23.53]春游第一天.jpg"));
    EXPECT_TRUE(fs::exists(dated / "(6).jpg"));  // no date known: its number
}

TEST_F(AlbumTabDownloadTest, DateWindowSkipsUnknownDatesAndAFailedVideoLeavesItsStill) {
    Serve({PostAlbum()});
    fake.AddFault("/livephoto/" + Pid(4), fake::Fault{.status = 404});
    host.options.window.on = true;
    host.options.window.start = BeijingTime(1400000000 - 100 * 3600);
    host.options.window.end = BeijingTime(1400000000);
    const AlbumOutcome outcome = DownloadTab("page:wall", "全部图片");
    EXPECT_EQ(outcome.saved, 7);
    EXPECT_EQ(outcome.videos, 1);
    EXPECT_EQ(outcome.failed, 0);
    EXPECT_EQ(outcome.videos_failed, 1);
    EXPECT_EQ(outcome.outside_window, 1);
    EXPECT_NE(host.Log().find("上传时间不明，不在固定时间段内，已跳过：" + Pid(6)), std::string::npos);
    EXPECT_NE(host.Log().find("实况视频下载失败[404]：" + fake.BaseUrl() + "/livephoto/" + Pid(4) + ".mov?Expires="),
              std::string::npos);
    EXPECT_TRUE(fs::exists(AlbumFolder("全部图片") / "(4)实况.jpg"));
    EXPECT_TRUE(Recorded(Pid(4)));

    // Without live videos none is asked for.
    fake.ClearRequests();
    host.options.live_video = false;
    host.options.save_folder = (temp.path() / "stills").string();
    EXPECT_EQ(DownloadTab("page:wall", "全部图片").videos, 0);
    EXPECT_EQ(fake.CountRequests("/livephoto/"), 0);
}

TEST_F(AlbumTabDownloadTest, PagingEndsAtEveryMarkerAnEmptyPageOrACursorSeenBefore) {
    const fake::CursorEnd ends[] = {fake::CursorEnd::kZero, fake::CursorEnd::kZeroText, fake::CursorEnd::kEmpty,
                                    fake::CursorEnd::kMissing};
    for (int i = 0; i < 4; ++i) {
        fake::User paged;
        paged.uid = std::to_string(1100 + i);
        paged.title = "小明的微博";
        paged.albums = {Album(std::to_string(610 + i), 7)};
        paged.tab_page_size = 3;
        paged.tab_end = ends[i];
        fake.AddUser(paged);
        user.uid = paged.uid;
        fake.ClearRequests();
        host.options.save_folder = (temp.path() / paged.uid).string();
        EXPECT_EQ(DownloadTab("page:wall", "全部图片").saved, 7) << i;
        EXPECT_EQ(fake.CountRequests("/ajax/profile/getImageWall"), 3) << i;  // 3, 3 and 1
    }
    // A list that keeps answering the same cursor is read once more, no further.
    fake.AddFault("/ajax/profile/getImageWall",
                  fake::Fault{.body = R"({"ok":1,"data":{"since_id":"same","list":[{"pid":")" +
                                      std::string("006Xmpvgly1h613100001") + R"(","mid":"48613100001"}]}})"});
    fake.ClearRequests();
    EXPECT_EQ(DownloadTab("page:wall", "全部图片").saved, 1);
    EXPECT_EQ(fake.CountRequests("/ajax/profile/getImageWall"), 2);
}

TEST_F(AlbumTabDownloadTest, HostileWallsEndAndAnswersTooLargeAreRefusedOnce) {
    fake::User looping;
    looping.uid = "1200";
    looping.title = "小明的微博";
    looping.albums = {Album("620", 3)};
    looping.tab_loops = true;  // the same pictures under a new cursor, for ever
    fake::User long_cursor = looping;
    long_cursor.uid = "1201";
    long_cursor.albums = {Album("621", 7)};
    long_cursor.tab_loops = false;
    long_cursor.tab_page_size = 3;
    long_cursor.tab_cursor_padding = 2000;
    fake.AddUser(looping);
    fake.AddUser(long_cursor);
    const auto run = [&](const std::string& uid) {
        user.uid = uid;
        fake.ClearRequests();
        host.options.save_folder = (temp.path() / uid).string();
        return DownloadTab("page:wall", "全部图片");
    };
    EXPECT_EQ(run("1200").saved, 3);
    EXPECT_EQ(fake.CountRequests("/ajax/profile/getImageWall"), 4);  // then three that bring nothing new
    EXPECT_EQ(run("1201").saved, 3);
    EXPECT_EQ(fake.CountRequests("/ajax/profile/getImageWall"), 1);
    EXPECT_NE(host.Log().find("相册页第1页给出的翻页位置过长（2006字节），本相册读到此页为止"), std::string::npos);

    // 56 MB of entries, or a few hundred KiB of objects: refused at the first attempt.
    std::string huge = R"({"ok":1,"data":{"since_id":"0","list":[)";
    const std::string item = R"({"pid":"006Xmpvgly1h0000","mid":"1"},)";
    huge.reserve(item.size() * 1'600'000);
    for (int i = 0; i < 1'600'000; ++i) huge += item;
    huge += "{}]}}";
    std::string objects = R"({"ok":1,"data":{"list":[)";
    for (int i = 0; i < 60'000; ++i) objects += "{},";
    objects += "{}]}}";
    const struct {
        std::string body;
        std::string said;
    } cases[] = {{huge, " 的回答过大（超过 4 MiB），未读取"}, {objects, " 的回答过大（超过 50000 个对象），未读取"}};
    for (const auto& c : cases) {
        fake.ClearFaults();
        fake.AddFault("/ajax/profile/getImageWall", fake::Fault{.body = c.body});
        const AlbumOutcome outcome = run("1001");
        EXPECT_EQ(outcome.failed_pages, 1) << c.said;
        EXPECT_EQ(fake.CountRequests("/ajax/profile/getImageWall"), 1) << c.said;
        EXPECT_NE(host.Log().find("第1页照片列表获取失败：127.0.0.1:" + std::to_string(fake.port()) + c.said),
                  std::string::npos)
            << host.Log();
    }
}

TEST_F(AlbumTabDownloadTest, AjaxRequestsFollowRedirectsOnTheirOwnHostOnly) {
    Serve({Album("630", 2)});
    fake::FakeWeibo elsewhere;
    ASSERT_TRUE(elsewhere.Start());
    const std::string wall = "/ajax/profile/getImageWall?uid=1001&sinceid=0&has_album=true";
    const struct {
        std::string to;
        int times;  // of the redirect
        int saved;
        bool login;
    } cases[] = {
        {fake.BaseUrl() + wall, 1, 2, false},  // its own host: followed
        {elsewhere.BaseUrl() + wall, -1, 0, false},  // not followed: its XSRF token and Referer stay here
        {fake.BaseUrl() + "/visitor/visitor", -1, 0, true},
        {"https://passport.weibo.com/visitor/visitor?entry=miniblog", -1, 0, true},
    };
    for (const auto& c : cases) {
        fake.ClearFaults();
        fake.AddFault("getImageWall", fake::Fault{.redirect_to = c.to, .times = c.times});
        host.options.save_folder = (temp.path() / std::to_string(&c - cases)).string();
        const AlbumOutcome outcome = DownloadTab("page:wall", "全部图片");
        EXPECT_EQ(outcome.saved, c.saved) << c.to;
        EXPECT_EQ(outcome.login_needed, c.login) << c.to;
    }
    EXPECT_TRUE(elsewhere.Requests().empty());
}

TEST_F(AlbumTabDownloadTest, LiveVideosAreSavedAsMovOrMp4Only) {
    fake::Album album = Album("640", 4);
    const struct {
        const char* suffix;
        bool mp4_bytes;
        const char* saved_as;
    } cases[] = {{".html", false, "(1)照片1.mov"}, {".mp4", false, "(2)照片2.mp4"},
                 {".sh", true, "(3)照片3.mp4"},    {"", false, "(4)照片4.mov"}};
    for (std::size_t i = 0; i < 4; ++i) {
        album.photos[i].live = true;
        album.photos[i].video_suffix = cases[i].suffix;
        album.photos[i].mp4_video = cases[i].mp4_bytes;
    }
    Serve({album});
    EXPECT_EQ(DownloadTab("page:wall", "全部图片").videos, 4);
    for (const auto& c : cases) EXPECT_TRUE(fs::exists(AlbumFolder("全部图片") / c.saved_as)) << c.saved_as;
}

// Ten picture posts of one to three pictures among text posts and posts the
// user liked, on a timeline of pages of four that shows only its newest
// fourteen entries and names at most two pictures of a post.
class TimelineTest : public AlbumTabDownloadTest {
protected:
    void SetUp() override {
        AlbumTabDownloadTest::SetUp();
        fake::Album album;
        album.album_id = "650";
        album.caption = "春天";
        const int sizes[] = {1, 2, 3, 1, 2, 1, 2, 3, 1, 2};
        for (int post = 0; post < 10; ++post) {
            const std::int64_t time = 1400000000 - post * 3600;
            for (int j = 0; j < sizes[post]; ++j) {
                album.photos.push_back({.photo_id = "650" + std::to_string(100 + post * 10 + j), .timestamp = time - j,
                                        .caption = "第" + std::to_string(post + 1) + "条",
                                        .mid = std::to_string(4'000'000'000'000'000LL + time * 1000)});
                ++pictures;
            }
        }
        served.uid = "1001";
        served.title = "小明的微博";
        served.albums = {album};
        served.text_posts = 10;
        served.liked_posts = 5;
        served.timeline_page_size = 4;
        served.timeline_depth = 14;
        served.timeline_pic_cap = 2;
        fake.AddUser(served);
    }
    // How often each post was asked for on its own.
    std::map<std::string, int> PostsAsked() const {
        std::map<std::string, int> asked;
        for (const fake::RecordedRequest& request : fake.Requests()) {
            if (request.path == "/ajax/statuses/show") ++asked[request.target.substr(request.target.find("id=") + 3, 16)];
        }
        return asked;
    }
    int pictures = 0;
    fake::User served;
};

TEST_F(TimelineTest, PostsComeFromTheTimelineAndTheRestOnTheirOwnNoneTwiceNoLikedPicture) {
    RunScratch run;  // what the doors keep for one run
    context.scratch = &run;
    const AlbumOutcome outcome = DownloadTab("page:wall", "全部图片");
    EXPECT_EQ(outcome.saved, pictures);
    EXPECT_EQ(outcome.failed, 0);
    // Posts 6 to 10 lie past the timeline's depth, and post 3 has more
    // pictures than the timeline names: each of those is asked once.
    const std::map<std::string, int> asked = PostsAsked();
    EXPECT_EQ(asked.size(), 6u);
    for (const auto& [mid, times] : asked) EXPECT_EQ(times, 1) << mid;
    EXPECT_LE(fake.CountRequests("/ajax/statuses/mymblog"), 5);  // four pages, then an empty one
    EXPECT_EQ(fake.CountRequests("/mw2000/liked"), 0);
    EXPECT_TRUE(fs::exists(AlbumFolder("全部图片") / "(1)第1条.jpg"));
    EXPECT_TRUE(fs::exists(AlbumFolder("全部图片") / "(6)第3条.jpg"));
    EXPECT_TRUE(fs::exists(AlbumFolder("全部图片") / "(18)第10条.jpg"));
    // Sent with both its page and the cursor of the page before.
    bool paged = false;
    for (const fake::RecordedRequest& request : fake.Requests()) {
        paged = paged || (request.target.find("page=2&feature=0&since_id=") != std::string::npos);
    }
    EXPECT_TRUE(paged);

    // A second album of the run finds every post read already.
    fake.ClearRequests();
    host.options.save_folder = (temp.path() / "again").string();
    EXPECT_EQ(DownloadTab("page:wall", "全部图片").saved, pictures);
    EXPECT_EQ(fake.CountRequests("/ajax/statuses/"), 0);
}

// A timeline that floods, loops or sends cursors longer than a cursor is
// ends soon: what it brings is kept within bounds, and every picture still
// comes with its post, asked for on its own. One that starts with a pinned
// older post is read on past it.
TEST_F(TimelineTest, AHostileTimelineEndsSoonAndKeepsLittle) {
    const struct {
        const char* what;
        std::function<void(fake::User&)> set;
        int most_pages;
    } cases[] = {
        {"flood", [](fake::User& u) { u.timeline_flood = 1000; }, kMaxTimelinePagesPerPost},
        {"same cursor", [](fake::User& u) { u.timeline_same_cursor = true; }, 2},
        {"long cursor", [](fake::User& u) { u.timeline_cursor_padding = 2000; }, 1},
        {"pinned", [](fake::User& u) { u.timeline_pinned = true; }, 5},
    };
    for (const auto& c : cases) {
        fake::User hostile = served;
        c.set(hostile);
        fake.ReplaceUser(hostile);
        fake.ClearRequests();
        RunScratch run;
        context.scratch = &run;
        host.options.save_folder = (temp.path() / c.what).string();
        const AlbumOutcome outcome = DownloadTab("page:wall", "全部图片");
        EXPECT_EQ(outcome.saved, pictures) << c.what;
        EXPECT_EQ(outcome.failed, 0) << c.what;
        EXPECT_LE(fake.CountRequests("/ajax/statuses/mymblog"), c.most_pages) << c.what;
        EXPECT_LE(run.Of<AlbumTabRun>(kAlbumTabKey)->posts.Bytes(), kPostCacheBytes) << c.what;
        for (const auto& [mid, times] : PostsAsked()) EXPECT_EQ(times, 1) << c.what << " " << mid;
    }
    EXPECT_LE(PostsAsked().size(), 6u);  // read past the pinned post as past any other
}

TEST_F(AlbumTabDownloadTest, AnExpiredOrRefusedVideoLinkIsSignedAnewOnce) {
    fake::Album album = Album("660", 3);
    for (fake::Photo& photo : album.photos) photo.live = true;
    album.photos[0].video_link_expired = true;                    // expired before it was asked for
    Serve({album});
    const std::string refused = "/livephoto/006Xmpvgly1h660100002";  // refused, and refused again at once
    const std::string never = "/livephoto/006Xmpvgly1h660100003";    // refused for ever
    fake.AddFault(refused, fake::Fault{.status = 403, .times = 2});
    fake.AddFault(never, fake::Fault{.status = 403});
    const AlbumOutcome outcome = DownloadTab("page:wall", "全部图片");
    EXPECT_EQ(outcome.saved, 3);
    EXPECT_EQ(outcome.videos, 2);
    EXPECT_EQ(fake.CountRequests("/livephoto/006Xmpvgly1h660100001"), 1);  // never asked with its dead link
    EXPECT_EQ(fake.CountRequests(refused), 3);  // twice with the old link, once with the new
    EXPECT_EQ(fake.CountRequests(never), 4);    // signed anew once, then it is a failure
    EXPECT_NE(host.Log().find("实况视频下载失败[403]：" + fake.BaseUrl() + never), std::string::npos);
    EXPECT_TRUE(fs::exists(AlbumFolder("全部图片") / "(1)照片1.mov"));
    EXPECT_TRUE(fs::exists(AlbumFolder("全部图片") / "(2)照片2.mov"));
}

}  // namespace
}  // namespace wa
