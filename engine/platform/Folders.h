#pragma once

#include <string>

namespace nuv {

// Paths are UTF-8 and given without a trailing separator.

// The user's application-data folder: Linux $XDG_DATA_HOME or ~/.local/share; Windows
// CSIDL_APPDATA. 0; 3 for a null out; 1 when it cannot be determined.
int GetAppDataFolder(std::string* path);
// The user's configuration folder: Linux $XDG_CONFIG_HOME or ~/.config. Windows keeps
// settings in the registry and has none: 1.
int GetConfigFolder(std::string* path);
// Creates the folder and any missing parents; an existing folder is fine. 0; 1 on failure,
// including a path that exists as a file.
int CreateFolders(const std::string& path);
// folder + separator + name (the platform's separator; no doubling).
std::string JoinPath(const std::string& folder, const std::string& name);

} // namespace nuv
