#pragma once

#include "core/DeviceResourceCache.h"
#include "core/Pointer.h"
#include "core/RefCounted.h"

namespace nuv {

class Camera;
class GeometryNode;
class Technique;

// The drawing device behind the scene. The concrete renderer lives in a module, and the
// renderer keeps that module alive: the module's code must outlive every call into it.
class Renderer : public DeviceResourceCache {
public:
    ~Renderer() override = default;

    // The module that created this renderer (counted; any RefCounted to keep core free of media).
    void SetModule(RefCounted* module) { module_ = module; }
    RefCounted* GetModule() const { return module_.Get(); }

    // The camera the scene is drawn through; the draw pass culls against its planes.
    virtual Camera* GetCamera() = 0;
    // Makes pass index of technique current and applies it; non-zero means the pass is not
    // to be drawn (it drew by itself, or nothing).
    virtual int ApplyPass(Technique* technique, int index) = 0;
    // Draws the blended geometry collected so far, back to front, then the late list.
    virtual void FlushDeferred() = 0;

    // The geometry the next DrawIndexed draws (counted while current).
    virtual void SetCurrentGeometry(GeometryNode* geometry) = 0;
    // Draws the current geometry indexed with the current pass, as its primitive type says.
    virtual void DrawIndexed() = 0;
    // Undoes what the last pass pushed (the lights it enabled, last first).
    virtual void RestorePassStates() = 0;
    // Keeps blended geometry for FlushDeferred (window planes on the late list, others sorted by
    // the squared distance from the camera to their world bound's centre).
    virtual void DeferGeometry(GeometryNode* geometry) = 0;

private:
    Pointer<RefCounted> module_;
};

} // namespace nuv
