// weibo-albums-cli against the curl command line on the same pictures from
// the fake service, as whole programs: wall time side by side, and the CLI's
// peak memory.
//   cli_vs_curl_bench latency    1,000 × 200 KB, 50 ms a request; N = 1, 4, 8; then
//                                400 × 200 KB, 50 ms a request and besides, fixed per
//                                picture, 0–100 ms of jitter, 3 % of pictures stalling
//                                1.5 s, or both; N = 8, 16 (that part alone: links)
//   cli_vs_curl_bench loopback   2,000 × 200 KB, no latency; N = 1
//   cli_vs_curl_bench memory     peak RSS for 2,000 and 20,000 pictures
//   cli_vs_curl_bench doors      1,000 × 200 KB, 50 ms a request, N = 8, through
//                                the photo service and through the album tab
//   cli_vs_curl_bench rerun      a re-run of an unchanged 2,000-photo album at the
//                                default spacing, with and without --new-only
//   cli_vs_curl_bench metadata   1,000 × 200 KB, 50 ms a request, N = 1 and 4, and
//                                2,000 × 200 KB over loopback, N = 4, with --metadata
//                                --index: the story written into every picture
//                                ("metadata loopback": the loopback part alone)
// WA_CLI=<program> measures another build of weibo-albums-cli.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "fake_weibo.h"
#include "run_program.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

using wa::bench::RunProgram;
using wa::bench::Timed;

// The extra wait of each picture before it answers, by its place in the album.
using ExtraDelay = std::function<int(int picture)>;

class Bench {
public:
    Bench(int pictures, std::size_t size, int latency_ms, const ExtraDelay& extra = {}) : pictures_(pictures) {
        wa::fake::User user;
        user.uid = "1";
        user.title = "bench";
        wa::fake::Album album;
        album.album_id = "1";
        album.caption = "相册";
        for (int i = 0; i < pictures; ++i) {
            album.photos.push_back({.photo_id = std::to_string(5000000 + i), .timestamp = 1400000000 - i,
                                    .caption = "第" + std::to_string(i) + "张照片", .size = size,
                                    .mid = std::to_string(4800000 + i / 3)});  // three pictures a post
            if (extra) album.photos.back().delay_ms = extra(i);
        }
        user.albums.push_back(album);
        fake_.AddUser(user);
        fake_.SetLatency(latency_ms);
        fake_.Start();
        root_ = fs::temp_directory_path() / ("wa-cli-bench-" + std::to_string(::getpid()));
        fs::create_directories(root_ / "bin");
        cli_ = (root_ / "bin" / "weibo-albums-cli").string();
        const char* other = std::getenv("WA_CLI");
        fs::copy_file(other && *other ? other : WA_CLI_PATH, cli_, fs::copy_options::overwrite_existing);
        std::ofstream list(root_ / "curl.txt");
        list << "header = \"Referer: " << fake_.BaseUrl() << "/\"\n";
        for (const auto& photo : album.photos) {
            list << "url = \"" << fake_.BaseUrl() << "/large/" << photo.photo_id << ".jpg\"\noutput = \""
                 << (root_ / "curl" / photo.photo_id).string() << ".jpg\"\n";
        }
    }
    ~Bench() {
        fake_.Stop();
        fs::remove_all(root_);
    }

    // `source` "page" downloads the album from the album tab; `extra` flags
    // go on the command line, and a `fresh` run starts without earlier files.
    Timed Cli(int parallel, int spacing_ms = 0, const std::string& source = "photo",
              const std::vector<std::string>& extra = {"--no-skip-downloaded"}, bool fresh = true) {
        if (fresh) Reset();
        fake_.ClearRequests();
        std::ofstream config(root_ / "bin" / "配置.ini");
        config << "[服务地址]\n微博首页=" << fake_.BaseUrl() << "/\n相册服务=" << fake_.BaseUrl()
               << "\n[全局设置]\n保存位置=" << (root_ / "cli").string() << "\n请求间隔=" << spacing_ms << "\n";
        config.close();
        std::vector<std::string> args{cli_, "download", "1", "--parallel", std::to_string(parallel),
                                      "--source", source, "--albums", source == "page" ? "2" : "1"};
        args.insert(args.end(), extra.begin(), extra.end());
        const Timed timed = RunProgram(args);
        Check(root_ / "cli" / "bench" / ("相册" + (source == "page" ? "" : std::to_string(pictures_))), timed);
        return timed;
    }
    Timed Curl(int parallel) {
        Reset();
        fs::create_directories(root_ / "curl");
        std::vector<std::string> args{"curl", "-s", "-K", (root_ / "curl.txt").string()};
        if (parallel > 1) args.insert(args.begin() + 1, {"--parallel", "--parallel-max", std::to_string(parallel)});
        const Timed timed = RunProgram(args);
        Check(root_ / "curl", timed);
        return timed;
    }

private:
    void Reset() {
        fs::remove_all(root_ / "cli");
        fs::remove_all(root_ / "curl");
        fs::remove_all(root_ / "bin" / "防止重复下载数据库");
        ::sync();  // each round starts with the previous one's pictures on disk
    }
    void Check(const fs::path& folder, const Timed& timed) const {
        int files = 0;
        if (fs::exists(folder)) {
            for (const auto& entry : fs::directory_iterator(folder)) files += entry.path().extension() != ".json";
        }
        if (files != pictures_ || timed.status != 0) {
            std::fprintf(stderr, "  (a run saved %d of %d pictures, status %d)\n", files, pictures_, timed.status);
        }
    }

public:
    int Requests(const std::string& part) const { return fake_.CountRequests(part); }

private:
    int pictures_;
    wa::fake::FakeWeibo fake_;
    fs::path root_;
    std::string cli_;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Alternating rounds of the two; the medians and their ratio.
void SideBySide(const char* what, int rounds, const std::function<Timed()>& ours, const std::function<Timed()>& curl) {
    std::vector<double> a;
    std::vector<double> b;
    for (int round = 0; round < rounds; ++round) {
        a.push_back(ours().seconds);
        b.push_back(curl().seconds);
    }
    std::printf("  %-34s cli %7.2f s   curl %7.2f s   cli/curl %5.2f\n", what, Median(a), Median(b), Median(a) / Median(b));
    std::fflush(stdout);
}

// A picture's fixed extra wait: jitter of 0–100 ms, or a stall of 1.5 s for
// 3 % of them, drawn once per picture so that both clients meet the same.
int Jitter(int picture) { return static_cast<int>((picture * 2654435761u) % 101u); }
int Stall(int picture) { return (picture * 40503u + 7u) % 100u < 3u ? 1500 : 0; }

void LinksThatAreNotClean() {
    const struct {
        const char* what;
        ExtraDelay extra;
    } links[] = {
        {"50 ms", {}},
        {"50 ms + 0-100 ms jitter", Jitter},
        {"50 ms + 3 % stalling 1.5 s", Stall},
        {"both", [](int picture) { return Jitter(picture) + Stall(picture); }},
    };
    std::printf("400 pictures of 200 KB, 50 ms before each answer and a fixed extra wait per picture,\n"
                "median of 3 alternating rounds\n");
    for (const auto& link : links) {
        Bench bench(400, 200 * 1024, 50, link.extra);
        for (const int n : {8, 16}) {
            const std::string label = std::string(link.what) + ", N = " + std::to_string(n);
            SideBySide(label.c_str(), 3, [&] { return bench.Cli(n); }, [&] { return bench.Curl(n); });
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    wa::bench::MeasureWhenAsked(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "loopback";
    std::printf("%u cores\n", std::thread::hardware_concurrency());
    if (mode == "latency") {
        Bench bench(1000, 200 * 1024, 50);
        std::printf("1,000 pictures of 200 KB, 50 ms before each answer, median of 3 alternating rounds\n");
        SideBySide("N = 1 (curl -K)", 3, [&] { return bench.Cli(1); }, [&] { return bench.Curl(1); });
        for (const int n : {4, 8}) {
            const std::string label = "N = " + std::to_string(n) + " (curl --parallel-max " + std::to_string(n) + ")";
            SideBySide(label.c_str(), 3, [&] { return bench.Cli(n); }, [&] { return bench.Curl(n); });
        }
        std::printf("  N = 4 at the default spacing of 1000 ms between photo-list requests: cli %.2f s\n",
                    bench.Cli(4, 1000).seconds);
        LinksThatAreNotClean();
    } else if (mode == "links") {
        LinksThatAreNotClean();
    } else if (mode == "metadata") {
        const std::vector<std::string> story{"--no-skip-downloaded", "--metadata", "--index"};
        const bool loopback_only = argc > 2 && std::string(argv[2]) == "loopback";
        if (!loopback_only) {
            Bench latency(1000, 200 * 1024, 50);
            std::printf("1,000 pictures of 200 KB, 50 ms before each answer, --metadata --index, median of 3 rounds\n");
            for (const int n : {1, 4}) {
                const std::string label = "N = " + std::to_string(n) + " (curl --parallel-max " + std::to_string(n) + ")";
                SideBySide(label.c_str(), 3, [&] { return latency.Cli(n, 0, "photo", story); },
                           [&] { return latency.Curl(n); });
            }
        }
        Bench loopback(2000, 200 * 1024, 0);
        std::printf("2,000 pictures of 200 KB over loopback, --metadata --index, median of 5 rounds\n");
        SideBySide("N = 4 (curl --parallel-max 4)", 5, [&] { return loopback.Cli(4, 0, "photo", story); },
                   [&] { return loopback.Curl(4); });
        SideBySide("N = 4 without the story", 5, [&] { return loopback.Cli(4); }, [&] { return loopback.Curl(4); });
    } else if (mode == "loopback") {
        Bench bench(2000, 200 * 1024, 0);
        std::printf("2,000 pictures of 200 KB over loopback, median of 5 alternating rounds\n");
        SideBySide("N = 1 (curl -K)", 5, [&] { return bench.Cli(1); }, [&] { return bench.Curl(1); });
        SideBySide("N = 4 (curl --parallel-max 4)", 5, [&] { return bench.Cli(4); }, [&] { return bench.Curl(4); });
    } else if (mode == "memory") {
        for (const int pictures : {2000, 20000}) {
            Bench bench(pictures, 10 * 1024, 0);
            const Timed timed = bench.Cli(4);
            std::printf("  %6d pictures of 10 KB, N = 4: peak RSS %6.1f MiB, %.1f s\n", pictures,
                        timed.peak_kib / 1024.0, timed.seconds);
        }
    } else if (mode == "doors") {
        Bench bench(1000, 200 * 1024, 50);
        std::printf("1,000 pictures of 200 KB in posts of 3, 50 ms before each answer, N = 8\n"
                    "(median of 3 rounds without spacing; one round at the default 1000 ms)\n");
        for (const int spacing : {0, 1000}) {
            for (const std::string source : {"photo", "page"}) {
                std::vector<double> seconds;
                for (int round = 0; round < (spacing == 0 ? 3 : 1); ++round) {
                    seconds.push_back(bench.Cli(8, spacing, source).seconds);
                }
                const int pages = source == "photo" ? bench.Requests("/photos/get_all")
                                                    : bench.Requests("/ajax/profile/getAlbumDetail");
                std::printf("  %-13s spacing %4d ms: %7.2f s   %3d list pages, %3d posts, %4d pictures asked\n",
                            source == "photo" ? "photo service" : "album tab", spacing, Median(seconds), pages,
                            bench.Requests("/ajax/statuses/show"), bench.Requests("/large/") + bench.Requests("/mw2000/"));
                std::fflush(stdout);
            }
        }
    } else if (mode == "rerun") {
        Bench bench(2000, 10 * 1024, 0);
        std::printf("2,000 pictures, saved once; then re-runs at the default spacing of 1000 ms, N = 4\n");
        bench.Cli(4, 0, "photo", {"--skip-downloaded"});
        for (const bool new_only : {false, true}) {
            std::vector<std::string> flags{"--skip-downloaded"};
            if (new_only) flags.push_back("--new-only");
            const Timed timed = bench.Cli(4, 1000, "photo", flags, false);
            std::printf("  re-run %-22s %6.2f s, %2d photo-list requests, %d pictures asked\n",
                        new_only ? "with --new-only:" : "without --new-only:", timed.seconds,
                        bench.Requests("/photos/get_all"), bench.Requests("/large/"));
        }
    } else {
        std::fprintf(stderr, "usage: cli_vs_curl_bench latency|links|loopback|memory|doors|rerun|metadata\n");
        return 2;
    }
    return 0;
}
