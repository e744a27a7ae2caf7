#include "platform/Resources.h"

#include "core/Status.h"

#include <windows.h>

namespace nuv {

namespace {

BOOL CALLBACK TakeFirstLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR found) {
    *reinterpret_cast<int*>(found) = language;
    return FALSE; // the first one is enough
}

} // namespace

int GetUserResourceLanguage() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_RUSSIAN ? kResourceLanguageRussian
                                                                     : kResourceLanguageNeutral;
}

int FindResourceData(const char* type, int id, int language, const uint8_t** bytes, size_t* size) {
    if (type == nullptr || bytes == nullptr || size == nullptr) return kStatusNotFound;
    const LPCSTR name = MAKEINTRESOURCEA(id);
    // FindResource's own language search depends on the thread's locale: ask for each variant.
    HRSRC found = FindResourceExA(nullptr, type, name, WORD(language));
    if (found == nullptr && language != kResourceLanguageNeutral)
        found = FindResourceExA(nullptr, type, name, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    if (found == nullptr) {
        int any = -1;
        EnumResourceLanguagesA(nullptr, type, name, TakeFirstLanguage, reinterpret_cast<LONG_PTR>(&any));
        if (any >= 0) found = FindResourceExA(nullptr, type, name, WORD(any));
    }
    if (found == nullptr) return kStatusNotFound;
    HGLOBAL loaded = LoadResource(nullptr, found);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr) return kStatusFailed;
    *bytes = static_cast<const uint8_t*>(data);
    *size = SizeofResource(nullptr, found);
    return kStatusOk;
}

} // namespace nuv
