#pragma once

#include <cstddef>
#include <cstdint>

namespace nuv {

// Windows language ids of the resource variants this program ships.
enum ResourceLanguage : int {
    kResourceLanguageNeutral = 0,
    kResourceLanguageRussian = 1049,
};

// The variant the user should see, read from the environment at every call: Russian when the
// user's language is Russian (Linux: the first set of LC_ALL, LC_MESSAGES, LANG starts with
// "ru"; Windows: the user's UI language), else neutral.
int GetUserResourceLanguage();

// Finds resource (type, id) of this executable: the variant of the given language, else the
// neutral one, else any. The bytes stay valid for the life of the process.
// 0 found; 3 not found or a null argument; 1 found but could not be loaded.
int FindResourceData(const char* type, int id, int language, const uint8_t** bytes, size_t* size);
// The same with the user's language.
int FindResourceData(const char* type, int id, const uint8_t** bytes, size_t* size);

// Resource id of type "MEDIADATA" in the user's language, logging failures.
// 0 with bytes and size; 3 for a null out pointer; 1 when not found or not loadable.
int ReadResource(int id, const uint8_t** bytes, size_t* size);
// A configuration text: resource id of type "MEDIADATA" in the user's language. 0 with bytes and
// size; 3 for a null out pointer; 1, with the error "Невозможно загрузить ресурс ID[id].", when
// it is missing or cannot be loaded.
int LoadResourceText(int id, const uint8_t** bytes, size_t* size);

} // namespace nuv
