#include "core/FieldMessage.h"

#include "core/Log.h"
#include "core/Object.h"

namespace nuv {

void FieldMessage::FieldMessageTakesOnlyAnIdAndAName() {}

void FieldMessage::Log(const Object* owner) const {
    if (!text_) return;
    const char* name = owner ? owner->GetName().GetText() : "";
    const int id = owner ? owner->GetId() : -1;
    // The text was checked against these arguments when it was compiled.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    switch (arguments_) {
    case kNoArguments:
        LogError("%s", text_);
        break;
    case kId:
        LogError(text_, id);
        break;
    case kNameId:
        LogError(text_, name, id);
        break;
    case kIdName:
        LogError(text_, id, name);
        break;
    }
#pragma GCC diagnostic pop
}

} // namespace nuv
