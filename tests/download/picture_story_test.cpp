// Pictures that carry their story, and the album's index beside them: each
// door's JPEG and PNG downloaded from the fake and read back with exiv2.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "album_download_fixture.h"
#include "download/album_index.h"
#include "download/picture_story.h"
#include "doors/registry.h"
#include "util/text.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#pragma GCC diagnostic pop

namespace wa {
namespace {

namespace fs = std::filesystem;
using test::FileNames;
using test::ReadFile;

// What exiv2 reads back of a picture's story.
struct ReadStory {
    std::string date, offset, description, creator, source, identifier, xp_title;
};

ReadStory ReadBack(const fs::path& path) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path.string());
#pragma GCC diagnostic pop
    image->readMetadata();
    ReadStory story;
    const auto exif = [&image](const char* key) {
        const auto found = image->exifData().findKey(Exiv2::ExifKey(key));
        return found == image->exifData().end() ? std::string() : found->toString();
    };
    const auto xmp = [&image](const char* key) {
        const auto found = image->xmpData().findKey(Exiv2::XmpKey(key));
        return found == image->xmpData().end() ? std::string() : found->toString();
    };
    story.date = exif("Exif.Photo.DateTimeOriginal");
    story.offset = exif("Exif.Photo.OffsetTimeOriginal");
    if (const auto found = image->xmpData().findKey(Exiv2::XmpKey("Xmp.dc.description"));
        found != image->xmpData().end()) {
        story.description = static_cast<const Exiv2::LangAltValue&>(found->value()).toString("x-default");
    }
    story.creator = xmp("Xmp.dc.creator");
    story.source = xmp("Xmp.dc.source");
    story.identifier = xmp("Xmp.dc.identifier");
    if (const auto found = image->exifData().findKey(Exiv2::ExifKey("Exif.Image.XPTitle"));
        found != image->exifData().end()) {
        std::u16string wide;
        for (long i = 0; i + 1 < found->count(); i += 2) {
            wide += static_cast<char16_t>(found->toLong(i) | (found->toLong(i + 1) << 8));
        }
        if (!wide.empty() && wide.back() == u'\0') wide.pop_back();
        story.xp_title = Utf16ToUtf8(wide);
    }
    return story;
}

std::vector<IndexEntry> IndexOf(const fs::path& folder) {
    return ReadIndexJson(ReadFile(folder / std::string(kAlbumIndexName))).value_or(std::vector<IndexEntry>{});
}

class PictureStoryTest : public test::AlbumDownloadTest {
protected:
    // Four photos: a JPEG whose post is long, a PNG, a GIF and a live JPEG
    // with its video; the first caption holds what a caption can hold.
    fake::Album StoryAlbum(const std::string& id) {
        fake::Album album = Album(id, 4);
        album.photos[0].caption = kHostile;
        album.photos[0].long_text = true;
        album.photos[1].format = fake::PictureFormat::kPng;
        album.photos[1].caption = "第二张";
        album.photos[2].format = fake::PictureFormat::kGif;
        album.photos[3].live = true;
        for (fake::Photo& photo : album.photos) photo.mid = std::to_string(4'000'000'000'000'000LL + photo.timestamp);
        return album;
    }
    AlbumOutcome DownloadBy(const std::string& door, const std::string& id) {
        if (door == "photo") return AlbumDownload(Listed(id, "4"), user, host, host.Source(), context);
        AlbumRef album = *AlbumOfKey("page:wall");
        album.name = "全部图片";
        return AlbumDownload(album, user, host, host.Source(), context);
    }
    fs::path FolderOf(const std::string& door) const { return AlbumFolder(door == "photo" ? "旅行4" : "全部图片"); }

    // Quotes, a line break, an emoji, bidi controls, a C0 control and a
    // text XMP would take for an instruction.
    static constexpr const char* kHostile = "lang=en \"引号\" 'x'\n第二行 😀 \u202Eevil\u202C \x01 — 长微博的全文到这里才结束";
};

// Each door's JPEG and PNG carry the upload time in Beijing time, the whole
// caption (a long post's too), the user's name, the post's address and the
// photo's id; the GIF and the live video are as served; the index names
// every photo saved with the same facts.
TEST_F(PictureStoryTest, EachDoorsPicturesCarryTheirStoryAndTheIndexListsThem) {
    fake::User photo_user;  // the photo service's user
    photo_user.uid = "1001";
    photo_user.title = "小明的微博";
    photo_user.albums = {StoryAlbum("701")};
    fake::User tab_user = photo_user;  // the album tab's: its photo service is down
    tab_user.uid = "1002";
    tab_user.photo_service_down = true;
    fake.AddUser(photo_user);
    fake.AddUser(tab_user);
    host.options.write_metadata = true;
    host.options.album_index = true;
    const fake::Album& served = photo_user.albums[0];
    const std::string clean = "lang=en \"引号\" 'x'\n第二行 😀 \u202Eevil\u202C  — 长微博的全文到这里才结束";

    for (const std::string& door : {std::string("photo"), std::string("page")}) {
        SCOPED_TRACE(door);
        user = {door == "photo" ? "1001" : "1002", "小明的微博"};
        fake.ClearRequests();
        const AlbumOutcome outcome = DownloadBy(door, "701");
        EXPECT_EQ(outcome.saved, 4);
        EXPECT_EQ(outcome.failed, 0);
        const fs::path folder = FolderOf(door);
        const std::vector<std::string> names = FileNames(folder);
        ASSERT_EQ(names.size(), door == "photo" ? 5u : 6u);  // the tab gives the live video too

        EXPECT_TRUE(names[1].ends_with(".png"));
        for (int i : {0, 1}) {  // the JPEG, then the PNG
            const ReadStory story = ReadBack(folder / names[static_cast<std::size_t>(i)]);
            EXPECT_EQ(story.date, ExifBeijingTime(served.photos[static_cast<std::size_t>(i)].timestamp));
            EXPECT_EQ(story.offset, "+08:00");
            EXPECT_EQ(story.description, i == 0 ? clean : "第二张");
            EXPECT_EQ(story.xp_title, story.description);
            EXPECT_EQ(story.creator, "小明");
            EXPECT_TRUE(story.source.starts_with("https://weibo.com/" + user.uid + "/")) << story.source;
        }
        const ReadStory jpeg = ReadBack(folder / names[0]);
        if (door == "photo") {
            EXPECT_EQ(jpeg.source, "https://weibo.com/1001/" + served.photos[0].mid);
            EXPECT_EQ(jpeg.identifier, "701100001");
        } else {  // the post was long: its whole text, asked for once
            EXPECT_EQ(fake.CountRequests("/ajax/statuses/longtext"), 1);
        }
        // A GIF and a video are left as they came.
        const auto gif = std::find_if(names.begin(), names.end(), [](const std::string& n) { return n.ends_with(".gif"); });
        ASSERT_NE(gif, names.end());
        EXPECT_EQ(ReadFile(folder / *gif), fake::PictureOf(served.photos[2]));

        const std::vector<IndexEntry> index = IndexOf(folder);
        ASSERT_EQ(index.size(), 4u);
        EXPECT_EQ(index[0].file, names[0]);
        EXPECT_EQ(index[0].caption, served.photos[0].caption);  // as written, whatever it holds
        EXPECT_EQ(index[0].upload_seconds, served.photos[0].timestamp);
        EXPECT_EQ(index[0].door, door);
        EXPECT_EQ(index[0].post_url, jpeg.source);
        EXPECT_EQ(index[3].video_file.empty(), door == "photo");
        const std::string text = ReadFile(folder / std::string(kAlbumIndexName));
        EXPECT_TRUE(IsValidUtf8(text));
        EXPECT_NE(text.find("\"uploaded\": \"" + IsoBeijingTime(served.photos[0].timestamp) + "\""), std::string::npos);
        EXPECT_NE(text.find("\\u202E"), std::string::npos) << "bidi controls are escaped";
    }
}

// With both switches off the saved bytes are the served bytes and no index
// is written; a picture that carries a capture date keeps it; a picture
// exiv2 cannot write is saved as it came, and the log says why.
TEST_F(PictureStoryTest, OffSavesServedBytesAndOnKeepsCameraDatesAndUnwritablePictures) {
    fake::Album album = Album("711", 3);
    album.photos[0].capture_date = "2019:05:04 10:11:12";
    album.photos[2].bytes = std::string("\xFF\xD8\xFF\xE1\xFF\xFF", 6) + std::string(100, 'x');  // a JPEG in name only
    Serve({album});
    const auto picture = [&](const std::string& name) { return ReadFile(AlbumFolder("旅行3") / name); };

    EXPECT_EQ(Download("711", "3").saved, 3);
    EXPECT_EQ(picture("(1)照片1.jpg"), fake::PictureOf(album.photos[0]));
    EXPECT_EQ(picture("(2)照片2.jpg"), fake::PictureOf(album.photos[1]));
    EXPECT_FALSE(fs::exists(AlbumFolder("旅行3") / std::string(kAlbumIndexName)));

    // Turned on, a second run finds the pictures saved as served there already.
    host.options.write_metadata = true;
    const AlbumOutcome again = Download("711", "3");
    EXPECT_EQ(again.already_there, 3);
    EXPECT_EQ(FileNames(AlbumFolder("旅行3")).size(), 3u);

    fs::remove_all(AlbumFolder("旅行3"));
    EXPECT_EQ(Download("711", "3").saved, 3);
    const ReadStory dated = ReadBack(AlbumFolder("旅行3") / "(1)照片1.jpg");
    EXPECT_EQ(dated.date, "2019:05:04 10:11:12");  // the camera's
    EXPECT_EQ(dated.offset, "");
    EXPECT_EQ(dated.description, "照片1");
    EXPECT_EQ(ReadBack(AlbumFolder("旅行3") / "(2)照片2.jpg").date, ExifBeijingTime(album.photos[1].timestamp));

    // A JPEG in name only: saved as served, said, and the run goes on.
    EXPECT_EQ(picture("(3)照片3.jpg"), album.photos[2].bytes);
    EXPECT_NE(host.Log().find("照片信息没有写入：711100003（"), std::string::npos) << host.Log();
    EXPECT_NE(host.Log().find("），图片按原样保存"), std::string::npos);
}

// The index is rewritten whole after each run: this run's photos, and the
// earlier ones whose files are still there; a file deleted by hand leaves
// it, and an index that is no index is written anew.
TEST_F(PictureStoryTest, TheIndexKeepsEarlierEntriesWhoseFilesAreStillThere) {
    Serve({Album("721", 4)});
    host.options.album_index = true;
    host.options.record_store = true;
    EXPECT_EQ(Download("721", "4").saved, 4);
    const fs::path folder = AlbumFolder("旅行4");
    ASSERT_EQ(IndexOf(folder).size(), 4u);

    // Deleted by hand: a run that skips what it saved before leaves it out.
    fs::remove(folder / "(2)照片2.jpg");
    const AlbumOutcome second = Download("721", "4");
    EXPECT_EQ(second.recorded, 4);
    std::vector<IndexEntry> index = IndexOf(folder);
    ASSERT_EQ(index.size(), 3u);
    for (const IndexEntry& entry : index) EXPECT_NE(entry.file, "(2)照片2.jpg");
    EXPECT_EQ(index[0].caption, "照片1");
    // One that does not skip them gets it again, and the rest are there already.
    host.options.record_store = false;
    const AlbumOutcome third = Download("721", "4");
    EXPECT_EQ(third.saved, 1);
    EXPECT_EQ(third.already_there, 3);
    EXPECT_EQ(IndexOf(folder).size(), 4u);

    for (const std::string& hostile : {std::string("not json"), std::string("[{\"file\": \"../../etc/passwd\"}]")}) {
        std::ofstream(folder / std::string(kAlbumIndexName), std::ios::binary) << hostile;
        Download("721", "4");
        const std::vector<IndexEntry> rewritten = IndexOf(folder);
        EXPECT_FALSE(rewritten.empty()) << hostile;
        for (const IndexEntry& entry : rewritten) EXPECT_TRUE(fs::exists(folder / entry.file)) << entry.file;
    }
}

}  // namespace
}  // namespace wa
