// The engine's cost over a bare transfer loop: one album of 2,000 pictures of
// about 200 KB from the fake service on loopback, downloaded by AlbumDownload
// and by a plain libcurl loop on one reused handle that writes each body to a
// file, in the same process.
#include <curl/curl.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "download/album_download.h"
#include "doors/registry.h"
#include "fake_weibo.h"
#include "net/object_request.h"
#include "weibo/weibo_service.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kPictures = 2000;
constexpr std::size_t kPictureSize = 200 * 1024;

// A run's observer that keeps the log and nothing else.
class QuietObserver : public wa::RunObserver {
public:
    void Logged(const wa::LogLine& line) override { log += line.text + "\n"; }
    std::string log;
};

size_t WriteToFile(char* data, size_t size, size_t count, void* file) {
    return std::fwrite(data, size, count, static_cast<FILE*>(file)) * size;
}

double BareLoop(const std::string& base, const std::vector<std::string>& names, const fs::path& folder) {
    fs::create_directories(folder);
    CURL* easy = curl_easy_init();
    const std::string referer = "Referer: " + base + "/";
    curl_slist* headers = curl_slist_append(nullptr, referer.c_str());
    const auto start = Clock::now();
    for (const std::string& name : names) {
        FILE* file = std::fopen((folder / name).c_str(), "wb");
        const std::string url = base + "/large/" + name;
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, WriteToFile);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, file);
        curl_easy_perform(easy);
        std::fclose(file);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    curl_slist_free_all(headers);
    curl_easy_cleanup(easy);
    return seconds;
}

double Engine(const std::string& base, const fs::path& folder, const std::string& program_folder) {
    QuietObserver observer;
    wa::DownloadOptions options;
    options.save_folder = folder.string();
    options.parallel = 1;
    wa::RequestBatch batch(1);
    wa::DownloadContext context;
    context.program_folder = program_folder;
    context.referer = base + "/";
    context.pictures = &batch;
    wa::ResolvedUser user{"1", "bench"};
    const auto start = Clock::now();
    wa::AlbumRef album = *wa::AlbumOfKey("1@@3");
    album.count = kPictures;
    album.name = "album";
    const wa::AlbumOutcome outcome = wa::AlbumDownload(album, user, observer, [options] { return options; }, context);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (outcome.saved != kPictures) std::fprintf(stderr, "engine saved only %d\n%s", outcome.saved, observer.log.c_str());
    return seconds;
}

}  // namespace

int main() {
    wa::fake::FakeWeibo fake;
    wa::fake::User user;
    user.uid = "1";
    user.title = "bench";
    wa::fake::Album album;
    album.album_id = "1";
    std::vector<std::string> names;
    for (int i = 0; i < kPictures; ++i) {
        album.photos.push_back({.photo_id = std::to_string(5000000 + i), .timestamp = 1400000000 - i,
                                .caption = "第" + std::to_string(i) + "张照片", .size = kPictureSize});
        names.push_back(std::to_string(5000000 + i) + ".jpg");
    }
    user.albums.push_back(album);
    fake.AddUser(user);
    if (!fake.Start()) return 1;
    wa::ServiceAddresses service;
    service.home_page = fake.BaseUrl() + "/";
    service.hosts[std::string(wa::kPhotoServiceHost.setting)] = "127.0.0.1:" + std::to_string(fake.port());
    wa::SetCurrentService(service);

    const fs::path root = fs::temp_directory_path() / ("wa-bench-" + std::to_string(::getpid()));
    fs::create_directories(root / "program");
    BareLoop(fake.BaseUrl(), std::vector<std::string>(names.begin(), names.begin() + 100), root / "warm");
    // Alternate the two, each after the disk has written back the previous
    // round, and keep the median of each.
    std::vector<double> bare_times;
    std::vector<double> engine_times;
    for (int round = 0; round < 5; ++round) {
        const std::string n = std::to_string(round);
        ::sync();
        bare_times.push_back(BareLoop(fake.BaseUrl(), names, root / ("bare" + n)));
        ::sync();
        engine_times.push_back(Engine(fake.BaseUrl(), root / ("engine" + n), (root / ("program" + n)).string()));
        fs::remove_all(root / ("bare" + n));
        fs::remove_all(root / ("engine" + n));
    }
    fs::remove_all(root);
    std::sort(bare_times.begin(), bare_times.end());
    std::sort(engine_times.begin(), engine_times.end());
    const double bare = bare_times[2];
    const double engine = engine_times[2];
    std::printf("Album of %d pictures of %zu KB over loopback\n", kPictures, kPictureSize / 1024);
    std::printf("  bare libcurl loop, one handle: %6.2f s  (%5.0f pictures/s)\n", bare, kPictures / bare);
    std::printf("  AlbumDownload:                 %6.2f s  (%5.0f pictures/s)\n", engine, kPictures / engine);
    std::printf("  engine / bare:                 %6.2f\n", engine / bare);
    return 0;
}
