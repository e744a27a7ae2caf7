#include "platform/Resources.h"

#include "core/Log.h"
#include "core/Status.h"

namespace nuv {

int FindResourceData(const char* type, int id, const uint8_t** bytes, size_t* size) {
    return FindResourceData(type, id, GetUserResourceLanguage(), bytes, size);
}

int ReadResource(int id, const uint8_t** bytes, size_t* size) {
    if (bytes == nullptr || size == nullptr) {
        LogError("Указатель на данные ресурса равен 0.");
        return kStatusNotFound;
    }
    *bytes = nullptr;
    *size = 0;
    const int status = FindResourceData("MEDIADATA", id, bytes, size);
    if (status == kStatusNotFound) {
        LogError("Невозможно найти ресурс ID[%d].", id);
        return kStatusFailed;
    }
    if (status != kStatusOk) {
        LogError("Невозможно загрузить ресурс ID[%d].", id);
        return kStatusFailed;
    }
    return kStatusOk;
}

int LoadResourceText(int id, const uint8_t** bytes, size_t* size) {
    if (bytes == nullptr || size == nullptr) {
        LogError("Указатель на данные ресурса равен 0.");
        return kStatusNotFound;
    }
    *bytes = nullptr;
    *size = 0;
    if (FindResourceData("MEDIADATA", id, bytes, size) != kStatusOk) {
        *bytes = nullptr;
        *size = 0;
        LogError("Невозможно загрузить ресурс ID[%d].", id);
        return kStatusFailed;
    }
    return kStatusOk;
}

} // namespace nuv
