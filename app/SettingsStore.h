#pragma once

#include "app/Settings.h"
#include "core/String.h"

#include <string>
#include <vector>

namespace nuv {

// Where the user's settings persist between runs. Linux: one file of "Name=value" lines under the
// user's configuration folder, replaced whole through a temporary file and a rename, so a failed
// write never loses the earlier file.
class SettingsStore {
public:
    // Files larger than this are not the store's: the program writes about 300 bytes.
    static constexpr size_t kMaxFileSize = 64 * 1024;

    // A store in the given file.
    explicit SettingsStore(std::string path) : path_(std::move(path)) {}

    // The file of a settings path ("Software\\Maker\\Product" gives
    // <config folder>/Software/Maker/Product.conf); empty, "." and ".." components are dropped.
    // 0; 1 when the configuration folder is unknown or no component is left.
    static int MakePath(const String& registryPath, std::string* path);

    // Reads the stored values into settings; values the store does not hold keep theirs.
    // - A missing or empty file is the first run: the settings (the defaults at that point) are
    //   written. When they cannot be, the run goes on with them, and the log and standard error
    //   say once that the settings cannot be saved.
    // - Each line is taken on its own: a malformed line is logged and skipped, the others apply.
    // - Out-of-range values are corrected (Settings::ApplyLimits, with the values settings held
    //   before as the fallback) and the correction logged.
    // - A file that exists but cannot be read (no permission, a folder in its place, a read
    //   error) is the error path: logged, said on standard error, and 1.
    // - A file too large to be the store's is logged and left alone; the settings stay.
    // Temporary files that a killed write left beside the file are removed first.
    int Read(Settings* settings);
    // Replaces the file with all values of settings. 0; 1 on failure (the earlier file stays).
    int Write(const Settings& settings);

    const std::string& GetPath() const { return path_; }
    // Why the last Write failed (the system's text), empty after a success.
    const std::string& GetWriteError() const { return writeError_; }

    // The file's text for settings, and its parse: each valid "Name=value" line applies its value
    // to settings; each malformed one is skipped and its number (from 1) added to badLines.
    // Returns the number of malformed lines.
    static std::string Format(const Settings& settings);
    static int Parse(const char* text, size_t length, Settings* settings, std::vector<int>* badLines);

    // Reads a whole file from fd, whatever sizes the reads return, up to maxSize bytes.
    // 0; 1 when the file holds more than maxSize bytes; 2 on a read error (errno kept).
    static int ReadText(int fd, size_t maxSize, std::string* text);

private:
    // Removes the temporary files of writes that were killed before their rename; a temporary
    // that a running write still holds (locked) is left alone. Returns how many went.
    int RemoveOrphanedTemporaries() const;
    // The first-run write; its failure only costs the saving.
    void WriteFirstRun(const Settings& settings);

    std::string path_;
    std::string writeError_;
};

} // namespace nuv
