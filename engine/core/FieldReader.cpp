#include "core/FieldReader.h"

namespace nuv {

FieldReader& FieldReader::Parent(int status) {
    return Parent(status, "Невозможно загрузить родительские данные. ID[%d]");
}

FieldReader& FieldReader::Parent(int status, FieldMessage message) {
    return status != 0 ? Fail(message) : *this;
}

FieldReader& FieldReader::Follow(int status) {
    return status != 0 ? Fail({}) : *this;
}

FieldReader& FieldReader::Check(FieldMessage message, bool valid, int status) {
    if (status_ != kStatusOk) return *this;
    if (stream_.GetError() != 0 || !valid) {
        message.Log(owner_);
        status_ = status;
    }
    return *this;
}

// Each read happens only while the run goes on; the stream keeps its own first error.
#define NUV_FIELD_READ(Name, Type, Call)                                \
    FieldReader& FieldReader::Name(Type& value, FieldMessage message) { \
        if (status_ != kStatusOk) return *this;                         \
        stream_.Call(value);                                            \
        return Then(message);                                           \
    }

NUV_FIELD_READ(Bool, bool, ReadBool)
NUV_FIELD_READ(Byte, uint8_t, ReadByte)
NUV_FIELD_READ(Int, int32_t, ReadInt)
NUV_FIELD_READ(Float, float, ReadFloat)
NUV_FIELD_READ(Double, double, ReadDouble)
NUV_FIELD_READ(Vector2, nuv::Vector2, ReadVector2)
NUV_FIELD_READ(Vector3, nuv::Vector3, ReadVector3)
NUV_FIELD_READ(Quaternion, nuv::Quaternion, ReadQuaternion)
NUV_FIELD_READ(Color, nuv::Color, ReadColor)
NUV_FIELD_READ(String, nuv::String, ReadString)

#undef NUV_FIELD_READ

FieldReader& FieldReader::Bytes(void* data, int count, FieldMessage message) {
    if (status_ != kStatusOk) return *this;
    stream_.Read(data, count);
    return Then(message);
}

FieldReader& FieldReader::Count(int32_t& count, FieldMessage message) {
    if (status_ != kStatusOk) return *this;
    stream_.ReadInt(count);
    return Check(message, count >= 0);
}

} // namespace nuv
