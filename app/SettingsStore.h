#pragma once

#include "app/Settings.h"
#include "core/String.h"

#include <string>

namespace nuv {

// Where the user's settings persist between runs. Linux: one file of "Name=value" lines under the
// user's configuration folder, replaced whole through a temporary file and a rename, so a failed
// write never loses the earlier file.
class SettingsStore {
public:
    // A store in the given file.
    explicit SettingsStore(std::string path) : path_(std::move(path)) {}

    // The file of a settings path ("Software\\Maker\\Product" gives
    // <config folder>/Software/Maker/Product.conf); empty, "." and ".." components are dropped.
    // 0; 1 when the configuration folder is unknown or no component is left.
    static int MakePath(const String& registryPath, std::string* path);

    // Reads the stored values into settings. A missing file is the first run: the settings (the
    // defaults at that point) are written. A file that cannot be read or does not hold valid
    // values leaves every setting as it was and logs why. 0; 1 when the first-run write fails.
    int Read(Settings* settings);
    // Replaces the file with all values of settings. 0; 1 on failure (the earlier file stays).
    int Write(const Settings& settings);

    const std::string& GetPath() const { return path_; }

    // The file's text for settings, and its parse: 0 with the values found applied to settings
    // (the rest unchanged); 1, with settings untouched, when a line is not a valid "Name=value".
    static std::string Format(const Settings& settings);
    static int Parse(const char* text, size_t length, Settings* settings, int* badLine);

private:
    std::string path_;
};

} // namespace nuv
