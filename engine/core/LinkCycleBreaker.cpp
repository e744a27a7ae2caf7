#include "core/LinkCycleBreaker.h"

#include "core/Log.h"

namespace nuv {

int LinkCycleBreaker::Run(const Array<Pointer<Object>>& roots) {
    LinkCycleBreaker walk;
    for (const Pointer<Object>& root : roots)
        if (root) walk.WalkFrom(*root);
    return walk.dropped_;
}

void LinkCycleBreaker::WalkFrom(Object& root) {
    if (states_.count(&root) != 0) return;
    Enter(root);
    while (!path_.empty()) {
        Frame& top = path_.back();
        if (top.next < top.end) {
            // Reached by an earlier link of this object's walk since it was listed: done already.
            Object* target = pending_[top.next++].Get();
            if (states_.count(target) == 0) Enter(*target);
            continue;
        }
        states_[top.object.Get()] = State::kDone;
        pending_.resize(top.begin);
        path_.pop_back();
    }
}

void LinkCycleBreaker::Enter(Object& object) {
    states_[&object] = State::kOnPath;
    // The object's links are judged in one go: the path above it stays the same while the
    // objects below it are walked.
    Pointer<Object> held(&object);
    const size_t begin = pending_.size();
    object.VisitLinks(*this);
    path_.push_back(Frame{std::move(held), begin, pending_.size(), begin});
}

bool LinkCycleBreaker::Keep(Object& holder, Object& target) {
    const auto found = states_.find(&target);
    if (found == states_.end()) {
        pending_.emplace_back(&target);
        return true;
    }
    if (found->second == State::kDone) return true;
    LogWarning("Ссылка замыкает цикл ссылок и удалена. Имя[%s] ID[%d] -> Имя[%s] ID[%d]", holder.GetName().GetText(),
               holder.GetId(), target.GetName().GetText(), target.GetId());
    ++dropped_;
    return false;
}

} // namespace nuv
