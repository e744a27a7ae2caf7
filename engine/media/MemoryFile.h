#pragma once

#include "core/Pointer.h"
#include "media/Codec.h"
#include "media/File.h"

#include <cstdint>
#include <vector>

namespace nuv {

// A read-only file whose content is a block in memory: an archive entry decoded at attach
// time, or borrowed bytes such as a resource. Opening copies the block into the stream
// buffer for the time the file is open.
class MemoryFile : public File {
public:
    explicit MemoryFile(const String& name) : File(name) {}
    ~MemoryFile() override;

    // The file owns bytes from now on (an empty block is an empty file that opens).
    void SetContent(std::vector<uint8_t>&& bytes);
    // The file uses bytes it does not own; they must outlive it or be taken back first.
    void BorrowContent(const uint8_t* bytes, int size);
    // Forgets the content (owned bytes are freed); the file then cannot be opened.
    void ClearContent();
    bool HasContent() const { return hasContent_; }
    const uint8_t* GetContent() const { return borrowed_ ? borrowed_ : owned_.data(); }
    int GetContentSize() const { return hasContent_ ? (borrowed_ ? borrowedSize_ : int(owned_.size())) : 0; }

    // Read mode only and only with content: 0; 1 otherwise; 2 when memory runs out.
    int Open(int mode) override;
    // Always 0.
    int Close() override;

    // The codec whose archive the bytes came from; the file keeps it alive.
    void SetCodec(Codec* codec) { codec_ = codec; }
    Codec* GetCodec() const { return codec_.Get(); }

private:
    std::vector<uint8_t> owned_;
    const uint8_t* borrowed_ = nullptr;
    int borrowedSize_ = 0;
    bool hasContent_ = false;
    Pointer<Codec> codec_;
};

} // namespace nuv
