#include "app/InputExitRule.h"

namespace nuv {

bool InputExitRule::EndsRun(const InputEvent& event, bool exitOnMouseMove) {
    switch (event.device) {
    case kInputWindow:
        return event.action == kInputClose && event.code == 0;
    case kInputKeyboard:
        return event.action == kInputPress;
    case kInputMouse:
        if (event.action == kInputPress) return true;
        if (event.action == kInputMove && exitOnMouseMove) {
            // Stops counting once it has fired, so the count cannot wrap in a long run.
            if (movesLeft_ >= 0) --movesLeft_;
            return movesLeft_ < 0;
        }
        return false;
    default:
        return false;
    }
}

} // namespace nuv
