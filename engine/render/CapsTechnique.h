#pragma once

#include "render/Renderer.h"
#include "render/Technique.h"

namespace nuv {

// A technique whose support is a test of the current renderer's capabilities; unsupported
// without a renderer.
class CapsTechnique : public Technique {
public:
    using Test = bool (*)(const RendererCaps& caps);
    explicit CapsTechnique(Test test) : test_(test) {}

    bool IsSupported() override;

    // The tests the geometry effects share.
    static bool Always(const RendererCaps&) { return true; }
    static bool HasPrograms(const RendererCaps& caps);

private:
    Test test_;
};

} // namespace nuv
