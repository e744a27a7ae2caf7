#pragma once

namespace nuv {

// What the Direct3D 9 renderer's files share.
class D3d9Support {
public:
    // Releases a device interface once and forgets it.
    template <class T>
    static void SafeRelease(T*& object) {
        if (object) object->Release();
        object = nullptr;
    }
};

} // namespace nuv
