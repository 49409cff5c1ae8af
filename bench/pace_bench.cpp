// The pace against a service whose limit the program is not told: the fake
// behind a limiter (at most B requests in any W seconds; past it every answer
// is 432 for P seconds, and each request during the block starts P again),
// an album-tab account of 1,800 posts (1,500 with a picture), downloaded three
// times in a row, each run starting from what the one before kept, as a new
// process would. For five draws of B, W and P, each run's wall time,
// requests, limit answers and its ideal: the same download paced by a
// program that knew B and W. Beside it, the pace as it was before: a fixed
// 请求间隔 and waits of 30 s doubling, learning nothing.
//
// Time runs 120 times faster than on the real service, for the pacer's
// rules and the limiter alike: a real minute is half a second here. The draws, in real
// time: W 1 to 3 minutes, B at 4 to 8 requests a minute (about a hundred
// posts a minute, twenty to a timeline page), P 2 to 5 minutes.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <ctime>

#include "doors/registry.h"
#include "download/album_download.h"
#include "fake_weibo.h"
#include "tab_user.h"
#include "net/object_request.h"
#include "weibo/pacer.h"
#include "weibo/weibo_service.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr double kFaster = 120;  // real seconds per bench second
const int kPictures = std::getenv("WA_BENCH_PICTURES") ? std::atoi(std::getenv("WA_BENCH_PICTURES")) : 1500;

class QuietObserver : public wa::RunObserver {
public:
    void Logged(const wa::LogLine& line) override { log += line.text + "\n"; }
    std::string log;
};

// One picture a post, each of 2 KB.
wa::fake::User TabUser() {
    wa::fake::User user = wa::bench::TabUser(kPictures, 1, 300);
    for (wa::fake::Photo& photo : user.albums[0].photos) photo.size = 2048;
    return user;
}

struct Draw {
    int requests;    // B
    int window_ms;   // W
    int block_ms;    // P
};

struct Figures {
    double seconds = 0;
    int requests = 0;
    int limited = 0;
    int saved = 0;
};

Figures Run(wa::fake::FakeWeibo& fake, wa::Pacer& pacer, const fs::path& root, const std::string& name) {
    fake.ClearRequests();
    QuietObserver observer;
    wa::DownloadOptions options;
    options.save_folder = (root / name).string();
    options.parallel = 4;
    wa::RequestBatch batch(4);
    wa::DownloadContext context;
    context.program_folder = (root / (name + "-program")).string();
    fs::create_directories(context.program_folder);
    context.referer = fake.BaseUrl() + "/";
    context.pictures = &batch;
    context.pacer = &pacer;
    wa::RunScratch scratch;
    context.scratch = &scratch;
    const wa::ResolvedUser user{"1000000003", "bench"};
    wa::AlbumRef album = *wa::AlbumOfKey("page:wall");
    album.name = "全部图片";
    const auto start = Clock::now();
    const wa::AlbumOutcome outcome = wa::AlbumDownload(album, user, observer, [options] { return options; }, context);
    Figures figures;
    figures.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (const auto& request : fake.Requests()) {
        if (request.path.starts_with("/ajax/")) ++figures.requests;
    }
    figures.limited = fake.LimitedAnswers();
    figures.saved = outcome.saved;
    if (std::getenv("WA_BENCH_LOG")) std::fputs(observer.log.c_str(), stderr);
    fs::remove_all(root / name);
    return figures;
}

wa::PaceRules Rules() {
    wa::PaceRules rules;
    return rules.Scaled(1 / kFaster);
}

// Today's pace before this: a fixed spacing, 30 s doubling on a limit, up to
// ten waits, nothing learned.
wa::PaceRules FixedRules() {
    wa::PaceRules rules;
    rules.learns = false;
    rules.slowest = rules.least;
    rules.first_block = std::chrono::seconds(30);
    rules.most_wait = std::chrono::hours(5);
    return rules.Scaled(1 / kFaster);
}

}  // namespace

int main(int argc, char** argv) {
    const int draws = argc > 1 ? std::atoi(argv[1]) : 5;  // fewer for a quick look
    const bool fixed_too = !(argc > 2 && std::string(argv[2]) == "--no-fixed");
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    wa::fake::FakeWeibo fake;
    fake.AddUser(TabUser());
    if (!fake.Start()) return 1;
    wa::ServiceAddresses service;
    service.home_page = fake.BaseUrl() + "/";
    wa::SetCurrentService(service);
    const fs::path root = fs::temp_directory_path() / ("wa-pace-bench-" + std::to_string(::getpid()));
    fs::create_directories(root);

    std::mt19937 random(20261210);
    const auto real_ms = [](double minutes) { return static_cast<int>(minutes * 60'000 / kFaster); };
    std::printf("Album tab of 1800 posts (1500 pictures), three downloads in a row; times in real minutes (bench x%.0f)\n",
                kFaster);
    std::printf("%-26s %-7s %9s %6s %8s %9s %7s\n", "draw (B / W, P)", "run", "time", "asked", "limited", "ideal",
                "/ideal");
    for (int d = 0; d < draws; ++d) {
        const double window_min = std::uniform_real_distribution<double>(1, 3)(random);
        const double rate = std::uniform_real_distribution<double>(4, 8)(random);
        const double block_min = std::uniform_real_distribution<double>(2, 5)(random);
        const Draw draw{std::max(1, static_cast<int>(rate * window_min)), real_ms(window_min), real_ms(block_min)};
        const auto limit = [&] {
            fake.SetRateLimit({.requests = draw.requests, .window_ms = draw.window_ms, .status = 432,
                               .block_ms = draw.block_ms});
        };
        // Each run meets a limiter that has forgotten the run before.
        const auto rest = [&] { std::this_thread::sleep_for(milliseconds(draw.window_ms + draw.block_ms)); };
        char label[64];
        std::snprintf(label, sizeof label, "%d / %.1f min, %.1f min", draw.requests, window_min, block_min);

        wa::PaceRules known = Rules();
        known.quiet = std::chrono::hours(24);  // what it knows stays as it is
        wa::Pacer ideal_pacer(known);
        // A hair over W: the limiter counts a request exactly W old.
        ideal_pacer.Remember({0, {{draw.window_ms * 103 / 100, draw.requests}}, static_cast<std::int64_t>(std::time(nullptr))});
        limit();
        const Figures ideal = Run(fake, ideal_pacer, root, "ideal");
        const auto minutes = [](double seconds) { return seconds * kFaster / 60; };

        wa::PaceMemory kept;
        for (int run = 1; run <= 3; ++run) {
            rest();
            limit();
            wa::Pacer pacer(Rules());
            pacer.Remember(kept);
            const Figures f = Run(fake, pacer, root, "run" + std::to_string(run));
            kept = pacer.Learned();
            if (std::getenv("WA_BENCH_LEARNED")) {
                std::fprintf(stderr, "spacing %lld ms:", static_cast<long long>(kept.spacing_ms * kFaster));
                for (const auto& b : kept.budgets) std::fprintf(stderr, " %.1fmin:%d", b.span_ms * kFaster / 60000, b.requests);
                std::fprintf(stderr, "\n");
            }
            std::printf("%-26s %-7s %7.1fm %6d %8d %7.1fm %7.2f\n", run == 1 ? label : "", ("run " + std::to_string(run)).c_str(),
                        minutes(f.seconds), f.requests, f.limited, minutes(ideal.seconds), f.seconds / ideal.seconds);
        }
        for (int run = 1; fixed_too && run <= 3; ++run) {
            rest();
            limit();
            wa::Pacer fixed(FixedRules());
            const Figures f = Run(fake, fixed, root, "fixed" + std::to_string(run));
            std::printf("%-26s %-7s %7.1fm %6d %8d %7.1fm %7.2f\n", "", ("fixed " + std::to_string(run)).c_str(),
                        minutes(f.seconds), f.requests, f.limited, minutes(ideal.seconds), f.seconds / ideal.seconds);
        }
        std::fflush(stdout);
    }
    fs::remove_all(root);
    return 0;
}
