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
    return snapshot_.Get(section, name, fallback);
}

bool Settings::Write(std::string_view section, std::string_view name, std::string_view value) {
    const bool written = WriteSetting(path_, section, name, value);
    // Said once, until a write works again.
    if (!written && !write_failing_ && on_write_failure_) on_write_failure_();
    write_failing_ = !written;
    snapshot_ = IniSnapshot::Read(path_);
    return written;
}

bool Settings::Get(const SwitchKey& key) const {
    const std::string word = Read(key.section, key.name);
    return key.fallback ? word != kSwitchOff : word == kSwitchOn;
}

bool Settings::Set(const SwitchKey& key, bool on) { return Write(key.section, key.name, on ? kSwitchOn : kSwitchOff); }

int Settings::Get(const NumberKey& key) const {
    const std::string text = Read(key.section, key.name);
    if (text.empty() || text.size() > 7 || text.find_first_not_of("0123456789") != std::string::npos) return key.fallback;
    const int value = std::stoi(text);
    return value < key.least || value > key.most ? key.fallback : value;
}

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
    constexpr std::string_view kSection = "窗口";
    std::optional<int> values[4];
    const char* names[] = {"左", "上", "宽", "高"};
    for (int i = 0; i < 4; ++i) {
        const std::string text = Read(kSection, names[i]);
        if (text.empty() || text.size() > 6 || text.find_first_not_of("-0123456789") != std::string::npos) {
            return std::nullopt;
        }
        values[i] = std::stoi(text);
    }
    return WindowPlace{*values[0], *values[1], *values[2], *values[3]};
}

bool Settings::SetPlace(const WindowPlace& place) {
    constexpr std::string_view kSection = "窗口";
    return Write(kSection, "左", std::to_string(place.left)) && Write(kSection, "上", std::to_string(place.top)) &&
           Write(kSection, "宽", std::to_string(place.width)) && Write(kSection, "高", std::to_string(place.height));
}

ServiceAddresses Settings::Addresses() const {
    return ServiceAddresses::FromSettings(snapshot_, SettingsFileOpenToOthers(path_).empty());
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
