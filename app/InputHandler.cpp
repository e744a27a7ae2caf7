#include "app/InputHandler.h"

namespace nuv {

InputHandler::~InputHandler() = default;

} // namespace nuv
