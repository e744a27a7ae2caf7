#include "animation/Animation.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/Status.h"
#include "core/Stream.h"

#include <algorithm>

namespace nuv {

NUV_IMPLEMENT_ABSTRACT_OBJECT(Animation, Object)

AnimationKey* Animation::GetKey(int index) const {
    return index >= 0 && index < keys_.GetCount() ? keys_[index].get() : nullptr;
}

bool Animation::AppendKey(AnimationKey* key) {
    std::unique_ptr<AnimationKey> owned(key);
    return key && keys_.Append(std::move(owned));
}

int Animation::FindKey(double t) const {
    const int n = keys_.GetCount();
    if (n == 0) return -1;
    if (keys_[0]->time > t) return n - 1;
    int lo = 0, hi = n - 1;
    int mid = lo + (hi - lo) / 2;
    while (mid != lo) {
        if (t <= keys_[mid]->time) hi = mid;
        else lo = mid;
        mid = lo + (hi - lo) / 2;
    }
    return keys_[hi]->time <= t ? hi : lo;
}

void Animation::SortKeys() {
    auto* begin = keys_.begin();
    auto* end = keys_.end();
    const auto earlier = [](const std::unique_ptr<AnimationKey>& a, const std::unique_ptr<AnimationKey>& b) {
        return a->time < b->time;
    };
    if (!std::is_sorted(begin, end, earlier)) std::stable_sort(begin, end, earlier);
}

int Animation::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Parent(Object::Save(stream))
        .Int(keys_.GetCount(), "Невозможно сохранить количество кифреймов анимации. Имя[%s] ID[%d]");
    for (const auto& key : keys_) out.Nested(*key, "Невозможно сохранить кифрейм анимации. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int Animation::Load(Stream& stream) {
    FieldReader in(stream, *this);
    int32_t count = 0;
    if (!in.Parent(Object::Load(stream))
             .Count(count, "Невозможно загрузить количество кифреймов анимации. ID[%d] Имя[%s]"))
        return in.GetStatus();
    keys_.Clear();
    // Room for what the bytes left can hold at most (a time is 8 bytes), never for a forged count.
    keys_.Reserve(std::min(count, stream.GetRemaining() / 8));
    for (int32_t i = 0; i < count; ++i) {
        AnimationKey* key = CreateKey();
        if (!key)
            return in.Fail("Недостаточно памяти для создания кифрейма. ID[%d] Имя[%s]", kStatusNoMemory).GetStatus();
        if (!in.Nested(*key, "Невозможно загрузить кифрейм анимации. Имя[%s] ID[%d]")) {
            delete key;
            return in.GetStatus();
        }
        if (!AppendKey(key))
            return in.Fail("Недостаточно памяти для создания кифрейма. ID[%d] Имя[%s]", kStatusNoMemory).GetStatus();
    }
    SortKeys();
    return kStatusOk;
}

} // namespace nuv
