#include "sound/SoundNodeAnimationController.h"

#include "sound/SoundManager.h"
#include "sound/SoundNode.h"
#include "sound/SoundNodeAnimation.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(SoundNodeAnimationController, AnimationController)

void SoundNodeAnimationController::Apply(double dt) {
    AnimationController::Apply(dt);
    if (!IsActive()) return;
    SoundNode* owner = DynamicCast<SoundNode>(GetOwner());
    if (!owner) return;

    // The last stage playing an on/off track with keys decides. A stage playing another kind
    // of track (a file may link any) has no on/off byte to read.
    bool on = true;
    for (int i = 0; i < GetStageCount(); ++i) {
        const BlendStage* stage = GetStage(i);
        const auto* track = DynamicCast<SoundNodeAnimation>(stage->animation.Get());
        if (track && track->GetKeyCount() > 0) on = track->IsOn(stage->key0, on);
    }

    const BassHandle stream = owner->GetStream();
    if (!on) {
        if (stream && SoundManager::ChannelIsActive(stream) == kBassActivePlaying) SoundManager::ChannelStop(stream);
        owner->SetPlaying(false);
        if (stream) SoundManager::ChannelStop(stream);
    } else {
        if (stream && SoundManager::ChannelIsActive(stream) != kBassActivePlaying) SoundManager::ChannelPlay(stream, 1);
        owner->SetPlaying(true);
        if (stream) SoundManager::ChannelPlay(stream, 0);
    }
}

} // namespace nuv
