#include "doors/photo_service.h"
#include "weibo/pacer.h"

#include "util/text.h"

#include <gtest/gtest.h>

#include <thread>

#include "../fake_service.h"
#include "util/job_token.h"
#include "weibo/service_request.h"

namespace wa {
namespace {

TEST(PhotoCountOf, DigitsThatACountCanHoldAndNothingElse) {
    EXPECT_EQ(PhotoCountOf("0"), 0);
    EXPECT_EQ(PhotoCountOf("250"), 250);
    EXPECT_EQ(PhotoCountOf("999999999999999999"), 999999999999999999LL);
    for (const char* text : {"", "null", "-5", "12a3", "1.5", "２５０", "1234567890123456789012345678901"}) {
        EXPECT_EQ(PhotoCountOf(text), std::nullopt) << text;
    }
    // Upload times: seconds, or milliseconds past ten digits.
    EXPECT_EQ(UploadSeconds("1400000000"), 1400000000);
    EXPECT_EQ(UploadSeconds("1400000000123"), 1400000000);
    EXPECT_EQ(UploadSeconds("null"), std::nullopt);
}

TEST(CountValue, CountTextConversion) {
    EXPECT_EQ(CountValue("  +250张"), 250);
    EXPECT_EQ(CountValue("\u3000250"), 250);
    EXPECT_EQ(CountValue("２５０"), 250);  // full-width digits
    EXPECT_EQ(CountValue("-5"), -5);
    EXPECT_EQ(CountValue("12a3"), 12);
}

TEST(SplitAlbumIdText, ExactlyTwoPiecesSplit) {
    EXPECT_EQ(SplitAlbumIdText("12345@@3").album_id, "12345");
    EXPECT_EQ(SplitAlbumIdText("12345@@3").type, "3");
    EXPECT_EQ(SplitAlbumIdText("12345").type, "");
    EXPECT_EQ(SplitAlbumIdText("1@@2@@3").album_id, "1@@2@@3");
    EXPECT_EQ(SplitAlbumIdText("12345@@").album_id, "12345@@");
    EXPECT_EQ(SplitAlbumIdText("12345@@").type, "");
    EXPECT_EQ(SplitAlbumIdText("@@3").album_id, "");
    EXPECT_EQ(SplitAlbumIdText("@@3").type, "3");
}

TEST(ReadPhotoPage, JsonTextFormsOfEveryMemberKind) {
    const auto records = *ReadPhotoPage(
        R"({"data":{"photo_list":[)"
        R"({"photo_id":123,"timestamp":"1400000000"},)"
        R"({"photo_id":"abc","timestamp":1400000000000,"pic_host":"http:\/\/ww1.sinaimg.cn",)"
        R"("pic_name":"a\\b.jpg","caption_render":"\u4e2d\"x\"\n\/end"},)"
        R"({"photo_id":null,"timestamp":1.5,"caption_render":"\ud83d\ude00\u0001"}]}})");
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].photo_id, "123");
    EXPECT_EQ(records[0].upload_seconds, 1400000000);
    EXPECT_FALSE(records[0].addressable);  // no host, no name: nothing to ask
    EXPECT_EQ(records[0].caption, "");    // what the answer does not say is left out
    EXPECT_EQ(records[1].upload_seconds, 1400000000);
    EXPECT_EQ(records[1].picture_url, "http://ww1.sinaimg.cn/large/ab.jpg");
    EXPECT_TRUE(records[1].addressable);
    EXPECT_EQ(records[1].caption, "中\"x\"\n/end");  // as written
    EXPECT_EQ(records[2].photo_id, "null");
    EXPECT_EQ(records[2].upload_seconds, std::nullopt);
    EXPECT_EQ(records[2].caption, "😀\x01");
}

TEST(ReadPhotoPage, OnlyAPhotoListIsAPage) {
    for (const char* text : {"{}", R"({"data":{}})", R"({"data":null})", R"({"data":{"photo_list":{}}})",
                             "<html>error</html>", R"({"data":{"photo_list":[{}]}} trailing)", ""}) {
        EXPECT_FALSE(ReadPhotoPage(text)) << text;
    }
    EXPECT_EQ(ReadPhotoPage(R"({"data":{"photo_list":[{}]}})")->size(), 1u);
    EXPECT_EQ(ReadPhotoPage(R"({"data":{"photo_list":[]}})")->size(), 0u);
    // No page is read for more photos than any page holds.
    std::string many = R"({"data":{"photo_list":[)";
    for (int i = 0; i < 1500; ++i) many += (i ? "," : "") + std::string(R"({"photo_id":")") + std::to_string(i) + R"("})";
    std::size_t left_out = 0;
    EXPECT_EQ(ReadPhotoPage(many + "]}}", &left_out)->size(), kMaxPhotosPerAnswer);
    EXPECT_EQ(left_out, 500u);
}

TEST(RandomFraction, AlwaysSeventeenCharactersWithoutTrailingZero) {
    for (int i = 0; i < 20000; ++i) {
        const std::string text = RandomFraction();
        ASSERT_EQ(text.size(), 17u) << text;
        ASSERT_TRUE(text.starts_with("0.")) << text;
        ASSERT_EQ(text.find_first_not_of("0123456789", 2), std::string::npos) << text;
        ASSERT_NE(text.back(), '0') << text;
    }
}

TEST(WaitOnJob, StopEndsTheWaitAtOnceAndPauseHoldsIt) {
    JobToken stopped;
    stopped.RequestStop();
    EXPECT_FALSE(WaitOnJob(std::chrono::seconds(10), &stopped));

    JobToken paused;
    paused.Pause();
    const auto start = std::chrono::steady_clock::now();
    std::thread resumer([&paused] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        paused.Resume();
    });
    EXPECT_TRUE(WaitOnJob(std::chrono::milliseconds(50), &paused));
    resumer.join();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
}

class FetchPhotoPageTest : public test::FakeServiceTest {
protected:
    void SetUp() override {
        FakeServiceTest::SetUp();
        fake::User user;
        user.uid = "1001";
        fake::Album album;
        album.album_id = "12345";
        for (int i = 0; i < 150; ++i) {
            album.photos.push_back({.photo_id = "p" + std::to_string(i), .timestamp = 1400000000 + i,
                                    .caption = "第" + std::to_string(i) + "张"});
        }
        user.albums.push_back(album);
        fake.AddUser(user);
    }

    // Records the waits instead of sleeping.
    AttemptWait RecordWaits() {
        return [this](int ms) {
            waits.push_back(ms);
            return true;
        };
    }
    std::vector<int> waits;
};

TEST_F(FetchPhotoPageTest, RequestsKeysInOrderAndReadsTheNewestFirst) {
    const PhotoPage page = FetchPhotoPage("1001", "12345", "3", 2, {}, RecordWaits());
    ASSERT_TRUE(page.fetched);
    ASSERT_EQ(page.photos.size(), 50u);
    EXPECT_EQ(page.photos[0].photo_id, "p49");
    EXPECT_EQ(page.photos[0].caption, "第49张");  // sent as \u escapes
    EXPECT_EQ(page.photos[0].upload_seconds, 1400000049);
    EXPECT_EQ(page.photos[0].picture_url, fake.BaseUrl() + "/large/p49.jpg");
    const std::string target = fake.Requests().back().target;
    EXPECT_TRUE(target.starts_with("/photos/get_all?uid=1001&album_id=12345&count=100&page=2&type=3&__rnd=0."))
        << target;
    EXPECT_EQ(target.size(), std::string("/photos/get_all?uid=1001&album_id=12345&count=100&page=2&type=3&__rnd=").size() + 17);
    EXPECT_TRUE(waits.empty());
}

TEST_F(FetchPhotoPageTest, TypeKeyIsSentEvenWhenEmpty) {
    FetchPhotoPage("1001", "12345", "", 1, {}, RecordWaits());
    EXPECT_NE(fake.Requests().back().target.find("&page=1&type=&__rnd="), std::string::npos);
}

TEST_F(FetchPhotoPageTest, EmptyAnswersAreRetriedWithTheSameAddress) {
    fake.AddFault("/photos/get_all", fake::Fault{.fail_first = 2});
    const PhotoPage page = FetchPhotoPage("1001", "12345", "3", 1, {}, RecordWaits());
    EXPECT_TRUE(page.fetched);
    EXPECT_EQ(page.photos.size(), 100u);
    EXPECT_EQ(page.attempts, 3);
    EXPECT_EQ(waits, (std::vector<int>{2000, 2000}));
    const auto requests = fake.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].target, requests[2].target);
}

TEST_F(FetchPhotoPageTest, TenEmptyAnswersReportAFailedPage) {
    fake.AddFault("/photos/get_all", fake::Fault{.fail_first = 100});
    const PhotoPage page = FetchPhotoPage("1001", "12345", "3", 1, {}, RecordWaits());
    EXPECT_FALSE(page.fetched);
    EXPECT_TRUE(page.photos.empty());
    EXPECT_EQ(waits.size(), 10u);
    EXPECT_EQ(fake.CountRequests("/photos/get_all"), 10);
}

TEST_F(FetchPhotoPageTest, AnswersThatAreNotAPhotoListAreRetriedThenFail) {
    const fake::Fault faults[] = {
        {.malformed_json = true},
        {.html_instead = true},
        {.status = 404},
        {.body = R"({"data":{"photo_list":[]}} trailing)"},
        {.body = R"({"data":null})"},
        {.body = R"({"data":{"photo_list":"none"}})"},
        {.redirect_to = "ftp://127.0.0.1/photos.json"},  // only http and https are spoken
    };
    for (const fake::Fault& fault : faults) {
        fake.ClearFaults();
        fake.ClearRequests();
        fake.AddFault("/photos/get_all", fault);
        waits.clear();
        const PhotoPage page = FetchPhotoPage("1001", "12345", "3", 1, {}, RecordWaits());
        EXPECT_FALSE(page.fetched);
        EXPECT_EQ(waits.size(), 10u);
        EXPECT_EQ(fake.CountRequests("/photos/get_all"), 10);
    }
}

TEST_F(FetchPhotoPageTest, PhotoServiceRequestsAreSpacedApart) {
    Pacer pacer(PaceRules{.least = std::chrono::milliseconds(200)});
    ServiceRequest request;
    request.pacer = &pacer;
    const auto start = std::chrono::steady_clock::now();
    for (int page = 1; page <= 3; ++page) FetchPhotoPage("1001", "12345", "3", page, request);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
}

TEST_F(FetchPhotoPageTest, StopDuringTheRetriesEndsTheFetch) {
    fake.AddFault("/photos/get_all", fake::Fault{.fail_first = 100});
    JobToken job;
    std::thread stopper([&job] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        job.RequestStop();
    });
    const auto start = std::chrono::steady_clock::now();
    const PhotoPage page = FetchPhotoPage("1001", "12345", "3", 1, {.job = &job});  // real two-second waits
    stopper.join();
    EXPECT_TRUE(page.stopped);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

}  // namespace
}  // namespace wa
