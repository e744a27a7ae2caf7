#pragma once

#include "core/Named.h"

namespace nuv {

// The engine's own type record: the class name ("Nuv." + class) and the parent's record.
class Rtti : public Named {
public:
    Rtti(const char* name, const Rtti* parent) : Named(String(name)), parent_(parent) {}

    const Rtti* GetParent() const { return parent_; }
    // True when type is this record or one of its ancestors.
    bool IsDerived(const Rtti& type) const {
        for (const Rtti* r = this; r; r = r->parent_)
            if (r == &type) return true;
        return false;
    }

private:
    const Rtti* parent_;
};

} // namespace nuv
