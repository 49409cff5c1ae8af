// The sync list as the window and a person with an editor both write it.
#include "settings/sync_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../util/temp_folder.h"

namespace wa {
namespace {

TEST(SyncListTest, ReadsEntriesAndKeepsEveryOtherLine) {
    const struct {
        const char* line;
        std::optional<SyncEntry> entry;
        const char* not_understood;
    } cases[] = {
        {"1234567890", SyncEntry{"1234567890", {}, ""}, ""},
        {"  https://weibo.com/u/123#photos  ", SyncEntry{"https://weibo.com/u/123#photos", {}, ""}, ""},
        {"123 albums=5200000000000001@@3,page:wall", SyncEntry{"123", {"5200000000000001@@3", "page:wall"}, ""}, ""},
        {"123\talbums=a,,b  # 小红的微博 #2", SyncEntry{"123", {"a", "b"}, "小红的微博 #2"}, ""},
        {"# a comment", std::nullopt, ""},
        {"", std::nullopt, ""},
        {"123 every=day", std::nullopt, "every=day"},
        {"123 albums=", std::nullopt, "albums="},
    };
    for (const auto& c : cases) {
        const SyncList list = ParseSyncList(c.line);
        ASSERT_EQ(list.problem, SyncList::Problem::kNone) << c.line;
        ASSERT_EQ(list.lines.size(), std::string_view(c.line).empty() ? 0u : 1u) << c.line;
        if (list.lines.empty()) continue;
        EXPECT_EQ(list.lines[0].entry, c.entry) << c.line;
        EXPECT_EQ(list.lines[0].not_understood, c.not_understood) << c.line;
        EXPECT_EQ(list.lines[0].text, c.line);
    }
}

TEST(SyncListTest, TheWindowsChangesLeaveWhatItDoesNotUnderstand) {
    const std::string hand_written =
        "# my accounts\n"
        "https://weibo.com/u/2002  # 小红\n"
        "3003 someday=maybe\n"
        "\n"
        "weibo.com/4004 albums=page:wall\n";
    test::TempFolder folder;
    const std::string path = SyncListPath(folder.path().string());
    std::ofstream(path) << hand_written;
    SyncList list = ReadSyncList(path);
    ASSERT_EQ(list.problem, SyncList::Problem::kNone);
    EXPECT_EQ(list.Entries().size(), 2u);

    list.Put({"2002", {"1@@3"}, "小红的微博"});     // the same user by uid: in its place
    list.Put({"5005", {}, "新来的"});                // someone new: at the end
    EXPECT_TRUE(list.Remove("https://weibo.com/4004"));
    EXPECT_FALSE(list.Remove("6006"));
    ASSERT_TRUE(WriteSyncList(path, list));
    std::stringstream written;
    written << std::ifstream(path).rdbuf();
    EXPECT_EQ(written.str(),
              "# my accounts\n"
              "2002 albums=1@@3  # 小红的微博\n"
              "3003 someday=maybe\n"
              "\n"
              "5005  # 新来的\n");
    EXPECT_EQ(ReadSyncList(path).Entries(), list.Entries());
}

TEST(SyncListTest, RefusesWhatNoListHolds) {
    const struct {
        std::string text;
        SyncList::Problem problem;
        std::size_t line;
    } cases[] = {
        {"123\n" + std::string(kMaxListLine + 1, '1') + "\n", SyncList::Problem::kLineTooLong, 2},
        {std::string("123\n456\n7\0" "8\n", 12), SyncList::Problem::kNulByte, 3},
    };
    for (const auto& c : cases) {
        const SyncList list = ParseSyncList(c.text);
        EXPECT_EQ(list.problem, c.problem);
        EXPECT_EQ(list.problem_line, c.line);
        EXPECT_TRUE(list.lines.empty());
    }
    std::string many;
    for (std::size_t i = 0; i <= kMaxListUsers; ++i) many += std::to_string(i + 1) + "\n";
    EXPECT_EQ(ParseSyncList(many).problem, SyncList::Problem::kTooManyUsers);
    EXPECT_EQ(ReadSyncList("/nonexistent/同步列表.txt").problem, SyncList::Problem::kMissing);
}

}  // namespace
}  // namespace wa
