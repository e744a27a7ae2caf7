#include "media/rar/Rar2Archive.h"

#include "media/rar/Crc32.h"
#include "media/rar/Rar2Unpacker.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace nuv {

namespace {

constexpr uint8_t kMarker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
constexpr uint8_t kMainHeader = 0x73;
constexpr uint8_t kFileHeader = 0x74;
constexpr uint8_t kEndOfArchive = 0x7B;
constexpr uint16_t kLongBlock = 0x8000;
constexpr uint16_t kLargeSizes = 0x100;  // later archivers: 64-bit sizes in file headers
constexpr size_t kMainHeaderSize = 13;
constexpr size_t kFileHeaderSize = 32;
constexpr uint8_t kStored = 0x30;
// No media file comes near this; a larger declared size is taken as forged.
constexpr uint32_t kMaxUnpackedSize = 1u << 30;
constexpr size_t kNone = std::numeric_limits<size_t>::max();

uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

bool HeaderCrcMatches(const uint8_t* header, size_t size) {
    return uint16_t(Crc32::Compute(header + 2, size - 2)) == Get16(header);
}

bool IsCompressed(const Rar2Entry& e) { return !e.IsDirectory() && e.method != kStored; }

} // namespace

class Rar2Archive::Impl {
public:
    Impl(const uint8_t* data, size_t size) : data_(data), size_(size) { Walk(); }

    bool open_ = false;
    bool solid_ = false;
    std::vector<Rar2Entry> entries_;

    // out null: the entry is decoded and checked, its bytes not kept.
    Rar2Result Extract(size_t index, std::string_view password, std::vector<uint8_t>* out);
    void ForgetState() { stateAfter_ = kNone; }

private:
    void Walk();
    Rar2Result Check(const Rar2Entry& e, std::string_view password) const;
    Rar2Result Decode(size_t index, std::string_view password, std::vector<uint8_t>* out, uint32_t* crc);

    const uint8_t* data_;
    size_t size_;
    Rar2Unpacker unpacker_;
    size_t stateAfter_ = kNone;  // the entry whose decoding left the unpacker's state
};

void Rar2Archive::Impl::Walk() {
    if (!data_ || size_ < sizeof(kMarker) + kMainHeaderSize) return;
    if (std::memcmp(data_, kMarker, sizeof(kMarker)) != 0) return;
    const uint8_t* main = data_ + sizeof(kMarker);
    const size_t mainSize = Get16(main + 5);
    if (main[2] != kMainHeader || mainSize < kMainHeaderSize || sizeof(kMarker) + mainSize > size_) return;
    solid_ = (Get16(main + 3) & 0x08) != 0;
    open_ = true;

    uint64_t pos = sizeof(kMarker) + mainSize;
    while (pos + 7 <= size_) {
        const uint8_t* h = data_ + pos;
        const uint8_t type = h[2];
        const uint16_t flags = Get16(h + 3);
        const size_t headerSize = Get16(h + 5);
        if (type == kEndOfArchive || headerSize < 7 || pos + headerSize > size_) break;
        uint64_t next = pos + headerSize;
        if (type == kFileHeader) {
            if (headerSize < kFileHeaderSize) break;
            size_t nameOffset = kFileHeaderSize;
            uint64_t packed = Get32(h + 7);
            uint64_t unpacked = Get32(h + 11);
            if (flags & kLargeSizes) {
                nameOffset += 8;
                if (headerSize < nameOffset) break;
                packed |= uint64_t(Get32(h + 32)) << 32;
                unpacked |= uint64_t(Get32(h + 36)) << 32;
            }
            const size_t nameSize = Get16(h + 26);
            if (nameOffset + nameSize > headerSize) break;

            Rar2Entry e;
            const char* name = reinterpret_cast<const char*>(h + nameOffset);
            // A Unicode name follows the narrow one after a zero byte.
            const char* narrowEnd = std::find(name, name + nameSize, '\0');
            e.name.assign(name, narrowEnd);
            if (narrowEnd != name + nameSize) e.packedUnicodeName.assign(narrowEnd + 1, name + nameSize);
            e.flags = flags;
            e.packedSize = uint32_t(packed > 0xFFFFFFFFu ? 0xFFFFFFFFu : packed);
            e.unpackedSize = uint32_t(unpacked > 0xFFFFFFFFu ? 0xFFFFFFFFu : unpacked);
            e.hostOs = h[15];
            e.fileCrc = Get32(h + 16);
            e.fileTime = Get32(h + 20);
            e.unpackVersion = h[24];
            e.method = h[25];
            e.attributes = Get32(h + 28);
            e.dataOffset = size_t(next);
            e.dataSize = size_t(packed < size_ - next ? packed : size_ - next);
            // Old archivers leave an embedded comment out of the header CRC.
            e.headerCrcOk = HeaderCrcMatches(h, headerSize) || HeaderCrcMatches(h, nameOffset + nameSize);
            entries_.push_back(std::move(e));
            // The packed size follows every file header, with or without the long-block flag.
            next += packed;
        } else if (flags & kLongBlock) {
            if (headerSize < 11) break;
            next += Get32(h + 7);
        }
        pos = next;
    }
}

Rar2Result Rar2Archive::Impl::Check(const Rar2Entry& e, std::string_view password) const {
    if (e.IsDirectory()) return Rar2Result::IsDirectory;
    if (e.unpackVersion < 13 || e.unpackVersion > 20 || e.method < 0x30 || e.method > 0x35)
        return Rar2Result::UnsupportedVersion;
    // Versions below 20 were packed by the older compressor, whose stream the version 20
    // decoder would misread: only their stored entries are readable.
    if (e.unpackVersion < 20 && e.method != 0x30) return Rar2Result::UnsupportedVersion;
    if (e.unpackedSize > kMaxUnpackedSize || e.packedSize > kMaxUnpackedSize) return Rar2Result::TooLarge;
    // The RAR 2.0 cipher is not implemented: with a password the entry is still unreadable.
    if (e.IsEncrypted()) return password.empty() ? Rar2Result::MissingPassword : Rar2Result::UnsupportedVersion;
    if (e.dataSize < e.packedSize || e.IsSplit()) return Rar2Result::Truncated;
    return Rar2Result::Ok;
}

// crc, when given, becomes the CRC-32 of the entry's bytes.
Rar2Result Rar2Archive::Impl::Decode(size_t index, std::string_view password, std::vector<uint8_t>* out,
                                     uint32_t* crc) {
    const Rar2Entry& e = entries_[index];
    Rar2Result r = Check(e, password);
    if (r != Rar2Result::Ok) return r;
    const uint8_t* packed = data_ + e.dataOffset;
    const size_t packedSize = e.packedSize;
    if (e.method == kStored) {
        if (packedSize < e.unpackedSize) return Rar2Result::CorruptData;
        if (out) out->assign(packed, packed + e.unpackedSize);
        if (crc) *crc = Crc32::Compute(packed, e.unpackedSize);
        return Rar2Result::Ok;
    }
    if (out) {
        // Reserve no more than the packed bits could produce, whatever the header says.
        const uint64_t bound = (uint64_t(packedSize) + 16) * 2100;
        out->reserve(size_t(e.unpackedSize < bound ? e.unpackedSize : bound));
    }
    stateAfter_ = index;
    if (crc) *crc = 0;
    return unpacker_.Unpack(packed, packedSize, e.unpackedSize, e.IsSolid(), out, crc);
}

Rar2Result Rar2Archive::Impl::Extract(size_t index, std::string_view password, std::vector<uint8_t>* out) {
    if (out) out->clear();
    if (index >= entries_.size()) return Rar2Result::NotFound;
    const Rar2Entry& e = entries_[index];
    Rar2Result r = Check(e, password);
    if (r != Rar2Result::Ok) return r;

    if (IsCompressed(e) && e.IsSolid()) {
        // The stream continues from the last compressed entry without the solid flag; go on
        // from the state already reached when it lies on that stretch.
        size_t start = 0;
        for (size_t j = index; j-- > 0;) {
            if (IsCompressed(entries_[j]) && !entries_[j].IsSolid()) {
                start = j;
                break;
            }
        }
        if (stateAfter_ != kNone && stateAfter_ >= start && stateAfter_ < index) {
            start = stateAfter_ + 1;
        } else {
            unpacker_.Restart();
        }
        for (size_t j = start; j < index; ++j)
            if (IsCompressed(entries_[j])) Decode(j, password, nullptr, nullptr);
    }

    // The CRC is taken as the bytes come out of the decoder, while they are still in cache.
    uint32_t crc = 0;
    r = Decode(index, password, out, &crc);
    if (r == Rar2Result::Ok && crc != e.fileCrc) r = Rar2Result::CrcMismatch;
    if (r != Rar2Result::Ok && out) {
        out->clear();
        out->shrink_to_fit();
    }
    return r;
}

Rar2Archive::Rar2Archive(const uint8_t* data, size_t size) : impl_(new Impl(data, size)) {}

Rar2Archive::~Rar2Archive() { delete impl_; }

bool Rar2Archive::IsOpen() const { return impl_->open_; }

bool Rar2Archive::IsSolid() const { return impl_->solid_; }

const std::vector<Rar2Entry>& Rar2Archive::GetEntries() const { return impl_->entries_; }

Rar2Result Rar2Archive::Extract(size_t index, std::string_view password, std::vector<uint8_t>& out) {
    return impl_->Extract(index, password, &out);
}

Rar2Result Rar2Archive::ExtractByName(std::string_view name, std::string_view password, std::vector<uint8_t>& out) {
    const auto& entries = impl_->entries_;
    for (size_t i = 0; i < entries.size(); ++i)
        if (NamesMatch(entries[i].name, name)) return impl_->Extract(i, password, &out);
    out.clear();
    return Rar2Result::NotFound;
}

void Rar2Archive::BeginSequence() { impl_->ForgetState(); }

Rar2Result Rar2Archive::ExtractNext(size_t index, std::string_view password, std::vector<uint8_t>& out,
                                     bool keepBytes) {
    // Extract() continues a solid stream from the previous entry, so in order each entry
    // is decoded exactly once.
    out.clear();
    return impl_->Extract(index, password, keepBytes ? &out : nullptr);
}

bool Rar2Archive::NamesMatch(std::string_view a, std::string_view b) {
    constexpr size_t kCut = 512;
    if (a.size() > kCut) a = a.substr(0, kCut);
    if (b.size() > kCut) b = b.substr(0, kCut);
    if (a.size() != b.size()) return false;
    auto fold = [](char c) {
        if (c == '\\' || c == '/') return '_';
        if (c >= 'a' && c <= 'z') return char(c - 'a' + 'A');
        return c;
    };
    for (size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

const char* Rar2Archive::Describe(Rar2Result result) {
    switch (result) {
    case Rar2Result::Ok: return "ok";
    case Rar2Result::NotFound: return "entry not found";
    case Rar2Result::IsDirectory: return "entry is a directory";
    case Rar2Result::UnsupportedVersion: return "unsupported unpack version or method";
    case Rar2Result::MissingPassword: return "encrypted entry needs a password";
    case Rar2Result::Truncated: return "packed data is truncated";
    case Rar2Result::CorruptData: return "compressed data is corrupt";
    case Rar2Result::CrcMismatch: return "CRC mismatch (damaged data or wrong password)";
    case Rar2Result::TooLarge: return "declared size is too large";
    }
    return "unknown result";
}

} // namespace nuv
