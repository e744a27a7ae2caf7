#pragma once

#include "core/Object.h"

#include <memory>
#include <vector>

namespace nuv {

class Technique;

// Techniques that draw something, of which the first supported one is used, and a switch that
// decides whether it is drawn at all. Only the Object fields are persisted.
class Effect : public Object {
    NUV_DECLARE_OBJECT
public:
    ~Effect() override;

    virtual void Enable() { enabled_ = 1; }
    virtual void Disable() { enabled_ = 0; }
    bool IsEnabled() const { return enabled_ != 0; }

    // Takes ownership; 3 for null. Techniques are tried in the order they were added.
    int AddTechnique(Technique* technique);
    int GetTechniqueCount() const { return int(techniques_.size()); }
    Technique* GetTechnique(int index) const;

    // The first supported technique, searched on first use, refreshed once and then kept;
    // null when none is supported.
    Technique* CurrentTechnique();
    // Passes of the current technique; 0 without one.
    int PassCount();
    // Refreshes the current technique when one has been chosen, so its passes see new data.
    void RefreshCurrentTechnique();

protected:
    Effect();

private:
    std::vector<std::unique_ptr<Technique>> techniques_;
    Technique* current_ = nullptr;
    uint8_t enabled_ = 1;
};

} // namespace nuv
