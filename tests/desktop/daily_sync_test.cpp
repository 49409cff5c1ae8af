// 每天自动同步 with systemctl replaced by one that keeps the state a user
// systemd would, and the unit files as they land on disk.
#include "desktop/daily_sync.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// What cron hands the shell: "\%" as "%", and the command ends at a lone "%".
std::string AsCronRunsIt(const std::string& line) {
    std::string command;
    for (std::size_t i = std::string("17 4 * * * ").size(); i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '%') {
            command += line[++i];
        } else if (line[i] == '%') {
            break;
        } else {
            command += line[i];
        }
    }
    return command;
}

// Programs and settings in folders whose names hold what unit files, cron and
// the shell read as their own: each unit says exactly the one command, as
// systemd reads it, and the crontab line runs it with exactly its words.
TEST_F(DailySyncTest, HostilePathsGiveExactlyOneCommandOrNone) {
    const bool analyze = RunProgram({"systemd-analyze", "--version"}).status == 0;
    for (const std::string name : {"有 空格", "quo\"te", "o'neil", "semi;colon", "d$HOME", "100%d", "back\\slash",
                                   "a\\%b$$c"}) {
        const fs::path folder = temp.path() / name;
        fs::create_directories(folder);
        const fs::path heard = temp.path() / "heard.txt";
        std::ofstream(folder / "weibo-albums-cli") << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << heard.string() << "'\n";
        fs::permissions(folder / "weibo-albums-cli", fs::perms::owner_all);
        plan.cli = (folder / "weibo-albums-cli").string();
        plan.config_path = (folder / "配置.ini").string();
        ASSERT_TRUE(DailySyncRefusal(plan).empty()) << name;
        ASSERT_TRUE(TurnDailySyncOn(plan).on) << name;
        const std::string unit = FileText(fs::path(plan.unit_folder) / "weibo-albums-sync.service");
        EXPECT_EQ(std::count(unit.begin(), unit.end(), '\n'), 6) << unit;
        if (analyze) {
            const CommandResult verified =
                RunProgram({"systemd-analyze", "verify", plan.unit_folder + "/weibo-albums-sync.timer",
                            plan.unit_folder + "/weibo-albums-sync.service"});
            EXPECT_EQ(verified.status, 0) << name << ": " << verified.output << unit;
            EXPECT_EQ(verified.output, "") << name;
        }
        fs::remove(heard);
        ASSERT_EQ(RunProgram({"sh", "-c", AsCronRunsIt(SyncCrontabLine(plan))}).status, 0) << SyncCrontabLine(plan);
        EXPECT_EQ(FileText(heard), "sync\n--notify\n--config\n" + plan.config_path + "\n") << SyncCrontabLine(plan);
    }
    // A variable or a specifier in an argument is doubled, in the program's own path not.
    plan.cli = "/home/a%b/d$HOME/cli";
    plan.config_path = "/c/$HOME/%h.ini";
    EXPECT_NE(SyncServiceText(plan).find(R"(ExecStart="/home/a%%b/d$HOME/cli" sync --notify --config "/c/$$HOME/%%h.ini")"),
              std::string::npos)
        << SyncServiceText(plan);

    // A line break or another control character would say a second command:
    // nothing is written, and the user is told why.
    TurnDailySyncOff(plan);
    for (const std::string cli : {"/opt/a\nExecStart=/bin/rm/cli", "/opt/a\x01/cli", "/opt/\xff/cli"}) {
        plan.cli = cli;
        const DailySyncState state = TurnDailySyncOn(plan);
        EXPECT_FALSE(state.on);
        EXPECT_NE(state.problem.find("无法设置每天自动同步：命令行程序的路径"), std::string::npos) << state.problem;
        EXPECT_EQ(state.problem.find('\n'), std::string::npos);
        EXPECT_FALSE(fs::exists(fs::path(plan.unit_folder) / "weibo-albums-sync.service"));
    }
}

}  // namespace
}  // namespace wa
