#pragma once

#include "core/FieldMessage.h"
#include "core/Status.h"
#include "core/Stream.h"

#include <cstdint>

namespace nuv {

class Object;
class String;
struct Color;
struct Quaternion;
struct Vector2;
struct Vector3;

// Writes an object's fields as one run of calls over the stream's sticky error, the
// counterpart of FieldReader: a write given a message is checked at once, writes without one
// by the next Check; the first failed check logs its message and stops the run.
class FieldWriter {
public:
    FieldWriter(Stream& stream, const Object& owner) : stream_(stream), owner_(&owner) {}
    // For parts of an object that are not objects themselves: messages take no name or ID.
    explicit FieldWriter(Stream& stream) : stream_(stream) {}
    FieldWriter(const FieldWriter&) = delete;
    FieldWriter& operator=(const FieldWriter&) = delete;

    // The parent class's status: on failure the usual line with the owner's name and ID, or message.
    FieldWriter& Parent(int status);
    FieldWriter& Parent(int status, FieldMessage message);
    // A status of a step that logs for itself (a parent class that says nothing more).
    FieldWriter& Follow(int status);

    FieldWriter& Bool(bool value, FieldMessage message = {});
    FieldWriter& Byte(int value, FieldMessage message = {});
    FieldWriter& Int(int32_t value, FieldMessage message = {});
    FieldWriter& Float(float value, FieldMessage message = {});
    FieldWriter& Double(double value, FieldMessage message = {});
    FieldWriter& Vector2(const nuv::Vector2& value, FieldMessage message = {});
    FieldWriter& Vector3(const nuv::Vector3& value, FieldMessage message = {});
    FieldWriter& Quaternion(const nuv::Quaternion& value, FieldMessage message = {});
    FieldWriter& Color(const nuv::Color& value, FieldMessage message = {});
    FieldWriter& String(const nuv::String& value, FieldMessage message = {});
    // The object in full where the stream meets it first, its ID after that, -1 for null.
    FieldWriter& Link(Object* object, FieldMessage message = {});
    // Raw bytes (a buffer's elements).
    FieldWriter& Bytes(const void* data, int count, FieldMessage message = {});
    // A part with a Save of its own (a transform, a key, a frame), written only while the run goes on.
    template <class Part>
    FieldWriter& Nested(const Part& part, FieldMessage message = {});

    // Fails with message (and status) when the stream has failed or valid is false.
    FieldWriter& Check(FieldMessage message = {}, bool valid = true, int status = kStatusFailed);

    explicit operator bool() const { return status_ == kStatusOk; }
    int GetStatus() const { return status_; }

private:
    FieldWriter& Then(FieldMessage message) { return message ? Check(message) : *this; }

    Stream& stream_;
    const Object* owner_ = nullptr;
    int status_ = kStatusOk;
};

template <class Part>
FieldWriter& FieldWriter::Nested(const Part& part, FieldMessage message) {
    if (status_ != kStatusOk) return *this;
    if (part.Save(stream_) != 0) return Check(message, false);
    return *this;
}

} // namespace nuv
