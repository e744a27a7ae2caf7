#pragma once

#include <cstdint>

namespace nuv {

// One resource linked into the executable by nuv_add_resource (Linux). The entries are
// static objects of the generated sources; the table only links them together.
struct ResourceTableEntry {
    const char* type;
    int id;
    int language;
    const uint8_t* begin;
    const uint8_t* end;
    ResourceTableEntry* next;
};

// The process's resources, gathered before main by the generated registrations. Look them up
// from main on: another static constructor may run before some of them are registered.
class ResourceTable {
public:
    // Appends the entry; registration order is kept so that "any language" is deterministic.
    static void Add(ResourceTableEntry* entry);
    // The entry of exactly this type (ASCII case-insensitive, as Windows compares them), id and
    // language; with anyLanguage the first entry of the type and id. Null when there is none.
    static const ResourceTableEntry* Find(const char* type, int id, int language, bool anyLanguage);
};

// Static registration helper for the generated sources.
class ResourceRegistration {
public:
    explicit ResourceRegistration(ResourceTableEntry* entry) { ResourceTable::Add(entry); }
};

} // namespace nuv
