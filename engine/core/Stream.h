#pragma once

#include "core/Array.h"
#include "core/HashMap.h"
#include "core/Object.h"
#include "core/Pointer.h"
#include "core/Status.h"
#include "core/String.h"

#include <cstdint>

namespace nuv {

struct Vector2;
struct Vector3;
struct Vector4;
struct Quaternion;
struct Color;

// An in-memory little-endian byte buffer with a position, the object ID map and a sticky
// error state: the first failed read or write is kept and every later one fails at once.
// This is also the scene file format: objects are written in full where they are first
// linked and as their ID afterwards, so shared and cyclic links survive a round trip.
class Stream {
public:
    // Nested objects a read may enter before it is refused; real scenes stay far below.
    static constexpr int kMaxReadDepth = 1000;

    Stream(int initialSize, int growth);
    virtual ~Stream();
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    virtual int GetSize();
    // Both return the error state after the call.
    virtual int Write(const void* bytes, int count);
    virtual int Read(void* bytes, int count);

    int GetError() const { return error_; }
    int GetPosition() const { return position_; }
    void SetPosition(int position) { position_ = position < 0 ? 0 : position; }
    const uint8_t* GetData() const { return data_; }
    // Bytes between the position and the end of the data.
    int GetRemaining() const { return size_ > position_ ? size_ - position_ : 0; }
    // Replaces the content with a copy of bytes, position 0; false when memory runs out.
    bool Assign(const void* bytes, int count);

    int WriteBool(bool value);
    int WriteByte(int value);
    int WriteShort(int value);
    int WriteInt(int32_t value);
    int WriteUInt(uint32_t value) { return WriteInt(int32_t(value)); }
    int WriteFloat(float value);
    int WriteDouble(double value);
    int WriteVector2(const Vector2& value);
    int WriteVector3(const Vector3& value);
    int WriteVector4(const Vector4& value);
    int WriteQuaternion(const Quaternion& value);
    int WriteColor(const Color& value);
    int WriteInt3(const int32_t values[3]);
    int WriteString(const String& value);
    int WriteObject(Object* object);

    int ReadBool(bool& value);
    int ReadByte(uint8_t& value);
    int ReadShort(int16_t& value);
    int ReadInt(int32_t& value);
    int ReadUInt(uint32_t& value);
    int ReadFloat(float& value);
    int ReadDouble(double& value);
    int ReadVector2(Vector2& value);
    int ReadVector3(Vector3& value);
    int ReadVector4(Vector4& value);
    int ReadQuaternion(Quaternion& value);
    int ReadColor(Color& value);
    int ReadInt3(int32_t values[3]);
    int ReadString(String& value);
    // out receives the object or null. The stream keeps every object it created alive until
    // its ID map is cleared; whoever keeps an object takes a Pointer before that.
    int ReadObject(Object*& out);
    // ReadObject plus a checked downcast: a link to another class fails with status 1.
    template <class T>
    int ReadObjectAs(T*& out);

    // Forgets the IDs seen so far and releases the objects that were read (files do this
    // when they are opened and closed).
    void ClearIdMap();
    // Every object created by the reads since the ID map was last cleared, in creation order.
    const Array<Pointer<Object>>& GetReadObjects() const { return readObjects_; }

protected:
    // Sets the error state unless one is already kept; returns the state.
    int Fail(int status);
    void FreeData();

    uint8_t* data_ = nullptr;
    int size_ = 0;
    int growth_ = 0;
    int position_ = 0;
    int error_ = 0;

private:
    bool Grow(int needed);

    HashMap<int32_t, Object*> idMap_;
    Array<Pointer<Object>> readObjects_{64, 4096};
    int readDepth_ = 0;
};

template <class T>
int Stream::ReadObjectAs(T*& out) {
    Object* object = nullptr;
    out = nullptr;
    if (ReadObject(object) != kStatusOk) return error_;
    if (object && !object->IsDerived(T::TYPE)) return Fail(kStatusFailed);
    out = static_cast<T*>(object);
    return kStatusOk;
}

} // namespace nuv
