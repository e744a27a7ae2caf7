#pragma once

#include "app/InputEvent.h"

namespace nuv {

// Which input ends the screensaver: any key press, any mouse button press, the window's close,
// and, when the setting asks for it, mouse movement - from the 11th move event on, since the
// window system sends a few moves of its own when the window appears. The count never restarts.
class InputExitRule {
public:
    static constexpr int kIgnoredMoves = 10;

    bool EndsRun(const InputEvent& event, bool exitOnMouseMove);

private:
    int movesLeft_ = kIgnoredMoves;
};

} // namespace nuv
