// Extracts every entry of an archive from arbitrary bytes, one by one and as a sequence.
#include "media/rar/Rar2Archive.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    nuv::Rar2Archive archive(data, size);
    std::vector<uint8_t> out;
    const size_t count = archive.GetEntries().size();
    // Out of order first, so that solid members are reached both ways.
    for (size_t i = count; i-- > 0;) {
        const nuv::Rar2Entry& e = archive.GetEntries()[i];
        if (archive.Extract(i, "", out) == nuv::Rar2Result::Ok && out.size() != e.unpackedSize) __builtin_trap();
    }
    archive.ExtractAll("", [&](size_t i, nuv::Rar2Result r, const std::vector<uint8_t>& bytes) {
        if (r == nuv::Rar2Result::Ok && bytes.size() != archive.GetEntries()[i].unpackedSize) __builtin_trap();
    });
    return 0;
}
