// Requests per second of ObjectRequest for 1,000 small pictures from the fake
// service on loopback, each on a fresh request handle and all on one reused
// handle (kept-alive connection).
#include <chrono>
#include <cstdio>
#include <string>

#include "fake_weibo.h"
#include "net/object_request.h"

namespace {

constexpr int kPictures = 1000;

double Run(const std::string& base, wa::RequestHandle* handle) {
    wa::ObjectRequestOptions options;
    options.timeout_seconds = 30;
    options.handle = handle;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kPictures; ++i) {
        const auto result = wa::ObjectRequest(base + "/large/b" + std::to_string(i) + ".jpg", options);
        if (result.status != 200 || result.body.empty()) {
            std::fprintf(stderr, "picture %d failed: %ld %s\n", i, result.status, result.error.c_str());
            return 0;
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return kPictures / seconds;
}

}  // namespace

int main() {
    wa::fake::FakeWeibo fake;
    wa::fake::User user;
    user.uid = "1";
    wa::fake::Album album;
    album.album_id = "1";
    for (int i = 0; i < kPictures; ++i) album.photos.push_back({.photo_id = "b" + std::to_string(i)});
    user.albums.push_back(album);
    fake.AddUser(user);
    if (!fake.Start()) return 1;

    Run(fake.BaseUrl(), nullptr);  // warm-up
    const double fresh = Run(fake.BaseUrl(), nullptr);
    wa::RequestHandle handle;
    const double reused = Run(fake.BaseUrl(), &handle);
    std::printf("ObjectRequest, %d small pictures over loopback\n", kPictures);
    std::printf("  new handle per request: %8.0f requests/s\n", fresh);
    std::printf("  one reused handle:      %8.0f requests/s\n", reused);
    return fresh > 0 && reused > 0 ? 0 : 1;
}
