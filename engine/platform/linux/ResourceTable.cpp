#include "platform/ResourceTable.h"

namespace nuv {

namespace {

// Constant-initialised, so registrations from any static constructor find it ready.
ResourceTableEntry* head = nullptr;
ResourceTableEntry* tail = nullptr;

bool SameType(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char ca = *a, cb = *b;
        if (ca >= 'a' && ca <= 'z') ca = char(ca - 'a' + 'A');
        if (cb >= 'a' && cb <= 'z') cb = char(cb - 'a' + 'A');
        if (ca != cb) return false;
        if (ca == '\0') return true;
    }
}

} // namespace

void ResourceTable::Add(ResourceTableEntry* entry) {
    entry->next = nullptr;
    if (tail != nullptr)
        tail->next = entry;
    else
        head = entry;
    tail = entry;
}

const ResourceTableEntry* ResourceTable::Find(const char* type, int id, int language, bool anyLanguage) {
    if (type == nullptr) return nullptr;
    for (const ResourceTableEntry* entry = head; entry != nullptr; entry = entry->next) {
        if (entry->id == id && (anyLanguage || entry->language == language) && SameType(entry->type, type))
            return entry;
    }
    return nullptr;
}

} // namespace nuv
