#include "MediaSource.h"

#include "core/Log.h"
#include "core/MessageOutput.h"
#include "core/Object.h"
#include "core/Status.h"
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

// A folder on disk becomes a folder of disk files, the way an archive is attached; a file is
// read only when something opens it, so a large folder costs its listing alone.
bool AttachDiskFolder(const fs::path& path, Folder& into, int depth, const char* tool, std::ostream& err) {
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
            if (depth >= MediaSource::kMaxFolderDepth) continue;
            auto* folder = new Folder(String(name.c_str()));
            if (into.AttachFolder(folder) != kStatusOk) {
                delete folder;
                continue;
            }
            if (!AttachDiskFolder(entry.path(), *folder, depth + 1, tool, err)) return false;
        } else if (entry.is_regular_file(ec)) {
            Pointer<File> file(new File(String(name.c_str())));
            into.AttachFile(file.Get());
        }
    }
    return true;
}

// Picks out, while a scene loads, the file of the first picture that could not be loaded (the
// loader's error line names it as Файл[...]).
class MissingPictureOutput : public MessageOutput {
public:
    MissingPictureOutput() : MessageOutput("nuvtool media") {}
    void Output(int level, const String& text) override {
        static const std::string kPrefix = "Невозможно загрузить изображение из файла.";
        const std::string line = text.GetText();
        if (level < kLogError || !file.empty() || line.rfind(kPrefix, 0) != 0) return;
        const size_t open = line.rfind("Файл[");
        const size_t close = line.rfind(']');
        if (open != std::string::npos && close != std::string::npos && close > open + 9)
            file = line.substr(open + 9, close - open - 9);
    }
    std::string file;
};

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
        // Named by its whole path: a disk file's path is its folders' names joined.
        std::string whole = fs::absolute(path, ec).lexically_normal().string();
        while (whole.size() > 1 && whole.back() == '/') whole.pop_back();
        auto* top = new Folder(String(whole.c_str()));
        if (FileManager::GetRoot()->AttachFolder(top) != kStatusOk) {
            delete top;
            return false;
        }
        return AttachDiskFolder(path, *top, 0, tool, err);
    }
    std::vector<uint8_t> bytes;
    if (!fs::is_regular_file(path, ec) || !ReadWhole(path, bytes)) {
        err << tool << ": cannot read media '" << media << "'\n";
        return false;
    }
    Pointer<MemoryFile> archive(new MemoryFile(String(path.filename().string().c_str())));
    archive->SetContent(std::move(bytes));
    if (FileManager::AttachArchive(archive.Get(), String()) != kStatusOk) {
        err << tool << ": '" << media << "' is not an archive this engine reads\n";
        return false;
    }
    return true;
}

std::string MediaSource::DefaultMedia(const std::string& scene) {
    std::error_code ec;
    if (!fs::is_regular_file(scene, ec)) return std::string();
    const fs::path folder = fs::path(scene).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

int MediaSource::LoadScene(const std::string& scene, Pointer<Object>& root, const char* tool, std::ostream& err) {
    Pointer<MissingPictureOutput> missing(new MissingPictureOutput());
    RegisterMessageOutput(missing.Get());
    const int status = LoadSceneFile(scene, root, tool, err);
    UnregisterMessageOutput(missing.Get());
    if (status != kStatusOk && status != kNoScene && !missing->file.empty()) {
        err << tool << ": the scene refers to '" << missing->file << "', which "
            << (FileManager::FindFile(String(missing->file.c_str())) ? "is not a picture this engine reads"
                                                                     : "is not in the media")
            << "\n";
    }
    return status;
}

int MediaSource::LoadSceneFile(const std::string& scene, Pointer<Object>& root, const char* tool, std::ostream& err) {
    File* inMedia = FileManager::FindFile(String(scene.c_str()));
    if (inMedia) return CodecManager::LoadSceneFile(inMedia, root);
    std::vector<uint8_t> bytes;
    std::error_code ec;
    if (!fs::is_regular_file(scene, ec) || !ReadWhole(scene, bytes)) {
        err << tool << ": no scene '" << scene << "' in the media or on disk\n";
        return kNoScene;
    }
    Pointer<MemoryFile> file(new MemoryFile(String(fs::path(scene).filename().string().c_str())));
    file->SetContent(std::move(bytes));
    return CodecManager::LoadSceneFile(file.Get(), root);
}

} // namespace nuv
