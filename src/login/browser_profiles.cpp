#include "login/browser_profiles.h"

#include <json-c/json.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "util/folders.h"
#include "util/text.h"
#include "util/json_text.h"

namespace wa {
namespace {

namespace fs = std::filesystem;

bool IsFolder(const std::string& path) {
    std::error_code error;
    return !path.empty() && fs::is_directory(path, error);
}

// A lock the browser holds while it runs: a symbolic link, pointing nowhere
// once the browser is gone only after a crash.
bool HeldBy(const std::string& link) {
    std::error_code error;
    return fs::is_symlink(link, error);
}

struct FirefoxProfiles {
    std::string root;
    std::string install_default;  // the profile an install uses
    std::string marked_default;   // Default=1
    std::vector<std::pair<std::string, std::string>> named;  // (Name, folder), in order
};

// profiles.ini of `root`; our INI module reads one key by name, and this file
// wants its Profile and Install sections walked.
FirefoxProfiles ReadProfilesIni(const std::string& root) {
    FirefoxProfiles found{root, {}, {}, {}};
    std::ifstream ini(root + "/profiles.ini");
    std::string section, name, path;
    bool relative = true;
    bool is_default = false;
    const auto end_profile = [&] {
        if (!section.starts_with("Profile") || path.empty()) return;
        const std::string full = relative ? root + "/" + path : path;
        found.named.emplace_back(name, full);
        if (is_default && found.marked_default.empty()) found.marked_default = full;
    };
    for (std::string line; std::getline(ini, line);) {
        const std::string text(TrimBlanks(line));
        if (text.starts_with('[')) {
            end_profile();
            section = text.substr(1, text.find(']') - 1);
            name.clear(), path.clear(), relative = true, is_default = false;
            continue;
        }
        const std::size_t equals = text.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = text.substr(0, equals);
        const std::string value = text.substr(equals + 1);
        if (section.starts_with("Install") && key == "Default" && found.install_default.empty()) {
            found.install_default = value.starts_with('/') ? value : root + "/" + value;
        }
        if (key == "Name") name = value;
        if (key == "Path") path = value;
        if (key == "IsRelative") relative = value != "0";
        if (key == "Default") is_default = value == "1";
    }
    end_profile();
    return found;
}

std::string FirefoxFolderIn(const FirefoxProfiles& profiles, const std::string& asked) {
    if (asked.empty()) {
        if (!profiles.install_default.empty()) return profiles.install_default;
        if (!profiles.marked_default.empty()) return profiles.marked_default;
        return profiles.named.empty() ? std::string() : profiles.named.front().second;
    }
    for (const auto& [name, folder] : profiles.named) {
        if (name == asked) return folder;
    }
    const std::string below = profiles.root + "/" + asked;
    return IsFolder(below) ? below : std::string();
}

// A JSON file read whole (Chromium's Local State is a few KiB).
JsonDocument ReadJsonFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text;
    char buffer[4096];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > (4u << 20)) return nullptr;
    }
    return ParseJson(text);
}

// The profile folder of a user-data folder that `asked` names: its folder
// name, or the name the profile is shown under; the last used one when
// `asked` is empty.
std::string ChromiumFolderIn(const std::string& user_data, const std::string& asked) {
    const JsonDocument state = ReadJsonFile(user_data + "/Local State");
    json_object* profile = JsonMember(state.get(), "profile");
    if (asked.empty()) {
        json_object* last = JsonMember(profile, "last_used");
        const std::string used = last && json_object_is_type(last, json_type_string) ? json_object_get_string(last) : "";
        if (!used.empty() && used.find('/') == std::string::npos && IsFolder(user_data + "/" + used)) {
            return user_data + "/" + used;
        }
        return user_data + "/Default";
    }
    if (IsFolder(user_data + "/" + asked)) return user_data + "/" + asked;
    json_object* cache = JsonMember(profile, "info_cache");
    if (cache && json_object_is_type(cache, json_type_object)) {
        json_object_object_foreach(cache, folder, info) {
            json_object* shown = JsonMember(info, "name");
            if (shown && json_object_is_type(shown, json_type_string) && asked == json_object_get_string(shown) &&
                std::string_view(folder).find('/') == std::string_view::npos) {
                return user_data + "/" + folder;
            }
        }
    }
    return {};
}

}  // namespace

BrowserProfile FirefoxProfile(const std::string& asked) {
    BrowserProfile profile;
    const std::vector<std::string> roots = {XdgFolder("XDG_CONFIG_HOME", ".config") + "/mozilla/firefox",
                                            HomeFolder() + "/.mozilla/firefox"};
    if (asked.starts_with('/')) {
        profile.folder = IsFolder(asked) ? asked : "";
    } else {
        for (const std::string& root : roots) {
            if (!IsFolder(root)) continue;
            profile.folder = FirefoxFolderIn(ReadProfilesIni(root), asked);
            if (IsFolder(profile.folder)) break;
            profile.folder.clear();
        }
    }
    if (profile.folder.empty()) {
        profile.looked_in = asked.starts_with('/') ? asked : roots[0] + " 和 " + roots[1];
        return profile;
    }
    profile.running = HeldBy(profile.folder + "/lock");
    return profile;
}

BrowserProfile ChromiumProfile(const std::string& config_name, const std::string& asked) {
    BrowserProfile profile;
    const std::string home = XdgFolder("XDG_CONFIG_HOME", ".config") + "/" + config_name;
    std::string user_data = home;
    if (asked.starts_with('/')) {
        // A user-data folder holds "Local State"; a profile folder does not.
        std::error_code error;
        if (fs::exists(asked + "/Local State", error)) {
            user_data = asked;
            profile.folder = ChromiumFolderIn(asked, "");
        } else {
            user_data = fs::path(asked).parent_path().string();
            profile.folder = asked;
        }
    } else {
        profile.folder = ChromiumFolderIn(home, asked);
    }
    if (!IsFolder(profile.folder)) {
        profile.looked_in = asked.starts_with('/') ? asked : home;
        profile.folder.clear();
        return profile;
    }
    profile.running = HeldBy(user_data + "/SingletonLock");
    return profile;
}

}  // namespace wa
