#pragma once

#include "app/InputEvent.h"
#include "core/RefCounted.h"
#include "core/String.h"

namespace nuv {

// Receives the queued input events from the input manager; named for the manager's log lines.
class InputHandler : public RefCounted {
public:
    explicit InputHandler(const String& name) : handlerName_(name) {}
    ~InputHandler() override;

    const String& GetHandlerName() const { return handlerName_; }
    // 0 when handled; the manager delivers every event whatever the result.
    virtual int OnInputEvent(const InputEvent& event) = 0;

private:
    String handlerName_;
};

} // namespace nuv
