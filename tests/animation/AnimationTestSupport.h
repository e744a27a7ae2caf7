#pragma once

// Builders shared by the animation tests.
#include "animation/NodeAnimation.h"
#include "core/Pointer.h"
#include "core/Stream.h"

#include <new>

namespace nuv::test {

inline NodeAnimationKey* AddNodeKey(NodeAnimation& track, double time, const Vector3& translation,
                                    const Quaternion& rotation = Quaternion(), const Vector3& scale = {1, 1, 1}) {
    auto* key = new NodeAnimationKey();
    key->time = time;
    key->translation = translation;
    key->rotation = rotation;
    key->scale = scale;
    track.AppendKey(key);
    return key;
}

// Writes object into a fresh stream and reads it back as T; null when either step fails.
template <class T>
Pointer<T> RoundTrip(Object* object, Stream& stream) {
    if (stream.WriteObject(object) != 0) return nullptr;
    stream.ClearIdMap();
    stream.SetPosition(0);
    T* read = nullptr;
    if (stream.ReadObjectAs(read) != 0) return nullptr;
    Pointer<T> kept(read);
    stream.ClearIdMap();
    return kept;
}

} // namespace nuv::test
