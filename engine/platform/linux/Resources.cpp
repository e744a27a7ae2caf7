#include "platform/Resources.h"

#include "core/Status.h"
#include "platform/ResourceTable.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace nuv {

int GetUserResourceLanguage() {
    // POSIX precedence: the first of these that is set and not empty decides.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value == nullptr || value[0] == '\0') continue;
        return std::strncmp(value, "ru", 2) == 0 ? kResourceLanguageRussian : kResourceLanguageNeutral;
    }
    return kResourceLanguageNeutral;
}

int FindResourceData(const char* type, int id, int language, const uint8_t** bytes, size_t* size) {
    if (type == nullptr || bytes == nullptr || size == nullptr) return kStatusNotFound;
    const ResourceTableEntry* entry = ResourceTable::Find(type, id, language, false);
    if (entry == nullptr && language != kResourceLanguageNeutral)
        entry = ResourceTable::Find(type, id, kResourceLanguageNeutral, false);
    if (entry == nullptr) entry = ResourceTable::Find(type, id, 0, true);
    if (entry == nullptr) return kStatusNotFound;
    // Linked into the image: nothing to load, so the "could not load" status never arises here.
    *bytes = entry->begin;
    *size = size_t(entry->end - entry->begin);
    return kStatusOk;
}

} // namespace nuv
