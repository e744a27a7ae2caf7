#pragma once

#include "app/Settings.h"
#include "core/String.h"

#include <cstddef>
#include <cstdint>

namespace nuv {

// The defaults text (MEDIADATA 239): the default settings, the settings' store path and the
// maker's web address.
class DefaultSettings {
public:
    static constexpr int kResourceId = 239;

    // Parses every line of the text into the fields below; 0 (a line never fails).
    int Load(const uint8_t* text, size_t length);
    // Loads the resource in the user's language, logging; 1 when it is missing.
    int LoadResource();

    Settings settings;
    // Relative to the user's settings root, components separated by '\' (possibly doubled).
    String registryPath = "Software\\Quorvel Studio\\Test Screensaver";
    String webSiteUrl;
};

} // namespace nuv
