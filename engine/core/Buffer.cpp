#include "core/Buffer.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
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
    FieldWriter out(stream, *this);
    out.Parent(Object::Save(stream)).Int(count, "Невозможно сохранить количество данных буффера. Имя[%s] ID[%d]");
    if (count > 0) out.Bytes(data, count * elementSize, "Невозможно сохранить данные буффера. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int Buffer::LoadCount(Stream& stream, int elementSize, int& count) {
    FieldReader in(stream, *this);
    int32_t stored = 0;
    if (!in.Parent(Object::Load(stream))
             .Count(stored, "Невозможно загрузить количество данных буффера. ID[%d] Имя[%s]"))
        return in.GetStatus();
    // The bytes must be there before anything is allocated: a forged count in a short
    // file fails here instead of asking for gigabytes.
    if (int64_t(stored) * elementSize > stream.GetRemaining()) {
        LogWarning("Невозможно считать данные. Буффер переполнен.");
        return in.Fail("Невозможно загрузить данные буффера. ID[%d] Имя[%s]").GetStatus();
    }
    count = stored;
    return kStatusOk;
}

int Buffer::LoadBytes(Stream& stream, void* data, int bytes) {
    return FieldReader(stream, *this)
        .Bytes(data, bytes, "Невозможно загрузить данные буффера. ID[%d] Имя[%s]")
        .GetStatus();
}

} // namespace nuv
