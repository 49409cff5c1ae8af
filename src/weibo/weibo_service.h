// Where the Weibo web site, its photo service and the maker's pages live, and
// the addresses of every request the program makes to them. Tests and the demo
// point these at a fake service through the settings file.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace wa {

// A host of its own that a door asks, besides the site: the key of 服务地址
// that may replace its address (for tests and the demo), and its address.
struct ServiceHost {
    std::string_view setting;
    std::string_view address;
};
// The photo service: a door of its own, and the album page of a user.
inline constexpr ServiceHost kPhotoServiceHost{"相册服务", "https://photo.weibo.com"};

struct ServiceAddresses {
    std::string home_page = "https://weibo.com/";  // opened in the browser; picture Referer;
                                                   // a bare "host[:port]" in the settings means http://
    // Hosts whose address is replaced, by their 服务地址 key; a bare
    // "host[:port]" means http://.
    std::map<std::string, std::string, std::less<>> hosts;
    std::string maker_host = "tavrin.invalid";  // version and help pages; may carry a scheme
    std::string ca_file;  // PEM file of certificate authorities trusted besides the system's
};

// The scheme and host of `host` as `service` has it, without a trailing "/".
std::string HostBase(const ServiceAddresses& service, const ServiceHost& host);

// The hosts of the site and the hosts replaced, lower case, with no port: the
// hosts the 证书 authorities are trusted for, in the program's requests and
// in its browser.
std::vector<std::string> ServiceHosts(const ServiceAddresses& service);
// Where a Weibo login's cookies live: Weibo's domains (weibo.com, weibo.cn,
// sina.com.cn, with their subdomains) and the service's hosts.
std::vector<std::string> LoginDomains(const ServiceAddresses& service);

// The addresses every request of this process uses; set once at start-up.
ServiceAddresses CurrentService();
void SetCurrentService(const ServiceAddresses& addresses);

// The maker's home page (官网), https when the setting names no scheme.
std::string MakerBase(const ServiceAddresses& service);
// The scheme and host of the home page, without a trailing "/": where the
// site's own answers (user info, the album tab) live.
std::string SiteBase(const ServiceAddresses& service);
// "https://" when the home page is an https address, else "http://".
std::string HomePageScheme(const ServiceAddresses& service);
// The user-info answer on the home page's host, asked by "uid" or "custom".
std::string UserInfoUrl(const ServiceAddresses& service, std::string_view key, std::string_view value);

std::string AlbumPageUrl(const ServiceAddresses& service, std::string_view uid);
std::string VersionPageUrl(const ServiceAddresses& service);
std::string HelpPageUrl(const ServiceAddresses& service);

// The address of a post on weibo.com, by its author's uid and its id (the
// short id the site's own links use, or its number); empty when either is.
std::string PostAddress(std::string_view uid, std::string_view id);

// The address of a live photo's video: the inner address of the older
// video.weibo.com/media/play?livephoto=… form; empty for anything but http(s).
std::string LiveVideoUrl(std::string_view video);

}  // namespace wa
