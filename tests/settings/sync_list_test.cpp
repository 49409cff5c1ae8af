// The sync list as the window and a person with an editor both write it.
#include "settings/sync_list.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "../util/temp_folder.h"
#include "util/text.h"

namespace wa {
namespace {

std::string Contents(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

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

// What no list holds costs its own line, or past the list's bounds the lines
// after it; the users before and between are read.
TEST(SyncListTest, ALineThatCannotBeReadCostsThatLineAlone) {
    using Why = SyncList::LineProblem;
    const struct {
        std::string text;
        std::vector<SyncList::Refusal> refused;
        std::size_t users;
    } cases[] = {
        {"123\n" + std::string(kMaxListLine + 1, '1') + "\n456\n", {{2, Why::kTooLong}}, 2},
        {std::string("123\n456\n7\0" "8\n9\n", 14), {{3, Why::kNulByte}}, 3},
        {std::string(kMaxListLine * 3, '#') + "\n123", {{1, Why::kTooLong}}, 1},  // a line that never ends
    };
    for (const auto& c : cases) {
        const SyncList list = ParseSyncList(c.text);
        EXPECT_EQ(list.problem, SyncList::Problem::kNone);
        ASSERT_EQ(list.refused.size(), c.refused.size());
        EXPECT_EQ(list.refused[0].line, c.refused[0].line);
        EXPECT_EQ(list.refused[0].why, c.refused[0].why);
        EXPECT_EQ(list.Entries().size(), c.users);
        EXPECT_FALSE(list.Whole());  // the window writes nothing back over it
    }
    // Blank and "#" lines count toward the bounds: a flood of them is cut short.
    std::string many;
    for (std::size_t i = 0; i <= kMaxListUsers; ++i) many += std::to_string(i + 1) + "\n";
    SyncList list = ParseSyncList(many);
    EXPECT_EQ(list.Entries().size(), kMaxListUsers);
    EXPECT_EQ(list.refused.back().why, Why::kTooManyUsers);
    list = ParseSyncList("123\n" + std::string(2 * kMaxListLines, '\n') + "456\n");
    EXPECT_EQ(list.Entries().size(), 1u);
    EXPECT_EQ(list.refused.back().why, Why::kTooManyLines);
    EXPECT_EQ(list.lines.size(), kMaxListLines);
    std::string comments;
    while (comments.size() < 10u << 20) comments += "# " + std::string(1000, 'x') + "\n";
    list = ParseSyncList(comments + "123\n");
    EXPECT_LE(list.Text().size(), kMaxListBytes);
    EXPECT_EQ(list.refused.back().why, Why::kTooManyLines);
    EXPECT_EQ(ReadSyncList("/nonexistent/同步列表.txt").problem, SyncList::Problem::kMissing);
}

// Whatever the window is given, the line it writes reads back as the entry,
// or it writes none.
TEST(SyncListTest, EveryLineTheWindowWritesReadsBack) {
    std::vector<std::string> albums;
    for (int i = 0; i < 120; ++i) albums.push_back("page:2315671234567890_-_" + std::to_string(i));
    std::string title;
    while (title.size() < 4200) title += "很长的标题 <a href=x>&#";
    title += "\n\r\x01\x7f 结束";
    SyncList list;
    ASSERT_TRUE(list.Put({"1234567890", albums, title}));
    ASSERT_TRUE(list.Put({"2345678901", {}, "# albums=x  # y"}));
    const SyncList again = ParseSyncList(list.Text());
    EXPECT_TRUE(again.Whole());
    ASSERT_EQ(again.Entries().size(), 2u);
    EXPECT_EQ(again.Entries()[0].albums, albums);
    EXPECT_LE(again.Entries()[0].note.size(), kMaxNoteBytes);
    EXPECT_TRUE(IsValidUtf8(again.Entries()[0].note));
    EXPECT_EQ(again.Entries(), list.Entries());
    // Keys that would read back as other keys are not written.
    for (const std::string& key : std::vector<std::string>{"a b", "a,b", std::string(kMaxListLine, 'k')}) {
        EXPECT_FALSE(list.Put({"3456789012", {key}, ""})) << key.substr(0, 10);
    }
    EXPECT_EQ(ParseSyncList(list.Text()).Entries().size(), 2u);
}

// Something other than a file in the list's place, or a list others may
// write, is refused at once, as 配置.ini's proxy is.
TEST(SyncListTest, APipeOrAListOthersMayWriteIsRefusedAtOnce) {
    test::TempFolder folder;
    const std::string path = SyncListPath(folder.path().string());
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(ReadSyncList(path).problem, SyncList::Problem::kNotAFile);  // returns, no writer ever comes
    std::filesystem::remove(path);
    std::ofstream(path) << "123\n";
    std::filesystem::permissions(path, std::filesystem::perms::others_write, std::filesystem::perm_options::add);
    const SyncList open = ReadSyncList(path);
    EXPECT_EQ(open.problem, SyncList::Problem::kOpenToOthers);
    EXPECT_EQ(open.open_to_others, "所有用户都可以修改");
    EXPECT_TRUE(open.Entries().empty());
}

// Two windows (or a window and a terminal) adding users at once: each
// change reads the list the other wrote, so no added line is lost.
TEST(SyncListTest, TwoWritersAtOnceKeepEveryLine) {
    test::TempFolder temp;
    const std::string path = temp / "同步列表.txt";
    std::ofstream(path) << "# 手写的\n";
    const auto add = [&path](int first) {
        for (int uid = first; uid < first + 100; ++uid) {
            const SyncListChange changed = ChangeSyncList(path, [uid](SyncList& list) {
                return list.Put({std::to_string(uid), {"3550000001@@3"}, "用户" + std::to_string(uid)});
            });
            EXPECT_EQ(changed.result, SyncListChange::Result::kChanged);
        }
    };
    std::thread one(add, 1000);
    std::thread other(add, 2000);
    one.join();
    other.join();
    const SyncList list = ReadSyncList(path);
    EXPECT_TRUE(list.Whole());
    EXPECT_EQ(list.Entries().size(), 200u);
    EXPECT_EQ(list.lines.front().text, "# 手写的");

    // A list not read whole is neither changed nor written.
    std::ofstream(path, std::ios::app) << std::string(kMaxListLine + 1, 'x') << "\n";
    const std::string before = Contents(path);
    EXPECT_EQ(ChangeSyncList(path, [](SyncList& l) { return l.Remove("1000"); }).result,
              SyncListChange::Result::kNotWhole);
    EXPECT_EQ(Contents(path), before);
}

}  // namespace
}  // namespace wa
