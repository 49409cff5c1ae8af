#include "util/folders.h"

#include <gtest/gtest.h>

#include <fstream>

#include "temp_folder.h"

namespace wa {
namespace {

TEST(EnsureDirectory, AppendsOneSeparatorAndCreatesEveryLevel) {
    test::TempFolder temp;
    std::string path = temp / "a/b/相册";
    ASSERT_TRUE(EnsureDirectory(path));
    EXPECT_EQ(path, temp / "a/b/相册/");
    EXPECT_TRUE(IsDirectory(path));

    std::string again = path;
    EXPECT_TRUE(EnsureDirectory(again));
    EXPECT_EQ(again, path);  // no doubled separator
}

TEST(EnsureDirectory, FailsWhereAFileBlocksThePath) {
    test::TempFolder temp;
    std::ofstream(temp / "file") << "x";
    std::string path = temp / "file/sub";
    EXPECT_FALSE(EnsureDirectory(path));
}

TEST(IsDirectory, OnlyRealFolders) {
    test::TempFolder temp;
    std::ofstream(temp / "file") << "x";
    EXPECT_FALSE(IsDirectory(temp / "file"));
    EXPECT_FALSE(IsDirectory(temp / "missing"));
    EXPECT_FALSE(IsDirectory(""));
    EXPECT_TRUE(IsDirectory(temp.path().string()));
}

TEST(ProgramFolder, IsTheFolderOfTheRunningExecutable) {
    const std::string folder = ProgramFolder();
    EXPECT_TRUE(IsDirectory(folder));
    EXPECT_NE(folder.back(), '/');
}

}  // namespace
}  // namespace wa
