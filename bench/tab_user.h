// The benchmarks' album-tab account (uid 1000000003) whose photo service is
// closed: one album of `pictures` pictures, `per_post` to a post, an hour
// between posts, and `text_posts` posts without pictures among them.
#pragma once

#include <string>

#include "fake_weibo.h"

namespace wa::bench {

inline fake::User TabUser(int pictures, int per_post, int text_posts) {
    fake::User user;
    user.uid = "1000000003";
    user.title = "bench";
    user.photo_service_down = true;
    user.text_posts = text_posts;
    fake::Album album;
    album.album_id = "1";
    album.caption = "相册";
    for (int i = 0; i < pictures; ++i) {
        fake::Photo photo;
        photo.photo_id = std::to_string(5000000 + i);
        photo.timestamp = 1400000000 - (i / per_post) * 3600;
        photo.caption = "第" + std::to_string(i / per_post) + "条微博";
        photo.mid = std::to_string(4'000'000'000'000'000LL + photo.timestamp * 1000);
        album.photos.push_back(photo);
    }
    user.albums.push_back(album);
    return user;
}

}  // namespace wa::bench
