#include "desktop/daily_sync.h"

#include <glib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>

#include "util/folders.h"
#include "util/text.h"

namespace wa {
namespace {

// Characters systemd takes for no executable's name, even quoted.
constexpr std::string_view kNotInExecutableNames = "\\\"'";

// A path as one word of an ExecStart line: quoted, with what systemd would
// read as a specifier doubled, and in an argument what it would read as a
// variable too (the program itself is never substituted).
std::string SystemdWord(std::string_view text, bool argument) {
    std::string word = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') word += '\\';
        if (c == '%' || (c == '$' && argument)) word += c;
        word += c;
    }
    return word + "\"";
}

// The program an ExecStart line runs: itself, or through env when its path
// holds what systemd refuses in the program's name.
std::string SystemdProgram(std::string_view path) {
    if (path.find_first_of(kNotInExecutableNames) == std::string_view::npos) return SystemdWord(path, false);
    return "/usr/bin/env " + SystemdWord(path, true);
}

// A word of a crontab line, which a shell reads; cron reads "%" as the end
// of the command, and "\%" as "%".
std::string CrontabWord(std::string_view text) {
    std::string word = "'";
    for (const char c : text) {
        if (c == '\'') word += "'\\''";
        else if (c == '%') word += "\\%";
        else word += c;
    }
    return word + "'";
}

// Why `path` cannot be a word of a unit or a crontab line: a control
// character (a line break would start a command of its own) or text that is
// not UTF-8, which systemd ignores.
std::string UnsayablePath(std::string_view path) {
    const bool control = std::any_of(path.begin(), path.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
    if (!control && IsValidUtf8(path)) return {};
    return std::string(control ? "含有控制字符（如换行）" : "不是UTF-8文本") + "：" + OneLine(path);
}

std::string UnitPath(const DailySyncPlan& plan, std::string_view unit) { return plan.unit_folder + "/" + std::string(unit); }

std::string Answer(const CommandResult& result) { return std::string(TrimBlanks(result.output)); }

}  // namespace

CommandResult RunProgram(const std::vector<std::string>& argv) {
    std::vector<gchar*> words;
    for (const std::string& word : argv) words.push_back(const_cast<gchar*>(word.c_str()));
    words.push_back(nullptr);
    gchar* out = nullptr;
    gchar* err = nullptr;
    gint wait_status = 0;
    CommandResult result;
    if (!g_spawn_sync(nullptr, words.data(), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, &out, &err, &wait_status,
                      nullptr)) {
        return result;
    }
    result.output = std::string(out ? out : "") + (err ? err : "");
    g_free(out);
    g_free(err);
    result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128;
    return result;
}

std::string UserUnitFolder() { return XdgFolder("XDG_CONFIG_HOME", ".config") + "/systemd/user"; }

std::string FindCliProgram(const std::string& program_folder) {
    std::error_code error;
    const std::filesystem::path beside = std::filesystem::canonical(program_folder + "/weibo-albums-cli", error);
    if (!error && ::access(beside.c_str(), X_OK) == 0) return beside.string();
    gchar* on_path = g_find_program_in_path("weibo-albums-cli");
    const std::string found = on_path ? on_path : "";
    g_free(on_path);
    return found;
}

std::string DailySyncRefusal(const DailySyncPlan& plan) {
    for (const auto& [what, path] : {std::pair{"命令行程序的路径", &plan.cli}, std::pair{"配置文件的路径", &plan.config_path}}) {
        if (const std::string why = UnsayablePath(*path); !why.empty()) {
            return std::string("无法设置每天自动同步：") + what + why;
        }
    }
    return {};
}

std::string SyncServiceText(const DailySyncPlan& plan) {
    return "[Unit]\n"
           "Description=同步微博相册（weibo-albums）\n"
           "\n"
           "[Service]\n"
           "Type=oneshot\n"
           "ExecStart=" + SystemdProgram(plan.cli) + " sync --notify --config " + SystemdWord(plan.config_path, true) +
           "\n";
}

std::string SyncTimerText() {
    return "[Unit]\n"
           "Description=每天同步微博相册（weibo-albums）\n"
           "\n"
           "[Timer]\n"
           "OnCalendar=daily\n"
           "RandomizedDelaySec=1h\n"
           "Persistent=true\n"
           "\n"
           "[Install]\n"
           "WantedBy=timers.target\n";
}

std::string SyncCrontabLine(const DailySyncPlan& plan) {
    return "17 4 * * * " + CrontabWord(plan.cli) + " sync --notify --config " + CrontabWord(plan.config_path) +
           " >/dev/null 2>&1";
}

DailySyncState DailySyncNow(const DailySyncPlan& plan) {
    DailySyncState state;
    const CommandResult running = plan.systemctl({"is-system-running"});
    const std::string answer = Answer(running);
    state.user_systemd = running.status != -1 && !answer.empty() && answer != "offline" && answer != "unknown" &&
                         answer.find("Failed") == std::string::npos;
    if (!state.user_systemd) return state;
    const bool written = ::access(UnitPath(plan, kSyncServiceUnit).c_str(), F_OK) == 0 &&
                         ::access(UnitPath(plan, kSyncTimerUnit).c_str(), F_OK) == 0;
    state.on = written && Answer(plan.systemctl({"is-enabled", std::string(kSyncTimerUnit)})) == "enabled";
    if (state.on) {
        const std::string next = Answer(
            plan.systemctl({"show", std::string(kSyncTimerUnit), "--property=NextElapseUSecRealtime", "--value"}));
        if (next != "n/a") state.next_run = next;
    }
    return state;
}

DailySyncState TurnDailySyncOn(const DailySyncPlan& plan) {
    DailySyncState state = DailySyncNow(plan);
    if (!state.user_systemd) return state;
    if (state.problem = DailySyncRefusal(plan); !state.problem.empty()) return state;
    std::string folder = plan.unit_folder;
    EnsureDirectory(folder);
    for (const auto& [unit, text] : std::array<std::pair<std::string_view, std::string>, 2>{
             {{kSyncServiceUnit, SyncServiceText(plan)}, {kSyncTimerUnit, SyncTimerText()}}}) {
        if (!ReplaceFileContents(UnitPath(plan, unit), text)) {
            state.problem = "无法写入" + UnitPath(plan, unit);
            return state;
        }
    }
    plan.systemctl({"daemon-reload"});
    const CommandResult enabled = plan.systemctl({"enable", "--now", std::string(kSyncTimerUnit)});
    if (enabled.status != 0) {
        DailySyncState failed = DailySyncNow(plan);
        failed.problem = "systemctl --user enable --now " + std::string(kSyncTimerUnit) + " 失败：" + Answer(enabled);
        return failed;
    }
    return DailySyncNow(plan);
}

DailySyncState TurnDailySyncOff(const DailySyncPlan& plan) {
    plan.systemctl({"disable", "--now", std::string(kSyncTimerUnit)});
    for (const std::string_view unit : {kSyncTimerUnit, kSyncServiceUnit}) {
        const std::string path = UnitPath(plan, unit);
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            DailySyncState state = DailySyncNow(plan);
            state.problem = "无法删除" + path;
            return state;
        }
    }
    plan.systemctl({"daemon-reload"});
    return DailySyncNow(plan);
}

}  // namespace wa
