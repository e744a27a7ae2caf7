#pragma once

#include "core/Array.h"
#include "core/LinkVisitor.h"
#include "core/Object.h"
#include "core/Pointer.h"

#include <cstddef>
#include <unordered_map>
#include <vector>

namespace nuv {

// Counted links that lead back to an object keep it, and everything it holds, alive forever.
// A scene file can ask for such a loop (an effect listing its own node, a controller aiming at
// the node it runs on), so after a read every link that closes one is dropped and logged.
//
// The walk is depth first over the counted links from each root in turn, in the order the
// objects offer them; a link to an object still on the walk's path closes a loop and goes.
// Whatever stays is free of loops. The path is kept on the heap, so any depth is walked.
class LinkCycleBreaker : private LinkVisitor {
public:
    // The number of links dropped.
    static int Run(const Array<Pointer<Object>>& roots);

private:
    enum class State : unsigned char { kOnPath, kDone };
    struct Frame {
        Pointer<Object> object;
        // Its links still to walk, as a range of pending_.
        size_t next;
        size_t end;
        size_t begin;
    };

    LinkCycleBreaker() = default;
    void WalkFrom(Object& root);
    void Enter(Object& object);
    bool Keep(Object& holder, Object& target) override;

    std::unordered_map<const Object*, State> states_;
    std::vector<Frame> path_;
    std::vector<Pointer<Object>> pending_;
    int dropped_ = 0;
};

} // namespace nuv
