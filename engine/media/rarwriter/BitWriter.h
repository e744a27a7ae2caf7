#pragma once

#include <cstdint>
#include <vector>

namespace nuv {

// Appends bits most significant first, the order in which RAR 2.0 decoders read them.
class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}

    // Writes the low `count` bits of value (count 0..25), the highest of them first.
    void Write(uint32_t value, int count) {
        if (count == 0) return;
        acc_ = (acc_ << count) | (value & ((1u << count) - 1));
        used_ += count;
        while (used_ >= 8) {
            used_ -= 8;
            out_.push_back(uint8_t(acc_ >> used_));
        }
        acc_ &= (1u << used_) - 1;
    }
    // Pads the last byte with zero bits.
    void Flush() {
        if (used_ > 0) out_.push_back(uint8_t(acc_ << (8 - used_)));
        acc_ = 0;
        used_ = 0;
    }
    // Bits written so far, padding excluded.
    uint64_t BitCount() const { return uint64_t(out_.size()) * 8 + used_; }

private:
    std::vector<uint8_t>& out_;
    uint32_t acc_ = 0;
    int used_ = 0;
};

} // namespace nuv
