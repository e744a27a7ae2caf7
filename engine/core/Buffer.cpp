#include "core/Buffer.h"

#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"

#include <bit>

namespace nuv {

// Elements are saved and loaded as they lie in memory, which is the file's byte order only
// on little-endian hosts.
static_assert(std::endian::native == std::endian::little, "buffers are stored in host byte order");

NUV_IMPLEMENT_ABSTRACT_OBJECT(Buffer, Object)

Buffer::~Buffer() {
    if (link_.renderer) {
        link_.renderer->ReleaseBuffer(*this);
        link_.renderer.Reset();
    }
    link_.handle[0] = link_.handle[1] = 0;
}

void Buffer::LogNoMemoryForData() const {
    LogError("Недостаточно памяти для создания массива данных буффера. ID[%d].", GetId());
}

void Buffer::LogNoMemoryForLoad() const {
    LogError("Недостаточно памяти для создания буффера. ID[%d] Имя[%s]", GetId(), GetName().GetText());
}

int Buffer::SaveElements(Stream& stream, const void* data, int count, int elementSize) {
    if (Object::Save(stream) != 0) {
        LogError("Невозможно сохранить родительские данные. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return kStatusFailed;
    }
    if (stream.WriteInt(count) != 0) {
        LogError("Невозможно сохранить количество данных буффера. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return kStatusFailed;
    }
    if (count > 0 && stream.Write(data, count * elementSize) != 0) {
        LogError("Невозможно сохранить данные буффера. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return kStatusFailed;
    }
    return kStatusOk;
}

int Buffer::LoadCount(Stream& stream, int elementSize, int& count) {
    if (Object::Load(stream) != 0) {
        LogError("Невозможно загрузить родительские данные. ID[%d]", GetId());
        return kStatusFailed;
    }
    int32_t stored = 0;
    if (stream.ReadInt(stored) != 0 || stored < 0) {
        LogError("Невозможно загрузить количество данных буффера. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return kStatusFailed;
    }
    // The bytes must be there before anything is allocated: a forged count in a short
    // file fails here instead of asking for gigabytes.
    if (int64_t(stored) * elementSize > stream.GetRemaining()) {
        LogWarning("Невозможно считать данные. Буффер переполнен.");
        LogError("Невозможно загрузить данные буффера. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return kStatusFailed;
    }
    count = stored;
    return kStatusOk;
}

int Buffer::LoadBytes(Stream& stream, void* data, int bytes) {
    if (stream.Read(data, bytes) != 0) {
        LogError("Невозможно загрузить данные буффера. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return kStatusFailed;
    }
    return kStatusOk;
}

} // namespace nuv
