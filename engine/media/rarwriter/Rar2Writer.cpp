#include "media/rarwriter/Rar2Writer.h"

#include "core/Status.h"
#include "media/rar/Crc32.h"

#include <algorithm>

namespace nuv {

namespace {

constexpr uint8_t kMarker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
constexpr uint16_t kFlagDataFollows = 0x8000;
constexpr uint16_t kFlagSolid = 0x10;
constexpr uint16_t kFlagDirectory = 0xE0;
constexpr uint16_t kFlagWindow1M = 0x80;  // dictionary-size bits: the 1 MiB the encoder uses
constexpr uint16_t kMainFlagSolid = 0x08;
constexpr uint8_t kUnpackVersion = 20;
constexpr uint32_t kEarliestDosTime = 0x00210000;  // 1980-01-01 00:00:00

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
// Header CRC: low 16 bits of the CRC-32 of the header after its CRC field.
void SealHeader(std::vector<uint8_t>& out, size_t start) {
    const uint32_t crc = Crc32::Compute(out.data() + start + 2, out.size() - start - 2);
    out[start] = uint8_t(crc);
    out[start + 1] = uint8_t(crc >> 8);
}

std::string UpperKey(const std::string& name) {
    std::string key = name;
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    }
    return key;
}

} // namespace

Rar2Writer::Rar2Writer() : Rar2Writer(Options{}) {}

Rar2Writer::Rar2Writer(const Options& options) : options_(options) {
    Rar2Encoder::Settings settings = options_.encoder;
    settings.audio = options_.audio;
    settings.channels = options_.audioChannels;
    encoder_ = std::make_unique<Rar2Encoder>(settings);
    bytes_.assign(std::begin(kMarker), std::end(kMarker));
    const size_t start = bytes_.size();
    Put16(bytes_, 0);
    bytes_.push_back(0x73);
    Put16(bytes_, options_.solid ? kMainFlagSolid : 0);
    Put16(bytes_, 13);
    Put16(bytes_, 0);
    Put32(bytes_, 0);
    SealHeader(bytes_, start);
}

Rar2Writer::~Rar2Writer() = default;

uint32_t Rar2Writer::DosTime(int64_t unixSeconds) {
    constexpr int64_t kMin = 315532800;   // 1980-01-01 00:00:00
    constexpr int64_t kMax = 4354819198;  // 2107-12-31 23:59:58
    if (unixSeconds < kMin) unixSeconds = kMin;
    if (unixSeconds > kMax) unixSeconds = kMax;
    int64_t days = unixSeconds / 86400;
    const int64_t secs = unixSeconds % 86400;
    // Civil date from a day count (proleptic Gregorian), so no time-zone or C library rules enter.
    days += 719468;
    const int64_t era = days / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    return uint32_t((year - 1980) << 25 | month << 21 | day << 16 | (secs / 3600) << 11 | (secs / 60 % 60) << 5 |
                    (secs % 60) / 2);
}

bool Rar2Writer::NormalizeName(std::string_view name, std::string& out) {
    if (name.empty() || name.size() > kMaxNameLength) return false;
    std::string result(name);
    for (char& c : result) {
        if (c == '/') c = '\\';
        if (c == '\0') return false;
    }
    if (result.size() >= 2 && result[1] == ':') return false;  // drive letter
    size_t begin = 0;
    while (begin <= result.size()) {
        size_t end = result.find('\\', begin);
        if (end == std::string::npos) end = result.size();
        const std::string_view part(result.data() + begin, end - begin);
        if (part.empty() || part == "." || part == "..") return false;
        begin = end + 1;
    }
    out = std::move(result);
    return true;
}

bool Rar2Writer::Claim(const std::string& name) {
    if (!names_.insert(UpperKey(name)).second) {
        error_ = "duplicate entry name: " + name;
        return false;
    }
    return true;
}

void Rar2Writer::AppendHeader(const std::string& name, uint16_t flags, uint32_t packedSize, uint32_t size,
                              uint32_t crc, uint32_t dosTime, uint8_t method, uint32_t attributes) {
    // Readers reject a zero month or day; such a time becomes the earliest DOS date.
    const uint32_t month = (dosTime >> 21) & 15, day = (dosTime >> 16) & 31;
    if (month < 1 || month > 12 || day == 0) dosTime = kEarliestDosTime;
    const size_t start = bytes_.size();
    Put16(bytes_, 0);
    bytes_.push_back(0x74);
    Put16(bytes_, flags);
    Put16(bytes_, uint32_t(32 + name.size()));
    Put32(bytes_, packedSize);
    Put32(bytes_, size);
    bytes_.push_back(kHostWin32);
    Put32(bytes_, crc);
    Put32(bytes_, dosTime);
    bytes_.push_back(kUnpackVersion);
    bytes_.push_back(method);
    Put16(bytes_, uint32_t(name.size()));
    Put32(bytes_, attributes);
    bytes_.insert(bytes_.end(), name.begin(), name.end());
    SealHeader(bytes_, start);
}

int Rar2Writer::AddDirectoryNormalized(const std::string& name, uint32_t dosTime) {
    if (!Claim(name)) return kStatusFailed;
    dirs_.insert(UpperKey(name));
    const size_t start = bytes_.size();
    AppendHeader(name, kFlagDataFollows | kFlagDirectory, 0, 0, 0, dosTime, kMethodStore, kAttrDirectory);
    KeepBeforeRun(start);
    return kStatusOk;
}

void Rar2Writer::KeepBeforeRun(size_t entryStart) {
    // Other readers take a stored entry inside a solid run as its end and refuse every solid
    // entry after it, so stored entries (directories, empty files) go in front of the run, in
    // the order they came; directories still precede what they hold.
    if (solidStarted_ && entryStart > runStart_) {
        std::rotate(bytes_.begin() + ptrdiff_t(runStart_), bytes_.begin() + ptrdiff_t(entryStart), bytes_.end());
    }
    if (solidStarted_) runStart_ += bytes_.size() - entryStart;
}

bool Rar2Writer::CheckParents(const std::string& name) {
    for (size_t cut = name.find('\\'); cut != std::string::npos; cut = name.find('\\', cut + 1)) {
        const std::string key = UpperKey(name.substr(0, cut));
        if (names_.count(key) != 0 && dirs_.count(key) == 0) {
            error_ = "a file is in the way of directory " + name.substr(0, cut);
            return false;
        }
    }
    if (names_.count(UpperKey(name)) != 0) {
        error_ = "duplicate entry name: " + name;
        return false;
    }
    return true;
}

int Rar2Writer::EnsureParents(const std::string& name, uint32_t dosTime) {
    for (size_t cut = name.find('\\'); cut != std::string::npos; cut = name.find('\\', cut + 1)) {
        const std::string parent = name.substr(0, cut);
        if (dirs_.count(UpperKey(parent)) != 0) continue;
        if (AddDirectoryNormalized(parent, dosTime) != kStatusOk) return kStatusFailed;
    }
    return kStatusOk;
}

int Rar2Writer::AddDirectory(std::string_view name, uint32_t dosTime) {
    std::string normal;
    if (!NormalizeName(name, normal)) {
        error_ = "unusable entry name: " + std::string(name);
        return kStatusFailed;
    }
    if (dirs_.count(UpperKey(normal)) != 0) return kStatusOk; // already there, perhaps as a parent
    if (!CheckParents(normal)) return kStatusFailed;
    EnsureParents(normal, dosTime);
    return AddDirectoryNormalized(normal, dosTime);
}

int Rar2Writer::AddFile(std::string_view name, const uint8_t* data, size_t size, uint32_t dosTime) {
    std::string normal;
    if (!NormalizeName(name, normal)) {
        error_ = "unusable entry name: " + std::string(name);
        return kStatusFailed;
    }
    if (!CheckParents(normal)) return kStatusFailed;
    if (size >= (uint64_t(1) << 32) || (size > 0 && data == nullptr)) {
        error_ = "file too large for a RAR 2.0 entry: " + normal;
        return kStatusFailed;
    }
    const uint32_t crc = Crc32::Compute(data, size);

    std::vector<uint8_t> packed;
    uint8_t method = kMethodStore;
    uint16_t flags = kFlagDataFollows | kFlagWindow1M;
    if (!options_.store && size > 0) {
        if (!options_.solid) encoder_->Reset();
        if (encoder_->Encode(data, size, packed) != kStatusOk) {
            error_ = "solid stream too long: " + normal;
            return kStatusFailed;
        }
        if (packed.size() >= (uint64_t(1) << 32)) {
            error_ = "packed data too large for a RAR 2.0 entry: " + normal;
            return kStatusFailed;
        }
        method = kMethodNormal;
        if (options_.solid) {
            if (solidStarted_) flags |= kFlagSolid;
            if (!solidStarted_) runStart_ = bytes_.size();
            solidStarted_ = true;
        } else if (packed.size() >= size) {
            method = kMethodStore;  // incompressible: storing is smaller
        }
    }
    // Names were checked above, so nothing below can fail once the data is encoded.
    EnsureParents(normal, dosTime);
    Claim(normal);
    if (method == kMethodStore) {
        const size_t start = bytes_.size();
        AppendHeader(normal, flags, uint32_t(size), uint32_t(size), crc, dosTime, method, kAttrArchive);
        if (size > 0) bytes_.insert(bytes_.end(), data, data + size);
        KeepBeforeRun(start);
    } else {
        AppendHeader(normal, flags, uint32_t(packed.size()), uint32_t(size), crc, dosTime, method, kAttrArchive);
        bytes_.insert(bytes_.end(), packed.begin(), packed.end());
    }
    return kStatusOk;
}

} // namespace nuv
