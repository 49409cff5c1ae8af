// The sample user of tests and the demo.
#include "fake_weibo.h"

namespace wa::fake {

User SampleUser(const std::string& uid, int albums, int photos_each) {
    static const char* const kCaptions[] = {
        "春天的花 / 北京植物园",
        "..",
        "旅行😀日记 第一天",
        "第一行\r\n第二行",
        "他说\"你好\"，我说：好！",
        "普通的一天",
        "",
        "西湖边的夕阳，风很大，人很多，但是景色真的很美，值得再来一次。断桥残雪、苏堤春晓、曲院风荷、"
        "平湖秋月、柳浪闻莺、花港观鱼、雷峰夕照、双峰插云、南屏晚钟、三潭印月，十景看了一半。"
        "下次一定要在春天来，看苏堤的桃花和柳树，再去龙井村喝一杯新茶。",
        "a<b>c|d?e*f:g",
        "猫咪 & 狗狗",
    };
    static const char* const kAlbumNames[] = {"微博配图", "头像相册", "旅行", "美食记录", "家人", "it's mine"};
    User user;
    user.uid = uid;
    user.title = "演示用户的微博";
    std::int64_t timestamp = 1400000000;  // 2014-05-14
    for (int a = 0; a < albums; ++a) {
        Album album;
        album.album_id = std::to_string(3550000000LL + a);
        album.caption = kAlbumNames[a % 6];
        for (int p = 0; p < photos_each; ++p) {
            Photo photo;
            photo.photo_id = std::to_string(3600000000000LL + a * 100000LL + p);
            photo.timestamp = timestamp;
            timestamp -= 86400 / 2;
            photo.caption = kCaptions[p % 10];
            photo.format = p % 7 == 3 ? PictureFormat::kPng : p % 11 == 5 ? PictureFormat::kGif : PictureFormat::kJpeg;
            // On the album tab three pictures make a post; some are live photos,
            // some posts are for followers only, some are listed as posts.
            const int post = p / 3;
            // Post ids grow with time: the post's id follows the time of its first picture.
            const std::int64_t post_time = photo.timestamp + (p % 3) * (86400 / 2);
            photo.mid = std::to_string(4'000'000'000'000'000LL + post_time * 1000);
            photo.live = p % 9 == 4;
            photo.followers_only = post % 8 == 3;
            photo.listed_without_pid = post % 6 == 4;
            album.photos.push_back(std::move(photo));
        }
        user.albums.push_back(std::move(album));
    }
    return user;
}

}  // namespace wa::fake
