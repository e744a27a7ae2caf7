#pragma once

#include <cstdint>

namespace nuv {

// Intrusive reference count, 0 after construction. Pointer acquires and releases it; the
// release that takes it from 1 to 0 destroys the object through the virtual destructor.
class RefCounted {
public:
    RefCounted() = default;
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;
    virtual ~RefCounted();

    void AddReference() { ++references_; }
    void ReleaseReference() {
        if (--references_ == 0) delete this;
    }
    int32_t GetReferenceCount() const { return references_; }

private:
    int32_t references_ = 0;
};

} // namespace nuv
