// Keeping an album in step: reading only its new photos after a complete
// run, and files that carry their upload time.
#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <ctime>
#include <thread>

#include "album_download_fixture.h"
#include "util/job_token.h"

namespace wa {
namespace {

namespace fs = std::filesystem;
using test::FileNames;

class AlbumSyncTest : public test::AlbumDownloadTest {
protected:
    fake::Album Grown(int count) {
        fake::Album album = Album("701", count);
        // Newest first, one an hour before 1400000000: the album grows at the top.
        for (fake::Photo& photo : album.photos) photo.photo_id = "7" + photo.photo_id;
        return album;
    }
};

TEST_F(AlbumSyncTest, NewOnlyReadsDownToTheLastCompleteRunAndReadsWholeAfterAnInterruptedOne) {
    const fake::Album album = Grown(250);
    Serve({album});
    host.options.new_only = true;
    const auto pages_asked = [this](const std::string& count) {
        fake.ClearRequests();
        Download("701", count);
        return fake.CountRequests("/photos/get_all");
    };
    EXPECT_EQ(pages_asked("250"), 3);  // no complete run yet: the whole album
    EXPECT_NE(host.Log().find("只下载新照片：本相册没有完整下载过的记录，全部读取"), std::string::npos);
    EXPECT_EQ(pages_asked("250"), 1);  // unchanged: the first page holds the newest photo of that run
    EXPECT_NE(host.Log().find("只下载新照片：读到上次完整下载时最新的照片为止，其后还有2页照片列表没有请求"), std::string::npos);

    // Four new photos at the top: they are saved, nothing older is asked for.
    fake::Album grown = album;
    for (int i = 1; i <= 4; ++i) {
        grown.photos.push_back({.photo_id = "8" + std::to_string(i), .timestamp = 1400000000 + i * 60, .caption = "新"});
    }
    fake::User served;
    served.uid = "1001";
    served.title = "小明的微博";
    served.albums = {grown};
    fake.ReplaceUser(served);
    fake.ClearRequests();
    EXPECT_EQ(Download("701", "254").saved, 4);
    EXPECT_EQ(fake.CountRequests("/photos/get_all"), 1);

    // A stopped run means the next one reads everything again.
    host.options.new_only = false;
    JobToken job;
    context.job = &job;
    fake.AddFault("/large/7701100010", fake::Fault{.stall_ms = 5000});
    std::thread stopper([&] {
        for (int i = 0; i < 500 && fake.CountRequests("/large/7701100010") == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        job.RequestStop();
    });
    EXPECT_TRUE(Download("701", "254").stopped);
    stopper.join();
    context.job = nullptr;
    fake.ClearFaults();
    host.options.new_only = true;
    EXPECT_EQ(pages_asked("254"), 3);
}

TEST_F(AlbumSyncTest, FilesCarryTheirUploadTimeUnlessTheyHeldTheSamePictureBefore) {
    Serve({Grown(3)});
    Download("701", "3");
    struct stat info {};
    ASSERT_EQ(::stat((AlbumFolder("旅行3") / "(1)照片1.jpg").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, 1400000000 - 3600);

    // A picture already there keeps its file as it was; a new one gets the download time.
    const struct timespec old_times[2] = {{1000, 0}, {1000, 0}};
    ::utimensat(AT_FDCWD, (AlbumFolder("旅行3") / "(1)照片1.jpg").c_str(), old_times, 0);
    fs::remove(AlbumFolder("旅行3") / "(2)照片2.jpg");
    host.options.upload_time_as_file_time = false;
    const std::time_t before = std::time(nullptr);
    Download("701", "3");
    ASSERT_EQ(::stat((AlbumFolder("旅行3") / "(1)照片1.jpg").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, 1000);
    ASSERT_EQ(::stat((AlbumFolder("旅行3") / "(2)照片2.jpg").c_str(), &info), 0);
    EXPECT_GE(info.st_mtime, before);
    EXPECT_EQ(FileNames(AlbumFolder("旅行3")).size(), 3u);
}

}  // namespace
}  // namespace wa
