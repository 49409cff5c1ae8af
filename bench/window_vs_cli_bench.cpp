// The window against the command line on the same album: 3,000 pictures from
// the fake service, 4 in flight, no request spacing, saved on tmpfs. The real
// MainWindow runs under xvfb-run with the download page on screen, driven
// through its buttons; the CLI runs as a script would run it. Three rounds
// each, alternating; wall and CPU time and their ratios.
//   window_vs_cli_bench             the comparison
//   window_vs_cli_bench --window …  one window run (what the comparison starts)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fake_weibo.h"
#include "settings/settings.h"
#include "ui/main_window.h"
#include "weibo/weibo_service.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kPictures = 3000;
constexpr const char* kUid = "1";

double CpuSeconds(const rusage& usage) {
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Figures {
    double wall = 0;
    double cpu = 0;
};

// Runs the window's event loop, as the program does, until `done` holds;
// the check every few milliseconds costs next to nothing.
void ServeUntil(const std::function<bool()>& done) {
    if (done()) return;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done()) loop.quit();
    });
    check.start(5);
    loop.exec();
}

// One window run: list the album, then time 3：下载选中 to the end of the run.
int WindowRun(int argc, char** argv) {
    const std::string folder = argv[2];
    if (::geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QT_MEDIA_BACKEND", "gstreamer");
    QApplication app(argc, argv);
    wa::Globals globals;
    globals.program_folder = folder;
    globals.files.config_path = wa::ConfigPathIn(folder);
    globals.files.browser_folder = folder + "/browser";
    wa::SetCurrentService(wa::Settings(globals.files.config_path).Addresses());
    wa::MainWindow window(globals);
    window.show();
    auto* tabs = window.findChild<QTabBar*>(QString::fromUtf8("高级选择夹1_标签"));
    tabs->setCurrentIndex(1);  // the download page on screen
    window.findChild<QLineEdit*>(QString::fromUtf8("编辑框_号码"))->setText(kUid);
    auto* status = window.findChild<QLabel*>(QString::fromUtf8("标签_动态"));
    window.findChild<QPushButton*>(QString::fromUtf8("按钮_获取相册封面"))->click();
    ServeUntil([&] { return status->text().startsWith(QString::fromUtf8("相册列表获取完毕")); });

    const auto message_open = [] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (qobject_cast<QMessageBox*>(top) && top->isVisible()) return true;
        }
        return false;
    };
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    const auto start = Clock::now();
    window.findChild<QPushButton*>(QString::fromUtf8("按钮_下载选中"))->click();
    ServeUntil(message_open);  // 全部下载完毕
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    std::printf("%.3f %.3f\n", wall, CpuSeconds(after) - CpuSeconds(before));
    std::fflush(stdout);
    std::_Exit(0);  // the browser's processes go with this one
}

// Runs a program; its standard output, wall and CPU time.
Figures Run(const std::vector<std::string>& args, std::string* out = nullptr) {
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0) return {};
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipe_fds[1], STDOUT_FILENO);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDERR_FILENO);
        ::close(pipe_fds[0]);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipe_fds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
    ::close(pipe_fds[0]);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    if (out) *out = text;
    return {std::chrono::duration<double>(Clock::now() - start).count(), CpuSeconds(usage)};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void WriteConfig(const fs::path& folder, const std::string& base, const fs::path& saved) {
    fs::create_directories(folder);
    std::ofstream(folder / "配置.ini") << "[服务地址]\n微博首页=" << base << "/\n相册服务=" << base
                                      << "\n[全局设置]\n请求间隔=0\n同时下载数=4\n保存位置=" << saved.string() << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--window") return WindowRun(argc, argv);

    wa::fake::User user;
    user.uid = kUid;
    user.title = "bench";
    wa::fake::Album album;
    album.album_id = "1";
    album.caption = "相册";
    for (int i = 0; i < kPictures; ++i) {
        album.photos.push_back({.photo_id = std::to_string(5000000 + i), .timestamp = 1400000000 - i,
                                .caption = "第" + std::to_string(i) + "张照片"});
    }
    user.albums.push_back(album);
    wa::fake::FakeWeibo fake;
    fake.AddUser(user);
    if (!fake.Start()) return 1;

    // Pictures go to tmpfs, so the disk does not decide.
    const fs::path root = fs::path("/dev/shm") / ("wa-window-bench-" + std::to_string(::getpid()));
    const fs::path window_folder = root / "window";
    const fs::path cli_folder = root / "cli";
    fs::create_directories(cli_folder);
    fs::copy_file(WA_CLI_PATH, cli_folder / "weibo-albums-cli");
    std::printf("%d pictures, 4 in flight, no spacing, saved on tmpfs; 3 alternating rounds each\n", kPictures);
    std::vector<double> window_wall, window_cpu, cli_wall, cli_cpu;
    for (int round = 1; round <= 3; ++round) {
        fs::remove_all(root / "saved");
        fs::remove_all(window_folder);
        WriteConfig(window_folder, fake.BaseUrl(), root / "saved");
        std::string figures;
        Run({"xvfb-run", "-a", "-s", "-screen 0 1280x800x24", argv[0], "--window", window_folder.string()}, &figures);
        Figures window;
        std::sscanf(figures.c_str(), "%lf %lf", &window.wall, &window.cpu);
        fs::remove_all(root / "saved");
        fs::remove_all(cli_folder / "防止重复下载数据库");
        WriteConfig(cli_folder, fake.BaseUrl(), root / "saved");
        const Figures cli = Run({(cli_folder / "weibo-albums-cli").string(), "download", kUid});
        std::printf("  round %d: window %.2f s wall, %.2f s CPU; cli %.2f s wall, %.2f s CPU\n", round, window.wall,
                    window.cpu, cli.wall, cli.cpu);
        std::fflush(stdout);
        window_wall.push_back(window.wall);
        window_cpu.push_back(window.cpu);
        cli_wall.push_back(cli.wall);
        cli_cpu.push_back(cli.cpu);
    }
    std::printf("medians: window %.2f s wall, %.2f s CPU; cli %.2f s wall, %.2f s CPU\n", Median(window_wall),
                Median(window_cpu), Median(cli_wall), Median(cli_cpu));
    std::printf("window / cli: wall %.2f (target 1.2 at most), CPU %.2f (target 2 at most)\n",
                Median(window_wall) / Median(cli_wall), Median(window_cpu) / Median(cli_cpu));
    fs::remove_all(root);
    fake.Stop();
    return 0;
}
