// The command-line front end as a user runs it: a copy of the program in a
// folder of its own, with its settings file beside it, against the fake service.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <json-c/json.h>
#include <sqlite3.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "../desktop/fake_notifications.h"
#include "../fake_service.h"
#include "../util/temp_folder.h"
#include "cli/album_json.h"
#include "cli/arguments.h"
#include "download/album_index.h"
#include "util/ini_file.h"

namespace wa {
namespace {

namespace fs = std::filesystem;

std::string ReadWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Finished {
    int status = -1;
    std::string out;
    std::string err;
    long peak_kib = 0;  // the program's largest resident size
};

class CliTest : public test::FakeServiceTest {
protected:
    void SetUp() override {
        FakeServiceTest::SetUp();
        fake::User user = fake::SampleUser("4004", 2, 30);
        fake.AddUser(user);
        program = (temp.path() / "bin" / "weibo-albums-cli").string();
        fs::create_directories(temp.path() / "bin");
        fs::copy_file(WA_CLI_PATH, program);
        config = (temp.path() / "bin" / "配置.ini").string();
        WriteSetting(config, "服务地址", "微博首页", fake.BaseUrl() + "/");
        WriteSetting(config, "服务地址", "相册服务", HostBase(CurrentService(), kPhotoServiceHost));
        if (tls) WriteSetting(config, "服务地址", "证书", CaFile());
        WriteSetting(config, "全局设置", "保存位置", (temp.path() / "saved").string());
        WriteSetting(config, "全局设置", "请求间隔", "0");
    }

    // The program in a home of its own, no proxy but what `environment`
    // says; standard error goes to a file.
    pid_t Spawn(const std::vector<std::string>& args, int& out_fd,
                const std::vector<std::pair<std::string, std::string>>& environment = {}) {
        int pipe_fds[2];
        if (::pipe(pipe_fds) != 0) return -1;
        fs::create_directories(temp.path() / "home");
        const std::string err = (temp.path() / "stderr.txt").string();
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("HOME", (temp.path() / "home").c_str(), 1);
            for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "http_proxy", "https_proxy", "all_proxy",
                                     "no_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "NO_PROXY"}) {
                ::unsetenv(name);
            }
            for (const auto& [name, value] : environment) ::setenv(name.c_str(), value.c_str(), 1);
            ::dup2(pipe_fds[1], STDOUT_FILENO);
            const int err_fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(err_fd, STDERR_FILENO);
            ::close(pipe_fds[0]);
            std::vector<char*> argv{program.data()};
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(pipe_fds[1]);
        out_fd = pipe_fds[0];
        return pid;
    }
    Finished Collect(pid_t pid, int out_fd) {
        Finished done;
        char buffer[4096];
        for (ssize_t n; (n = ::read(out_fd, buffer, sizeof buffer)) > 0;) done.out.append(buffer, static_cast<std::size_t>(n));
        ::close(out_fd);
        int status = 0;
        struct rusage usage {};
        ::wait4(pid, &status, 0, &usage);
        done.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        done.peak_kib = usage.ru_maxrss;
        std::ifstream err(temp.path() / "stderr.txt");
        done.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
        return done;
    }
    Finished Run(const std::vector<std::string>& args,
                 const std::vector<std::pair<std::string, std::string>>& environment = {}) {
        int out_fd = -1;
        const pid_t pid = Spawn(args, out_fd, environment);
        return Collect(pid, out_fd);
    }
    std::size_t CountFiles(const fs::path& folder) const {
        std::size_t count = 0;
        if (fs::exists(folder)) {
            for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder)) ++count;
        }
        return count;
    }

    test::TempFolder temp;
    std::string program;
    std::string config;
};

TEST_F(CliTest, ListsTheAlbumsOfAUid) {
    const Finished done = Run({"albums", "4004"});
    EXPECT_EQ(done.status, 0);
    EXPECT_NE(done.out.find("演示用户的微博 (uid 4004)\n"), std::string::npos);
    EXPECT_NE(done.out.find("1\t微博配图\t30\t3550000000@@3\n"), std::string::npos);
    EXPECT_NE(done.out.find("2\t头像相册\t30\t3550000001@@3\n"), std::string::npos);
}

TEST_F(CliTest, DownloadsTheChosenAlbumWithTheSettingsBesideIt) {
    const Finished done = Run({"download", fake.BaseUrl() + "/u/4004", "--albums", "2", "--format", "text-number"});
    EXPECT_EQ(done.status, 0) << done.out;
    EXPECT_NE(done.out.find("当前被选择相册编号:2、\n"), std::string::npos);
    EXPECT_NE(done.out.find("-------全部下载完毕--------"), std::string::npos);
    const fs::path album = temp.path() / "saved" / "演示用户的微博" / "头像相册30";
    EXPECT_EQ(CountFiles(album), 30u);
    EXPECT_TRUE(fs::exists(album / "普通的一天(16).jpg"));
    EXPECT_FALSE(fs::exists(temp.path() / "saved" / "演示用户的微博" / "微博配图30"));
    EXPECT_TRUE(fs::exists(temp.path() / "bin" / "防止重复下载数据库" / "4004.edb"));

    // Again with the record switch on: nothing is fetched.
    fake.ClearRequests();
    EXPECT_EQ(Run({"download", "4004", "--albums", "2", "--skip-downloaded"}).status, 0);
    EXPECT_EQ(fake.CountRequests("/large/"), 0);
}

// --metadata and --index over what 配置.ini says, and --no-metadata over
// 写入照片信息 on: the pictures as the server gave them.
TEST_F(CliTest, TheStoryAndIndexFlagsOverTheSettings) {
    const fs::path album = temp.path() / "saved" / "演示用户的微博" / "头像相册30";
    WriteSetting(config, "全局设置", "写入照片信息", "已启用");
    ASSERT_EQ(Run({"download", "4004", "--albums", "2", "--no-metadata"}).status, 0);
    EXPECT_EQ(CountFiles(album), 30u);  // no index
    const std::string served = ReadWhole(album / "(16)普通的一天.jpg");
    fs::remove_all(album);
    ASSERT_EQ(Run({"download", "4004", "--albums", "2", "--index"}).status, 0);
    EXPECT_EQ(CountFiles(album), 31u);
    const std::string told = ReadWhole(album / "(16)普通的一天.jpg");
    EXPECT_NE(told, served);
    EXPECT_NE(told.find("普通的一天"), std::string::npos);  // in its XMP
    const std::string index = ReadWhole(album / std::string(kAlbumIndexName));
    EXPECT_NE(index.find("\"file\": \"(16)普通的一天.jpg\""), std::string::npos);
}

// A failed picture or page gives status 1 and figures that say so; then
// --retry-failed asks for those alone and saves them.
TEST_F(CliTest, FailedPictureOrPageGivesStatusOneAndARetryGetsThemAlone) {
    fake.AddFault("/large/3600000000000", fake::Fault{.status = 500});
    const Finished done = Run({"download", "4004", "--albums", "1"});
    EXPECT_EQ(done.status, 1);
    EXPECT_NE(done.out.find("图片下载失败[500]"), std::string::npos);
    EXPECT_NE(done.out.find("(uid 4004): saved 29, already there 0, skipped as downloaded 0, outside the date window 0, "
                            "failed 1, photo-list pages failed 0\n"),
              std::string::npos) << done.out;

    fake.AddFault("album_id=3550000001", fake::Fault{.malformed_json = true});
    const Finished page = Run({"download", "4004", "--albums", "2"});  // ten attempts, two seconds apart
    EXPECT_EQ(page.status, 1);
    EXPECT_NE(page.out.find("第1页照片列表获取失败"), std::string::npos);
    EXPECT_NE(page.out.find("-------下载结束，但有1页照片列表没有获取--------"), std::string::npos);

    fake.ClearFaults();
    fake.ClearRequests();
    const Finished retried = Run({"download", "4004", "--retry-failed"});
    EXPECT_EQ(retried.status, 0) << retried.out << retried.err;
    EXPECT_NE(retried.out.find("(uid 4004): saved 31, already there 0"), std::string::npos) << retried.out;
    EXPECT_EQ(fake.CountRequests("/albums/get_all"), 0);
    EXPECT_EQ(fake.CountRequests("/photos/get_all"), 1);
    EXPECT_EQ(fake.CountRequests("/large/"), 31);
    EXPECT_EQ(Run({"download", "4004", "--retry-failed", "--albums", "1"}).status, 2);
}

TEST_F(CliTest, BadUsageAndUnusableAddressesGiveStatusTwo) {
    EXPECT_EQ(Run({"download"}).status, 2);
    EXPECT_EQ(Run({"fetch", "4004"}).status, 2);
    EXPECT_EQ(Run({"download", "4004", "--albums", "x"}).status, 2);
    EXPECT_EQ(Run({"download", "4004", "--albums", "9"}).status, 2);
    EXPECT_EQ(Run({"download", "4004", "--format", "nonsense"}).status, 2);
    EXPECT_EQ(Run({"albums", fake.BaseUrl() + "/nobody"}).status, 2);
    EXPECT_EQ(Run({"download", "4004", "--albums", "99999999999999999999"}).status, 2);
    const Finished help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: weibo-albums-cli"), std::string::npos);
}

TEST_F(CliTest, InterruptWhileTheUserIsFoundStopsAtOnce) {
    fake.AddFault("/u/4004", fake::Fault{.delay_ms = 20000});
    int out_fd = -1;
    const pid_t pid = Spawn({"download", fake.BaseUrl() + "/u/4004"}, out_fd);
    for (int i = 0; i < 1000 && fake.CountRequests("/u/4004") == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGTERM);
    const auto start = std::chrono::steady_clock::now();
    const Finished done = Collect(pid, out_fd);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(done.status, 130);
    EXPECT_EQ(fake.CountRequests("/albums/"), 0);
}

TEST_F(CliTest, InterruptStopsLikeTheStopButton) {
    fake.AddFault("/large/3600000000003", fake::Fault{.stall_ms = 20000});
    int out_fd = -1;
    const pid_t pid = Spawn({"download", "4004", "--albums", "1", "--parallel", "1"}, out_fd);
    for (int i = 0; i < 1000 && fake.CountRequests("/large/3600000000003") == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGINT);
    const auto start = std::chrono::steady_clock::now();
    const Finished done = Collect(pid, out_fd);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(done.status, 130);
    EXPECT_EQ(done.out.find("全部下载完毕"), std::string::npos);
    const fs::path album = temp.path() / "saved" / "演示用户的微博" / "微博配图30";
    EXPECT_EQ(CountFiles(album), 3u);  // photos 1 to 3; the fourth was stopped mid-transfer
    for (const auto& entry : fs::directory_iterator(album)) {
        EXPECT_FALSE(entry.path().filename().string().starts_with(".weibo-albums-"));
    }
}

TEST_F(CliTest, SeveralUsersOneAfterTheOtherAndTheWorstStatus) {
    fake::User other = fake::SampleUser("4007", 1, 5);
    other.title = "乙的微博";
    fake.AddUser(other);
    const Finished both = Run({"download", "4004", "4007", "--albums", "1", "--new-only"});
    EXPECT_EQ(both.status, 0) << both.out;
    EXPECT_NE(both.out.find("【启用了】 只下载新照片，它需要防止重复下载功能，本次下载已开启"), std::string::npos);
    EXPECT_NE(both.out.find("演示用户的微博 (uid 4004): saved 30, already there 0, skipped as downloaded 0"), std::string::npos) << both.out;
    EXPECT_NE(both.out.find("乙的微博 (uid 4007): saved 5, already there 0, skipped as downloaded 0"), std::string::npos) << both.out;

    const std::string users = (temp.path() / "users.txt").string();
    std::ofstream(users) << "# the accounts I follow\n\n  4007  \n9999\n";
    const Finished listed = Run({"download", "--users-file", users, "--skip-downloaded"});
    EXPECT_EQ(listed.status, 2);  // 9999 is nobody: the worst of the two
    EXPECT_NE(listed.out.find("乙的微博 (uid 4007): saved 0, already there 0, skipped as downloaded 5"), std::string::npos) << listed.out;
    EXPECT_EQ(Run({"download", "--users-file", (temp.path() / "none.txt").string()}).status, 2);
}

TEST_F(CliTest, SyncTakesTheNewPhotosOfTheSyncListBesideTheSettings) {
    fake::User other = fake::SampleUser("4007", 2, 3);
    other.title = "乙的微博";
    fake.AddUser(other);
    EXPECT_EQ(Run({"sync"}).status, 2);  // no list yet
    EXPECT_EQ(Run({"sync", "4004"}).status, 2);
    const fs::path list = temp.path() / "bin" / "同步列表.txt";
    std::ofstream(list) << "# 我关注的\n4004\n4007 albums=3550000001@@3  # 乙\n4008 every=day\n";
    const Finished first = Run({"sync"});
    EXPECT_EQ(first.status, 0) << first.out << first.err;
    EXPECT_NE(first.err.find("line 4 of the users file " + list.string() + " is left out: \"every=day\""),
              std::string::npos) << first.err;
    EXPECT_NE(first.out.find("【启用了】 只下载新照片"), std::string::npos);
    EXPECT_NE(first.out.find("同步第2/2个用户：4007"), std::string::npos) << first.out;
    EXPECT_NE(first.out.find("乙的微博 (uid 4007): saved 3, already there 0, skipped as downloaded 0"), std::string::npos) << first.out;
    EXPECT_NE(first.out.find("同步完毕：2个用户，新照片63张"), std::string::npos) << first.out;

    // New photos of one user: they alone are saved, one page asked of each album.
    ASSERT_TRUE(fake.AddNewPhotos("4004", 0, 3));
    fake.ClearRequests();
    const Finished second = Run({"sync", "--notify"}, {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus"}});
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_NE(second.out.find("同步完毕：2个用户，新照片3张"), std::string::npos) << second.out;
    EXPECT_EQ(fake.CountRequests("/photos/get_all"), 3);
    EXPECT_NE(second.err.find("桌面通知未发出：无法连接会话总线"), std::string::npos) << second.err;
    EXPECT_EQ(Run({"download", "4004", "--notify"}).status, 2);

    // A service that keeps what it shows open: the sync ends once it is
    // shown, and offers no click nobody would answer.
    test::PrivateSessionBus bus;
    test::FakeNotificationService service(true);
    ASSERT_TRUE(fake.AddNewPhotos("4007", 1, 1));
    EXPECT_EQ(Run({"sync", "--notify"}).status, 0);
    const auto shown = service.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].body, "乙的微博：新照片1张");
    EXPECT_TRUE(shown[0].actions.empty());
}

TEST_F(CliTest, ControlCharactersFromTheServiceNeverReachTheTerminal) {
    fake::User hostile = fake::SampleUser("4010", 1, 2);
    hostile.title = "\x1b]0;TITLE\x07\x1b[31m恶意的微博";
    hostile.albums[0].caption = "相册\x1b[2J\xc2\x9b";
    fake.AddUser(hostile);
    const Finished listed = Run({"albums", "4010"});
    EXPECT_EQ(listed.status, 0);
    const Finished done = Run({"download", "4010"});
    EXPECT_EQ(done.status, 0) << done.out;
    for (const Finished* output : {&listed, &done}) {
        EXPECT_EQ(output->out.find_first_of("\x1b\x07"), std::string::npos) << output->out;
        EXPECT_EQ(output->out.find("\xc2\x9b"), std::string::npos);  // C1 control
    }
    EXPECT_NE(listed.out.find("?]0;TITLE??[31m恶意的微博 (uid 4010)\n1\t相册?[2J?\t2\t"), std::string::npos) << listed.out;
    EXPECT_NE(done.out.find("准备下载相册《相册?[2J?》"), std::string::npos) << done.out;
}

TEST_F(CliTest, AlbumsAsJson) {
    const Finished done = Run({"albums", "4004", "--json"});
    ASSERT_EQ(done.status, 0);
    json_object* albums = json_tokener_parse(done.out.c_str());
    ASSERT_TRUE(albums && json_object_is_type(albums, json_type_array)) << done.out;
    ASSERT_EQ(json_object_array_length(albums), 2u);
    json_object* first = json_object_array_get_idx(albums, 0);
    const auto member = [first](const char* name) { return json_object_object_get(first, name); };
    EXPECT_EQ(json_object_get_int(member("number")), 1);
    EXPECT_STREQ(json_object_get_string(member("name")), "微博配图");
    EXPECT_EQ(json_object_get_int(member("count")), 30);
    EXPECT_STREQ(json_object_get_string(member("id")), "3550000000@@3");
    EXPECT_EQ(std::string(json_object_get_string(member("cover"))), fake.BaseUrl() + "/cover/3550000000.jpg");
    json_object_put(albums);
}

TEST_F(CliTest, RequestsGoThroughTheProxyOfTheEnvironmentUnlessTheSettingSaysOtherwise) {
    fake::FakeWeibo proxy;  // a plain fake serves what a proxy would fetch for it
    proxy.AddUser(fake::SampleUser("4008", 1, 2));
    ASSERT_TRUE(proxy.Start());
    const std::string behind = (temp.path() / "behind.ini").string();
    WriteSetting(behind, "服务地址", "微博首页", "http://weibo.test/");
    WriteSetting(behind, "服务地址", "相册服务", "http://weibo.test");
    WriteSetting(behind, "全局设置", "请求间隔", "0");
    const std::pair<std::string, std::string> through{"http_proxy", "http://127.0.0.1:" + std::to_string(proxy.port())};
    const Finished done = Run({"albums", "4008", "--config", behind}, {through});
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_NE(done.out.find("1\t微博配图\t2\t"), std::string::npos);
    EXPECT_EQ(proxy.Requests().front().Header("host"), "weibo.test");

    proxy.ClearRequests();
    EXPECT_EQ(Run({"albums", "4008", "--config", behind}, {through, {"no_proxy", "weibo.test"}}).status, 1);
    WriteSetting(behind, "全局设置", "代理", "direct");
    EXPECT_EQ(Run({"albums", "4008", "--config", behind}, {through}).status, 1);
    EXPECT_TRUE(proxy.Requests().empty());
}

TEST_F(CliTest, AlbumsAsJsonHoldWhateverTheServiceWrites) {
    // Control characters, C1, bidi controls, a line separator, invalid UTF-8
    // and a count no integer holds, which is no count at all.
    fake.AddFault("/albums/get_all",
                  fake::Fault{.body = "{\"result\":true,\"data\":{\"album_list\":["
                                      "{\"album_id\":\"1\",\"type\":\"3\",\"caption\":\"a\\u0007b\\u001b[31m\\u0085c\","
                                      "\"count\":{\"photos\":\"1234567890123456789012345678901\"}},"
                                      "{\"album_id\":\"2\",\"type\":\"3\",\"caption\":\"\\u202eevil\\u2028x\xff\xfe\","
                                      "\"count\":{\"photos\":7}},"
                                      "{\"album_id\":\"3\",\"type\":\"3\",\"caption\":\"nul\\u0000cut after nul\","
                                      "\"cover_pic\":\"https://wx1.example/a\\u0000b.jpg\",\"count\":{\"photos\":1}}]}}"});
    const Finished done = Run({"albums", "4004", "--json"});
    ASSERT_EQ(done.status, 0) << done.err;
    for (const char* raw : {"\x07", "\x1b", "\xc2\x85", "\xe2\x80\xae", "\xe2\x80\xa8", "\xff"}) {
        EXPECT_EQ(done.out.find(raw), std::string::npos) << done.out;
    }
    json_tokener* tokener = json_tokener_new();
    json_tokener_set_flags(tokener, JSON_TOKENER_STRICT | JSON_TOKENER_VALIDATE_UTF8);
    json_object* albums = json_tokener_parse_ex(tokener, done.out.c_str(), static_cast<int>(done.out.size()));
    EXPECT_EQ(json_tokener_get_error(tokener), json_tokener_success) << done.out;
    json_tokener_free(tokener);
    ASSERT_TRUE(albums && json_object_array_length(albums) == 3u) << done.out;
    json_object* first = json_object_array_get_idx(albums, 0);
    json_object* name = json_object_object_get(first, "name");
    EXPECT_EQ(std::string(json_object_get_string(name), static_cast<std::size_t>(json_object_get_string_len(name))),
              "a\x07" "b\x1b[31m\xc2\x85" "c");
    json_object* count = nullptr;
    EXPECT_TRUE(json_object_object_get_ex(first, "count", &count) && count == nullptr);  // null
    EXPECT_EQ(json_object_get_int(json_object_object_get(json_object_array_get_idx(albums, 1), "count")), 7);
    const auto text_of = [&](const char* member) {  // of the third album, NULs and all
        json_object* value = json_object_object_get(json_object_array_get_idx(albums, 2), member);
        return std::string(json_object_get_string(value), static_cast<std::size_t>(json_object_get_string_len(value)));
    };
    using namespace std::string_literals;
    EXPECT_EQ(text_of("name"), "nul\0cut after nul"s);
    EXPECT_EQ(text_of("cover"), "https://wx1.example/a\0b.jpg"s);
    json_object_put(albums);
}

TEST(CliHelp, EveryDoorSpeaksForItselfInTheHelp) {
    const std::string help = cli::HelpText();
    for (const char* words : {"auto: each door in turn (the default)", "photo: the photo service only",
                              "page: the album tab of the user's page only", "page:wall for 全部图片",
                              "<album id>@@<type>"}) {
        EXPECT_NE(help.find(words), std::string::npos) << words;
    }
    EXPECT_EQ(help.find('%'), std::string::npos);  // every place filled
}

TEST_F(CliTest, AHostileUsersFileIsRefusedByLineWithFlatMemory) {
    const std::string users = (temp.path() / "users.txt").string();
    std::ofstream(users, std::ios::binary) << "# fine\n4004\n" << std::string("40\0" "04\n", 6) << "4004 x=y\n";
    const Finished nul = Run({"download", "--users-file", users, "--albums", "9"});
    EXPECT_NE(nul.err.find("line 3 of the users file " + users + " is left out: it holds a NUL byte"), std::string::npos)
        << nul.err;
    EXPECT_NE(nul.err.find("line 4 of the users file " + users + " is left out"), std::string::npos) << nul.err;
    EXPECT_EQ(fake.CountRequests("/u/4004"), 1);  // the line before it is read and downloaded
    {
        // Written a piece at a time: this process never holds the line either.
        std::ofstream out(users, std::ios::binary);
        out << "4004\n";
        const std::string piece(1u << 20, 'a');
        for (int i = 0; i < 64; ++i) out << piece;
        out << "\n";
    }
    fake.ClearRequests();
    const Finished long_line = Run({"download", "--users-file", users, "--albums", "9"});
    EXPECT_NE(long_line.err.find("line 2 of the users file " + users + " is left out: it is longer than 65536 bytes"),
              std::string::npos)
        << long_line.err;
    EXPECT_LT(long_line.peak_kib, nul.peak_kib + 16 * 1024);  // never the 64 MiB line in memory
    EXPECT_EQ(fake.CountRequests("/u/4004"), 1);

    std::ofstream(users, std::ios::binary) << "\x1b]0;evil\x07nobody\n";
    const Finished echoed = Run({"download", "--users-file", users});
    EXPECT_EQ(echoed.status, 2);
    EXPECT_EQ(echoed.err.find_first_of("\x1b\x07"), std::string::npos) << echoed.err;
    EXPECT_NE(echoed.err.find("?]0;evil?nobody"), std::string::npos) << echoed.err;
}

TEST_F(CliTest, ASettingsFileOthersMayWriteNamesNoProxyNorAuthority) {
    WriteSetting(config, "全局设置", "代理", "127.0.0.1:1");
    WriteSetting(config, "服务地址", "证书", (temp.path() / "planted-ca.pem").string());
    ::chmod(config.c_str(), 0666);
    const Finished open = Run({"albums", "4004"});
    EXPECT_EQ(open.status, 0) << open.err;  // neither the proxy nor the authority was used
    EXPECT_NE(open.err.find("配置文件 " + config + " 所有用户都可以修改，其中的“代理”和“证书”设置不予使用"),
              std::string::npos)
        << open.err;
    ::chmod(config.c_str(), 0644);
    const Finished own = Run({"albums", "4004"});
    EXPECT_EQ(own.status, 1);  // the user's own file: its proxy is used, and cannot be reached
    EXPECT_NE(own.err.find("无法连接到代理 127.0.0.1:1（Connection refused）"), std::string::npos) << own.err;
}

class CliTodayTest : public CliTest {
protected:
    CliTodayTest() { tls = true; }
};

TEST_F(CliTodayTest, ListsWithTheSecureLoginCookieOfACookieFile) {
    fake::User user = fake::SampleUser("4005", 2, 3);
    user.marker = fake::UidMarker::kNone;
    fake.AddUser(user);
    fake.SetRequireLogin(true);
    fake.SetVisitorWall(true);
    const std::string address = fake.BaseUrl() + "/u/4005";
    EXPECT_EQ(Run({"albums", address}).status, 2);  // a login is needed

    const std::string cookies = (temp.path() / "cookies.txt").string();
    std::ofstream(cookies) << "# Netscape HTTP Cookie File\n#HttpOnly_127.0.0.1\tFALSE\t/\tTRUE\t1924992000\t"
                           << fake::FakeWeibo::kSessionCookie << "\t" << fake::FakeWeibo::kSessionValue << "\n";
    const Finished done = Run({"albums", address, "--cookies", cookies});
    EXPECT_EQ(done.status, 0);
    EXPECT_NE(done.out.find("演示用户的微博 (uid 4005)\n1\t微博配图\t3\t"), std::string::npos) << done.out;
}

TEST_F(CliTodayTest, APhotoServiceThatAnswers504FallsBackToTheAlbumTabWithinSeconds) {
    fake::User user = fake::SampleUser("4006", 2, 12);
    user.photo_service_down = true;
    fake.AddUser(user);
    fake.SetRequireLogin(true);
    const std::string cookies = (temp.path() / "cookies.txt").string();
    std::ofstream(cookies) << "#HttpOnly_127.0.0.1\tFALSE\t/\tTRUE\t1924992000\t" << fake::FakeWeibo::kSessionCookie
                           << "\t" << fake::FakeWeibo::kSessionValue << "\n";
    const auto start = std::chrono::steady_clock::now();
    const Finished listed = Run({"albums", fake.BaseUrl() + "/u/4006", "--cookies", cookies});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));  // 2 + 4 + 8 s of waits, not hours
    EXPECT_EQ(listed.status, 0);
    EXPECT_NE(listed.out.find("服务器错误（HTTP 504），8秒后重试\n相册服务无法获取相册列表，改从相册页获取\n"), std::string::npos)
        << listed.out;
    EXPECT_NE(listed.out.find("1\t全部图片\t\tpage:wall\n2\t微博配图\t\tpage:"), std::string::npos) << listed.out;
    EXPECT_EQ(fake.CountRequests("/albums/get_all"), 4);

    const Finished done = Run({"download", "4006", "--cookies", cookies, "--source", "page", "--albums", "2"});
    EXPECT_EQ(done.status, 0) << done.out;
    EXPECT_NE(done.out.find("saved 12, live videos 1, already there 0, skipped as downloaded 0"), std::string::npos) << done.out;
    const fs::path album = temp.path() / "saved" / "演示用户的微博" / "微博配图";
    EXPECT_TRUE(fs::exists(album / "(1)春天的花北京植物园.jpg"));
    EXPECT_TRUE(fs::exists(album / "(5)第一行第二行.mov"));
    EXPECT_TRUE(fs::exists(album / "(6)第一行第二行.gif"));
    EXPECT_EQ(fake.CountRequests("/albums/get_all"), 4);  // the album tab only
}

// A cookie database as a browser keeps it, with the session cookie in it.
void WriteCookieDatabase(const fs::path& path, const std::string& schema, const std::string& rows) {
    fs::create_directories(path.parent_path());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, (schema + ";" + rows).c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

TEST_F(CliTodayTest, TheLoginOfTheWindowOrOfFirefox) {
    fake.AddUser(fake::SampleUser("4009", 1, 2));
    fake.SetRequireLogin(true);
    const std::string session = std::string("'") + fake::FakeWeibo::kSessionCookie + "','" + fake::FakeWeibo::kSessionValue + "'";
    const fs::path window_profile = temp.path() / "bin" / "QtWebEngine" / "weibo-albums" / "Cookies";
    WriteCookieDatabase(window_profile,
                        "CREATE TABLE cookies(host_key TEXT, name TEXT, value TEXT, encrypted_value BLOB, path TEXT,"
                        " expires_utc INTEGER, is_secure INTEGER, is_httponly INTEGER, has_expires INTEGER)",
                        "INSERT INTO cookies VALUES('127.0.0.1'," + session + ",'','/',0,1,1,0);"
                        "INSERT INTO cookies VALUES('.example.com','other','x','','/',0,0,0,0)");
    const Finished window = Run({"albums", "4009"});
    EXPECT_EQ(window.status, 0) << window.err;
    EXPECT_NE(window.err.find("使用窗口程序的登录（1个Cookie）"), std::string::npos) << window.err;

    fs::remove(window_profile);
    const fs::path firefox = temp.path() / "home" / ".mozilla" / "firefox";
    fs::create_directories(firefox);
    std::ofstream(firefox / "profiles.ini") << "[General]\nStartWithLastProfile=1\n\n[Profile0]\nName=default\n"
                                               "IsRelative=1\nPath=abc.default\nDefault=1\n";
    WriteCookieDatabase(firefox / "abc.default" / "cookies.sqlite",
                        "CREATE TABLE moz_cookies(id INTEGER PRIMARY KEY, host TEXT, name TEXT, value TEXT, path TEXT,"
                        " expiry INTEGER, isSecure INTEGER, isHttpOnly INTEGER)",
                        "INSERT INTO moz_cookies(host, name, value, path, expiry, isSecure, isHttpOnly) VALUES('127.0.0.1'," +
                            session + ",'/',1924992000000,1,1)");  // expiry in milliseconds, as newer versions write
    EXPECT_EQ(Run({"albums", "4009"}).status, 2);  // no window login any more
    const Finished from_firefox = Run({"albums", "4009", "--cookies-from-browser", "firefox"});
    EXPECT_EQ(from_firefox.status, 0) << from_firefox.err;
    EXPECT_NE(from_firefox.err.find("使用Firefox的登录（1个Cookie）"), std::string::npos) << from_firefox.err;

    const Finished no_chromium = Run({"albums", "4009", "--cookies-from-browser", "chromium"});
    EXPECT_EQ(no_chromium.status, 2);
    EXPECT_NE(no_chromium.err.find("找不到 Chromium 的配置文件夹"), std::string::npos) << no_chromium.err;

    // A browser whose only Weibo cookie is a visitor's in another site's
    // frame holds no login: the run stops before asking Weibo anything.
    fs::remove(firefox / "abc.default" / "cookies.sqlite");
    WriteCookieDatabase(firefox / "abc.default" / "cookies.sqlite",
                        "CREATE TABLE moz_cookies(id INTEGER PRIMARY KEY, originAttributes TEXT, host TEXT, name TEXT,"
                        " value TEXT, path TEXT, expiry INTEGER, isSecure INTEGER, isHttpOnly INTEGER)",
                        "INSERT INTO moz_cookies(originAttributes, host, name, value, path, expiry,"
                        " isSecure, isHttpOnly) VALUES('^partitionKey=%28https%2Cexample.com%29','.weibo.com','SUB',"
                        "'visitor','/',1924992000,1,1)");
    fake.ClearRequests();
    const Finished no_login = Run({"albums", "4009", "--cookies-from-browser", "firefox"});
    EXPECT_EQ(no_login.status, 2);
    EXPECT_NE(no_login.err.find("Firefox在其他网站的嵌入页或容器标签页中的1个微博Cookie不予使用"), std::string::npos)
        << no_login.err;
    EXPECT_NE(no_login.err.find("Firefox里没有微博的登录"), std::string::npos) << no_login.err;
    EXPECT_TRUE(fake.Requests().empty());
}

}  // namespace
}  // namespace wa
