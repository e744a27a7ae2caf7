#include "animation/Animation.h"

#include "core/Log.h"
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
    if (Object::Save(stream) != 0) {
        LogError("Невозможно сохранить родительские данные. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return kStatusFailed;
    }
    if (stream.WriteInt(keys_.GetCount()) != 0) {
        LogError("Невозможно сохранить количество кифреймов анимации. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return kStatusFailed;
    }
    for (const auto& key : keys_) {
        if (key->Save(stream) != 0) {
            LogError("Невозможно сохранить кифрейм анимации. Имя[%s] ID[%d]", GetName().GetText(), GetId());
            return kStatusFailed;
        }
    }
    return kStatusOk;
}

int Animation::Load(Stream& stream) {
    if (Object::Load(stream) != 0) {
        LogError("Невозможно загрузить родительские данные. ID[%d]", GetId());
        return kStatusFailed;
    }
    int32_t count = 0;
    if (stream.ReadInt(count) != 0 || count < 0) {
        LogError("Невозможно загрузить количество кифреймов анимации. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return kStatusFailed;
    }
    keys_.Clear();
    // Room for what the bytes left can hold at most (a time is 8 bytes), never for a forged count.
    keys_.Reserve(std::min(count, stream.GetRemaining() / 8));
    for (int32_t i = 0; i < count; ++i) {
        AnimationKey* key = CreateKey();
        if (!key) {
            LogError("Недостаточно памяти для создания кифрейма. ID[%d] Имя[%s]", GetId(), GetName().GetText());
            return kStatusNoMemory;
        }
        if (key->Load(stream) != 0) {
            delete key;
            LogError("Невозможно загрузить кифрейм анимации. Имя[%s] ID[%d]", GetName().GetText(), GetId());
            return kStatusFailed;
        }
        if (!AppendKey(key)) {
            LogError("Недостаточно памяти для создания кифрейма. ID[%d] Имя[%s]", GetId(), GetName().GetText());
            return kStatusNoMemory;
        }
    }
    SortKeys();
    return kStatusOk;
}

} // namespace nuv
