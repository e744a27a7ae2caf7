#include "core/FieldWriter.h"

namespace nuv {

FieldWriter& FieldWriter::Parent(int status) {
    return Parent(status, "Невозможно сохранить родительские данные. Имя[%s] ID[%d]");
}

FieldWriter& FieldWriter::Parent(int status, FieldMessage message) {
    return status != 0 ? Check(message, false) : *this;
}

FieldWriter& FieldWriter::Follow(int status) {
    return status != 0 ? Check({}, false) : *this;
}

FieldWriter& FieldWriter::Check(FieldMessage message, bool valid, int status) {
    if (status_ != kStatusOk) return *this;
    if (stream_.GetError() != 0 || !valid) {
        message.Log(owner_);
        status_ = status;
    }
    return *this;
}

// Each write happens only while the run goes on; the stream keeps its own first error.
#define NUV_FIELD_WRITE(Name, Type, Call)                              \
    FieldWriter& FieldWriter::Name(Type value, FieldMessage message) { \
        if (status_ != kStatusOk) return *this;                        \
        stream_.Call(value);                                           \
        return Then(message);                                          \
    }

NUV_FIELD_WRITE(Bool, bool, WriteBool)
NUV_FIELD_WRITE(Byte, int, WriteByte)
NUV_FIELD_WRITE(Int, int32_t, WriteInt)
NUV_FIELD_WRITE(Float, float, WriteFloat)
NUV_FIELD_WRITE(Double, double, WriteDouble)
NUV_FIELD_WRITE(Vector2, const nuv::Vector2&, WriteVector2)
NUV_FIELD_WRITE(Vector3, const nuv::Vector3&, WriteVector3)
NUV_FIELD_WRITE(Quaternion, const nuv::Quaternion&, WriteQuaternion)
NUV_FIELD_WRITE(Color, const nuv::Color&, WriteColor)
NUV_FIELD_WRITE(String, const nuv::String&, WriteString)
NUV_FIELD_WRITE(Link, Object*, WriteObject)

#undef NUV_FIELD_WRITE

FieldWriter& FieldWriter::Bytes(const void* data, int count, FieldMessage message) {
    if (status_ != kStatusOk) return *this;
    stream_.Write(data, count);
    return Then(message);
}

} // namespace nuv
