#pragma once

#include "core/HashMap.h"
#include "core/String.h"

#include <cstddef>
#include <cstdint>

namespace nuv {

// The user-interface strings text (MEDIADATA 229): key to text, in the user's language.
class UiStrings {
public:
    static constexpr int kResourceId = 229;

    // Adds every "Key = text" line; a key met again keeps its first text. 0.
    int Load(const uint8_t* text, size_t length);
    // Loads the resource in the user's language, logging; 1 when it is missing.
    int LoadResource();

    // The text of a key, or null.
    const String* Get(const String& key) const { return table_.Find(key); }
    // The text of a key, or the fallback when the key is missing.
    const char* Get(const String& key, const char* fallback) const;
    int GetCount() const { return table_.GetCount(); }

private:
    HashMap<String, String> table_;
};

} // namespace nuv
