#pragma once

#include "core/Pointer.h"
#include "scene/ParticleSystem.h"

namespace nuv {

// Draws a template node once per live particle, moved to the particle and scaled by its size.
class NodeParticleSystem : public ParticleSystem {
    NUV_DECLARE_OBJECT
public:
    NodeParticleSystem();
    ~NodeParticleSystem() override;

    // After the ParticleSystem fields: the template link.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;
    Object* FindByName(const String& name) override;
    void CollectByType(const Rtti& type, Array<Object*>& found) override;

    void Render(Renderer& renderer) override;

    GeometryNode* GetTemplate() const { return template_.Get(); }
    // Refused (left unchanged) for node particle systems, this one included: they could draw
    // each other without end.
    void SetTemplate(GeometryNode* node);

private:
    Pointer<GeometryNode> template_;
};

} // namespace nuv
