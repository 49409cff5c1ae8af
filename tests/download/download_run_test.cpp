// A run as its observer sees it: the chosen albums in order, every event in
// its place, the options read when the run reads them, and a stop.
#include "download/download_run.h"
#include "weibo/pacer.h"
#include "weibo/service_request.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "../fake_service.h"
#include "../util/temp_folder.h"
#include "download/record_store.h"
#include "memory_observer.h"

namespace wa {
namespace {

namespace fs = std::filesystem;

AlbumRef Listed(const std::string& id, const std::string& name, std::optional<long long> count = 3) {
    AlbumRef album;
    album.door = "photo";
    album.id = id;
    album.type = "3";
    album.count = count;
    album.name = name;
    album.key = id + "@@3";
    return album;
}

class DownloadRunTest : public test::FakeServiceTest {
protected:
    void SetUp() override {
        FakeServiceTest::SetUp();
        fake::User served;
        served.uid = "2002";
        served.title = "小红";
        for (const char* id : {"1", "3", "4"}) {
            fake::Album album;
            album.album_id = id;
            for (int i = 1; i <= 3; ++i) {
                album.photos.push_back({.photo_id = std::string(id) + "00" + std::to_string(i),
                                        .timestamp = 1400000000 - i, .caption = "图"});
            }
            served.albums.push_back(album);
        }
        fake.AddUser(served);
        host.options.save_folder = (temp.path() / "saved").string();
        context.program_folder = temp.path().string();
        context.referer = fake.BaseUrl() + "/";
        fs::create_directories(RecordStoreFolder(context.program_folder));
    }
    RunRequest Request(std::vector<ChosenAlbum> albums) { return {{"2002", "小红"}, std::move(albums)}; }

    test::TempFolder temp;
    test::MemoryObserver host;
    DownloadContext context;
};

TEST_F(DownloadRunTest, DownloadsTheChosenAlbumsInOrderAndEndsTheRun) {
    DownloadJob job;
    job.Start(host, host.Source(),
              Request({{1, Listed("1", "相册一")}, {3, Listed("3", "没数量", std::nullopt)}, {4, Listed("4", " \u3000 ")}}),
              context);
    const RunOutcome outcome = job.Wait();
    EXPECT_EQ(outcome.albums, 3);
    EXPECT_EQ(outcome.saved, 9);
    const std::string log = host.Log();
    EXPECT_TRUE(log.starts_with("未勾选了防止重复下载功能\r\n\r\n【未启用】 固定时间段内的下载\r\n\r\n"
                                "当前被选择相册编号:1、3、4、\r\n\r\n"));
    EXPECT_NE(log.find("准备下载相册《相册一》"), std::string::npos);
    EXPECT_NE(log.find("准备下载相册《未知相册_随机名称"), std::string::npos);
    EXPECT_TRUE(log.ends_with("-------全部下载完毕--------\r\n\r\n"));
    EXPECT_LT(log.find("相册一"), log.find("未知相册_随机名称"));
    ASSERT_EQ(host.Starts().size(), 1u);
    EXPECT_EQ(host.Starts()[0].albums, 3);
    EXPECT_EQ(host.Starts()[0].numbers, (std::vector<int>{1, 3, 4}));
    ASSERT_EQ(host.Albums().size(), 3u);
    EXPECT_EQ(host.Albums()[2].index, 3);
    ASSERT_EQ(host.Finished().size(), 1u);
    EXPECT_FALSE(host.Finished()[0].stopped);
    EXPECT_TRUE(fs::exists(temp.path() / "saved" / "小红" / "相册一3" / "(1)图.jpg"));
    EXPECT_TRUE(fs::exists(temp.path() / "saved" / "小红" / "没数量" / "(1)图.jpg"));
}

// The run tells its observer when the service's limit slows the pace, in
// the words the window shows, and nothing more once it has ended.
TEST_F(DownloadRunTest, ThePaceSlowedByALimitIsToldWhileTheRunLasts) {
    fake.SetRateLimit({.requests = 1, .window_ms = 500, .status = 432});
    Pacer pacer(PaceRules{}.Scaled(1.0 / 200));  // a limit is waited out for 1.5 s
    context.pacer = &pacer;
    DownloadJob job;
    job.Start(host, host.Source(), Request({{1, Listed("1", "相册一")}, {3, Listed("3", "相册三")}}), context);
    job.Wait();
    const std::vector<PaceChange> told = host.Paces();
    ASSERT_FALSE(told.empty());
    EXPECT_TRUE(told.front().slowed);
    EXPECT_TRUE(told.front().text.starts_with(kSlowedLine)) << told.front().text;
    pacer.Forget();
    EXPECT_EQ(host.Paces().size(), told.size());
}

TEST_F(DownloadRunTest, AnAlbumOfADoorThereIsNoneOfFailsLoudly) {
    AlbumRef forgotten = Listed("1", "相册一");
    forgotten.door = "mobile";  // listed by a door this build does not have
    DownloadJob job;
    job.Start(host, host.Source(), Request({{1, forgotten}}), context);
    const RunOutcome outcome = job.Wait();
    EXPECT_EQ(outcome.failed_pages, 1);
    EXPECT_NE(host.Log().find("相册《相册一》来自不认识的来源“mobile”，无法下载"), std::string::npos);
    EXPECT_NE(host.Log().find("-------下载结束，但有1页照片列表没有获取--------"), std::string::npos);
}

TEST_F(DownloadRunTest, NothingChosenStillEndsTheRun) {
    host.options.record_store = true;
    host.options.window.on = true;
    DownloadJob job;
    job.Start(host, host.Source(), Request({}), context);
    job.Wait();
    EXPECT_EQ(host.Log(),
              "已经勾选了防止重复下载功能,已经下载的不会再次下载\r\n\r\n【启用了】 固定时间段内的下载\r\n\r\n"
              "当前未选择任何相册\r\n\r\n-------全部下载完毕--------\r\n\r\n");
    EXPECT_EQ(host.Starts()[0].albums, 0);
    EXPECT_EQ(host.Finished().size(), 1u);
    EXPECT_TRUE(fs::exists(RecordStorePath(context.program_folder, "2002")));  // created at the start
}

// Every event of a run with a failed picture, in the order a window shows them.
class EventLog : public test::MemoryObserver {
public:
    std::vector<std::string> events;
    std::atomic<bool> first_saved = false;
    void RunStarted(const RunStart& start) override { events.push_back("run " + std::to_string(start.albums)); }
    void AlbumStarted(const AlbumStart& album) override { events.push_back("album " + album.name); }
    void AlbumProgressed(const AlbumProgress& progress) override {
        events.push_back("progress " + std::to_string(progress.percent) + " " + progress.Counter());
    }
    void PhotoDone(const PhotoEnd& end) override {
        const char* names[] = {"saved", "already there", "recorded", "outside window", "failed",
                               "video saved", "video already there", "video failed"};
        events.push_back(names[static_cast<int>(end.result)]);
        first_saved = true;
    }
    void Logged(const LogLine& line) override { events.push_back("log " + line.text); }
    void AlbumFinished(const AlbumOutcome& outcome) override {
        events.push_back("album done " + std::to_string(outcome.saved) + "/" + std::to_string(outcome.failed));
    }
    void RunFinished(const RunOutcome& outcome) override { events.push_back("run done " + std::to_string(outcome.failed)); }
};

TEST_F(DownloadRunTest, EventsComeInTheOrderOfTheRunAndOptionsAreReadWhenTheRunReadsThem) {
    fake.AddFault("/large/1002", fake::Fault{.status = 404});
    EventLog events;
    events.options = host.options;
    events.options.parallel = 1;
    DownloadJob job;
    // The naming changes once the first picture is saved: the next picture takes it.
    job.Start(events,
              [&] {
                  DownloadOptions options = events.options;
                  if (events.first_saved) options.name_format = NameFormat::kContentThenNumber;
                  return options;
              },
              Request({{1, Listed("1", "相册一")}}), context);
    job.Wait();
    const std::vector<std::string> expected = {
        "log 未勾选了防止重复下载功能", "log 【未启用】 固定时间段内的下载", "run 1", "log 当前被选择相册编号:1、",
        "album 相册一", "log 准备下载相册《相册一》",
        "progress 33 3/1", "saved", "progress 66 3/2",
        "log 图片下载失败[404]：" + fake.BaseUrl() + "/large/1002.jpg（127.0.0.1:" + std::to_string(fake.port()) +
            " 回答（HTTP 404））",
        "failed", "progress 100 3/3", "saved", "log ---完成相册《相册一3》下载", "album done 2/1",
        "log -------下载结束，但有1张图片没有获取--------", "run done 1"};
    EXPECT_EQ(events.events, expected);
    const fs::path album = temp.path() / "saved" / "小红" / "相册一3";
    EXPECT_TRUE(fs::exists(album / "(1)图.jpg"));
    EXPECT_TRUE(fs::exists(album / "图(3).jpg"));
}

TEST_F(DownloadRunTest, StopEndsWithoutTheEndOfRunAndANewRunWaitsForIt) {
    fake.AddFault("/large/1001", fake::Fault{.stall_ms = 10000});
    DownloadJob job;
    job.Start(host, host.Source(), Request({{1, Listed("1", "相册一")}}), context);
    for (int i = 0; i < 500 && fake.CountRequests("/large/1001") == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    job.Pause();
    job.Stop();  // stop while paused
    fake.ClearFaults();
    test::MemoryObserver second;
    second.options.save_folder = host.options.save_folder;
    job.Start(second, second.Source(), Request({{1, Listed("1", "相册一")}}), context);
    const RunOutcome outcome = job.Wait();
    EXPECT_EQ(outcome.saved, 3);
    ASSERT_EQ(host.Finished().size(), 1u);
    EXPECT_TRUE(host.Finished()[0].stopped);
    EXPECT_EQ(host.Log().find("全部下载完毕"), std::string::npos);
    ASSERT_EQ(second.Finished().size(), 1u);
    EXPECT_FALSE(second.Finished()[0].stopped);
}

}  // namespace
}  // namespace wa
