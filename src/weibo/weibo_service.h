// Where the Weibo web site, its photo service and the maker's pages live, and
// the addresses of every request the program makes to them. Tests and the demo
// point these at a fake service through the settings file.
#pragma once

#include <string>
#include <string_view>

namespace wa {

struct ServiceAddresses {
    std::string home_page = "http://weibo.com/";  // opened in the browser; picture Referer
    std::string photo_host = "photo.weibo.com";   // may carry a port
    std::string maker_host = "tavrin.invalid";    // version and help pages

    // The addresses of the settings file's "服务地址" section, each key that is
    // present replacing the built-in address.
    static ServiceAddresses FromSettings(const std::string& config_file);
};

// The addresses every request of this process uses; set once at start-up.
ServiceAddresses CurrentService();
void SetCurrentService(const ServiceAddresses& addresses);

std::string AlbumListUrl(const ServiceAddresses& service, std::string_view uid);
std::string PhotoPageUrl(const ServiceAddresses& service, std::string_view uid,
                         std::string_view album_id, int page, std::string_view type,
                         std::string_view random_fraction);
std::string AlbumPageUrl(const ServiceAddresses& service, std::string_view uid);
std::string VersionPageUrl(const ServiceAddresses& service);
std::string HelpPageUrl(const ServiceAddresses& service);
std::string LargePictureUrl(std::string_view pic_host, std::string_view pic_name);

}  // namespace wa
