// The fake Weibo service as a program of its own, for demos and manual tests.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "fake_weibo.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void Usage() {
    std::puts(
        "usage: fake-weibo [--port N] [--user UID:ALBUMS:PHOTOS]... [--require-login] [--hotlink]\n"
        "\n"
        "Serves a fake Weibo site and photo service on 127.0.0.1 until interrupted.\n"
        "  --port N            port to listen on (default 8080; 0 picks a free one)\n"
        "  --user U:A:P        a sample user U with A albums of P photos each\n"
        "                      (default 1000000001:4:60); the home page is /u/U\n"
        "  --require-login     the album list answers only after a login on /\n"
        "  --hotlink           pictures answer 403 unless the Referer is the site\n");
}

}  // namespace

int main(int argc, char** argv) {
    int port = 8080;
    bool any_user = false;
    wa::fake::FakeWeibo fake;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--port" && i + 1 < argc) {
            port = std::atoi(argv[++i]);
        } else if (arg == "--user" && i + 1 < argc) {
            std::string uid;
            int albums = 0;
            int photos = 0;
            char buffer[64] = {};
            if (std::sscanf(argv[++i], "%63[0-9]:%d:%d", buffer, &albums, &photos) != 3) {
                Usage();
                return 2;
            }
            fake.AddUser(wa::fake::SampleUser(buffer, albums, photos));
            any_user = true;
        } else if (arg == "--require-login") {
            fake.SetRequireLogin(true);
        } else if (arg == "--hotlink") {
            fake.SetHotlinkProtection(true);
        } else {
            Usage();
            return arg == "--help" ? 0 : 2;
        }
    }
    if (!any_user) fake.AddUser(wa::fake::SampleUser("1000000001", 4, 60));
    if (!fake.Start(port)) {
        std::fprintf(stderr, "fake-weibo: cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    std::printf("fake-weibo listening on %s\n", fake.BaseUrl().c_str());
    std::fflush(stdout);
    std::signal(SIGINT, [](int) { g_stop = 1; });
    std::signal(SIGTERM, [](int) { g_stop = 1; });
    while (!g_stop) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    fake.Stop();
    return 0;
}
