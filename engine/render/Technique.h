#pragma once

#include "core/Pointer.h"

#include <vector>

namespace nuv {

class Pass;

// An ordered list of passes that draws an effect one way; the effect uses the first of its
// techniques that the renderer supports.
class Technique {
public:
    Technique();
    virtual ~Technique();
    Technique(const Technique&) = delete;
    Technique& operator=(const Technique&) = delete;

    // Decided from the current renderer's capabilities.
    virtual bool IsSupported() = 0;
    // Refreshes every pass; returns the pass count.
    virtual int Refresh();

    // 3 for null; the technique keeps a reference.
    int AddPass(Pass* pass);
    int GetPassCount() const { return int(passes_.size()); }
    // Null when index is out of range.
    Pass* GetPass(int index) const;
    // Through the current renderer; Pass::kNoDraw without one.
    int ApplyPass(int index);

private:
    std::vector<Pointer<Pass>> passes_;
};

} // namespace nuv
