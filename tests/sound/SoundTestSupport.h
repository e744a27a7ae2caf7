#pragma once

// Builders shared by the sound tests.
#include "animation/BoolAnimation.h"
#include "core/Pointer.h"
#include "scene/Node.h"
#include "sound/SoundNodeAnimation.h"
#include "sound/SoundNodeAnimationController.h"

#include <initializer_list>
#include <utility>

namespace nuv::test {

// A controller on node that plays one track of on/off keys (time within the period, on) once
// every period seconds.
inline Pointer<SoundNodeAnimationController> Switch(Node& node, std::initializer_list<std::pair<double, bool>> keys,
                                                    double period = 1.0) {
    Pointer<SoundNodeAnimation> track(new SoundNodeAnimation());
    for (const auto& [time, on] : keys) {
        auto* key = new BoolAnimationKey();
        key->time = time;
        key->value = on;
        track->AppendKey(key);
    }
    Pointer<SoundNodeAnimationController> controller(new SoundNodeAnimationController());
    controller->AddAnimation(track.Get());
    controller->AddFrame(track.Get(), 0.0, 1.0);
    controller->SetPeriod(period);
    node.AddController(controller.Get());
    return controller;
}

} // namespace nuv::test
