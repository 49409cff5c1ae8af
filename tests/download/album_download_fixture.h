// The fake service with one user, 小明 (uid 1001), whose albums a test
// chooses, and a memory host saving below a temporary folder: the setting of
// the album download tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../fake_service.h"
#include "../util/temp_folder.h"
#include "doors/album_ref.h"
#include "download/album_download.h"
#include "download/record_store.h"
#include "memory_observer.h"

namespace wa::test {

namespace fs = std::filesystem;

inline std::vector<std::string> FileNames(const fs::path& folder) {
    std::vector<std::string> names;
    if (!fs::exists(folder)) return names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class AlbumDownloadTest : public FakeServiceTest {
protected:
    void SetUp() override {
        FakeServiceTest::SetUp();
        host.options.save_folder = (temp.path() / "saved").string();
        context.program_folder = (temp.path() / "program").string();
        fs::create_directories(context.program_folder);
        context.referer = fake.BaseUrl() + "/";
        context.page_wait = [](int) { return true; };
        user = {"1001", "小明的微博"};
    }

    // An album of `count` photos captioned "照片<i>", newest first, one per hour.
    fake::Album Album(const std::string& id, int count) {
        fake::Album album;
        album.album_id = id;
        album.caption = "旅行";
        for (int i = 1; i <= count; ++i) {
            album.photos.push_back({.photo_id = id + std::to_string(100000 + i),
                                    .timestamp = 1400000000 - i * 3600,
                                    .caption = "照片" + std::to_string(i)});
        }
        return album;
    }
    void Serve(std::vector<fake::Album> albums) {
        fake::User served;
        served.uid = "1001";
        served.title = "小明的微博";
        served.albums = std::move(albums);
        fake.AddUser(served);
    }
    // The photo-service album `id` of type 3 as its list row would give it.
    static AlbumRef Listed(const std::string& id, const std::string& count, const std::string& name = "旅行") {
        AlbumRef album;
        album.door = "photo";
        album.id = id;
        album.type = "3";
        album.count = PhotoCountOf(count);
        album.name = name;
        album.key = id + "@@3";
        return album;
    }
    AlbumOutcome Download(const std::string& id, const std::string& count, const std::string& name = "旅行") {
        return AlbumDownload(Listed(id, count, name), user, host, host.Source(), context);
    }
    fs::path AlbumFolder(const std::string& name) const { return temp.path() / "saved" / "小明的微博" / name; }
    std::string StorePath() const { return RecordStorePath(context.program_folder, "1001"); }
    bool Recorded(const std::string& id) const {
        RecordStore store;
        return store.OpenStore(StorePath()) && store.ContainsPhotoId(id);
    }

    TempFolder temp;
    MemoryObserver host;
    DownloadContext context;
    ResolvedUser user;
};

}  // namespace wa::test
