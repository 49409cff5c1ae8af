#include "weibo/weibo_service.h"

#include <mutex>

#include "net/certificate_trust.h"
#include "net/http_text.h"
#include "util/ini_file.h"

namespace wa {
namespace {

std::mutex g_service_mutex;
ServiceAddresses g_service;

// A host setting as an address base: a bare "host[:port]" gets `scheme`.
std::string BaseOf(std::string base, std::string_view scheme = "http://") {
    if (base.find("://") == std::string::npos) base.insert(0, scheme);
    while (base.ends_with('/')) base.pop_back();
    return base;
}

}  // namespace

ServiceAddresses ServiceAddresses::FromSettings(const std::string& config_file) {
    ServiceAddresses addresses;
    constexpr std::string_view kSection = "服务地址";
    addresses.home_page = ReadSetting(config_file, kSection, "微博首页", addresses.home_page);
    if (addresses.home_page.find("://") == std::string::npos) addresses.home_page.insert(0, "http://");
    addresses.photo_host = ReadSetting(config_file, kSection, "相册服务", addresses.photo_host);
    addresses.maker_host = ReadSetting(config_file, kSection, "官网", addresses.maker_host);
    // Authorities from a file others may write could let them read the traffic.
    if (SettingsFileOpenToOthers(config_file).empty()) {
        addresses.ca_file = ReadSetting(config_file, kSection, "证书", addresses.ca_file);
    }
    return addresses;
}

ServiceAddresses CurrentService() {
    std::lock_guard lock(g_service_mutex);
    return g_service;
}

void SetCurrentService(const ServiceAddresses& addresses) {
    {
        std::lock_guard lock(g_service_mutex);
        g_service = addresses;
    }
    // The 证书 authorities are trusted for the site and the photo service only.
    ServiceTrust trust;
    trust.ca_file = addresses.ca_file;
    if (!trust.ca_file.empty()) trust.hosts = ServiceHosts(addresses);
    SetServiceTrust(std::move(trust));
}

std::vector<std::string> ServiceHosts(const ServiceAddresses& service) {
    return {UrlHost(service.home_page), UrlHost(PhotoServiceBase(service))};
}

std::string PhotoServiceBase(const ServiceAddresses& service) { return BaseOf(service.photo_host); }

std::string MakerBase(const ServiceAddresses& service) { return BaseOf(service.maker_host, "https://"); }

std::string HomePageScheme(const ServiceAddresses& service) {
    return service.home_page.starts_with("https://") ? "https://" : "http://";
}

std::string SiteBase(const ServiceAddresses& service) {
    const std::string& home = service.home_page;
    const std::size_t host_start = home.find("://");
    return home.substr(0, home.find('/', host_start == std::string::npos ? 0 : host_start + 3));
}

std::string UserInfoUrl(const ServiceAddresses& service, std::string_view key, std::string_view value) {
    return SiteBase(service) + "/ajax/profile/info?" + std::string(key) + "=" + std::string(value);
}

std::string AlbumListUrl(const ServiceAddresses& service, std::string_view uid) {
    return PhotoServiceBase(service) + "/albums/get_all?uid=" + std::string(uid) + "&count=6355";
}

std::string PhotoPageUrl(const ServiceAddresses& service, std::string_view uid,
                         std::string_view album_id, int page, std::string_view type,
                         std::string_view random_fraction) {
    std::string url = PhotoServiceBase(service) + "/photos/get_all?uid=";
    url += uid;
    url += "&album_id=";
    url += album_id;
    url += "&count=100&page=" + std::to_string(page) + "&type=";
    url += type;
    url += "&__rnd=";
    url += random_fraction;
    return url;
}

std::string AlbumPageUrl(const ServiceAddresses& service, std::string_view uid) {
    return PhotoServiceBase(service) + "/" + std::string(uid) + "/albums/";
}

std::string VersionPageUrl(const ServiceAddresses& service) {
    return MakerBase(service) + "/download/softzuixinv/index.html";
}

std::string HelpPageUrl(const ServiceAddresses& service) {
    return MakerBase(service) + "/download/help/weibo_zhuye.html";
}

std::string LargePictureUrl(std::string_view pic_host, std::string_view pic_name) {
    return std::string(pic_host) + "/large/" + std::string(pic_name);
}

}  // namespace wa
