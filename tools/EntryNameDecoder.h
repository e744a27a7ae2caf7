#pragma once

#include "media/rar/Rar2Archive.h"

#include <string>
#include <string_view>

namespace nuv {

// Names of archive entries for the file system and the terminal, in UTF-8. An entry's own
// Unicode form is taken when it has one; a name that already is valid UTF-8 is kept; any other
// name is read in an 8-bit code page: the OEM code page that DOS and Windows archivers write
// names in, CP866 unless told otherwise. A byte that the code page does not define is written
// as %XX, so no two names become one by losing bytes. The archive's own name matching is not
// affected: it compares the stored bytes.
class EntryNameDecoder {
public:
    static constexpr const char* kDefaultCodePage = "CP866";

    explicit EntryNameDecoder(std::string codePage = kDefaultCodePage);

    // True when the code page is one the system's converter knows.
    bool IsUsable() const { return usable_; }
    const std::string& GetCodePage() const { return codePage_; }

    // The entry's name in UTF-8, "\" still between its components.
    std::string Decode(const Rar2Entry& entry) const;
    // Bytes in the code page to UTF-8 (bytes below 0x80 are kept as they are).
    std::string FromCodePage(std::string_view bytes) const;

    static bool IsUtf8(std::string_view text);

private:
    std::string codePage_;
    bool usable_ = false;
};

} // namespace nuv
