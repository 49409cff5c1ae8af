#include "settings/settings.h"

#include <algorithm>
#include <ctime>

#include "doors/registry.h"
#include "util/text.h"

namespace wa {

std::string ConfigPathIn(const std::string& folder) { return folder + "/" + std::string(kConfigFileName); }

Settings::Settings(std::string path, std::function<void()> on_write_failure)
    : path_(std::move(path)), on_write_failure_(std::move(on_write_failure)), snapshot_(IniSnapshot::Read(path_)) {}

std::string Settings::Problem() const { return SettingsFileProblem(path_); }

std::string Settings::OpenToOthersWarning() const {
    const std::string why = SettingsFileOpenToOthers(path_);
    if (why.empty()) return {};
    return "配置文件 " + path_ + " " + why + "，其中的“代理”和“证书”设置不予使用";
}

std::string Settings::Read(std::string_view section, std::string_view name, std::string_view fallback) const {
    const auto unsaved = unsaved_.find({std::string(section), std::string(name)});
    return unsaved != unsaved_.end() ? unsaved->second : snapshot_.Get(section, name, fallback);
}

bool Settings::Write(std::string_view section, std::string_view name, std::string_view value) {
    const bool written = WriteSetting(path_, section, name, value);
    // Said once, until a write works again.
    if (!written && !write_failing_ && on_write_failure_) on_write_failure_();
    write_failing_ = !written;
    // What could not be written still holds for this program's run.
    if (written) {
        unsaved_.erase({std::string(section), std::string(name)});
    } else {
        unsaved_[{std::string(section), std::string(name)}] = std::string(value);
    }
    snapshot_ = IniSnapshot::Read(path_);
    return written;
}

bool Settings::Get(const SwitchKey& key) const {
    const std::string word = Read(key.section, key.name);
    return key.fallback ? word != kSwitchOff : word == kSwitchOn;
}

bool Settings::Set(const SwitchKey& key, bool on) { return Write(key.section, key.name, on ? kSwitchOn : kSwitchOff); }

namespace {

// A stored number within the key's bounds, or none.
std::optional<int> NumberIn(const NumberKey& key, const std::string& text) {
    const std::string_view digits = std::string_view(text).substr(text.starts_with('-') ? 1 : 0);
    if (digits.empty() || digits.size() > 7 || digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    const int value = std::stoi(text);
    if (value < key.least || value > key.most) return std::nullopt;
    return value;
}

}  // namespace

int Settings::Get(const NumberKey& key) const { return NumberIn(key, Read(key.section, key.name)).value_or(key.fallback); }

bool Settings::Holds(const NumberKey& key) const { return NumberIn(key, Read(key.section, key.name)).has_value(); }

bool Settings::Set(const NumberKey& key, int value) { return Write(key.section, key.name, std::to_string(value)); }

bool Settings::Holds(const DateKey& key) const {
    const std::string text = Read(key.section, key.name);
    if (text.empty()) return false;
    const DateTime date = ParseDateText(text);
    return date.year != 100 && date >= key.least && date <= key.most;
}

DateTime Today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

DateTime Settings::Get(const DateKey& key) const {
    if (Holds(key)) return ParseDateText(Read(key.section, key.name));
    return key.today_by_default ? std::clamp(Today(), key.least, key.most) : key.fallback;
}

bool Settings::Set(const DateKey& key, const DateTime& value) { return Write(key.section, key.name, DateText(value)); }

std::string Settings::Get(const TextKey& key) const { return Read(key.section, key.name); }

bool Settings::Set(const TextKey& key, std::string_view value) { return Write(key.section, key.name, value); }

std::string Settings::Door() const { return DoorKeyOfSetting(Read(kDoorKey.section, kDoorKey.name)); }

bool Settings::SetDoor(std::string_view key) { return Write(kDoorKey.section, kDoorKey.name, DoorSettingOfKey(key)); }

std::string Settings::Proxy() const {
    // A proxy from a file others could have written could read the traffic.
    if (!SettingsFileOpenToOthers(path_).empty()) return {};
    return std::string(TrimBlanks(Read(kProxyKey.section, kProxyKey.name)));
}

bool Settings::SetProxy(std::string_view proxy) {
    const bool written = Write(kProxyKey.section, kProxyKey.name, proxy);
    if (written && ProxyHasPassword(proxy)) KeepToOwner(path_);  // nobody else reads the password
    return written;
}

std::optional<WindowPlace> Settings::Place() const {
    for (const NumberKey* key : {&kWindowLeftKey, &kWindowTopKey, &kWindowWidthKey, &kWindowHeightKey}) {
        if (!Holds(*key)) return std::nullopt;
    }
    return WindowPlace{Get(kWindowLeftKey), Get(kWindowTopKey), Get(kWindowWidthKey), Get(kWindowHeightKey)};
}

bool Settings::SetPlace(const WindowPlace& place) {
    return Set(kWindowLeftKey, place.left) && Set(kWindowTopKey, place.top) && Set(kWindowWidthKey, place.width) &&
           Set(kWindowHeightKey, place.height);
}

ServiceAddresses Settings::Addresses() const {
    ServiceAddresses addresses;
    const auto take = [this](const TextKey& key, std::string& address) { address = Read(key.section, key.name, address); };
    take(kHomePageKey, addresses.home_page);
    if (addresses.home_page.find("://") == std::string::npos) addresses.home_page.insert(0, "http://");
    for (const wa::Door* door : AllDoors()) {  // Door() is the setting's door
        const std::optional<ServiceHost> host = door->Host();
        if (!host) continue;
        if (std::string address = Read(kServiceSection, host->setting); !address.empty()) {
            addresses.hosts[std::string(host->setting)] = std::move(address);
        }
    }
    take(kMakerKey, addresses.maker_host);
    // Authorities from a file others may write could let them read the traffic.
    if (SettingsFileOpenToOthers(path_).empty()) take(kAuthoritiesKey, addresses.ca_file);
    return addresses;
}

DownloadOptions Settings::Options(const std::string& default_save_folder) const {
    DownloadOptions options;
    options.name_format = Get(kNameFormatKey);
    options.sequence = Get(kSequenceKey);
    options.record_store = Get(kRecordStoreKey);
    options.new_only = Get(kNewOnlyKey);
    options.window = {Get(kDateWindowKey), Get(kWindowStartKey), Get(kWindowEndKey)};
    options.upload_time_as_file_time = Get(kFileTimeKey);
    options.live_video = Get(kLiveVideoKey);
    options.write_metadata = Get(kWriteMetadataKey);
    options.album_index = Get(kAlbumIndexKey);
    options.door = Door();
    options.parallel = Get(kParallelKey);
    options.request_spacing_ms = Get(kRequestSpacingKey);
    options.save_folder = Get(kSaveFolderKey);
    if (options.save_folder.empty()) options.save_folder = default_save_folder;
    return options;
}

std::optional<int> ParallelFromText(std::string_view text) {
    if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    const int value = std::stoi(std::string(text));
    if (value < kParallelKey.least || value > kParallelKey.most) return std::nullopt;
    return value;
}

bool ProxyHasPassword(std::string_view proxy) {
    const std::size_t scheme = proxy.find("://");
    std::string_view authority = proxy.substr(scheme == std::string_view::npos ? 0 : scheme + 3);
    authority = authority.substr(0, authority.find('/'));
    const std::size_t at = authority.rfind('@');
    return at != std::string_view::npos && authority.substr(0, at).find(':') != std::string_view::npos;
}

}  // namespace wa
