// The command-line front end as a user runs it: a copy of the program in a
// folder of its own, with its settings file beside it, against the fake service.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "../fake_service.h"
#include "../util/temp_folder.h"
#include "util/ini_file.h"

namespace wa {
namespace {

namespace fs = std::filesystem;

struct Finished {
    int status = -1;
    std::string out;
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
        WriteSetting(config, "服务地址", "相册服务", CurrentService().photo_host);
        if (tls) WriteSetting(config, "服务地址", "证书", CaFile());
        WriteSetting(config, "全局设置", "保存位置", (temp.path() / "saved").string());
        WriteSetting(config, "全局设置", "请求间隔", "0");
    }

    pid_t Spawn(const std::vector<std::string>& args, int& out_fd) {
        int pipe_fds[2];
        if (::pipe(pipe_fds) != 0) return -1;
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(pipe_fds[1], STDOUT_FILENO);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, STDERR_FILENO);
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
    static Finished Collect(pid_t pid, int out_fd) {
        Finished done;
        char buffer[4096];
        for (ssize_t n; (n = ::read(out_fd, buffer, sizeof buffer)) > 0;) done.out.append(buffer, static_cast<std::size_t>(n));
        ::close(out_fd);
        int status = 0;
        ::waitpid(pid, &status, 0);
        done.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return done;
    }
    Finished Run(const std::vector<std::string>& args) {
        int out_fd = -1;
        const pid_t pid = Spawn(args, out_fd);
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

TEST_F(CliTest, FailedPictureOrPageGivesStatusOne) {
    fake.AddFault("/large/3600000000000", fake::Fault{.status = 500});
    const Finished done = Run({"download", "4004", "--albums", "1"});
    EXPECT_EQ(done.status, 1);
    EXPECT_NE(done.out.find("图片下载失败[500]"), std::string::npos);

    fake.AddFault("album_id=3550000001", fake::Fault{.malformed_json = true});
    const Finished page = Run({"download", "4004", "--albums", "2"});  // ten attempts, two seconds apart
    EXPECT_EQ(page.status, 1);
    EXPECT_NE(page.out.find("第1页照片列表获取失败"), std::string::npos);
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
    EXPECT_NE(done.out.find("saved 12, live videos 1, skipped 0"), std::string::npos) << done.out;
    const fs::path album = temp.path() / "saved" / "演示用户的微博" / "微博配图";
    EXPECT_TRUE(fs::exists(album / "(1)春天的花北京植物园.jpg"));
    EXPECT_TRUE(fs::exists(album / "(5)第一行rn第二行.mov"));
    EXPECT_TRUE(fs::exists(album / "(6)第一行rn第二行.gif"));
    EXPECT_EQ(fake.CountRequests("/albums/get_all"), 4);  // the album tab only
}

}  // namespace
}  // namespace wa
