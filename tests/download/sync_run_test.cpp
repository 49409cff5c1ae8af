// Syncing a list of users against the fake service: every kept album the
// first time, only what is new after, a user that cannot be synced said and
// passed, a stop in the middle.
#include "download/sync_run.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <thread>

#include "../fake_service.h"
#include "../util/temp_folder.h"
#include "download/record_store.h"
#include "memory_observer.h"
#include "util/job_token.h"
#include "weibo/pacer.h"

namespace wa {
namespace {

namespace fs = std::filesystem;

class SyncMemory : public test::MemoryObserverOf<SyncObserver> {
public:
    void UserStarted(const SyncUserStart& start) override {
        std::lock_guard lock(mutex_);
        started.push_back(start.target);
    }
    void UserFinished(const SyncUserOutcome& outcome) override {
        std::lock_guard lock(mutex_);
        users.push_back(outcome);
    }
    void SyncFinished(const SyncOutcome& outcome) override {
        std::lock_guard lock(mutex_);
        finished = outcome;
    }

    std::mutex mutex_;
    std::vector<std::string> started;
    std::vector<SyncUserOutcome> users;
    std::optional<SyncOutcome> finished;
};

class SyncRunTest : public test::FakeServiceTest {
protected:
    void SetUp() override {
        FakeServiceTest::SetUp();
        fake.AddUser(fake::SampleUser("2002", 2, 5));
        fake::User second = fake::SampleUser("3003", 2, 4);
        second.title = "小蓝的微博";
        fake.AddUser(second);
        memory.options.save_folder = (temp.path() / "saved").string();
        context.program_folder = temp.path().string();
        context.referer = fake.BaseUrl() + "/";
        context.page_wait = [](int) { return true; };
    }
    SyncOutcome Sync(const std::vector<SyncUser>& users) {
        memory.users.clear();
        return SyncUsers(memory, [this] { return memory.options; }, users, context);
    }
    std::optional<RecordStore::SyncMark> LastSync(const std::string& uid) {
        RecordStore store;
        if (!store.OpenStore(RecordStorePath(context.program_folder, uid))) return std::nullopt;
        return store.LastSync();
    }

    test::TempFolder temp;
    SyncMemory memory;
    DownloadContext context;
};

TEST_F(SyncRunTest, EveryKeptAlbumTheFirstTimeThenOnlyWhatIsNewFromOnePageEach) {
    const std::vector<SyncUser> users = {{"2002", {}}, {fake.BaseUrl() + "/u/3003", {"3550000001@@3"}}};
    const std::time_t before = std::time(nullptr);
    SyncOutcome first = Sync(users);
    EXPECT_EQ(first.synced, 2);
    EXPECT_EQ(first.failed, 0);
    EXPECT_EQ(first.photos.saved, 10 + 4);
    EXPECT_EQ(memory.started, (std::vector<std::string>{"2002", fake.BaseUrl() + "/u/3003"}));
    EXPECT_TRUE(fs::is_directory(temp.path() / "saved" / "小蓝的微博" / "头像相册4"));
    EXPECT_FALSE(fs::exists(temp.path() / "saved" / "小蓝的微博" / "微博配图4"));  // not kept in sync
    const auto mark = LastSync("2002");
    ASSERT_TRUE(mark);
    EXPECT_GE(mark->at, before);
    EXPECT_EQ(mark->saved, 10);
    EXPECT_EQ(mark->title, "演示用户的微博");

    // Two photos posted since: they alone are saved, each album asked for its first page only.
    ASSERT_TRUE(fake.AddNewPhotos("2002", 1, 2));
    fake.ClearRequests();
    const SyncOutcome second = Sync(users);
    EXPECT_EQ(second.photos.saved, 2);
    ASSERT_EQ(second.per_user.size(), 2u);
    EXPECT_EQ(second.per_user[0].run.saved, 2);
    EXPECT_EQ(second.per_user[1].run.saved, 0);
    EXPECT_EQ(fake.CountRequests("/photos/get_all"), 3);
    EXPECT_EQ(fake.CountRequests("page=2"), 0);
    EXPECT_EQ(LastSync("2002")->saved, 2);
    EXPECT_EQ(LastSync("3003")->saved, 0);
    EXPECT_NE(memory.Log().find("同步完毕：2个用户，新照片2张"), std::string::npos);
}

TEST_F(SyncRunTest, AUserThatCannotBeSyncedIsSaidAndTheNextGoesOnUnlessALoginIsNeeded) {
    const SyncOutcome outcome = Sync({{"4242", {}}, {"2002", {"no-such-album"}}, {"3003", {"3550000000@@3"}}});
    ASSERT_EQ(outcome.per_user.size(), 3u);
    EXPECT_EQ(outcome.per_user[0].failure, kUnknownUserLine);
    EXPECT_EQ(outcome.per_user[1].failure, "要同步的相册都已不在相册列表中");
    EXPECT_TRUE(outcome.per_user[2].failure.empty());
    EXPECT_EQ(outcome.failed, 2);
    EXPECT_EQ(outcome.synced, 1);
    EXPECT_NE(memory.Log().find("相册no-such-album已不在相册列表中，不再同步"), std::string::npos);
    EXPECT_FALSE(LastSync("2002") && LastSync("2002")->at > 0);

    // Logged out, every user would fail alike: the sync ends at the first.
    fake.SetRequireLogin(true);
    const SyncOutcome walled = Sync({{"2002", {}}, {"3003", {}}});
    EXPECT_TRUE(walled.login_needed);
    ASSERT_EQ(walled.per_user.size(), 1u);
    EXPECT_EQ(walled.per_user[0].failure, kLoginNeededLine);
}

// A block longer than a request may wait: the limited user ends with what
// it could not get kept for the next sync, the next user is not asked while
// the pace rests, and the sync ends within the bound, not hours later.
TEST_F(SyncRunTest, ALimitLongerThanTheBoundEndsTheUserAndTheSyncGoesOn) {
    fake.SetRateLimit({.requests = 1, .window_ms = 600'000, .status = 432, .block_ms = 600'000});
    Pacer pacer(PaceRules{}.Scaled(1.0 / 200));  // one request waits 4.5 s at most
    context.pacer = &pacer;
    const auto start = std::chrono::steady_clock::now();
    const SyncOutcome outcome = Sync({{"2002", {}}, {"3003", {}}});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    ASSERT_EQ(outcome.per_user.size(), 2u);
    EXPECT_FALSE(outcome.stopped);
    // The first synced what it could; the page it could not get is kept.
    EXPECT_GT(outcome.per_user[0].run.Failures(), 0);
    EXPECT_EQ(outcome.failed, 1);
    EXPECT_NE(memory.Log().find("请求过于频繁，已等待5秒，不再等待"), std::string::npos) << memory.Log();
    EXPECT_FALSE(outcome.per_user[1].failure.empty());
    EXPECT_LE(fake.LimitedAnswers(), 4);  // the block is not asked into while it rests
    RecordStore store;
    ASSERT_TRUE(store.OpenStore(RecordStorePath(context.program_folder, "2002")));
    EXPECT_FALSE(store.FailureKeys("3550000000@@3").empty() && store.FailureKeys("3550000001@@3").empty());
}

TEST_F(SyncRunTest, AStopInTheMiddleEndsTheSyncAndKeepsNoSyncTime) {
    fake.AddFault("/large/3600000000003", fake::Fault{.stall_ms = 20000});
    std::atomic<bool> reached = false;
    memory.on_progress = [&reached](const AlbumProgress& progress) {
        if (progress.position >= 3) reached = true;
    };
    DownloadJob job;
    job.StartSync(memory, [this] { return memory.options; }, {{"2002", {}}, {"3003", {}}}, context);
    for (int i = 0; i < 1000 && !reached; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(reached);
    job.Stop();
    const RunOutcome outcome = job.Wait();
    EXPECT_TRUE(outcome.stopped);
    ASSERT_TRUE(memory.finished);
    EXPECT_TRUE(memory.finished->stopped);
    EXPECT_EQ(memory.started.size(), 1u);  // the second user was never begun
    EXPECT_FALSE(LastSync("2002") && LastSync("2002")->at > 0);
}

// The timer's sync and the window's at once: the second leaves the user the
// first is syncing and says so; no photo is fetched or counted twice.
TEST_F(SyncRunTest, TwoSyncsAtOnceNeverTakeOneUserTwice) {
    fake.AddFault("/large/3600000000002", fake::Fault{.stall_ms = 3000});
    std::atomic<bool> reached = false;
    memory.on_progress = [&reached](const AlbumProgress&) { reached = true; };
    const std::vector<SyncUser> users = {{"2002", {}}, {"3003", {}}};
    DownloadJob first;
    first.StartSync(memory, [this] { return memory.options; }, users, context);
    for (int i = 0; i < 1000 && !reached; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(reached);

    SyncMemory other;
    const SyncOutcome second = SyncUsers(other, [this] { return memory.options; }, users, context);
    first.Wait();
    ASSERT_TRUE(memory.finished);
    const SyncOutcome& one = *memory.finished;
    ASSERT_EQ(second.per_user.size(), 2u);
    EXPECT_TRUE(second.per_user[0].busy);
    EXPECT_EQ(second.busy, 1);
    EXPECT_NE(other.Log().find("用户演示用户的微博正由另一个同步下载，本次跳过"), std::string::npos) << other.Log();
    EXPECT_NE(other.Log().find("同步完毕：1个用户，新照片8张，另一个同步正在同步的1个跳过"), std::string::npos)
        << other.Log();
    EXPECT_EQ(one.photos.saved + second.photos.saved, 10 + 8);
    EXPECT_EQ(one.per_user[0].run.saved, 10);
    EXPECT_EQ(fake.CountRequests("/large/"), 18);
    EXPECT_EQ(LastSync("2002")->saved, 10);
}

}  // namespace
}  // namespace wa
