#include "render/Effect.h"

#include "core/Status.h"
#include "render/Technique.h"

namespace nuv {

NUV_IMPLEMENT_ABSTRACT_OBJECT(Effect, Object)

Effect::Effect() = default;

Effect::~Effect() = default;

int Effect::AddTechnique(Technique* technique) {
    if (!technique) return kStatusNotFound;
    techniques_.emplace_back(technique);
    return kStatusOk;
}

Technique* Effect::GetTechnique(int index) const {
    return index >= 0 && index < GetTechniqueCount() ? techniques_[size_t(index)].get() : nullptr;
}

Technique* Effect::CurrentTechnique() {
    if (current_) return current_;
    for (const std::unique_ptr<Technique>& technique : techniques_) {
        if (technique->IsSupported()) {
            current_ = technique.get();
            current_->Refresh();
            break;
        }
    }
    return current_;
}

int Effect::PassCount() {
    Technique* technique = CurrentTechnique();
    return technique ? technique->GetPassCount() : 0;
}

void Effect::RefreshCurrentTechnique() {
    if (current_) current_->Refresh();
}

} // namespace nuv
