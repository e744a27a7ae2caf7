#pragma once

#include "core/Object.h"

namespace nuv {

// Base of everything that changes an object over time. The owner's Update applies its
// controllers with the frame's time step; an inactive controller does nothing.
class Controller : public Object {
    NUV_DECLARE_OBJECT
public:
    Controller() = default;

    // Persisted: the Object fields, then the active flag.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    // Called by the owner's Update with the frame's time step, in seconds.
    virtual void Apply(double dt);
    virtual void Reset();

    bool IsActive() const { return active_; }
    void SetActive(bool active) { active_ = active; }
    // The object whose list holds this controller; a plain back pointer, not a reference.
    Object* GetOwner() const { return owner_; }
    void SetOwner(Object* owner) { owner_ = owner; }

private:
    bool active_ = true;
    Object* owner_ = nullptr;
};

} // namespace nuv
