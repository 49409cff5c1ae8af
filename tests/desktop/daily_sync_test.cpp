// 每天自动同步 with systemctl replaced by one that keeps the state a user
// systemd would, and the unit files as they land on disk.
#include "desktop/daily_sync.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../util/temp_folder.h"

namespace wa {
namespace {

namespace fs = std::filesystem;

std::string FileText(const fs::path& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

class DailySyncTest : public ::testing::Test {
protected:
    void SetUp() override {
        plan.unit_folder = (temp.path() / "systemd" / "user").string();
        plan.cli = "/opt/weibo albums/weibo-albums-cli";
        plan.config_path = "/home/小明/.config/weibo-albums/配置.ini";
        plan.systemctl = [this](const std::vector<std::string>& args) {
            calls.push_back(args);
            const std::string& verb = args.front();
            if (verb == "is-system-running") return CommandResult{running ? 0 : 1, running ? "running\n" : "offline\n"};
            if (verb == "enable") enabled = true;
            if (verb == "disable") enabled = false;
            if (verb == "is-enabled") return CommandResult{enabled ? 0 : 1, enabled ? "enabled\n" : "disabled\n"};
            if (verb == "show") return CommandResult{0, enabled ? "Fri 2026-12-11 04:23:11 CST\n" : "n/a\n"};
            return CommandResult{0, ""};
        };
    }
    std::vector<std::string> Verbs() const {
        std::vector<std::string> verbs;
        for (const auto& call : calls) {
            if (call.front() != "is-system-running" && call.front() != "is-enabled" && call.front() != "show") {
                verbs.push_back(call.front() + (call.size() > 1 ? " " + call.back() : ""));
            }
        }
        return verbs;
    }

    test::TempFolder temp;
    DailySyncPlan plan;
    bool running = true;
    bool enabled = false;
    std::vector<std::vector<std::string>> calls;
};

TEST_F(DailySyncTest, TurnedOnWritesBothUnitsAndEnablesTheTimerTurnedOffRemovesThem) {
    EXPECT_FALSE(DailySyncNow(plan).on);
    const DailySyncState on = TurnDailySyncOn(plan);
    EXPECT_TRUE(on.on);
    EXPECT_TRUE(on.problem.empty());
    EXPECT_EQ(on.next_run, "Fri 2026-12-11 04:23:11 CST");
    const fs::path folder = plan.unit_folder;
    EXPECT_EQ(FileText(folder / "weibo-albums-sync.service"),
              "[Unit]\nDescription=同步微博相册（weibo-albums）\n\n[Service]\nType=oneshot\n"
              "ExecStart=\"/opt/weibo albums/weibo-albums-cli\" sync --notify --config "
              "\"/home/小明/.config/weibo-albums/配置.ini\"\n");
    EXPECT_EQ(FileText(folder / "weibo-albums-sync.timer"),
              "[Unit]\nDescription=每天同步微博相册（weibo-albums）\n\n[Timer]\nOnCalendar=daily\n"
              "RandomizedDelaySec=1h\nPersistent=true\n\n[Install]\nWantedBy=timers.target\n");
    EXPECT_EQ(Verbs(), (std::vector<std::string>{"daemon-reload", "enable weibo-albums-sync.timer"}));

    calls.clear();
    const DailySyncState off = TurnDailySyncOff(plan);
    EXPECT_FALSE(off.on);
    EXPECT_FALSE(fs::exists(folder / "weibo-albums-sync.service"));
    EXPECT_FALSE(fs::exists(folder / "weibo-albums-sync.timer"));
    EXPECT_EQ(Verbs(), (std::vector<std::string>{"disable weibo-albums-sync.timer", "daemon-reload"}));
}

TEST_F(DailySyncTest, WithoutAUserSystemdNothingIsWrittenAndTheCrontabLineStandsIn) {
    running = false;
    const DailySyncState state = TurnDailySyncOn(plan);
    EXPECT_FALSE(state.user_systemd);
    EXPECT_FALSE(state.on);
    EXPECT_FALSE(fs::exists(plan.unit_folder));
    plan.config_path = "/home/o'neil/100%/配置.ini";
    EXPECT_EQ(SyncCrontabLine(plan), "17 4 * * * '/opt/weibo albums/weibo-albums-cli' sync --notify --config "
                                     "'/home/o'\\''neil/100\\%/配置.ini' >/dev/null 2>&1");
}

TEST_F(DailySyncTest, SystemdReadsTheUnitsAsWritten) {
    if (RunProgram({"systemd-analyze", "--version"}).status != 0) GTEST_SKIP() << "no systemd-analyze here";
    plan.cli = "/bin/true";
    plan.config_path = (temp.path() / "有 空格" / "配置.ini").string();
    ASSERT_TRUE(TurnDailySyncOn(plan).on);
    const fs::path folder = plan.unit_folder;
    const CommandResult verified = RunProgram({"systemd-analyze", "verify", (folder / "weibo-albums-sync.timer").string(),
                                               (folder / "weibo-albums-sync.service").string()});
    EXPECT_EQ(verified.status, 0) << verified.output;
    EXPECT_EQ(verified.output, "");
}

TEST_F(DailySyncTest, SpecifiersInPathsAreNotReadAsSuch) {
    plan.cli = "/home/a%b/$HOME/wa\"cli";
    EXPECT_NE(SyncServiceText(plan).find("ExecStart=\"/home/a%%b/$$HOME/wa\\\"cli\" sync"), std::string::npos)
        << SyncServiceText(plan);
}

}  // namespace
}  // namespace wa
