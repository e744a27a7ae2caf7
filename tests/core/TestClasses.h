#pragma once

// Small persistent classes that exist only in the test programs, to exercise links, cycles
// and controller lists through the real stream and factory.
#include "core/Controller.h"
#include "core/Object.h"
#include "core/Pointer.h"

#include <vector>

namespace nuv {

// A concrete controller that counts its applications and links to a target (not counted).
class TestController : public Controller {
    NUV_DECLARE_OBJECT
public:
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void Apply(double dt) override {
        if (!IsActive()) return;
        ++applied;
        total += dt;
        order.push_back(this);
    }

    Object* target = nullptr;
    int applied = 0;
    double total = 0;
    static inline std::vector<TestController*> order;
};

// An object with a counted link to another object and a value.
class TestThing : public Object {
    NUV_DECLARE_OBJECT
public:
    TestThing() = default;
    explicit TestThing(const String& name) : Object(name) {}
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;

    Pointer<Object> partner;
    int32_t value = 0;
};

} // namespace nuv
