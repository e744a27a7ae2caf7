#pragma once

#include "core/String.h"

namespace nuv {

// Base of everything that carries a name: objects, type records, outputs, modules, codecs, files.
class Named {
public:
    Named() = default;
    explicit Named(const String& name) : name_(name) {}
    virtual ~Named() = default;

    virtual void SetName(const String& name) { name_ = name; }
    const String& GetName() const { return name_; }

private:
    String name_;
};

} // namespace nuv
