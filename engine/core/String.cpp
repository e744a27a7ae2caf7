#include "core/String.h"

#include <cstring>
#include <new>
#include <utility>

namespace nuv {

String::String(const char* text) {
    if (text) Assign(text, int(std::strlen(text)));
}

String::String(const char* text, int length) {
    if (text && length > 0) Assign(text, length);
}

String::String(const String& other) {
    Assign(other.text_, other.length_);
}

String::String(String&& other) noexcept
    : text_(std::exchange(other.text_, nullptr)), length_(std::exchange(other.length_, 0)) {}

String::~String() {
    delete[] text_;
}

String& String::operator=(const String& other) {
    if (this != &other) Assign(other.text_, other.length_);
    return *this;
}

String& String::operator=(String&& other) noexcept {
    if (this != &other) {
        delete[] text_;
        text_ = std::exchange(other.text_, nullptr);
        length_ = std::exchange(other.length_, 0);
    }
    return *this;
}

bool String::Assign(const char* text, int length) {
    if (!text || length <= 0) {
        delete[] text_;
        text_ = nullptr;
        length_ = 0;
        return true;
    }
    char* block = new (std::nothrow) char[size_t(length) + 1];
    if (!block) return false;
    std::memcpy(block, text, size_t(length));
    block[length] = 0;
    delete[] text_;
    text_ = block;
    length_ = length;
    return true;
}

void String::Adopt(char* block, int length) {
    delete[] text_;
    if (length <= 0) {
        delete[] block;
        block = nullptr;
        length = 0;
    }
    text_ = block;
    length_ = length;
}

bool String::operator==(const String& other) const {
    return length_ == other.length_ && (length_ == 0 || std::memcmp(text_, other.text_, size_t(length_)) == 0);
}

bool String::operator==(const char* other) const {
    const size_t n = other ? std::strlen(other) : 0;
    return size_t(length_) == n && (n == 0 || std::memcmp(text_, other, n) == 0);
}

String String::operator+(const String& other) const {
    String result(*this);
    result += other;
    return result;
}

String& String::operator+=(const String& other) {
    if (other.length_ == 0) return *this;
    const int total = length_ + other.length_;
    char* block = new (std::nothrow) char[size_t(total) + 1];
    if (!block) return *this;
    if (length_) std::memcpy(block, text_, size_t(length_));
    std::memcpy(block + length_, other.text_, size_t(other.length_));
    block[total] = 0;
    delete[] text_;
    text_ = block;
    length_ = total;
    return *this;
}

String String::Substring(int start, int count) const {
    if (start < 0) start = 0;
    if (start >= length_ || count <= 0) return String();
    if (count > length_ - start) count = length_ - start;
    return String(text_ + start, count);
}

int String::FindFirst(char c) const {
    for (int i = 0; i < length_; ++i)
        if (text_[i] == c) return i;
    return -1;
}

int String::FindLast(char c) const {
    for (int i = length_ - 1; i >= 0; --i)
        if (text_[i] == c) return i;
    return -1;
}

String String::GetExtension() const {
    const int dot = FindLast('.');
    return dot < 0 ? String() : Substring(dot + 1, length_ - dot - 1);
}

uint32_t String::Hash() const {
    uint32_t h = 0;
    for (int i = length_ - 1; i >= 1; --i) h = (h << 2) | uint8_t(text_[i]);
    return h;
}

} // namespace nuv
