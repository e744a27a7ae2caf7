#pragma once

#include "core/Array.h"
#include "core/Pointer.h"

#include <algorithm>
#include <vector>

namespace nuv {

class Object;

// Is shown the counted links an object holds to other objects (Object::VisitLinks) and decides
// for each whether it stays. The holder drops a refused link the way its own setters would: a
// target forgotten, a list entry removed or a slot emptied, with whatever depends on it.
class LinkVisitor {
public:
    virtual ~LinkVisitor() = default;

    // holder holds a counted link to target; false drops that link.
    virtual bool Keep(Object& holder, Object& target) = 0;

    // True when link is set and refused: the holder then drops it.
    template <class T>
    bool Refuses(Object& holder, const Pointer<T>& link) {
        return link && !Keep(holder, *link);
    }
    // Lists that never hold null lose a refused entry; the others keep their order.
    template <class T>
    void VisitList(Object& holder, std::vector<Pointer<T>>& links) {
        links.erase(std::remove_if(links.begin(), links.end(),
                                   [&](const Pointer<T>& link) { return Refuses(holder, link); }),
                    links.end());
    }
    // Slot arrays may hold null (a file can store it): a refused slot becomes null, so the
    // positions that other arrays pair with it stay.
    template <class T>
    void VisitSlots(Object& holder, Array<Pointer<T>>& slots) {
        for (Pointer<T>& slot : slots)
            if (Refuses(holder, slot)) slot.Reset();
    }
};

} // namespace nuv
