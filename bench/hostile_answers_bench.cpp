// What a hostile album tab costs the command line: a wall page of 56 MB
// (3,000,000 entries), one just inside the bounds (4 MiB, 49,000 objects),
// a wall that repeats its pictures under new cursors for ever, and timelines
// that flood (pages of 1,000 posts of nine pictures and 2 KiB captions under
// new cursors), repeat their cursor, or send cursors of 200 KiB. Prints the
// peak memory, the time and the requests of each. WA_CLI=<program> measures
// another build of weibo-albums-cli.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fake_weibo.h"
#include "run_program.h"

namespace {

namespace fs = std::filesystem;

wa::fake::User WallUser(const std::string& uid, bool loops, void (*timeline)(wa::fake::User&) = nullptr) {
    wa::fake::User user;
    user.uid = uid;
    user.title = "hostile" + uid;
    wa::fake::Album album;
    album.album_id = uid;
    album.caption = "相册";
    for (int i = 0; i < 40; ++i) album.photos.push_back({.photo_id = uid + std::to_string(100000 + i), .timestamp = 1400000000 - i});
    user.albums.push_back(album);
    user.tab_loops = loops;
    if (timeline) timeline(user);
    return user;
}

}  // namespace

int main(int argc, char** argv) {
    wa::bench::MeasureWhenAsked(argc, argv);
    wa::fake::FakeWeibo fake;
    fake.AddUser(WallUser("1", false));
    fake.AddUser(WallUser("2", true));
    fake.AddUser(WallUser("3", false));
    fake.AddUser(WallUser("4", false, [](wa::fake::User& u) { u.timeline_flood = 1000; }));
    fake.AddUser(WallUser("5", false, [](wa::fake::User& u) { u.timeline_same_cursor = true; u.timeline_page_size = 1; }));
    fake.AddUser(WallUser("6", false, [](wa::fake::User& u) { u.timeline_cursor_padding = 200 * 1024; u.timeline_page_size = 1; }));
    // The second page of the wall: the first comes whole.
    const auto page = [](std::size_t items, const std::string& pad) {
        std::string text = R"({"ok":1,"data":{"since_id":"0","list":[)";
        for (std::size_t i = 0; i < items; ++i) text += R"({"pid":"p)" + std::to_string(i % 1000) + R"(","mid":"1")" + pad + "},";
        return text + R"({"pid":"p","mid":"1"}]}})";
    };
    fake.AddFault("getImageWall?uid=1&sinceid=4954_20", wa::fake::Fault{.body = page(2'300'000, "")});
    fake.AddFault("getImageWall?uid=3&sinceid=4954_20", wa::fake::Fault{.body = page(49'000, std::string(40, ' '))});
    fake.Start();

    const fs::path root = fs::temp_directory_path() / ("wa-hostile-bench-" + std::to_string(::getpid()));
    fs::create_directories(root / "bin");
    const std::string cli = (root / "bin" / "weibo-albums-cli").string();
    const char* other = std::getenv("WA_CLI");
    fs::copy_file(other && *other ? other : WA_CLI_PATH, cli);
    std::ofstream(root / "bin" / "配置.ini") << "[服务地址]\n微博首页=" << fake.BaseUrl() << "/\n相册服务=" << fake.BaseUrl()
                                             << "\n[全局设置]\n保存位置=" << (root / "saved").string() << "\n请求间隔=0\n";
    std::printf("the album tab of weibo-albums-cli against hostile answers (请求间隔 0)\n");
    const struct {
        const char* what;
        const char* uid;
        const char* command;
    } runs[] = {{"a 56 MB wall page", "1", "download"},
                {"a wall page just within bounds", "3", "download"},
                {"a looping wall", "2", "download"},
                {"a flooding timeline", "4", "download"},
                {"a timeline repeating its cursor", "5", "download"},
                {"a timeline of 200 KiB cursors", "6", "download"}};
    for (const auto& run : runs) {
        fake.ClearRequests();
        const wa::bench::Timed timed =
            wa::bench::RunProgram({cli, run.command, run.uid, "--source", "page", "--albums", "1"});
        std::printf("  %-32s peak RSS %6.1f MiB, %6.2f s, exit %d, %3d wall, %5d timeline requests, %3d posts\n",
                    run.what, timed.peak_kib / 1024.0, timed.seconds, timed.status, fake.CountRequests("getImageWall"),
                    fake.CountRequests("/ajax/statuses/mymblog"), fake.CountRequests("/ajax/statuses/show"));
        std::fflush(stdout);
    }
    fs::remove_all(root);
    return 0;
}
