#include "core/Stream.h"

#include "core/Color.h"
#include "core/Log.h"
#include "core/Object.h"
#include "core/Quaternion.h"
#include "core/Status.h"
#include "core/Vector2.h"
#include "core/Vector3.h"
#include "core/Vector4.h"

#include <cstring>
#include <new>

namespace nuv {

namespace {

// Files are little-endian; so are both platforms we build for.
static_assert(sizeof(float) == 4 && sizeof(double) == 8, "IEEE-754 single and double expected");

} // namespace

Stream::Stream(int initialSize, int growth) : growth_(growth) {
    if (initialSize > 0) {
        data_ = new (std::nothrow) uint8_t[size_t(initialSize)];
        if (!data_) {
            LogError("Недостаточно памяти для создания буффера потока.");
            error_ = 2;
        } else {
            size_ = initialSize;
        }
    }
}

Stream::~Stream() {
    ClearIdMap();
    FreeData();
}

void Stream::FreeData() {
    delete[] data_;
    data_ = nullptr;
    size_ = 0;
    position_ = 0;
}

int Stream::Fail(int status) {
    if (error_ == kStatusOk) error_ = status;
    return error_;
}

int Stream::GetSize() {
    return size_;
}

bool Stream::Assign(const void* bytes, int count) {
    uint8_t* data = nullptr;
    if (count > 0) {
        data = new (std::nothrow) uint8_t[size_t(count)];
        if (!data) return false;
        std::memcpy(data, bytes, size_t(count));
    }
    FreeData();
    data_ = data;
    size_ = count > 0 ? count : 0;
    return true;
}

bool Stream::Grow(int needed) {
    if (growth_ <= 0) {
        LogWarning("Приращение буффера равно 0.");
        Fail(kStatusFailed);
        return false;
    }
    // At least one growth step, and at least double, so that writing n bytes costs O(n)
    // copying instead of one copy of the whole buffer per step.
    int64_t size = int64_t(size_) + growth_;
    if (size < int64_t(size_) * 2) size = int64_t(size_) * 2;
    if (size < needed) size = needed;
    if (size > INT32_MAX) size = INT32_MAX;
    uint8_t* data = size >= needed ? new (std::nothrow) uint8_t[size_t(size)] : nullptr;
    if (!data) {
        LogError("Недостаточно памяти для создания буффера потока.");
        Fail(kStatusNoMemory);
        return false;
    }
    if (size_) std::memcpy(data, data_, size_t(size_));
    delete[] data_;
    data_ = data;
    size_ = int(size);
    return true;
}

int Stream::Write(const void* bytes, int count) {
    if (error_) {
        LogWarning("Неправильное состояние потока.");
        return error_;
    }
    if (count <= 0) return kStatusOk;
    const int64_t needed = int64_t(position_) + count;
    if (needed > size_ && (needed > INT32_MAX || !Grow(int(needed)))) {
        Fail(kStatusFailed);
        LogWarning("Невозможно записать данные вследствие малого размера буффера.");
        return error_;
    }
    std::memcpy(data_ + position_, bytes, size_t(count));
    position_ += count;
    return kStatusOk;
}

int Stream::Read(void* bytes, int count) {
    if (error_) {
        LogWarning("Неправильное состояние потока.");
        return error_;
    }
    if (!data_) {
        LogWarning("Невозможно считать данные. Буффер не существует.");
        return Fail(kStatusFailed);
    }
    if (count < 0 || int64_t(position_) + count > size_) {
        LogWarning("Невозможно считать данные. Буффер переполнен.");
        return Fail(kStatusFailed);
    }
    if (count) std::memcpy(bytes, data_ + position_, size_t(count));
    position_ += count;
    return kStatusOk;
}

// Little-endian helpers: the byte order of the file is fixed whatever the host.
int Stream::WriteBool(bool value) {
    const uint8_t b = value ? 1 : 0;
    return Write(&b, 1);
}

int Stream::WriteByte(int value) {
    const uint8_t b = uint8_t(value);
    return Write(&b, 1);
}

int Stream::WriteShort(int value) {
    const uint8_t b[2] = {uint8_t(value), uint8_t(value >> 8)};
    return Write(b, 2);
}

int Stream::WriteInt(int32_t value) {
    const uint32_t v = uint32_t(value);
    const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    return Write(b, 4);
}

int Stream::WriteFloat(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    return WriteInt(int32_t(bits));
}

int Stream::WriteDouble(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, 8);
    WriteInt(int32_t(uint32_t(bits)));
    return WriteInt(int32_t(uint32_t(bits >> 32)));
}

int Stream::WriteVector2(const Vector2& value) {
    WriteFloat(value.x);
    return WriteFloat(value.y);
}

int Stream::WriteVector3(const Vector3& value) {
    WriteFloat(value.x);
    WriteFloat(value.y);
    return WriteFloat(value.z);
}

int Stream::WriteVector4(const Vector4& value) {
    WriteFloat(value.x);
    WriteFloat(value.y);
    WriteFloat(value.z);
    return WriteFloat(value.w);
}

int Stream::WriteQuaternion(const Quaternion& value) {
    WriteFloat(value.x);
    WriteFloat(value.y);
    WriteFloat(value.z);
    return WriteFloat(value.w);
}

int Stream::WriteColor(const Color& value) {
    WriteFloat(value.r);
    WriteFloat(value.g);
    WriteFloat(value.b);
    return WriteFloat(value.a);
}

int Stream::WriteInt3(const int32_t values[3]) {
    WriteInt(values[0]);
    WriteInt(values[1]);
    return WriteInt(values[2]);
}

int Stream::WriteString(const String& value) {
    WriteInt(value.GetLength());
    return Write(value.GetText(), value.GetLength());
}

int Stream::ReadBool(bool& value) {
    uint8_t b = 0;
    if (Read(&b, 1) == kStatusOk) value = b != 0;
    return error_;
}

int Stream::ReadByte(uint8_t& value) {
    return Read(&value, 1);
}

int Stream::ReadShort(int16_t& value) {
    uint8_t b[2];
    if (Read(b, 2) == kStatusOk) value = int16_t(uint16_t(b[0] | b[1] << 8));
    return error_;
}

int Stream::ReadUInt(uint32_t& value) {
    uint8_t b[4];
    if (Read(b, 4) == kStatusOk) value = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    return error_;
}

int Stream::ReadInt(int32_t& value) {
    uint32_t v = 0;
    if (ReadUInt(v) == kStatusOk) value = int32_t(v);
    return error_;
}

int Stream::ReadFloat(float& value) {
    uint32_t bits = 0;
    if (ReadUInt(bits) == kStatusOk) std::memcpy(&value, &bits, 4);
    return error_;
}

int Stream::ReadDouble(double& value) {
    uint32_t lo = 0, hi = 0;
    if (ReadUInt(lo) == kStatusOk && ReadUInt(hi) == kStatusOk) {
        const uint64_t bits = uint64_t(hi) << 32 | lo;
        std::memcpy(&value, &bits, 8);
    }
    return error_;
}

int Stream::ReadVector2(Vector2& value) {
    ReadFloat(value.x) || ReadFloat(value.y);
    return error_;
}

int Stream::ReadVector3(Vector3& value) {
    ReadFloat(value.x) || ReadFloat(value.y) || ReadFloat(value.z);
    return error_;
}

int Stream::ReadVector4(Vector4& value) {
    ReadFloat(value.x) || ReadFloat(value.y) || ReadFloat(value.z) || ReadFloat(value.w);
    return error_;
}

int Stream::ReadQuaternion(Quaternion& value) {
    ReadFloat(value.x) || ReadFloat(value.y) || ReadFloat(value.z) || ReadFloat(value.w);
    return error_;
}

int Stream::ReadColor(Color& value) {
    ReadFloat(value.r) || ReadFloat(value.g) || ReadFloat(value.b) || ReadFloat(value.a);
    return error_;
}

int Stream::ReadInt3(int32_t values[3]) {
    ReadInt(values[0]) || ReadInt(values[1]) || ReadInt(values[2]);
    return error_;
}

int Stream::ReadString(String& value) {
    int32_t count = 0;
    if (ReadInt(count) != kStatusOk) return error_;
    // A count is checked against the bytes that are there before anything is allocated,
    // so a forged length cannot ask for gigabytes.
    if (count < 0 || count > GetRemaining()) {
        LogWarning("Невозможно считать данные. Буффер переполнен.");
        return Fail(kStatusFailed);
    }
    char* block = new (std::nothrow) char[size_t(count) + 1];
    if (!block) {
        LogWarning("Недостаточно памяти для загрузки строки.");
        // The stream fails: read on, the text's bytes would be taken for the fields after it.
        return Fail(kStatusNoMemory);
    }
    if (Read(block, count) != kStatusOk) {
        delete[] block;
        return error_;
    }
    block[count] = 0;
    value.Adopt(block, count);
    return kStatusOk;
}

int Stream::WriteObject(Object* object) {
    if (!object) return WriteInt(-1);
    const int32_t id = object->GetId();
    LogInfo("Write ID[%d]", id);
    if (idMap_.Contains(id)) return WriteInt(id);
    WriteInt(id);
    WriteString(object->GetType().GetName());
    if (error_) return error_;
    // The ID is known before the fields are written, so links back to this object
    // (cycles) are written as the ID alone.
    if (!idMap_.Insert(id, object)) return Fail(kStatusNoMemory);
    const int status = object->Save(*this);
    if (status) Fail(status);
    LogInfo("RTTI[%s] ID[%d] Name[%s] Pointer[%d]", object->GetType().GetName().GetText(), id,
            object->GetName().GetText(), position_);
    return error_;
}

int Stream::ReadObject(Object*& out) {
    out = nullptr;
    int32_t id = 0;
    if (ReadInt(id) != kStatusOk) return error_;
    LogInfo("Read ID[%d]", id);
    if (id == -1) return kStatusOk;
    if (Object** known = idMap_.Find(id)) {
        out = *known;
        return kStatusOk;
    }
    String className;
    if (ReadString(className) != kStatusOk) return error_;
    CreateFunction create = ClassFactory::FindCreateFunction(className);
    if (!create) {
        LogError("Невозможно найти функцию создания объекта. RTTI[%s] ID[%d]", className.GetText(), id);
        return Fail(kStatusFailed);
    }
    if (readDepth_ >= kMaxReadDepth) {
        LogError("Слишком глубокая вложенность объектов. RTTI[%s] ID[%d]", className.GetText(), id);
        return Fail(kStatusFailed);
    }
    Object* object = nullptr;
    if (create(&object) != kStatusOk || !object) {
        LogError("Невозможно создать объект. RTTI[%s] ID[%d]", className.GetText(), id);
        return Fail(kStatusFailed);
    }
    // The stream holds every object it made until the map is cleared: objects of a load
    // that failed half-way are then released instead of leaked.
    Pointer<Object> held(object);
    if (!readObjects_.Append(held) || !idMap_.Insert(id, object)) return Fail(kStatusNoMemory);
    ++readDepth_;
    const int status = object->Load(*this);
    --readDepth_;
    if (status) Fail(status);
    LogInfo("RTTI[%s] ID[%d] Name[%s] Pointer[%d]", className.GetText(), id, object->GetName().GetText(), position_);
    out = object;
    return error_;
}

void Stream::ClearIdMap() {
    idMap_.Clear();
    readObjects_.Clear();
}

} // namespace nuv
