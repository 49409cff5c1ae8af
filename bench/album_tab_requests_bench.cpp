// What the album tab costs in requests: a user whose photo service is closed,
// 600 pictures in 200 picture posts among 400 posts, pages of 20 on the wall
// and on the timeline. A first download of 全部图片 with weibo-albums-cli, a
// re-run with the record of downloaded photos, and the same two a day later
// with nothing new; the requests of each kind, and the time.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "fake_weibo.h"
#include "tab_user.h"
#include "run_program.h"

namespace {

namespace fs = std::filesystem;

// 600 pictures, three to a post, one in thirty a live photo.
wa::fake::User ClosedUser() {
    wa::fake::User user = wa::bench::TabUser(600, 3, 200);
    for (std::size_t i = 0; i < user.albums[0].photos.size(); ++i) user.albums[0].photos[i].live = i % 30 == 7;
    return user;
}

}  // namespace

int main(int argc, char** argv) {
    wa::bench::MeasureWhenAsked(argc, argv);
    wa::fake::FakeWeibo fake;
    fake.AddUser(ClosedUser());
    if (!fake.Start()) return 1;
    const fs::path root = fs::temp_directory_path() / ("wa-tab-bench-" + std::to_string(::getpid()));
    fs::create_directories(root / "bin");
    const std::string cli = (root / "bin" / "weibo-albums-cli").string();
    fs::copy_file(WA_CLI_PATH, cli);
    std::ofstream(root / "bin" / "配置.ini") << "[服务地址]\n微博首页=" << fake.BaseUrl() << "/\n相册服务=" << fake.BaseUrl()
                                             << "\n[全局设置]\n保存位置=" << (root / "saved").string() << "\n请求间隔=0\n";
    std::printf("600 pictures (20 live) in 200 picture posts among 400, the photo service closed, 请求间隔 0\n");
    std::printf("  %-34s %6s %5s %5s %8s %5s %6s %6s\n", "", "time", "lists", "wall", "timeline", "posts", "pics",
                "videos");
    const struct {
        const char* what;
        const char* flag;
    } runs[] = {{"first download of 全部图片", "--no-skip-downloaded"},
                {"re-run, record store on", "--skip-downloaded"},
                {"re-run again, record store on", "--skip-downloaded"}};
    for (const auto& run : runs) {
        fake.ClearRequests();
        const wa::bench::Timed timed =
            wa::bench::RunProgram({cli, "download", "1000000003", "--albums", "1", "--parallel", "8", run.flag});
        std::printf("  %-34s %5.1fs %5d %5d %8d %5d %6d %6d%s\n", run.what, timed.seconds,
                    fake.CountRequests("/albums/get_all"), fake.CountRequests("getImageWall"),
                    fake.CountRequests("/ajax/statuses/mymblog"), fake.CountRequests("/ajax/statuses/show"),
                    fake.CountRequests("/mw2000/") + fake.CountRequests("/ajax/common/download"),
                    fake.CountRequests("/livephoto/"), timed.status == 0 ? "" : "  (exit not 0)");
        std::fflush(stdout);
    }
    fs::remove_all(root);
    return 0;
}
