// A run the user can trust: every photo's end counted exactly, failures said
// with their reasons and kept, a retry that asks again for them alone, and a
// network that goes away for a while costing nothing.
#include <gtest/gtest.h>

#include <thread>

#include "album_download_fixture.h"
#include "doors/registry.h"
#include "download/download_run.h"
#include "net/curl_transfer.h"

namespace wa {
namespace {

namespace fs = std::filesystem;
using test::FileNames;

class RunOutcomeTest : public test::AlbumDownloadTest {
protected:
    RunOutcome Run(RunRequest request) {
        DownloadJob job;
        job.Start(host, host.Source(), std::move(request), context);
        return job.Wait();
    }
    RunOutcome RunAlbums(const std::vector<AlbumRef>& albums) {
        RunRequest request{user, {}};
        for (std::size_t i = 0; i < albums.size(); ++i) request.albums.push_back({static_cast<int>(i + 1), albums[i]});
        return Run(request);
    }
    RunOutcome Retry() { return Run({user, {}, true}); }
    std::vector<RecordStore::FailedAlbum> Failures() {
        RecordStore store;
        return store.OpenStore(StorePath()) ? store.Failures() : std::vector<RecordStore::FailedAlbum>{};
    }
};

TEST_F(RunOutcomeTest, FailuresAreSaidCountedAndKeptAndARetryAsksForThemAlone) {
    Serve({Album("701", 250)});
    fake.AddFault("page=2&", fake::Fault{.fail_first = 1000});
    fake.AddFault("/large/701100005", fake::Fault{.status = 404});
    fake.AddFault("/large/701100007", fake::Fault{.status = 502});
    host.options.record_store = true;
    host.options.new_only = true;
    const RunOutcome first = RunAlbums({Listed("701", "250")});
    EXPECT_EQ(first.saved, 148);
    EXPECT_EQ(first.failed, 2);
    EXPECT_EQ(first.failed_pages, 1);
    EXPECT_EQ(host.Counts().saved, 148);  // the figures every front end shows are the run's own
    EXPECT_EQ(CountsText(first), "保存148张，失败2张，1页照片列表获取失败");
    EXPECT_NE(host.Log().find("-------下载结束，但有2张图片、1页照片列表没有获取--------"), std::string::npos);
    EXPECT_NE(host.Log().find("/large/701100007.jpg（127.0.0.1:" + std::to_string(fake.port()) + " 服务器错误（HTTP 502））"),
              std::string::npos);
    const auto kept = Failures();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].album.key, "701@@3");
    ASSERT_EQ(kept[0].items.size(), 3u);
    EXPECT_EQ(kept[0].items[0].sequence, 5);
    EXPECT_EQ(kept[0].items[1].sequence, 7);
    EXPECT_EQ(kept[0].items[2].pages.number, 2);
    EXPECT_EQ(kept[0].items[2].pages.numbered, 100);

    // The service mends: the retry asks for the two pictures and the one
    // page (and that page's pictures), nothing else, and names them as the
    // run meant to.
    fake.ClearFaults();
    fake.ClearRequests();
    const RunOutcome retried = Retry();
    EXPECT_EQ(retried.saved, 102);
    EXPECT_EQ(retried.Failures(), 0);
    EXPECT_EQ(fake.CountRequests("/photos/get_all"), 1);
    EXPECT_EQ(fake.CountRequests("page=2&"), 1);
    EXPECT_EQ(fake.CountRequests("/large/"), 102);
    EXPECT_EQ(fake.CountRequests("/albums/get_all"), 0);
    const fs::path folder = AlbumFolder("旅行250");
    EXPECT_TRUE(fs::exists(folder / "(5)照片5.jpg"));
    EXPECT_TRUE(fs::exists(folder / "(101)照片101.jpg"));
    EXPECT_EQ(FileNames(folder).size(), 250u);
    EXPECT_TRUE(Failures().empty());

    // Nothing failed is left: the album is whole as of the first run, so a
    // new-only run reads its first page alone; a plain re-run writes nothing.
    fake.ClearRequests();
    EXPECT_EQ(RunAlbums({Listed("701", "250")}).saved, 0);
    EXPECT_EQ(fake.CountRequests("/photos/get_all"), 1);
    EXPECT_EQ(fake.CountRequests("/large/"), 0);
    host.options.record_store = host.options.new_only = false;
    const RunOutcome again = RunAlbums({Listed("701", "250")});
    EXPECT_EQ(again.saved, 0);
    EXPECT_EQ(again.already_there, 250);
    EXPECT_EQ(Retry().albums, 0);  // nothing to retry
}

TEST_F(RunOutcomeTest, AnAlbumTabPageThatNeverCameIsReadOnFromItsCursorAlone) {
    fake::Album album = Album("702", 60);
    Serve({album});
    fake.AddFault("sinceid=4954_20", fake::Fault{.fail_first = 1000});
    AlbumRef wall = *AlbumOfKey("page:wall");
    wall.name = "全部图片";
    const RunOutcome first = RunAlbums({wall});
    EXPECT_EQ(first.saved, 20);
    EXPECT_EQ(first.failed_pages, 1);
    fake.ClearFaults();
    fake.ClearRequests();
    const RunOutcome retried = Retry();
    EXPECT_EQ(retried.saved, 40);
    EXPECT_EQ(fake.CountRequests("getImageWall"), 2);  // the page that failed, and the one after it
    EXPECT_EQ(fake.CountRequests("sinceid=0&"), 0);    // never the first page again
    EXPECT_TRUE(fs::exists(AlbumFolder("全部图片") / "(21)照片21.jpg"));
    EXPECT_TRUE(Failures().empty());
}

// Everything through a proxy that goes away and comes back: the run waits
// for it, counting down, and loses nothing; gone for good, the run ends,
// keeping what is left, and a retry gets it.
TEST_F(RunOutcomeTest, ALostNetworkIsAPauseAndWhatItKeepsFromTheRunARetryGets) {
    fake::Album album = Album("703", 40);
    Serve({album});
    auto proxy = std::make_unique<fake::FakeWeibo>();  // serves the same user, asked as a proxy
    fake::User same;
    same.uid = "1001";
    same.title = "小明的微博";
    same.albums = {album};
    proxy->AddUser(same);
    proxy->SetLatency(30);
    ASSERT_TRUE(proxy->Start());
    const int port = proxy->port();
    SetProxySetting("http://127.0.0.1:" + std::to_string(port));
    context.page_wait = [](int ms) {  // a second of the waits lasts 20 ms here
        std::this_thread::sleep_for(std::chrono::milliseconds(ms / 50));
        return true;
    };
    host.options.parallel = 4;
    std::thread cut([&] {
        while (proxy->CountRequests("/large/") < 10) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        proxy->Stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ASSERT_TRUE(proxy->Start(port));
    });
    const RunOutcome through = RunAlbums({Listed("703", "40")});
    cut.join();
    EXPECT_EQ(through.saved, 40);
    EXPECT_EQ(through.Failures(), 0);
    EXPECT_NE(host.Log().find("网络连接中断（无法连接到代理 127.0.0.1:" + std::to_string(port)), std::string::npos)
        << host.Log();
    EXPECT_NE(host.Log().find("网络已恢复，继续下载"), std::string::npos);

    // Gone for good mid-album: the run ends saying why, and keeps the rest.
    host.options.save_folder = (temp.path() / "second").string();
    proxy->ClearRequests();
    std::thread gone([&] {
        while (proxy->CountRequests("/large/") < 10) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        proxy->Stop();
    });
    const RunOutcome lost = RunAlbums({Listed("703", "40"), Listed("704", "5")});
    gone.join();
    EXPECT_FALSE(lost.network_lost.empty());
    EXPECT_LT(lost.saved, 40);
    EXPECT_NE(host.Log().find("-------下载结束：网络连接中断（"), std::string::npos);
    const auto kept = Failures();
    ASSERT_EQ(kept.size(), 2u);  // the album cut short, and the one never begun
    EXPECT_EQ(kept[1].album.key, "704@@3");
    ASSERT_TRUE(proxy->Start(port));
    const RunOutcome retried = Retry();
    EXPECT_EQ(retried.saved + lost.saved, 40);
    EXPECT_EQ(FileNames(temp.path() / "second" / "小明的微博" / "旅行40").size(), 40u);
    SetProxySetting("");
}

}  // namespace
}  // namespace wa
