// The fake Weibo service as a program of its own, for demos and manual tests.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "fake_weibo.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void Usage() {
    std::puts(
        "usage: fake-weibo [--port N] [--user UID:ALBUMS:PHOTOS[:NAME]]... [--require-login] [--hotlink]\n"
        "                  [--tls CA_FILE] [--script-pages] [--visitor-wall] [--rate-limit N:SECONDS:RETRY]\n"
        "                  [--today CA_FILE] [--latency MS] [--photo-service-down UID]\n"
        "\n"
        "Serves a fake Weibo site and photo service on 127.0.0.1 until interrupted.\n"
        "  --port N            port to listen on (default 8080; 0 picks a free one)\n"
        "  --user U:A:P[:NAME] a sample user U with A albums of P photos each\n"
        "                      (default 1000000001:4:60); the home page is /u/U,\n"
        "                      and /NAME too when a custom name is given\n"
        "  --require-login     the album and photo lists answer only after a login on /\n"
        "  --hotlink           pictures and covers answer 403 unless the Referer is the site\n"
        "  --tls CA_FILE       speak https with a certificate made now; its authority\n"
        "                      is written to CA_FILE for clients to trust\n"
        "  --script-pages      home pages built by script, without any uid marker\n"
        "  --visitor-wall      logged-out visitors of home pages get the visitor system\n"
        "  --rate-limit N:S:R  more than N photo-service requests in S seconds answer\n"
        "                      418 with Retry-After R (R < 0 sends none)\n"
        "  --latency MS        every answer waits MS milliseconds before its first byte\n"
        "  --photo-service-down UID\n"
        "                      the photo service answers 504 for user UID; its albums\n"
        "                      are still on the album tab of its home page\n"
        "  --today CA_FILE     today's site: --tls CA_FILE --script-pages --visitor-wall\n"
        "                      --require-login --hotlink, the first album's pages hold\n"
        "                      at most 30 photos and the second's count is too low\n");
}

}  // namespace

int main(int argc, char** argv) {
    int port = 8080;
    bool script_pages = false;
    bool today = false;
    std::vector<wa::fake::User> users;
    std::vector<std::string> down;
    wa::fake::FakeWeibo fake;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--port" && has_value) {
            port = std::atoi(argv[++i]);
        } else if (arg == "--user" && has_value) {
            int albums = 0;
            int photos = 0;
            char uid[64] = {};
            char name[64] = {};
            const int fields = std::sscanf(argv[++i], "%63[0-9]:%d:%d:%63[A-Za-z0-9_-]", uid, &albums, &photos, name);
            if (fields < 3) {
                Usage();
                return 2;
            }
            users.push_back(wa::fake::SampleUser(uid, albums, photos));
            users.back().custom_name = name;
            // Users after the first are told apart by their titles.
            if (users.size() > 1) users.back().title = "演示用户" + std::to_string(users.size()) + "的微博";
        } else if (arg == "--require-login") {
            fake.SetRequireLogin(true);
        } else if (arg == "--hotlink") {
            fake.SetHotlinkProtection(true);
        } else if ((arg == "--tls" || arg == "--today") && has_value) {
            const std::string ca_file = argv[++i];
            if (!fake.EnableTls(ca_file)) {
                std::fprintf(stderr, "fake-weibo: cannot make a certificate or write %s\n", ca_file.c_str());
                return 1;
            }
            if (arg == "--today") {
                today = script_pages = true;
                fake.SetVisitorWall(true);
                fake.SetRequireLogin(true);
                fake.SetHotlinkProtection(true);
            }
        } else if (arg == "--latency" && has_value) {
            fake.SetLatency(std::atoi(argv[++i]));
        } else if (arg == "--photo-service-down" && has_value) {
            down.emplace_back(argv[++i]);
        } else if (arg == "--script-pages") {
            script_pages = true;
        } else if (arg == "--visitor-wall") {
            fake.SetVisitorWall(true);
        } else if (arg == "--rate-limit" && has_value) {
            wa::fake::RateLimit limit;
            int seconds = 0;
            if (std::sscanf(argv[++i], "%d:%d:%d", &limit.requests, &seconds, &limit.retry_after_s) != 3) {
                Usage();
                return 2;
            }
            limit.window_ms = seconds * 1000;
            fake.SetRateLimit(limit);
        } else {
            Usage();
            return arg == "--help" ? 0 : 2;
        }
    }
    if (users.empty()) users.push_back(wa::fake::SampleUser("1000000001", 4, 60));
    for (wa::fake::User& user : users) {
        if (script_pages) user.marker = wa::fake::UidMarker::kNone;
        user.photo_service_down = std::find(down.begin(), down.end(), user.uid) != down.end();
        if (today && !user.albums.empty()) user.albums[0].page_size = 30;
        if (today && user.albums.size() > 1) {
            user.albums[1].count_text = std::to_string(user.albums[1].photos.size() / 2);
        }
        fake.AddUser(std::move(user));
    }
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
