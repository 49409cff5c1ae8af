// What an album may write where: never through a link planted below the save
// folder, into a record store that is a link, or under a name longer than a
// file system takes.
#include <unistd.h>

#include <gtest/gtest.h>

#include "album_download_fixture.h"
#include "download/picture_file.h"

namespace wa {
namespace {

namespace fs = std::filesystem;
using test::FileNames;

class AlbumFolderTest : public test::AlbumDownloadTest {};

TEST_F(AlbumFolderTest, NothingIsWrittenThroughALinkPlantedAtTheUserOrAlbumLevelOrAsTheStore) {
    Serve({Album("801", 3)});
    const fs::path elsewhere = temp.path() / "elsewhere";  // another user's folder
    fs::create_directories(elsewhere);
    const fs::path user_folder = temp.path() / "saved" / "小明的微博";
    const struct {
        fs::path link;
        std::string logged;
    } planted[] = {
        {user_folder, "相册文件夹是符号链接，已跳过：" + user_folder.string()},
        {user_folder / "旅行3", "相册文件夹是符号链接，已跳过：" + (user_folder / "旅行3").string()},
    };
    for (const auto& p : planted) {
        fs::remove_all(temp.path() / "saved");
        fs::create_directories(p.link.parent_path());
        fs::create_directory_symlink(elsewhere, p.link);
        fake.ClearRequests();
        const AlbumOutcome outcome = Download("801", "3");
        EXPECT_EQ(outcome.saved, 0) << p.link;
        EXPECT_GE(outcome.failed, 1) << p.link;
        EXPECT_NE(host.Log().find(p.logged), std::string::npos) << p.link;
        EXPECT_TRUE(FileNames(elsewhere).empty()) << p.link;
        EXPECT_EQ(fake.CountRequests("/photos/get_all"), 0) << p.link;
    }

    // A store that is a link to an empty file: nothing opens it, nothing turns it into a store.
    fs::remove_all(temp.path() / "saved");
    fs::remove(StorePath());
    std::ofstream(elsewhere / "empty");
    fs::create_symlink(elsewhere / "empty", StorePath());
    EXPECT_EQ(Download("801", "3").saved, 3);
    EXPECT_NE(host.Log().find("防止重复下载数据库打开失败（数据库文件是符号链接）"), std::string::npos);
    EXPECT_EQ(fs::file_size(elsewhere / "empty"), 0u);
}

TEST_F(AlbumFolderTest, NamesLongerThanAFileSystemTakesAreCutAndEveryPictureIsSaved) {
    fake::Album album = Album("802", 3);
    album.caption.clear();
    for (int i = 0; i < 100; ++i) album.caption += "长";  // 300 bytes
    std::string caption;
    while (caption.size() < 400) caption += "很长的微博内容";
    for (fake::Photo& photo : album.photos) photo.caption = caption;
    Serve({album});
    const AlbumOutcome outcome = Download("802", "3", album.caption);
    EXPECT_EQ(outcome.saved, 3);
    EXPECT_EQ(outcome.failed, 0);
    const fs::path folder = temp.path() / "saved" / "小明的微博" / (album.caption.substr(0, 252) + "3");
    ASSERT_EQ(FileNames(folder).size(), 3u);  // the count kept at the end of the cut name
    for (const std::string& name : FileNames(folder)) {
        EXPECT_LE(name.size(), 255u) << name;
        EXPECT_TRUE(name.ends_with(").jpg") || name.ends_with(".jpg")) << name;
    }
    EXPECT_TRUE(fs::exists(folder / ("(1)" + caption.substr(0, 246) + ".jpg")));
}

TEST_F(AlbumFolderTest, OneAlbumKeepsOneFolderWhateverItsCountSays) {
    fake::Album flowers = Album("806", 2);
    flowers.caption = "花";
    Serve({Album("803", 6), flowers});
    host.options.record_store = true;
    Download("803", "3");  // the list said three; the album holds six
    const fs::path user_folder = temp.path() / "saved" / "小明的微博";
    ASSERT_EQ(FileNames(user_folder / "旅行3").size(), 6u);

    // The next run lists six: the folder takes that name, and only what is new goes into it.
    fake.ClearRequests();
    EXPECT_EQ(Download("803", "6").recorded, 6);
    EXPECT_EQ(FileNames(user_folder), (std::vector<std::string>{"旅行6"}));
    EXPECT_EQ(FileNames(user_folder / "旅行6").size(), 6u);
    EXPECT_NE(host.Log().find("相册文件夹“旅行3”已改名为“旅行6”，继续在其中下载"), std::string::npos);

    // A folder an earlier version left, which the record store knows nothing
    // of, is taken when it is the only one of the name.
    fs::create_directories(user_folder / "花12");
    Download("806", "2", "花");
    EXPECT_FALSE(fs::exists(user_folder / "花12"));
    EXPECT_EQ(FileNames(user_folder / "花2").size(), 2u);
    // Another album of the same name never takes this album's folder (its
    // own, which nothing was saved in, goes again).
    Download("808", "5");
    EXPECT_EQ(FileNames(user_folder), (std::vector<std::string>{"旅行6", "花2"}));
    EXPECT_EQ(FileNames(user_folder / "旅行6").size(), 6u);
}

// A record store is a file like any other: what it says of an album's
// folder is taken only as one name beside the album's, and a retry's video
// only beside its still.
TEST_F(AlbumFolderTest, AStoreNamesFoldersNeverPaths) {
    Serve({Album("809", 2)});
    const fs::path outside = temp.path() / "outside";
    fs::create_directories(outside / "keep");
    std::ofstream(outside / "keep" / "mine.txt") << "mine";
    const fs::path user_folder = temp.path() / "saved" / "小明的微博";
    for (const std::string& kept :
         std::vector<std::string>{"../..", "..", ".", (outside / "keep").string(), "a/../../..", "旅\n行", ""}) {
        fs::remove_all(temp.path() / "saved");
        fs::create_directories(user_folder);
        {
            RecordStore store;
            OpenUserStore(store, context.program_folder, "1001", true);
            ASSERT_TRUE(store.SetAlbumFolder("809@@3", kept));
        }
        EXPECT_EQ(Download("809", "2").saved, 2) << kept;
        EXPECT_EQ(FileNames(user_folder), (std::vector<std::string>{"旅行2"})) << kept;
        EXPECT_EQ(FileNames(user_folder / "旅行2").size(), 2u) << kept;
        EXPECT_EQ(FileNames(outside / "keep"), (std::vector<std::string>{"mine.txt"})) << kept;
        EXPECT_EQ(FileNames(temp.path() / "saved"), (std::vector<std::string>{"小明的微博"})) << kept;
        if (!kept.empty()) {
            EXPECT_NE(host.Log().find("不是一个文件夹名称，不使用"), std::string::npos) << kept;
        }
    }

    RecordStore store;
    ASSERT_TRUE(store.OpenStore(StorePath()));
    RecordStore::FailedItem video = RecordStore::FailedItem::Video({.photo_id = "1"}, "../../x.jpg", "403");
    ASSERT_TRUE(store.PutFailedAlbum({.door = "photo", .key = "809@@3"}, std::nullopt));
    ASSERT_TRUE(store.PutFailure("809@@3", video));
    EXPECT_TRUE(store.Failures().empty());  // nothing the run could save outside
}

}  // namespace
}  // namespace wa
