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

// Reads an object's fields as one run of calls over the stream's sticky error. A read given
// a message is checked at once; reads without one are checked together by the next Check.
// The first check that fails logs its message and stops the run: every later call does
// nothing, so the object keeps what it had when the field failed, and GetStatus tells the
// caller what to return. Reads before a check go to the stream even when it has failed, as
// the stream then says so for each one.
class FieldReader {
public:
    FieldReader(Stream& stream, const Object& owner) : stream_(stream), owner_(&owner) {}
    // For parts of an object that are not objects themselves: messages take no name or ID.
    explicit FieldReader(Stream& stream) : stream_(stream) {}
    FieldReader(const FieldReader&) = delete;
    FieldReader& operator=(const FieldReader&) = delete;

    // The parent class's status: on failure the usual line with the owner's ID, or message.
    FieldReader& Parent(int status);
    FieldReader& Parent(int status, FieldMessage message);
    // A status of a step that logs for itself (a parent class that says nothing more).
    FieldReader& Follow(int status);

    FieldReader& Bool(bool& value, FieldMessage message = {});
    FieldReader& Byte(uint8_t& value, FieldMessage message = {});
    FieldReader& Int(int32_t& value, FieldMessage message = {});
    FieldReader& Float(float& value, FieldMessage message = {});
    FieldReader& Double(double& value, FieldMessage message = {});
    FieldReader& Vector2(nuv::Vector2& value, FieldMessage message = {});
    FieldReader& Vector3(nuv::Vector3& value, FieldMessage message = {});
    FieldReader& Quaternion(nuv::Quaternion& value, FieldMessage message = {});
    FieldReader& Color(nuv::Color& value, FieldMessage message = {});
    FieldReader& String(nuv::String& value, FieldMessage message = {});
    // Raw bytes (a buffer's elements).
    FieldReader& Bytes(void* data, int count, FieldMessage message = {});
    // A count: an int that fails the check when it is negative.
    FieldReader& Count(int32_t& count, FieldMessage message);
    // A link to an object of class T (or null); a link to another class fails.
    template <class T>
    FieldReader& Link(T*& object, FieldMessage message = {});
    // The same into a counted pointer, which changes only when the link was read.
    template <class T>
    FieldReader& Link(Pointer<T>& object, FieldMessage message = {});
    // A part with a Load of its own (a transform, a key, a frame), read only while the run goes on.
    template <class Part>
    FieldReader& Nested(Part& part, FieldMessage message = {});

    // Runs use (true on success: keeping what was just read, attaching it) only while the run
    // goes on and the stream is sound; fails with message when either is not so.
    template <class Step>
    FieldReader& Use(FieldMessage message, Step&& use);
    // Fails with message (and status) when the stream has failed or valid is false.
    FieldReader& Check(FieldMessage message = {}, bool valid = true, int status = kStatusFailed);
    FieldReader& Fail(FieldMessage message, int status = kStatusFailed) { return Check(message, false, status); }

    explicit operator bool() const { return status_ == kStatusOk; }
    int GetStatus() const { return status_; }

private:
    FieldReader& Then(FieldMessage message) { return message ? Check(message) : *this; }

    Stream& stream_;
    const Object* owner_ = nullptr;
    int status_ = kStatusOk;
};

template <class T>
FieldReader& FieldReader::Link(T*& object, FieldMessage message) {
    if (status_ != kStatusOk) return *this;
    stream_.ReadObjectAs(object);
    return Then(message);
}

template <class T>
FieldReader& FieldReader::Link(Pointer<T>& object, FieldMessage message) {
    if (status_ != kStatusOk) return *this;
    T* read = nullptr;
    if (stream_.ReadObjectAs(read) == 0) object = read;
    return Then(message);
}

template <class Step>
FieldReader& FieldReader::Use(FieldMessage message, Step&& use) {
    if (status_ != kStatusOk) return *this;
    return Check(message, stream_.GetError() == 0 && use());
}

template <class Part>
FieldReader& FieldReader::Nested(Part& part, FieldMessage message) {
    if (status_ != kStatusOk) return *this;
    if (part.Load(stream_) != 0) return Fail(message);
    return *this;
}

} // namespace nuv
