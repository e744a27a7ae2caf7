// Lists an archive from arbitrary bytes and touches every entry field, the Unicode name too.
#include "media/rar/Rar2Archive.h"
#include "media/rar/Rar2UnicodeName.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    nuv::Rar2Archive archive(data, size);
    size_t sum = archive.IsSolid() ? 1 : 0;
    for (const nuv::Rar2Entry& e : archive.GetEntries()) {
        // Every listed entry's data lies inside the input.
        if (e.dataSize > 0 && (e.dataOffset > size || e.dataSize > size - e.dataOffset)) __builtin_trap();
        sum += e.name.size() + e.dataSize + (e.IsDirectory() ? 1 : 0);
        sum += nuv::Rar2Archive::NamesMatch(e.name, "Main.STR") ? 1 : 0;
        // The packed Unicode name: bounded by the header, never read past.
        std::string unicode;
        if (nuv::Rar2UnicodeName::Unpack(e.name, e.packedUnicodeName, unicode)) sum += unicode.size();
    }
    return sum == size_t(-1) ? 1 : 0;
}
