#include "scene/NodeParticleSystem.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/LinkVisitor.h"
#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "render/ColorEffect.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(NodeParticleSystem, ParticleSystem)

NodeParticleSystem::NodeParticleSystem() = default;
NodeParticleSystem::~NodeParticleSystem() = default;

void NodeParticleSystem::SetTemplate(GeometryNode* node) {
    // Templates that draw templates could form a cycle that searches and drawing never leave.
    if (node && node->IsDerived(NodeParticleSystem::TYPE)) {
        LogWarning("Шаблон системы частиц не может быть системой частиц из узлов. ID[%d] Имя[%s]", GetId(),
                   GetName().GetText());
        return;
    }
    template_ = node;
}

void NodeParticleSystem::Render(Renderer& renderer) {
    if (!template_) return;
    const Transform saved = template_->GetWorldTransform();
    ColorEffect* tint = DynamicCast<ColorEffect>(template_->GetEffect());
    const Color savedColor = tint ? tint->GetColor() : Color();
    for (const Particle* p = GetLiveParticles(); p; p = p->next) {
        if (tint) tint->SetColor(p->color);
        Transform placed = saved;
        placed.SetTranslation(p->position);
        placed.SetScale(Vector3(p->size, p->size, p->size));
        template_->SetWorldTransform(placed);
        template_->UpdateBound();
        template_->CullAndRender(renderer);
    }
    if (tint) tint->SetColor(savedColor);
    template_->SetWorldTransform(saved);
    template_->UpdateBound();
}

Object* NodeParticleSystem::FindByName(const String& name) {
    if (Object* found = ParticleSystem::FindByName(name)) return found;
    return template_ ? template_->FindByName(name) : nullptr;
}

void NodeParticleSystem::CollectByType(const Rtti& type, Array<Object*>& found) {
    ParticleSystem::CollectByType(type, found);
    if (template_) template_->CollectByType(type, found);
}

int NodeParticleSystem::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Follow(ParticleSystem::Save(stream))
        .Link(template_.Get(), "Невозможно сохранить шаблон системы частиц. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int NodeParticleSystem::Load(Stream& stream) {
    FieldReader in(stream, *this);
    GeometryNode* node = nullptr;
    if (!in.Follow(ParticleSystem::Load(stream))
             .Link(node, "Невозможно загрузить шаблон системы частиц. Имя[%s] ID[%d]"))
        return in.GetStatus();
    SetTemplate(node);
    return kStatusOk;
}

void NodeParticleSystem::VisitLinks(LinkVisitor& visitor) {
    ParticleSystem::VisitLinks(visitor);
    if (visitor.Refuses(*this, template_)) SetTemplate(nullptr);
}

} // namespace nuv
