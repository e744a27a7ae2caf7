#pragma once

#include "animation/AnimationKey.h"
#include "core/Array.h"
#include "core/Object.h"

#include <memory>

namespace nuv {

// Abstract key-framed track: keys sorted by time on a normalised time line that wraps from the
// last key back to the first. Subclasses say what kind of key they hold.
class Animation : public Object {
    NUV_DECLARE_OBJECT
public:
    // Persisted: the Object fields, the key count and each key's own record.
    int Save(Stream& stream) override;
    // Keys of the subclass's kind. Keys out of time order are sorted (stably), so the search
    // and the blends always see an ascending track.
    int Load(Stream& stream) override;

    int GetKeyCount() const { return keys_.GetCount(); }
    AnimationKey* GetKey(int index) const;
    // Takes ownership; false when memory runs out (the key is then freed).
    bool AppendKey(AnimationKey* key);
    void RemoveAllKeys() { keys_.Clear(); }

    // Index of the last key whose time is <= t, by bisection; when t lies before the first key,
    // the last key (the blend crosses the wrap). -1 for a track without keys.
    int FindKey(double t) const;

protected:
    Animation() = default;
    // A new key of the subclass's kind, or null without memory.
    virtual AnimationKey* CreateKey() const = 0;

private:
    void SortKeys();

    Array<std::unique_ptr<AnimationKey>> keys_{1, 1};
};

} // namespace nuv
