#include "download/download_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "../fake_service.h"
#include "../util/temp_folder.h"
#include "download/record_store.h"
#include "memory_host.h"

namespace wa {
namespace {

namespace fs = std::filesystem;

TEST(EntryText, SplitsIntoAtMostThreeFields) {
    const AlbumEntry entry = SplitEntryText(EntryText({"35", "123@@3", "旅行"}));
    EXPECT_EQ(entry.count, "35");
    EXPECT_EQ(entry.id_text, "123@@3");
    EXPECT_EQ(entry.name, "旅行");
    EXPECT_EQ(SplitEntryText("35--@@--1@@3--@@--a--@@--b").name, "a");
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
        host.save_folder = (temp.path() / "saved").string();
        host.sound = "/nonexistent/done.mp3";
        context.program_folder = temp.path().string();
        context.referer = fake.BaseUrl() + "/";
        fs::create_directories(RecordStoreFolder(context.program_folder));
    }

    test::TempFolder temp;
    test::MemoryHost host;
    DownloadContext context;
};

TEST_F(DownloadRunTest, DownloadsTheTickedRowsInOrderAndEndsTheRun) {
    host.rows = {{true, "1", "相册一", "3", "1@@3"},
                 {false, "2", "没勾选", "3", "2@@3"},
                 {true, "3", "没数量", "", "3@@3"},
                 {true, "4", " \u3000 ", "3", "4@@3"}};
    DownloadJob job;
    job.Start(host, {"2002", "小红"}, context);
    const RunOutcome outcome = job.Wait();
    EXPECT_EQ(outcome.albums, 2);
    EXPECT_EQ(outcome.saved, 6);
    const std::string log = host.Log();
    EXPECT_TRUE(log.starts_with("未勾选了防止重复下载功能\r\n\r\n【未启用】 固定时间段内的下载\r\n\r\n"
                                "当前被选择相册编号:1、3、4、\r\n\r\n"));
    EXPECT_NE(log.find("准备下载相册《相册一》"), std::string::npos);
    EXPECT_NE(log.find("准备下载相册《未知相册_随机名称"), std::string::npos);
    EXPECT_TRUE(log.ends_with("-------全部下载完毕--------\r\n\r\n"));
    EXPECT_LT(log.find("相册一"), log.find("未知相册_随机名称"));
    EXPECT_EQ(host.Label(StatusLabel::kAlbumsSelected), "总共需下载[2]个相册");
    EXPECT_EQ(host.Label(StatusLabel::kCurrentAlbum), "下载到第[2]个相册");
    EXPECT_EQ(host.Label(StatusLabel::kPhotoCounter), "下载完成");
    EXPECT_EQ(host.Label(StatusLabel::kProgressPercent), "100%");
    EXPECT_EQ(host.States(), (std::vector<RunState>{RunState::kRunning, RunState::kIdle}));
    EXPECT_EQ(host.Sounds(), (std::vector<std::string>{"/nonexistent/done.mp3"}));
    EXPECT_EQ(host.Messages(), (std::vector<std::string>{"全部下载完毕"}));
    EXPECT_TRUE(fs::exists(temp.path() / "saved" / "小红" / "相册一3" / "(1)图.jpg"));
}

TEST_F(DownloadRunTest, NothingTickedStillEndsTheRun) {
    host.rows = {{false, "1", "相册一", "3", "1@@3"}};
    host.record_store = true;
    host.time_window = true;
    DownloadJob job;
    job.Start(host, {"2002", "小红"}, context);
    job.Wait();
    EXPECT_EQ(host.Log(),
              "已经勾选了防止重复下载功能,已经下载的不会再次下载\r\n\r\n【启用了】 固定时间段内的下载\r\n\r\n"
              "当前未选择任何相册\r\n\r\n-------全部下载完毕--------\r\n\r\n");
    EXPECT_EQ(host.Label(StatusLabel::kAlbumsSelected), "总共需下载[0]个相册");
    EXPECT_EQ(host.Messages().size(), 1u);
    EXPECT_TRUE(fs::exists(RecordStorePath(context.program_folder, "2002")));  // created at the start
}

TEST_F(DownloadRunTest, StopEndsWithoutTheEndOfRunAndANewRunWaitsForIt) {
    host.rows = {{true, "1", "相册一", "3", "1@@3"}};
    fake.AddFault("/large/1001", fake::Fault{.stall_ms = 10000});
    DownloadJob job;
    job.Start(host, {"2002", "小红"}, context);
    for (int i = 0; i < 500 && fake.CountRequests("/large/1001") == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    job.Pause();
    job.Stop();  // stop while paused
    fake.ClearFaults();
    test::MemoryHost second;
    second.rows = host.rows;
    second.save_folder = host.save_folder;
    job.Start(second, {"2002", "小红"}, context);
    const RunOutcome outcome = job.Wait();
    EXPECT_EQ(outcome.saved, 3);
    EXPECT_EQ(host.Messages().size(), 0u);
    EXPECT_EQ(host.Log().find("全部下载完毕"), std::string::npos);
    EXPECT_EQ(second.Messages().size(), 1u);
}

}  // namespace
}  // namespace wa
