#pragma once

#include <utility>

namespace nuv {

// Counted reference to a RefCounted object (one reference per holder).
template <class T>
class Pointer {
public:
    Pointer() = default;
    Pointer(T* object) : object_(object) {  // NOLINT: taking a plain pointer acquires it
        if (object_) object_->AddReference();
    }
    Pointer(const Pointer& other) : Pointer(other.object_) {}
    Pointer(Pointer&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    template <class U>
    Pointer(const Pointer<U>& other) : Pointer(other.Get()) {}  // NOLINT: upcast
    ~Pointer() { Reset(); }

    Pointer& operator=(T* object) {
        if (object != object_) {
            if (object) object->AddReference();
            T* old = std::exchange(object_, object);
            if (old) old->ReleaseReference();
        }
        return *this;
    }
    Pointer& operator=(const Pointer& other) { return *this = other.object_; }
    Pointer& operator=(Pointer&& other) noexcept {
        if (this != &other) {
            T* old = std::exchange(object_, std::exchange(other.object_, nullptr));
            if (old) old->ReleaseReference();
        }
        return *this;
    }

    void Reset() {
        if (T* old = std::exchange(object_, nullptr)) old->ReleaseReference();
    }

    T* Get() const { return object_; }
    T* operator->() const { return object_; }
    T& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }
    bool operator==(const Pointer& other) const { return object_ == other.object_; }
    bool operator==(const T* other) const { return object_ == other; }

private:
    T* object_ = nullptr;
};

} // namespace nuv
