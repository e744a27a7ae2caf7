#pragma once

#include "core/Pointer.h"

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace nuv {

class Object;

// Where the commands that load scenes find the files a scene names: a RAR archive or a folder
// on disk attached under the file manager's root, as the program attaches its archives.
class MediaSource {
public:
    // The whole file; false when it cannot be read.
    static bool ReadWhole(const std::filesystem::path& path, std::vector<uint8_t>& bytes);
    // Subfolders of an attached disk folder deeper than this are left out.
    static constexpr int kMaxFolderDepth = 16;

    // Attaches a folder (its files read when opened, names in byte order) or an archive. False,
    // with a line on err starting with tool, when it cannot be read or is no archive.
    static bool Attach(const std::string& media, const char* tool, std::ostream& err);
    // The media of a scene file on disk when none is named: the scene's own folder. Empty when
    // scene is no file on disk.
    static std::string DefaultMedia(const std::string& scene);
    // What LoadScene answers when there is no such scene; outside the loader's status codes.
    static constexpr int kNoScene = -1;

    // The scene by its path in the attached media, or else a file on disk. kStatusOk; kNoScene
    // when there is no such scene (said on err); the loader's status otherwise, with a line
    // naming the picture the scene refers to that was missing or unreadable.
    static int LoadScene(const std::string& scene, Pointer<Object>& root, const char* tool, std::ostream& err);

private:
    static int LoadSceneFile(const std::string& scene, Pointer<Object>& root, const char* tool, std::ostream& err);
};

} // namespace nuv
