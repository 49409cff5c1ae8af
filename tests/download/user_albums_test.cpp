// One listing for both front ends: the user at a typed address, then the
// albums through the chosen door, and a door found closed remembered for a
// day beside the user's record.
#include "download/user_albums.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <limits>

#include "../fake_service.h"
#include "../util/temp_folder.h"
#include "doors/registry.h"
#include "download/record_store.h"

namespace wa {
namespace {

class UserAlbumsTest : public test::FakeServiceTest {
protected:
    void SetUp() override {
        FakeServiceTest::SetUp();
        fake.AddUser(fake::SampleUser("3003", 2, 5));
        request.log = [this](const std::string& line) { log += line + "\n"; };
    }
    UserAlbums List(const std::string& door = "") {
        log.clear();
        fake.ClearRequests();
        return FindUserAlbums("3003", door, request, {}, temp.path().string());
    }
    std::optional<std::int64_t> ClosedAt() {
        RecordStore store;
        store.OpenStore(RecordStorePath(temp.path().string(), "3003"));
        return store.DoorClosedAt("photo");
    }
    void SetClosedAt(std::int64_t at) {
        RecordStore store;
        store.OpenStore(RecordStorePath(temp.path().string(), "3003"));
        store.SetDoorClosed("photo", at);
    }

    test::TempFolder temp;
    ServiceRequest request;
    std::string log;
};

TEST_F(UserAlbumsTest, APhotoServiceFoundClosedIsGonePastForADayThenAskedAgain) {
    fake.AddFault("/albums/get_all", fake::Fault{.html_instead = true});  // no usable answer
    const std::int64_t before = std::time(nullptr);
    UserAlbums found = List();
    EXPECT_EQ(found.user.uid, "3003");
    EXPECT_EQ(found.listing.door, "page");
    EXPECT_EQ(found.listing.albums.front().key, "page:wall");
    ASSERT_TRUE(ClosedAt());
    EXPECT_GE(*ClosedAt(), before);

    // The same day: straight to the album tab, and said so.
    found = List();
    EXPECT_EQ(found.listing.door, "page");
    EXPECT_EQ(fake.CountRequests("/albums/get_all"), 0);
    EXPECT_NE(log.find("相册服务于"), std::string::npos) << log;
    EXPECT_NE(log.find("之前直接从相册页获取"), std::string::npos) << log;
    // The door the user chose still rules.
    EXPECT_EQ(List("photo").listing.door, "photo");
    EXPECT_EQ(fake.CountRequests("/albums/get_all"), 1);

    // A day later the photo service is asked again; open now, it is forgotten as closed.
    fake.ClearFaults();
    SetClosedAt(std::time(nullptr) - kClosedDoorRemembered - 60);
    found = List();
    EXPECT_EQ(found.listing.door, "photo");
    EXPECT_EQ(fake.CountRequests("/albums/get_all"), 1);
    EXPECT_FALSE(ClosedAt());
}

TEST_F(UserAlbumsTest, WithoutAUserTheListingSaysWhyAndAsksForNoAlbum) {
    const UserAlbums nobody = FindUserAlbums(fake.BaseUrl() + "/nobody", "", request);
    EXPECT_TRUE(nobody.user.uid.empty());
    EXPECT_EQ(nobody.listing.problem, ListingProblem::kUnknownUser);
    EXPECT_EQ(fake.CountRequests("/albums/get_all") + fake.CountRequests("/ajax/profile/getImageWall"), 0);
}

// A closed-door time to come, or out of any range, is no memory: the photo
// service is asked, and no impossible date is said.
TEST_F(UserAlbumsTest, AClosedDoorTimeFromTheFutureOrOutOfRangeIsNoMemory) {
    const std::int64_t ten_years_on = static_cast<std::int64_t>(std::time(nullptr)) + 10LL * 365 * 24 * 3600;
    for (const std::int64_t at : {ten_years_on, std::numeric_limits<std::int64_t>::min(),
                                  std::numeric_limits<std::int64_t>::max()}) {
        SetClosedAt(at);
        const UserAlbums found = List();
        EXPECT_EQ(found.listing.door, "photo") << at;
        EXPECT_EQ(fake.CountRequests("/albums/get_all"), 1) << at;
        EXPECT_EQ(log.find("相册服务于"), std::string::npos) << log;
        EXPECT_FALSE(ClosedAt()) << at;  // open, it is forgotten as closed
    }
}

}  // namespace
}  // namespace wa
