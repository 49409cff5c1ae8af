#include "shell/saved_options.h"

#include "util/ini_file.h"
#include "util/text.h"

namespace wa {
namespace {

constexpr std::pair<std::string_view, NameFormat> kFormats[] = {
    {"序号加内容", NameFormat::kNumberThenContent}, {"内容加序号", NameFormat::kContentThenNumber},
    {"内容", NameFormat::kContent},                 {"内容加日期", NameFormat::kContentThenDate},
    {"日期加内容", NameFormat::kDateThenContent},
};

constexpr std::pair<std::string_view, AlbumDoor> kDoors[] = {
    {"自动", AlbumDoor::kAuto}, {"相册服务", AlbumDoor::kPhotoService}, {"相册页", AlbumDoor::kAlbumTab}};

}  // namespace

AlbumDoor AlbumDoorFromText(std::string_view text) {
    for (const auto& [word, door] : kDoors) {
        if (word == text) return door;
    }
    return AlbumDoor::kAuto;
}

std::string_view AlbumDoorText(AlbumDoor door) {
    for (const auto& [word, value] : kDoors) {
        if (value == door) return word;
    }
    return kDoors[0].first;
}

std::string ConfigPathIn(const std::string& program_folder) {
    return program_folder + "/" + std::string(kConfigFileName);
}

std::optional<NameFormat> NameFormatFromText(std::string_view text) {
    if (text.empty()) return NameFormat::kNumberThenContent;
    for (const auto& [word, format] : kFormats) {
        if (word == text) return format;
    }
    return std::nullopt;
}

std::string_view NameFormatText(NameFormat format) {
    for (const auto& [word, value] : kFormats) {
        if (value == format) return word;
    }
    return kFormats[0].first;
}

std::optional<int> ParallelFromText(std::string_view text) {
    if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    const int value = std::stoi(std::string(text));
    if (value < 1 || value > kMaxParallel) return std::nullopt;
    return value;
}

std::string SettingsFileOpenToOthersWarning(const std::string& config_path) {
    const std::string why = SettingsFileOpenToOthers(config_path);
    if (why.empty()) return {};
    return "配置文件 " + config_path + " " + why + "，其中的“代理”和“证书”设置不予使用";
}

bool ProxyHasPassword(std::string_view proxy) {
    const std::size_t scheme = proxy.find("://");
    std::string_view authority = proxy.substr(scheme == std::string_view::npos ? 0 : scheme + 3);
    authority = authority.substr(0, authority.find('/'));
    const std::size_t at = authority.rfind('@');
    return at != std::string_view::npos && authority.substr(0, at).find(':') != std::string_view::npos;
}

SavedOptions ReadSavedOptions(const std::string& config, const std::string& program_folder) {
    SavedOptions options;
    options.record_store = ReadSetting(config, kGlobalSection, kRecordStoreKey, kSwitchOff) == kSwitchOn;
    options.time_window = ReadSetting(config, kGlobalSection, kTimeWindowKey, kSwitchOff) == kSwitchOn;
    if (const std::string start = ReadSetting(config, kGlobalSection, kStartDateKey); !start.empty()) {
        const DateTime date = ParseDateText(start);
        if (date.year != 100) options.start_date = date;
    }
    if (const std::string end = ReadSetting(config, kGlobalSection, kEndDateKey); !end.empty()) {
        const DateTime date = ParseDateText(end);
        if (date >= kEndDateMinimum && date <= kEndDateMaximum) options.end_date = date;
    }
    options.save_folder = ReadSetting(config, kGlobalSection, kSaveFolderKey);
    if (options.save_folder.empty()) options.save_folder = program_folder;
    options.name_format = NameFormatFromText(ReadSetting(config, kGlobalSection, kNameFormatKey));
    options.sequence = ReadSetting(config, kGlobalSection, kSequenceKey) == kSequenceCycle
                           ? SequenceScheme::kPageCycle
                           : SequenceScheme::kRunning;
    options.sound_path = ReadSetting(config, kSoundSection, kSoundKey);
    options.parallel = ParallelFromText(ReadSetting(config, kGlobalSection, kParallelKey)).value_or(kDefaultParallel);
    options.album_door = AlbumDoorFromText(ReadSetting(config, kGlobalSection, kAlbumDoorKey));
    options.live_video = ReadSetting(config, kGlobalSection, kLiveVideoKey, kSwitchOn) != kSwitchOff;
    options.new_only = ReadSetting(config, kGlobalSection, kNewOnlyKey, kSwitchOff) == kSwitchOn;
    options.upload_time_as_file_time = ReadSetting(config, kGlobalSection, kFileTimeKey, kUploadTime) != kDownloadTime;
    if (SettingsFileOpenToOthers(config).empty()) {
        options.proxy = std::string(TrimBlanks(ReadSetting(config, kGlobalSection, kProxyKey)));
    }
    const std::string spacing = ReadSetting(config, kGlobalSection, kRequestSpacingKey);
    if (!spacing.empty() && spacing.find_first_not_of("0123456789") == std::string::npos && spacing.size() <= 7) {
        options.request_spacing_ms = std::stoi(spacing);
    }
    return options;
}

}  // namespace wa
