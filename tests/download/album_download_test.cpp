#include "download/album_download.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <thread>

#include "album_download_fixture.h"
#include "download/download_run.h"
#include "download/picture_file.h"
#include "download/record_store.h"
#include "util/date_time.h"
#include "util/job_token.h"
#include "net/object_request.h"
#include "weibo/service_request.h"

namespace wa {
namespace {

namespace fs = std::filesystem;
using test::AlbumDownloadTest;
using test::FileNames;
using test::ReadFile;

TEST_F(AlbumDownloadTest, MultiPageAlbumLandsInSaveFolderUserAlbum) {
    Serve({Album("501", 250)});
    const AlbumOutcome outcome = Download("501", "250");
    EXPECT_EQ(outcome.saved, 250);
    EXPECT_EQ(outcome.failed, 0);
    const auto names = FileNames(AlbumFolder("旅行250"));
    ASSERT_EQ(names.size(), 250u);
    EXPECT_TRUE(fs::exists(AlbumFolder("旅行250") / "(1)照片1.jpg"));
    EXPECT_TRUE(fs::exists(AlbumFolder("旅行250") / "(101)照片101.jpg"));
    EXPECT_TRUE(fs::exists(AlbumFolder("旅行250") / "(250)照片250.jpg"));
    EXPECT_TRUE(IsPictureData(ReadFile(AlbumFolder("旅行250") / "(7)照片7.jpg")));
    EXPECT_EQ(host.Log(),
              "防止重复下载数据库创建成功\r\n准备下载相册《旅行》\r\n\r\n---完成相册《旅行250》下载\r\n\r\n");
    EXPECT_EQ(host.LastProgress()->percent, 100);  // 250 × 100 ÷ 50 ÷ 3, limited to 100
    EXPECT_TRUE(Recorded("501100250"));
    EXPECT_EQ(fake.CountRequests("/photos/get_all"), 3);
}

TEST_F(AlbumDownloadTest, WrongCountsAndShortPagesAreDownloadedWhole) {
    fake::Album undercounted = Album("511", 150);  // the list says 40
    fake::Album short_pages = Album("512", 75);    // pages of at most 30
    short_pages.page_size = 30;
    Serve({undercounted, short_pages, Album("513", 100), Album("514", 0)});
    const struct {
        std::string id;
        std::string count;
        int saved;
        int pages_asked;
        std::string last_counter;
    } cases[] = {
        {"511", "40", 150, 2, "150/150"},  // a full page, then a short one
        {"512", "75", 75, 3, "75/75"},     // 30, 30, 15: all the count holds
        {"513", "100", 100, 2, "100/100"}, // as the count computes: the empty second page ends it
        {"514", std::string(18, '9'), 0, 3, ""},  // three empty pages in a row end any count
    };
    for (const auto& c : cases) {
        fake.ClearRequests();
        const AlbumOutcome outcome = Download(c.id, c.count);
        EXPECT_EQ(outcome.saved, c.saved) << c.id;
        EXPECT_EQ(FileNames(AlbumFolder("旅行" + c.count)).size(), static_cast<std::size_t>(c.saved)) << c.id;
        EXPECT_EQ(fake.CountRequests("/photos/get_all"), c.pages_asked) << c.id;
        if (!c.last_counter.empty()) {
            EXPECT_EQ(host.LastCounter(), c.last_counter) << c.id;
        }
    }
    // Sequence numbers count the photos listed, whatever the pages held.
    EXPECT_TRUE(fs::exists(AlbumFolder("旅行75") / "(30)照片30.jpg"));
    EXPECT_TRUE(fs::exists(AlbumFolder("旅行75") / "(31)照片31.jpg"));
    EXPECT_TRUE(fs::exists(AlbumFolder("旅行75") / "(75)照片75.jpg"));
}

TEST_F(AlbumDownloadTest, RateLimitsAreWaitedOutAndLoginWallsEndTheAlbum) {
    Serve({Album("521", 150)});
    // The second page answers 418 until a second has passed.
    fake.SetRateLimit({.requests = 1, .window_ms = 1000, .retry_after_s = 1});
    const AlbumOutcome waited = Download("521", "150");
    EXPECT_EQ(waited.saved, 150);
    EXPECT_EQ(waited.failed, 0);
    EXPECT_NE(host.Log().find("请求过于频繁，1秒后重试\r\n"), std::string::npos);

    // A login page instead of the photo list ends the album, nothing recorded.
    fake.SetRateLimit({});
    fake.SetRequireLogin(true);
    fake.ClearRequests();
    const AlbumOutcome walled = Download("521", "150", "别处");
    EXPECT_TRUE(walled.login_needed);
    EXPECT_EQ(walled.saved, 0);
    EXPECT_EQ(fake.CountRequests("/photos/get_all"), 1);  // no retries, no next page
    EXPECT_NE(host.Log().find(std::string(kLoginNeededLine) + "\r\n"), std::string::npos);

    // Without Retry-After the wait is 30 s; a stop ends it at once. (Last: the
    // limit is the process's, and would hold whatever asked next.)
    fake.SetRequireLogin(false);
    fake.SetRateLimit({.requests = 1, .window_ms = 600'000});
    JobToken job;
    context.job = &job;
    std::thread stopper([&job] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        job.RequestStop();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(Download("521", "150").stopped);
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    context.job = nullptr;
}

// A picture host refusing picture after picture: each is asked again, the
// transfers thin out and pause, and every picture is saved.
TEST_F(AlbumDownloadTest, PicturesAPictureHostRefusesAreAskedAgainWithFewerInFlight) {
    Serve({Album("531", 30)});
    for (int i = 3; i <= 8; ++i) {
        fake.AddFault("/large/531" + std::to_string(100000 + i) + ".", fake::Fault{.status = i % 2 ? 403 : 429, .times = 2});
    }
    host.options.parallel = 4;
    RequestBatch batch(4);
    context.pictures = &batch;
    const AlbumOutcome outcome = Download("531", "30");
    context.pictures = nullptr;
    EXPECT_EQ(outcome.saved, 30);
    EXPECT_EQ(outcome.failed, 0);
    EXPECT_EQ(fake.CountRequests("/large/"), 30 + 6 * 2);
    EXPECT_NE(host.Log().find("同时下载减为2张"), std::string::npos) << host.Log();
    EXPECT_EQ(FileNames(AlbumFolder("旅行30")).size(), 30u);
}

TEST_F(AlbumDownloadTest, PageCycleSchemeAndPicturesFromOneConnection) {
    Serve({Album("502", 120)});
    host.options.sequence = SequenceScheme::kPageCycle;
    host.options.name_format = NameFormat::kContentThenNumber;
    RequestBatch batch(1);
    context.pictures = &batch;
    Download("502", "120");
    EXPECT_TRUE(fs::exists(AlbumFolder("旅行120") / "照片1(1-1).jpg"));
    EXPECT_TRUE(fs::exists(AlbumFolder("旅行120") / "照片120(2-20).jpg"));
    int port = -1;
    for (const auto& request : fake.Requests()) {
        if (request.path.starts_with("/large/")) {
            if (port == -1) port = request.remote_port;
            ASSERT_EQ(request.remote_port, port);
        }
    }
}

TEST_F(AlbumDownloadTest, TimeWindowSkipsTheStartBoundAndEndsAtOlderPhotos) {
    Serve({Album("503", 10)});
    host.options.window.on = true;
    // Photo i was uploaded at 1400000000 − i h; the start bound is photo 5's moment.
    host.options.window.start = BeijingTime(1400000000 - 5 * 3600);
    host.options.window.end = BeijingTime(1400000000 - 2 * 3600);
    const AlbumOutcome outcome = Download("503", "10");
    EXPECT_EQ(FileNames(AlbumFolder("旅行10")), (std::vector<std::string>{"(3)照片3.jpg", "(4)照片4.jpg"}));
    EXPECT_EQ(outcome.outside_window, 3);  // photos 1, 2 (at or after the end) and 5 (at the start)
    EXPECT_NE(host.Log().find("该相册【固定时间段】上传的图片下载完毕\r\n---完成相册《旅行10》下载"), std::string::npos);
    EXPECT_EQ(fake.CountRequests("/large/"), 2);

    // An end that is a date alone means through that day: photo 1, at 23:53 on May 13, is taken.
    host.options.window.end = DateTime{2014, 5, 13};
    host.options.save_folder = (temp.path() / "through").string();
    Download("503", "10");
    EXPECT_EQ(FileNames(temp.path() / "through" / "小明的微博" / "旅行10"),
              (std::vector<std::string>{"(1)照片1.jpg", "(2)照片2.jpg", "(3)照片3.jpg", "(4)照片4.jpg"}));
}

TEST_F(AlbumDownloadTest, WithTheWindowOffNoDateSkipsAPhotoOrEndsTheAlbum) {
    fake::Album album = Album("504", 4);
    album.photos[0].timestamp = 2'200'000'000;  // 2039, past what 32 bits hold
    album.photos[2].timestamp = 50'000'000;     // 1971
    album.photos[3].omit = {"timestamp"};
    Serve({album});
    const AlbumOutcome outcome = Download("504", "4");
    EXPECT_EQ(outcome.saved, 4);
    EXPECT_EQ(outcome.outside_window, 0);
    EXPECT_EQ(host.Log().find("固定时间段"), std::string::npos);
    const fs::path folder = AlbumFolder("旅行4");
    const auto seconds = [](const fs::path& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_mtime) : -1LL;
    };
    EXPECT_EQ(seconds(folder / "(1)照片1.jpg"), 2'200'000'000);
    EXPECT_GT(seconds(folder / "(3)照片4.jpg"), 1'700'000'000);  // no time known: when it was saved
    EXPECT_EQ(seconds(folder / "(4)照片3.jpg"), 50'000'000);
}

TEST_F(AlbumDownloadTest, SecondRunSkipsRecordedPhotosOnlyWhenTheSwitchIsOn) {
    Serve({Album("505", 5)});
    Download("505", "5");
    fake.ClearRequests();
    host.options.record_store = true;
    const AlbumOutcome skipped = Download("505", "5");
    EXPECT_EQ(skipped.recorded, 5);
    EXPECT_EQ(fake.CountRequests("/large/"), 0);

    host.options.record_store = false;
    const AlbumOutcome again = Download("505", "5");
    EXPECT_EQ(again.already_there, 5);  // asked for again, and found in the folder: nothing written
    EXPECT_EQ(again.saved, 0);
    EXPECT_EQ(fake.CountRequests("/large/"), 5);
}

TEST_F(AlbumDownloadTest, APageThatNeverAnswersIsLoggedAndSkipped) {
    Serve({Album("506", 250)});
    fake.AddFault("page=2&", fake::Fault{.fail_first = 1000});
    Download("506", "250");
    const auto names = FileNames(AlbumFolder("旅行250"));
    EXPECT_EQ(names.size(), 150u);
    EXPECT_TRUE(fs::exists(AlbumFolder("旅行250") / "(100)照片100.jpg"));
    EXPECT_FALSE(fs::exists(AlbumFolder("旅行250") / "(101)照片101.jpg"));
    EXPECT_TRUE(fs::exists(AlbumFolder("旅行250") / "(201)照片201.jpg"));
    EXPECT_NE(host.Log().find("第2页照片列表获取失败：127.0.0.1:" + std::to_string(fake.port()) + " 的回答无法识别\r\n"), std::string::npos);
}

TEST_F(AlbumDownloadTest, FailedPicturesAreNeitherWrittenNorRecorded) {
    Serve({Album("507", 4)});
    fake.AddFault("/large/507100001", fake::Fault{.status = 404});
    fake.AddFault("/large/507100002", fake::Fault{.html_instead = true});
    fake.AddFault("/large/507100003", fake::Fault{.drop_half = true});
    const AlbumOutcome outcome = Download("507", "4");
    EXPECT_EQ(outcome.failed, 3);
    EXPECT_EQ(FileNames(AlbumFolder("旅行4")), (std::vector<std::string>{"(4)照片4.jpg"}));
    // Each failure says why, as a failed page does.
    const std::string log = host.Log();
    const std::string host_name = "127.0.0.1:" + std::to_string(fake.port());
    EXPECT_NE(log.find("图片下载失败[404]：" + fake.BaseUrl() + "/large/507100001.jpg（" + host_name + " 回答（HTTP 404））\r\n"),
              std::string::npos) << log;
    EXPECT_NE(log.find("图片下载失败[200]：" + fake.BaseUrl() + "/large/507100002.jpg（" + host_name + " 的回答不是图片）\r\n"),
              std::string::npos) << log;
    EXPECT_NE(log.find("图片下载失败[0]：" + fake.BaseUrl() + "/large/507100003.jpg（" + host_name + " 的回答不完整）\r\n"),
              std::string::npos) << log;
    EXPECT_EQ(fake.CountRequests("/large/507100001"), 2);  // repeated once
    EXPECT_FALSE(Recorded("507100001"));
    EXPECT_TRUE(Recorded("507100004"));

    // A later run with the switch on fetches exactly the failed ones.
    fake.ClearFaults();
    fake.ClearRequests();
    host.options.record_store = true;
    EXPECT_EQ(Download("507", "4").saved, 3);
    EXPECT_EQ(FileNames(AlbumFolder("旅行4")).size(), 4u);
}

TEST_F(AlbumDownloadTest, HotlinkProtectedPicturesComeWithTheSiteAsReferer) {
    Serve({Album("508", 3)});
    fake.SetHotlinkProtection(true);
    EXPECT_EQ(Download("508", "3").saved, 3);
    for (const auto& request : fake.Requests()) {
        if (request.path.starts_with("/large/")) {
            EXPECT_EQ(request.Header("referer"), fake.BaseUrl() + "/");
            EXPECT_EQ(request.Header("user-agent"), "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
            EXPECT_EQ(request.headers.count("cookie"), 0u);
        }
    }
}

TEST_F(AlbumDownloadTest, AwkwardCaptionsStayInsideTheAlbumFolder) {
    fake::Album album = Album("509", 6);
    std::string long_chinese;
    for (int i = 0; i < 100; ++i) long_chinese += "长";
    std::string mixed;
    for (int i = 0; i < 80; ++i) mixed += "字";
    mixed += std::string(60, 'x');
    album.photos[0].caption = "../../逃出去/etc";
    album.photos[1].caption = "..";
    album.photos[2].caption = "旅行😀日记";
    album.photos[3].caption = "第一行\r\n第二行";
    album.photos[4].caption = long_chinese;  // too long for a name: the caption is cut
    album.photos[5].caption = mixed;
    Serve({album});
    const AlbumOutcome outcome = Download("509", "6", "../相册/..");
    EXPECT_EQ(outcome.saved, 6);
    const fs::path folder = AlbumFolder("相册6");
    // 255 bytes at most, cut between characters, the number and extension kept.
    EXPECT_EQ(FileNames(folder),
              (std::vector<std::string>{"(1)逃出去etc.jpg", "(2).jpg", "(3)旅行😀日记.jpg", "(4)第一行第二行.jpg",
                                        "(5)" + long_chinese.substr(0, 246) + ".jpg",
                                        "(6)" + mixed.substr(0, 248) + ".jpg"}));
    EXPECT_EQ(FileNames(temp.path() / "saved"), (std::vector<std::string>{"小明的微博"}));
}

TEST_F(AlbumDownloadTest, NoSavedPictureIsEverReplacedAndASecondRunAddsNothing) {
    fake::Album album = Album("531", 5);
    std::string too_long;
    for (int i = 0; i < 100; ++i) too_long += "长";
    album.photos[0].caption = album.photos[1].caption = "同一句";
    // Two different pictures under one caption too long for a name.
    album.photos[2].caption = album.photos[3].caption = too_long;
    album.photos[2].photo_id = album.photos[3].photo_id = "dup";
    album.photos[2].pic_name = "dup-a.jpg";
    album.photos[3].pic_name = "dup-b.jpg";
    album.photos[3].size = 5000;
    Serve({album});
    host.options.name_format = NameFormat::kContent;
    const std::string cut83 = too_long.substr(0, 249) + ".jpg";     // 253 bytes
    const std::string cut82 = too_long.substr(0, 246) + "(4).jpg";  // 253 bytes, the number kept
    std::vector<std::string> expected{cut82, cut83, "同一句(2).jpg", "同一句.jpg", "照片5.jpg"};
    std::sort(expected.begin(), expected.end());
    for (int run = 1; run <= 2; ++run) {
        // Control characters never reach a folder name.
        const AlbumOutcome outcome = Download("531", "5", "旅\x01行\x7F");
        EXPECT_EQ(outcome.saved, run == 1 ? 5 : 0) << run;  // the second run writes nothing
        EXPECT_EQ(outcome.already_there, run == 1 ? 0 : 5) << run;
        EXPECT_EQ(outcome.failed, 0) << run;
        EXPECT_EQ(FileNames(AlbumFolder("旅行5")), expected) << run;
    }
    EXPECT_NE(ReadFile(AlbumFolder("旅行5") / cut83), ReadFile(AlbumFolder("旅行5") / cut82));
}

TEST_F(AlbumDownloadTest, HostileListsNeverLeaveTheSaveFolderNorLeaveHttp) {
    fake::Album album = Album("532", 4);
    album.photos[0].photo_id = "../../../逃";
    album.photos[0].pic_name = "hostile.jpg";
    album.photos[0].caption = "";  // its names are taken below: the id names it
    Serve({album});
    host.options.name_format = NameFormat::kContent;
    const std::string base = fake.BaseUrl();
    // Hosts that are not http, and a count that is no number.
    fake.AddFault("/photos/get_all", fake::Fault{.body = R"({"data":{"photo_list":[)"
                                                         R"({"photo_id":"1","timestamp":1400000000,"pic_host":"ftp:\/\/127.0.0.1","pic_name":"a.jpg"},)"
                                                         R"({"photo_id":"2","timestamp":1400000000,"pic_host":"file:\/\/","pic_name":"etc\/passwd"},)"
                                                         R"({"photo_id":"3","timestamp":1400000000,"pic_name":"a.jpg"},)"
                                                         R"({"photo_id":"5","timestamp":1400000000,"pic_host":"http:\/\/user:pw@127.0.0.1","pic_name":"a.jpg"},)"
                                                         R"({"photo_id":"4","timestamp":1400000000,"pic_host":")" + base + R"(","pic_name":null}]}})"});
    fake.ClearRequests();
    const AlbumOutcome refused = Download("532", "..");
    EXPECT_EQ(refused.failed, 5);
    EXPECT_EQ(fake.CountRequests("/large/"), 0);
    fake.ClearFaults();
    // A hostile id still names a picture inside the album folder.
    fs::create_directories(AlbumFolder("旅行4") / "(1).jpg");
    fs::create_directories(AlbumFolder("旅行4") / "(1)(1).jpg");
    EXPECT_EQ(Download("532", "4").saved, 4);
    EXPECT_TRUE(fs::exists(AlbumFolder("旅行4") / "逃.jpg"));
    EXPECT_EQ(FileNames(temp.path() / "saved"), (std::vector<std::string>{"小明的微博"}));
    // The folder of the run that saved nothing is gone with it.
    EXPECT_EQ(FileNames(temp.path() / "saved" / "小明的微博"), (std::vector<std::string>{"旅行4"}));
}

TEST_F(AlbumDownloadTest, EmptySaveFolderSavesBesideTheProgram) {
    Serve({Album("510", 1)});
    host.options.save_folder.clear();
    Download("510", "1");
    EXPECT_TRUE(fs::exists(fs::path(context.program_folder) / "小明的微博" / "旅行1" / "(1)照片1.jpg"));
}

TEST_F(AlbumDownloadTest, CorruptStoreIsLoggedAndLeftAlone) {
    Serve({Album("511", 2)});
    fs::create_directories(RecordStoreFolder(context.program_folder));
    std::ofstream(StorePath(), std::ios::binary) << "not a store";
    host.options.record_store = true;
    EXPECT_EQ(Download("511", "2").saved, 2);
    EXPECT_NE(host.Log().find("防止重复下载数据库打开失败"), std::string::npos);
    EXPECT_EQ(ReadFile(StorePath()), "not a store");
}

TEST_F(AlbumDownloadTest, UnwritableFolderReportsEveryPictureAndRecordsNone) {
    Serve({Album("512", 2)});
    fs::create_directories(temp.path() / "saved" / "小明的微博");
    std::ofstream(AlbumFolder("旅行2")) << "a file where the folder should be";
    const AlbumOutcome outcome = Download("512", "2");
    EXPECT_EQ(outcome.failed, 2);
    EXPECT_NE(host.Log().find("相册文件夹无法建立：" + AlbumFolder("旅行2").string() + "\r\n"), std::string::npos);
    EXPECT_NE(host.Log().find("图片保存失败：512100001（相册文件夹无法建立）\r\n"), std::string::npos);
    EXPECT_FALSE(Recorded("512100001"));
}

class PauseAndStopTest : public AlbumDownloadTest {
protected:
    // Waits until the fake service has been asked for `part`.
    void AwaitRequest(const std::string& part) {
        for (int i = 0; i < 500 && fake.CountRequests(part) == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_GT(fake.CountRequests(part), 0) << part;
    }
    std::vector<std::string> TempFiles(const std::string& album = "旅行6") {
        std::vector<std::string> found;
        for (const auto& name : FileNames(AlbumFolder(album))) {
            if (name.starts_with(".weibo-albums-")) found.push_back(name);
        }
        return found;
    }
};

TEST_F(PauseAndStopTest, PauseHoldsMidTransferAndContinueGoesOnWithTheSamePhoto) {
    Serve({Album("520", 6)});
    fake.AddFault("/large/520100003", fake::Fault{.stall_ms = 600});
    JobToken job;
    context.job = &job;
    std::thread worker([this] { Download("520", "6"); });
    AwaitRequest("/large/520100003");
    job.Pause();
    std::this_thread::sleep_for(std::chrono::milliseconds(900));
    EXPECT_EQ(fake.CountRequests("/large/520100004"), 0);  // nothing after the paused photo
    EXPECT_FALSE(fs::exists(AlbumFolder("旅行6") / "(3)照片3.jpg"));
    job.Resume();
    worker.join();
    EXPECT_EQ(FileNames(AlbumFolder("旅行6")).size(), 6u);
    EXPECT_EQ(fake.CountRequests("/large/520100003"), 1);  // not repeated
    EXPECT_TRUE(Recorded("520100006"));
}

TEST_F(PauseAndStopTest, StopMidTransferLeavesNoPartialFileAndAClosedStore) {
    Serve({Album("521", 6)});
    fake.AddFault("/large/521100003", fake::Fault{.stall_ms = 10000});
    JobToken job;
    context.job = &job;
    AlbumOutcome outcome;
    std::thread worker([&] { outcome = Download("521", "6"); });
    AwaitRequest("/large/521100003");
    job.RequestStop();
    worker.join();
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(FileNames(AlbumFolder("旅行6")), (std::vector<std::string>{"(1)照片1.jpg", "(2)照片2.jpg"}));
    EXPECT_EQ(host.Log().find("---完成相册"), std::string::npos);
    EXPECT_TRUE(Recorded("521100002"));
    EXPECT_FALSE(Recorded("521100003"));

    // The next run picks up where this one stopped.
    fake.ClearFaults();
    fake.ClearRequests();
    host.options.record_store = true;
    JobToken fresh;
    context.job = &fresh;
    EXPECT_EQ(Download("521", "6").saved, 4);
    EXPECT_EQ(FileNames(AlbumFolder("旅行6")).size(), 6u);
}

TEST_F(PauseAndStopTest, WithEightInFlightPauseHoldsThemAllAndStopRemovesEveryTemporaryFile) {
    Serve({Album("522", 6)});
    for (int i = 1; i <= 6; ++i) {
        fake.AddFault("/large/522" + std::to_string(100000 + i), fake::Fault{.stall_ms = 1500});
    }
    RequestBatch batch(8);
    context.pictures = &batch;
    JobToken job;
    context.job = &job;
    AlbumOutcome outcome;
    std::thread worker([&] { outcome = Download("522", "6"); });
    for (int i = 1; i <= 6; ++i) AwaitRequest("/large/522" + std::to_string(100000 + i));  // all six at once
    job.Pause();
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));  // the stalls are over, but nothing moves
    EXPECT_EQ(TempFiles().size(), 6u);
    EXPECT_EQ(FileNames(AlbumFolder("旅行6")).size(), 6u);
    job.RequestStop();
    worker.join();
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(FileNames(AlbumFolder("旅行6")), std::vector<std::string>{});
}

// A picture that answers late holds only its own slot: the pictures after it,
// on the pages after it too, are fetched meanwhile and wait their turn in
// their temporary files, as many as two slots may keep; a stop then leaves
// the pictures before it and nothing else.
TEST_F(PauseAndStopTest, ALatePictureHoldsOnlyItsOwnSlot) {
    fake::Album album = Album("523", 100);
    album.page_size = 20;
    album.photos[2].delay_ms = 60'000;
    Serve({album});
    RequestBatch batch(2);
    context.pictures = &batch;
    JobToken job;
    context.job = &job;
    AlbumOutcome outcome;
    std::thread worker([&] { outcome = Download("523", "100"); });
    AwaitRequest("/large/523100003");
    const int kept = 2 * 32;  // pictures two slots may keep started and not taken
    for (int i = 0; i < 3000 && fake.CountRequests("/large/") < 2 + kept; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // and no more
    EXPECT_EQ(fake.CountRequests("/large/"), 2 + kept);
    EXPECT_EQ(fake.CountRequests("/large/523100067"), 0);
    EXPECT_EQ(TempFiles("旅行100").size(), static_cast<std::size_t>(kept));
    job.RequestStop();
    worker.join();
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(FileNames(AlbumFolder("旅行100")), (std::vector<std::string>{"(1)照片1.jpg", "(2)照片2.jpg"}));
    EXPECT_TRUE(Recorded("523100002"));
    EXPECT_FALSE(Recorded("523100004"));
}

// The same album, faults and all, one picture at a time and eight at a time:
// the same files, the same log, the same record store.
TEST_F(AlbumDownloadTest, EightInFlightGiveExactlyWhatOneAtATimeGives) {
    fake::Album album = Album("540", 250);
    for (std::size_t i = 0; i < album.photos.size(); i += 7) album.photos[i].caption = "同一句";
    album.photos[40].photo_id = album.photos[41].photo_id;  // one id twice
    album.photos[40].pic_name = "twice.jpg";
    Serve({album});
    host.options.window.on = true;
    host.options.window.end = BeijingTime(1400000000 - 5 * 3600);      // the newest five are skipped
    host.options.window.start = BeijingTime(1400000000 - 230 * 3600);  // the oldest twenty end the album
    host.options.record_store = true;

    struct Result {
        std::map<std::string, std::string> files;
        std::string log;
        std::vector<bool> recorded;
    };
    const auto run = [&](NameFormat format, int parallel) {
        fake.ClearFaults();
        fake.AddFault("/large/540100010", fake::Fault{.status = 404});
        fake.AddFault("/large/540100011", fake::Fault{.html_instead = true});
        fake.AddFault("/large/540100012", fake::Fault{.drop_half = true, .times = 1});  // the repeat works
        fake.AddFault("/large/540100013", fake::Fault{.drop_half = true});
        fake.AddFault("/large/540100020", fake::Fault{.stall_ms = 300});  // late: the others go on meanwhile
        const fs::path root = temp.path() / (std::to_string(static_cast<int>(format)) + "-" + std::to_string(parallel));
        test::MemoryObserver run_host;
        run_host.options.save_folder = (root / "saved").string();
        run_host.options.name_format = format;
        run_host.options.window.on = host.options.window.on;
        run_host.options.window.start = host.options.window.start;
        run_host.options.window.end = host.options.window.end;
        run_host.options.record_store = true;
        DownloadContext run_context = context;
        run_context.program_folder = (root / "program").string();
        fs::create_directories(RecordStoreFolder(run_context.program_folder));
        RecordStore::CreateStore(RecordStorePath(run_context.program_folder, "1001"));
        {
            RecordStore store;
            store.OpenStore(RecordStorePath(run_context.program_folder, "1001"));
            for (int i = 30; i <= 35; ++i) store.AppendPhotoId("540" + std::to_string(100000 + i));
        }
        run_host.options.parallel = parallel;
        AlbumDownload(Listed("540", "250"), user, run_host, run_host.Source(), run_context);
        Result result;
        for (const auto& entry : fs::recursive_directory_iterator(root / "saved")) {
            if (entry.is_regular_file()) result.files[fs::relative(entry.path(), root).string()] = ReadFile(entry.path());
        }
        result.log = run_host.Log();
        RecordStore store;
        store.OpenStore(RecordStorePath(run_context.program_folder, "1001"));
        for (const fake::Photo& photo : album.photos) result.recorded.push_back(store.ContainsPhotoId(photo.photo_id));
        return result;
    };
    for (const NameFormat format : {NameFormat::kNumberThenContent, NameFormat::kContentThenNumber, NameFormat::kContent,
                                    NameFormat::kContentThenDate, NameFormat::kDateThenContent}) {
        const Result one = run(format, 1);
        const Result eight = run(format, 8);
        // The newest five, the start and all past it, six recorded, three failed, one id twice.
        EXPECT_EQ(one.files.size(), 250u - 5 - 21 - 6 - 3 - 1) << static_cast<int>(format);
        EXPECT_TRUE(one.files == eight.files) << static_cast<int>(format);
        EXPECT_EQ(one.log, eight.log) << static_cast<int>(format);
        EXPECT_EQ(one.recorded, eight.recorded) << static_cast<int>(format);
    }
}

}  // namespace
}  // namespace wa
