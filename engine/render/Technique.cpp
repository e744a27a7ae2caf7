#include "render/Technique.h"

#include "core/Status.h"
#include "media/ModuleManager.h"
#include "render/Pass.h"
#include "render/Renderer.h"

namespace nuv {

Technique::Technique() = default;

Technique::~Technique() = default;

int Technique::Refresh() {
    for (Pointer<Pass>& pass : passes_) pass->Refresh();
    return GetPassCount();
}

int Technique::AddPass(Pass* pass) {
    if (!pass) return kStatusNotFound;
    passes_.emplace_back(pass);
    return kStatusOk;
}

Pass* Technique::GetPass(int index) const {
    return index >= 0 && index < GetPassCount() ? passes_[size_t(index)].Get() : nullptr;
}

int Technique::ApplyPass(int index) {
    Renderer* renderer = ModuleManager::GetRenderer();
    return renderer ? renderer->ApplyPass(this, index) : Pass::kNoDraw;
}

} // namespace nuv
