// 每天自动同步: a systemd user timer and service that run
// "weibo-albums-cli sync --notify" once a day, written to
// $XDG_CONFIG_HOME/systemd/user and enabled with systemctl --user; where no
// user systemd runs, the crontab line that does the same.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace wa {

inline constexpr std::string_view kSyncServiceUnit = "weibo-albums-sync.service";
inline constexpr std::string_view kSyncTimerUnit = "weibo-albums-sync.timer";

struct CommandResult {
    int status = -1;      // -1: it could not be run
    std::string output;   // standard output and error, as they came
};
// Runs a program found on PATH with `argv`, waiting for it.
CommandResult RunProgram(const std::vector<std::string>& argv);

struct DailySyncPlan {
    std::string unit_folder;  // where user units live
    std::string cli;          // weibo-albums-cli, absolute
    std::string config_path;  // the 配置.ini the runs read, beside the sync list
    // Runs "systemctl --user <args>"; tests put their own in its place.
    std::function<CommandResult(const std::vector<std::string>& args)> systemctl = [](const std::vector<std::string>& args) {
        std::vector<std::string> argv{"systemctl", "--user"};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(argv);
    };
};

// $XDG_CONFIG_HOME/systemd/user
std::string UserUnitFolder();
// The command line program beside `program_folder`, or on PATH; empty when
// there is none.
std::string FindCliProgram(const std::string& program_folder);

// Why no unit or crontab line can say the plan's command, for the user: a
// path holding a control character or text that is not UTF-8. Empty when
// one can; then the unit and the line below say exactly that one command.
std::string DailySyncRefusal(const DailySyncPlan& plan);
std::string SyncServiceText(const DailySyncPlan& plan);
std::string SyncTimerText();
// "17 4 * * * '<cli>' sync --notify --config '<配置.ini>' >/dev/null 2>&1"
std::string SyncCrontabLine(const DailySyncPlan& plan);

struct DailySyncState {
    bool user_systemd = false;  // a user systemd answered
    bool on = false;            // both units are there and the timer is enabled
    std::string next_run;       // as systemctl tells it; empty when not known
    std::string problem;        // why it could not be turned on or off, whole
};

DailySyncState DailySyncNow(const DailySyncPlan& plan);
// Writes both units, reloads and enables the timer at once; nothing when the
// plan is refused.
DailySyncState TurnDailySyncOn(const DailySyncPlan& plan);
// Disables the timer and removes both units.
DailySyncState TurnDailySyncOff(const DailySyncPlan& plan);

}  // namespace wa
