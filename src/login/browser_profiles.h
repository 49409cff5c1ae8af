// Where other browsers keep a profile, as a user names it on the command
// line: Firefox's profiles.ini (in ~/.config/mozilla/firefox or
// ~/.mozilla/firefox) and Chromium's user-data folders with their
// "Local State".
#pragma once

#include <string>

namespace wa {

struct BrowserProfile {
    std::string folder;  // the profile's folder; empty when none was found
    std::string looked_in;  // where it was looked for, when none was found
    bool running = false;  // the browser holds the profile open now
};

// Firefox's profile `asked`: empty for the default one (the one an install
// uses, else the one marked Default=1, else the first), a profile's name as
// profiles.ini gives it, or a folder (absolute, or below the profiles'
// folder). $XDG_CONFIG_HOME/mozilla/firefox is looked in before
// ~/.mozilla/firefox.
BrowserProfile FirefoxProfile(const std::string& asked);

// A Chromium-family profile: `config_name` is its folder below
// $XDG_CONFIG_HOME ("chromium", "google-chrome"). `asked` may be empty (the
// profile last used, else Default), a profile folder's name ("Profile 1"),
// a profile's shown name, a profile folder, or a user-data folder (the one
// given to --user-data-dir), which stands for its last used profile.
BrowserProfile ChromiumProfile(const std::string& config_name, const std::string& asked);

}  // namespace wa
