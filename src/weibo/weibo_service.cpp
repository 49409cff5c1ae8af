#include "weibo/weibo_service.h"

#include <mutex>

#include "net/certificate_trust.h"
#include "net/http_text.h"
#include "util/text.h"

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

ServiceAddresses CurrentService() {
    std::lock_guard lock(g_service_mutex);
    return g_service;
}

void SetCurrentService(const ServiceAddresses& addresses) {
    {
        std::lock_guard lock(g_service_mutex);
        g_service = addresses;
    }
    // The 证书 authorities are trusted for the site and the hosts replaced only.
    ServiceTrust trust;
    trust.ca_file = addresses.ca_file;
    if (!trust.ca_file.empty()) trust.hosts = ServiceHosts(addresses);
    SetServiceTrust(std::move(trust));
}

std::vector<std::string> ServiceHosts(const ServiceAddresses& service) {
    std::vector<std::string> hosts = {UrlHost(service.home_page)};
    for (const auto& [setting, address] : service.hosts) hosts.push_back(UrlHost(BaseOf(address)));
    return hosts;
}

std::vector<std::string> LoginDomains(const ServiceAddresses& service) {
    std::vector<std::string> domains = {"weibo.com", "weibo.cn", "sina.com.cn"};
    for (const std::string& host : ServiceHosts(service)) domains.push_back(host);
    return domains;
}

std::string HostBase(const ServiceAddresses& service, const ServiceHost& host) {
    const auto replaced = service.hosts.find(host.setting);
    return BaseOf(replaced != service.hosts.end() ? replaced->second : std::string(host.address));
}

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

std::string AlbumPageUrl(const ServiceAddresses& service, std::string_view uid) {
    return HostBase(service, kPhotoServiceHost) + "/" + std::string(uid) + "/albums/";
}

std::string VersionPageUrl(const ServiceAddresses& service) {
    return MakerBase(service) + "/download/softzuixinv/index.html";
}

std::string HelpPageUrl(const ServiceAddresses& service) {
    return MakerBase(service) + "/download/help/weibo_zhuye.html";
}

std::string PostAddress(std::string_view uid, std::string_view id) {
    if (uid.empty() || id.empty()) return {};
    return ServiceAddresses{}.home_page + std::string(uid) + "/" + std::string(id);
}

std::string LiveVideoUrl(std::string_view video) {
    std::string url(TrimBlanks(video));
    if (url.find("video.weibo.com/media/play") != std::string::npos) {
        const std::size_t at = url.find("livephoto=");
        if (at == std::string::npos) return {};
        url = PercentDecoded(std::string_view(url).substr(at + 10, url.find('&', at) - at - 10));
    }
    return IsWebAddress(url) ? url : std::string();
}

}  // namespace wa
