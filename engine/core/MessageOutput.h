#pragma once

#include "core/Named.h"
#include "core/RefCounted.h"

namespace nuv {

// A destination of log messages. The log formats each message once and hands it to every
// registered output with its level (0 information, 1 warning, 2 error, 3 critical).
class MessageOutput : public RefCounted, public Named {
public:
    explicit MessageOutput(const String& name) : Named(name) {}
    virtual void Output(int level, const String& text) = 0;
};

} // namespace nuv
