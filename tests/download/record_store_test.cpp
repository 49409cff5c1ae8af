#include "download/record_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "../util/temp_folder.h"

namespace wa {
namespace {

TEST(RecordStore, AppendedIdsSurviveReopening) {
    test::TempFolder temp;
    const std::string path = temp / "1234567890.edb";
    ASSERT_TRUE(RecordStore::CreateStore(path));
    {
        RecordStore store;
        ASSERT_TRUE(store.OpenStore(path));
        EXPECT_FALSE(store.ContainsPhotoId("3600000000001"));
        EXPECT_TRUE(store.AppendPhotoId("3600000000001"));
        EXPECT_TRUE(store.ContainsPhotoId("3600000000001"));
    }
    RecordStore again;
    ASSERT_TRUE(again.OpenStore(path));
    EXPECT_TRUE(again.ContainsPhotoId("3600000000001"));
    EXPECT_FALSE(again.ContainsPhotoId("3600000000002"));
}

TEST(RecordStore, IdsCompareOnTheirFirstTwentyBytes) {
    test::TempFolder temp;
    const std::string path = temp / "1.edb";
    ASSERT_TRUE(RecordStore::CreateStore(path));
    RecordStore store;
    ASSERT_TRUE(store.OpenStore(path));
    EXPECT_TRUE(store.AppendPhotoId("1234567890123456789012345"));
    EXPECT_TRUE(store.ContainsPhotoId("12345678901234567890"));
    EXPECT_TRUE(store.ContainsPhotoId("1234567890123456789099999"));
    EXPECT_FALSE(store.ContainsPhotoId("1234567890123456789"));
}

TEST(RecordStore, NoOpenStoreFindsNothingAndRecordsNothing) {
    RecordStore store;
    EXPECT_FALSE(store.ContainsPhotoId("1"));
    EXPECT_FALSE(store.AppendPhotoId("1"));
    store.CloseStore();
}

TEST(RecordStore, CreateNeverReplacesAFileAndNeedsItsFolder) {
    test::TempFolder temp;
    const std::string path = temp / "1.edb";
    std::ofstream(path) << "keep me";
    EXPECT_FALSE(RecordStore::CreateStore(path));
    EXPECT_FALSE(RecordStore::CreateStore(temp / "missing/1.edb"));
    std::ifstream in(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep me");
}

TEST(RecordStore, OpeningASecondStoreKeepsTheFirst) {
    test::TempFolder temp;
    ASSERT_TRUE(RecordStore::CreateStore(temp / "a.edb"));
    ASSERT_TRUE(RecordStore::CreateStore(temp / "b.edb"));
    RecordStore store;
    ASSERT_TRUE(store.OpenStore(temp / "a.edb"));
    EXPECT_FALSE(store.OpenStore(temp / "b.edb"));
    store.AppendPhotoId("x");
    store.CloseStore();
    ASSERT_TRUE(store.OpenStore(temp / "a.edb"));
    EXPECT_TRUE(store.ContainsPhotoId("x"));
}

TEST(RecordStore, ForeignFilesFailToOpenAndStayUntouched) {
    test::TempFolder temp;
    // Our application id, but not our table.
    const std::string lookalike_path = temp / "lookalike.edb";
    sqlite3* db = nullptr;
    sqlite3_open(lookalike_path.c_str(), &db);
    sqlite3_exec(db, "PRAGMA application_id=1463959857;CREATE TABLE other(x)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    std::ifstream lookalike_in(lookalike_path, std::ios::binary);
    const std::string lookalike(std::istreambuf_iterator<char>(lookalike_in), {});

    const std::string garbage(4096, '\x5A');
    for (const std::string& bytes : {garbage, std::string("SQLite format 3") + std::string(100, '\0'), lookalike}) {
        const std::string path = temp / "bad.edb";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        RecordStore store;
        std::string error;
        EXPECT_FALSE(store.OpenStore(path, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_FALSE(store.IsOpen());
        std::ifstream in(path, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), bytes);
    }
    RecordStore store;
    EXPECT_FALSE(store.OpenStore(temp / "missing.edb"));
    // A zero-length file holds nothing and becomes a store.
    std::ofstream(temp / "empty.edb");
    ASSERT_TRUE(store.OpenStore(temp / "empty.edb"));
    EXPECT_TRUE(store.AppendPhotoId("1"));
}

TEST(RecordStore, TwoFirstRunsAtOnceShareOneStore) {
    test::TempFolder temp;
    const std::string path = temp / "123.edb";
    for (int round = 0; round < 20; ++round) {
        std::filesystem::remove(path);
        bool opened[2] = {};
        std::thread runs[2];
        for (int i = 0; i < 2; ++i) {
            runs[i] = std::thread([&, i] {
                RecordStore::CreateStore(path);  // one of them makes it
                RecordStore store;
                opened[i] = store.OpenStore(path) && store.AppendPhotoId(std::to_string(i));
            });
        }
        for (std::thread& run : runs) run.join();
        ASSERT_TRUE(opened[0] && opened[1]) << "round " << round;
        RecordStore store;
        ASSERT_TRUE(store.OpenStore(path));
        EXPECT_TRUE(store.ContainsPhotoId("0") && store.ContainsPhotoId("1"));
    }
}

// A folder nobody may write (made immutable, which holds for root too): the
// store there is said to be in a read-only folder, not to be no store.
TEST(RecordStore, AStoreInAFolderThatCannotBeWrittenIsSaidAsSuch) {
    test::TempFolder temp;
    const std::string folder = temp / "stores";
    std::filesystem::create_directory(folder);
    const std::string path = folder + "/1.edb";
    ASSERT_TRUE(RecordStore::CreateStore(path));
    {
        RecordStore store;
        ASSERT_TRUE(store.OpenStore(path));
        EXPECT_TRUE(store.AppendPhotoId("3600000000001"));
    }
    if (std::system(("chattr +i '" + folder + "' 2>/dev/null").c_str()) != 0) GTEST_SKIP() << "no chattr here";
    RecordStore store;
    std::string error;
    const bool opened = store.OpenStore(path, &error);
    EXPECT_EQ(std::system(("chattr -i '" + folder + "'").c_str()), 0);
    EXPECT_FALSE(opened);
    EXPECT_EQ(error, "所在的文件夹“" + folder + "”只读，无法打开");
}

TEST(RecordStore, PathsLieBesideTheProgram) {
    EXPECT_EQ(RecordStorePath("/opt/wa", "123"), "/opt/wa/防止重复下载数据库/123.edb");
}

}  // namespace
}  // namespace wa
