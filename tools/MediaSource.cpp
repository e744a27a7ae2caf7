#include "MediaSource.h"

#include "core/Object.h"
#include "core/String.h"
#include "media/CodecManager.h"
#include "media/File.h"
#include "media/FileManager.h"
#include "media/Folder.h"
#include "media/MemoryFile.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace nuv {

namespace fs = std::filesystem;

namespace {

// A folder on disk becomes a folder of memory files, the way an archive is attached.
bool AttachDiskFolder(const fs::path& path, Folder& into, const char* tool, std::ostream& err) {
    std::error_code ec;
    std::vector<fs::directory_entry> entries;
    for (const auto& entry : fs::directory_iterator(path, ec)) entries.push_back(entry);
    if (ec) {
        err << tool << ": cannot read folder '" << path.string() << "'\n";
        return false;
    }
    // Byte order of names, so the tree is the same on every run.
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.path().filename() < b.path().filename(); });
    for (const auto& entry : entries) {
        const std::string name = entry.path().filename().string();
        if (entry.is_symlink(ec)) continue;
        if (entry.is_directory(ec)) {
            auto* folder = new Folder(String(name.c_str()));
            if (into.AttachFolder(folder) != 0) {
                delete folder;
                continue;
            }
            if (!AttachDiskFolder(entry.path(), *folder, tool, err)) return false;
        } else if (entry.is_regular_file(ec)) {
            std::vector<uint8_t> bytes;
            if (!MediaSource::ReadWhole(entry.path(), bytes)) {
                err << tool << ": cannot read '" << entry.path().string() << "'\n";
                return false;
            }
            Pointer<MemoryFile> file(new MemoryFile(String(name.c_str())));
            file->SetContent(std::move(bytes));
            into.AttachFile(file.Get());
        }
    }
    return true;
}

} // namespace

bool MediaSource::ReadWhole(const fs::path& path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return bool(in) || in.eof();
}

bool MediaSource::Attach(const std::string& media, const char* tool, std::ostream& err) {
    std::error_code ec;
    const fs::path path(media);
    if (fs::is_directory(path, ec)) {
        auto* top = new Folder(String(path.filename().string().c_str()));
        if (FileManager::GetRoot()->AttachFolder(top) != 0) {
            delete top;
            return false;
        }
        return AttachDiskFolder(path, *top, tool, err);
    }
    std::vector<uint8_t> bytes;
    if (!fs::is_regular_file(path, ec) || !ReadWhole(path, bytes)) {
        err << tool << ": cannot read media '" << media << "'\n";
        return false;
    }
    Pointer<MemoryFile> archive(new MemoryFile(String(path.filename().string().c_str())));
    archive->SetContent(std::move(bytes));
    if (FileManager::AttachArchive(archive.Get(), String()) != 0) {
        err << tool << ": '" << media << "' is not an archive this engine reads\n";
        return false;
    }
    return true;
}

int MediaSource::LoadScene(const std::string& scene, Pointer<Object>& root, const char* tool, std::ostream& err) {
    File* inMedia = FileManager::FindFile(String(scene.c_str()));
    if (inMedia) return CodecManager::LoadSceneFile(inMedia, root);
    std::vector<uint8_t> bytes;
    std::error_code ec;
    if (!fs::is_regular_file(scene, ec) || !ReadWhole(scene, bytes)) {
        err << tool << ": no scene '" << scene << "' in the media or on disk\n";
        return 2;
    }
    Pointer<MemoryFile> file(new MemoryFile(String(fs::path(scene).filename().string().c_str())));
    file->SetContent(std::move(bytes));
    return CodecManager::LoadSceneFile(file.Get(), root);
}

} // namespace nuv
