#include "RarCommand.h"

#include "EntryNameDecoder.h"

#include "core/Status.h"
#include "media/rar/Rar2Archive.h"
#include "media/rarwriter/Rar2Writer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <set>
#include <sstream>

namespace nuv {

namespace fs = std::filesystem;

namespace {

bool ReadWholeFile(const fs::path& path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) return false;
    in.seekg(0, std::ios::beg);
    bytes.resize(size_t(size));
    if (size > 0 && !in.read(reinterpret_cast<char*>(bytes.data()), size)) return false;
    return true;
}

bool WriteWholeFile(const fs::path& path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    if (size > 0) out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    out.close();
    return bool(out);
}

std::string FormatDosTime(uint32_t t) {
    char text[32];
    std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u", 1980 + (t >> 25), (t >> 21) & 15,
                  (t >> 16) & 31, (t >> 11) & 31, (t >> 5) & 63, (t & 31) * 2);
    return text;
}

// "stem (2).ext", "stem (3).ext", ... beside relative, the first that is not taken.
std::string UniqueName(const std::string& relative, const std::set<std::string>& taken) {
    const size_t slash = relative.rfind('/');
    const size_t dot = relative.rfind('.');
    const size_t cut =
        dot != std::string::npos && (slash == std::string::npos || dot > slash + 1) ? dot : relative.size();
    for (int n = 2;; ++n) {
        std::string candidate = relative.substr(0, cut) + " (" + std::to_string(n) + ")" + relative.substr(cut);
        if (taken.count(candidate) == 0) return candidate;
    }
}

// Opens ARCHIVE for list/test/extract; prints the reason and returns false when it cannot.
bool LoadArchive(const std::string& path, std::vector<uint8_t>& bytes, std::ostream& err) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        err << "nuvtool rar: cannot read '" << path << "': not a readable file\n";
        return false;
    }
    if (!ReadWholeFile(path, bytes)) {
        err << "nuvtool rar: cannot read '" << path << "'\n";
        return false;
    }
    return true;
}

int List(const std::string& path, const EntryNameDecoder& names, std::ostream& out, std::ostream& err) {
    std::vector<uint8_t> bytes;
    if (!LoadArchive(path, bytes, err)) return RarCommand::kExitUsage;
    Rar2Archive archive(bytes.data(), bytes.size());
    if (!archive.IsOpen()) {
        err << "nuvtool rar: '" << path << "' is not a RAR 2.0 archive\n";
        return RarCommand::kExitUsage;
    }
    out << path << (archive.IsSolid() ? " (solid)" : "") << ": " << archive.GetEntries().size() << " entries\n";
    out << "      Size     Packed  Ver Method  Date       Time     CRC32     Name\n";
    for (const Rar2Entry& e : archive.GetEntries()) {
        std::ostringstream line;
        if (e.IsDirectory()) {
            line << std::setw(10) << "<dir>" << std::setw(11) << "" << "  ";
        } else {
            line << std::setw(10) << e.unpackedSize << std::setw(11) << e.packedSize << "  ";
        }
        char method[8];
        std::snprintf(method, sizeof(method), "0x%02X", e.method);
        char crc[12];
        std::snprintf(crc, sizeof(crc), "%08X", e.fileCrc);
        line << std::setw(3) << int(e.unpackVersion) << " " << method << (e.IsSolid() ? "s" : " ")
             << (e.IsEncrypted() ? "*" : " ") << " " << FormatDosTime(e.fileTime) << "  " << crc << "  "
             << names.Decode(e);
        out << line.str() << "\n";
    }
    return RarCommand::kExitOk;
}

// Decodes every entry; with a target folder, writes them there as well.
int TestOrExtract(const std::string& path, const fs::path* target, const EntryNameDecoder& names, std::ostream& out,
                  std::ostream& err) {
    std::vector<uint8_t> bytes;
    if (!LoadArchive(path, bytes, err)) return RarCommand::kExitUsage;
    Rar2Archive archive(bytes.data(), bytes.size());
    if (!archive.IsOpen()) {
        err << "nuvtool rar: '" << path << "' is not a RAR 2.0 archive\n";
        return RarCommand::kExitUsage;
    }
    if (target != nullptr) {
        std::error_code ec;
        fs::create_directories(*target, ec);
        if (!fs::is_directory(*target, ec)) {
            err << "nuvtool rar: cannot create folder '" << target->string() << "'\n";
            return RarCommand::kExitUsage;
        }
    }
    size_t failed = 0;
    size_t files = 0;
    std::set<std::string> written; // relative paths of this extraction
    archive.ExtractAll("", [&](size_t index, Rar2Result result, const std::vector<uint8_t>& data) {
        const Rar2Entry& e = archive.GetEntries()[index];
        const std::string name = names.Decode(e);
        const bool directory = result == Rar2Result::IsDirectory;
        if (!directory) ++files;
        if (!directory && result != Rar2Result::Ok) {
            ++failed;
            err << "FAILED  " << name << ": " << Rar2Archive::Describe(result) << "\n";
            return;
        }
        // The data checked out, but a damaged header means the entry's name, size or time
        // may not be what was stored: never called OK. Extraction still writes the data.
        if (!directory && !e.headerCrcOk) {
            ++failed;
            err << "FAILED  " << name << ": header CRC mismatch"
                << (target ? " (its data passed its CRC and is extracted)" : " (its data passed its CRC)") << "\n";
            if (target == nullptr) return;
        }
        if (target == nullptr) {
            if (!directory) out << "OK      " << name << "\n";
            return;
        }
        std::string relative;
        if (!RarCommand::SafeRelativePath(name, relative)) {
            ++failed;
            err << "SKIPPED " << name << ": the name points outside the target folder\n";
            return;
        }
        // Two entries never share a file silently: a later one of a name already written (by an
        // earlier entry, or found only once the names were decoded) gets a name of its own.
        if (!directory && written.count(relative) > 0) {
            const std::string unique = UniqueName(relative, written);
            err << "RENAMED " << name << ": an earlier entry has the same name; written as '" << unique << "'\n";
            relative = unique;
        }
        written.insert(relative);
        // Refuse to follow a link already in the target: it could lead anywhere.
        fs::path where = *target;
        std::error_code ec;
        for (const fs::path& part : fs::path(relative)) {
            where /= part;
            if (fs::is_symlink(fs::symlink_status(where, ec))) {
                ++failed;
                err << "SKIPPED " << name << ": '" << where.string() << "' is a symbolic link\n";
                return;
            }
        }
        const fs::path parent = directory ? where : where.parent_path();
        fs::create_directories(parent, ec);
        if (!fs::is_directory(parent, ec)) {
            ++failed;
            err << "FAILED  " << name << ": cannot create folder '" << parent.string() << "'\n";
            return;
        }
        if (directory) return;
        if (!WriteWholeFile(where, data.data(), data.size())) {
            ++failed;
            err << "FAILED  " << name << ": cannot write '" << where.string() << "'\n";
            return;
        }
        if (e.headerCrcOk) out << "OK      " << name << "\n";
    }, target != nullptr);
    out << (target ? "extracted " : "tested ") << files - std::min(files, failed) << " of " << files << " files";
    if (failed > 0) out << ", " << failed << " failed";
    out << "\n";
    return failed == 0 ? RarCommand::kExitOk : RarCommand::kExitEntryFailed;
}

struct PackItem {
    std::string name;  // relative, "/" separated
    fs::path path;
    bool directory;
};

// Deterministic walk: names sorted byte-wise, each directory before its contents.
bool CollectTree(const fs::path& dir, const std::string& prefix, std::vector<PackItem>& items, std::ostream& err) {
    std::error_code ec;
    std::vector<fs::directory_entry> children;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) children.push_back(*it);
    if (ec) {
        err << "nuvtool rar: cannot read folder '" << dir.string() << "': " << ec.message() << "\n";
        return false;
    }
    std::sort(children.begin(), children.end(), [](const fs::directory_entry& a, const fs::directory_entry& b) {
        return a.path().filename().string() < b.path().filename().string();
    });
    for (const fs::directory_entry& child : children) {
        const std::string name = prefix + child.path().filename().string();
        const fs::file_status status = child.symlink_status(ec);
        if (fs::is_symlink(status)) {
            err << "nuvtool rar: skipping symbolic link '" << child.path().string() << "'\n";
        } else if (fs::is_directory(status)) {
            items.push_back({name, child.path(), true});
            if (!CollectTree(child.path(), name + "/", items, err)) return false;
        } else if (fs::is_regular_file(status)) {
            items.push_back({name, child.path(), false});
        } else {
            err << "nuvtool rar: skipping special file '" << child.path().string() << "'\n";
        }
    }
    return true;
}

int64_t UnixTime(const fs::path& path) {
    std::error_code ec;
    const fs::file_time_type t = fs::last_write_time(path, ec);
    if (ec) return 0;
    const auto sys = std::chrono::file_clock::to_sys(t);
    return std::chrono::duration_cast<std::chrono::seconds>(sys.time_since_epoch()).count();
}

int Pack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Rar2Writer::Options options;
    options.audioChannels = 2;  // 16-bit mono: low and high bytes predicted apart
    std::vector<std::string> positional;
    bool fixedTime = false;
    int64_t time = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--store") {
            options.store = true;
        } else if (a == "--solid") {
            options.solid = true;
        } else if (a == "--audio") {
            options.audio = true;
        } else if (a.rfind("--channels=", 0) == 0) {
            options.audioChannels = std::atoi(a.c_str() + 11);
            if (options.audioChannels < 1 || options.audioChannels > 4) {
                err << "nuvtool rar pack: --channels takes 1 to 4\n";
                return RarCommand::kExitUsage;
            }
        } else if (a.rfind("--time=", 0) == 0) {
            char* end = nullptr;
            time = std::strtoll(a.c_str() + 7, &end, 10);
            if (end == a.c_str() + 7 || *end != '\0') {
                err << "nuvtool rar pack: --time takes seconds since 1970\n";
                return RarCommand::kExitUsage;
            }
            fixedTime = true;
        } else if (a.size() > 1 && a[0] == '-') {
            err << "nuvtool rar pack: unknown option '" << a << "'\n";
            return RarCommand::kExitUsage;
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2) {
        err << "usage: nuvtool rar pack ARCHIVE DIR [--store] [--solid] [--audio [--channels=N]] [--time=SECONDS]\n";
        return RarCommand::kExitUsage;
    }
    const fs::path dir = positional[1];
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        err << "nuvtool rar pack: '" << dir.string() << "' is not a folder\n";
        return RarCommand::kExitUsage;
    }
    std::vector<PackItem> items;
    if (!CollectTree(dir, "", items, err)) return RarCommand::kExitUsage;
    // An earlier archive of the same name inside DIR is not packed into the new one.
    if (fs::exists(positional[0], ec)) {
        std::erase_if(items, [&](const PackItem& item) {
            return !item.directory && fs::equivalent(item.path, positional[0], ec);
        });
    }

    Rar2Writer writer(options);
    std::vector<uint8_t> data;
    for (const PackItem& item : items) {
        const uint32_t dosTime = Rar2Writer::DosTime(fixedTime ? time : UnixTime(item.path));
        int status = kStatusOk;
        if (item.directory) {
            status = writer.AddDirectory(item.name, dosTime);
        } else {
            if (!ReadWholeFile(item.path, data)) {
                err << "nuvtool rar pack: cannot read '" << item.path.string() << "'\n";
                return RarCommand::kExitUsage;
            }
            status = writer.AddFile(item.name, data.data(), data.size(), dosTime);
        }
        if (status != kStatusOk) {
            err << "nuvtool rar pack: " << writer.LastError() << "\n";
            return RarCommand::kExitUsage;
        }
    }
    const std::vector<uint8_t>& bytes = writer.GetBytes();
    if (!WriteWholeFile(positional[0], bytes.data(), bytes.size())) {
        err << "nuvtool rar pack: cannot write '" << positional[0] << "'\n";
        return RarCommand::kExitUsage;
    }
    out << "packed " << items.size() << " entries into " << positional[0] << " (" << bytes.size() << " bytes)\n";
    return RarCommand::kExitOk;
}

} // namespace

void RarCommand::PrintHelp(std::ostream& out) {
    out << "usage: nuvtool rar list ARCHIVE [--codepage=NAME]\n"
           "       nuvtool rar test ARCHIVE [--codepage=NAME]\n"
           "       nuvtool rar extract ARCHIVE [DIR] [--codepage=NAME]\n"
           "       nuvtool rar pack ARCHIVE DIR [--store] [--solid] [--audio [--channels=N]] [--time=SECONDS]\n"
           "\n"
           "list     shows the entries of a RAR 2.0 archive\n"
           "test     decodes every entry and checks its header and data CRCs, one line per file\n"
           "extract  writes the entries into DIR (default: the current folder); names that\n"
           "         would leave DIR (absolute or with \"..\") are skipped; an entry whose name\n"
           "         another entry already took is written as \"NAME (2).EXT\" and said so\n"
           "pack     writes the contents of DIR at the top of a new archive, directories\n"
           "         before their files, compressed unless --store; --solid shares one\n"
           "         dictionary across files; --audio uses the delta-predicted audio code\n"
           "         (for PCM-like data: N interleaved byte channels, 1 to 4, default 2,\n"
           "         as in 16-bit mono; 4 suits 16-bit stereo); --time fixes every\n"
           "         entry's time (seconds since 1970) instead of the files' own\n"
           "\n"
           "\n"
           "Names are shown and written in UTF-8: an entry's own Unicode name when it has one, a\n"
           "name that is valid UTF-8 as it is, any other in the code page --codepage names (an\n"
           "iconv name; default CP866, the OEM code page DOS and Windows archivers of Cyrillic\n"
           "systems wrote; CP437 for Western ones); a byte the code page lacks is written as %XX.\n"
           "\n"
           "exit status: 0 all good, 1 some entry failed, 2 bad arguments or unreadable input\n";
}

bool RarCommand::SafeRelativePath(const std::string& name, std::string& path) {
    if (name.empty() || name[0] == '/' || name[0] == '\\') return false;
    if (name.size() >= 2 && name[1] == ':') return false;
    std::string result;
    size_t begin = 0;
    while (begin <= name.size()) {
        size_t end = name.find_first_of("/\\", begin);
        if (end == std::string::npos) end = name.size();
        const std::string part = name.substr(begin, end - begin);
        begin = end + 1;
        if (part.empty() || part == ".") continue;
        if (part == ".." || part.find('\0') != std::string::npos) return false;
        if (!result.empty()) result += '/';
        result += part;
    }
    // A drive may also hide behind dropped components (".\\C:\\x"): on Windows it would replace the target.
    if (result.empty() || (result.size() >= 2 && result[1] == ':')) return false;
    path = std::move(result);
    return true;
}

int RarCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        PrintHelp(err);
        return kExitUsage;
    }
    const std::string& verb = args[0];
    if (verb == "--help" || verb == "-h" || verb == "help") {
        PrintHelp(out);
        return kExitOk;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (std::find(rest.begin(), rest.end(), "--help") != rest.end()) {
        PrintHelp(out);
        return kExitOk;
    }
    if (verb == "pack") return Pack(rest, out, err);
    if (verb == "list" || verb == "test" || verb == "extract") {
        std::string codePage = EntryNameDecoder::kDefaultCodePage;
        std::vector<std::string> positional;
        for (const std::string& a : rest) {
            if (a.rfind("--codepage=", 0) == 0) {
                codePage = a.substr(11);
            } else if (a.size() > 1 && a[0] == '-') {
                err << "nuvtool rar " << verb << ": unknown option '" << a << "'\n";
                return kExitUsage;
            } else {
                positional.push_back(a);
            }
        }
        const EntryNameDecoder names(codePage);
        if (!names.IsUsable()) {
            err << "nuvtool rar " << verb << ": unknown code page '" << codePage << "'\n";
            return kExitUsage;
        }
        const size_t maxArgs = verb == "extract" ? 2 : 1;
        if (positional.empty() || positional.size() > maxArgs) {
            err << "usage: nuvtool rar " << verb << " ARCHIVE" << (verb == "extract" ? " [DIR]" : "")
                << " [--codepage=NAME]\n";
            return kExitUsage;
        }
        if (verb == "list") return List(positional[0], names, out, err);
        if (verb == "test") return TestOrExtract(positional[0], nullptr, names, out, err);
        const fs::path target = positional.size() > 1 ? fs::path(positional[1]) : fs::current_path();
        return TestOrExtract(positional[0], &target, names, out, err);
    }
    err << "nuvtool rar: unknown action '" << verb << "'\n";
    PrintHelp(err);
    return kExitUsage;
}

} // namespace nuv
