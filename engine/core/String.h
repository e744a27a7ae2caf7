#pragma once

#include <cstdint>

namespace nuv {

// The engine's narrow string: a heap block of `length` bytes followed by a terminating zero.
// Copies are deep; comparison is byte-wise and case-sensitive. Texts are UTF-8.
class String {
public:
    String() = default;
    String(const char* text);  // NOLINT: implicit from literals on purpose
    String(const char* text, int length);
    String(const String& other);
    String(String&& other) noexcept;
    ~String();

    String& operator=(const String& other);
    String& operator=(String&& other) noexcept;

    // Replaces the content; false (and the string unchanged) when memory runs out.
    bool Assign(const char* text, int length);
    // Takes ownership of a block made with new char[length + 1] whose byte `length` is 0.
    void Adopt(char* block, int length);

    int GetLength() const { return length_; }
    bool IsEmpty() const { return length_ == 0; }
    // Never null: an empty string gives "".
    const char* GetText() const { return text_ ? text_ : ""; }
    char operator[](int index) const { return text_[index]; }

    bool operator==(const String& other) const;
    bool operator!=(const String& other) const { return !(*this == other); }
    bool operator==(const char* other) const;
    bool operator!=(const char* other) const { return !(*this == other); }

    String operator+(const String& other) const;
    String& operator+=(const String& other);

    // Up to count bytes from start (clamped to the string).
    String Substring(int start, int count) const;
    // Index of the first/last occurrence of c, or -1.
    int FindFirst(char c) const;
    int FindLast(char c) const;
    // The text after the last ".", or empty when there is none.
    String GetExtension() const;

    // The engine's string hash: from the last byte down to the second, h = (h << 2) | byte.
    uint32_t Hash() const;

private:
    char* text_ = nullptr;
    int length_ = 0;
};

} // namespace nuv
