#include "media/MemoryFile.h"

#include "core/Log.h"
#include "core/Status.h"

#include <climits>

namespace nuv {

MemoryFile::~MemoryFile() {
    MemoryFile::Close();
}

void MemoryFile::SetContent(std::vector<uint8_t>&& bytes) {
    borrowed_ = nullptr;
    borrowedSize_ = 0;
    // The stream counts in int; a larger block could not be opened anyway.
    hasContent_ = bytes.size() <= size_t(INT_MAX);
    owned_ = hasContent_ ? std::move(bytes) : std::vector<uint8_t>();
}

void MemoryFile::BorrowContent(const uint8_t* bytes, int size) {
    owned_ = std::vector<uint8_t>();
    borrowed_ = bytes;
    borrowedSize_ = bytes && size > 0 ? size : 0;
    hasContent_ = bytes != nullptr;
}

void MemoryFile::ClearContent() {
    owned_ = std::vector<uint8_t>();
    borrowed_ = nullptr;
    borrowedSize_ = 0;
    hasContent_ = false;
}

int MemoryFile::Open(int mode) {
    if (IsOpen() && Close() != kStatusOk) {
        LogWarning("Невозможно закрыть файл [%s].", GetFullPath().GetText());
        return kStatusFailed;
    }
    if (mode != kRead || !hasContent_) return kStatusFailed;
    if (!Assign(GetContent(), GetContentSize())) {
        LogWarning("Недостаточно памяти для открытия файла [%s].", GetFullPath().GetText());
        return kStatusNoMemory;
    }
    ClearIdMap();
    MarkOpen(kRead);
    return kStatusOk;
}

int MemoryFile::Close() {
    if (IsOpen()) {
        FreeData();
        ClearIdMap();
        MarkClosed();
    }
    return kStatusOk;
}

} // namespace nuv
