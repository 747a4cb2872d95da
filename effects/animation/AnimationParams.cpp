#include "effects/animation/AnimationParams.h"

void AnimationCallbackObject::AnimationEnded(int32_t, int32_t) {}

void AnimationCallbackObject::CallbackPointReached(int32_t) {}

AnimationParams::AnimationParams(const AnimationParams& other) = default;

AnimationParams& AnimationParams::operator=(const AnimationParams& other) = default;

AnimationParams::~AnimationParams() = default;

void AnimationParams::LoadDefaults()
{
    Flags = ANIMFLAG_SOUNDS;
    Id = -1;
    AnimationIndex = -1;
    GroupMask = 0;
    AttackTime = 0.2f;
    AutoFinishTime = 0.2f;
    OverrideProgress = -1.0f;
    SpeedMultiplier = 1.0f;
    StartTimeOffset = 0.0f;
    TargetingModeIndex = -1;
    SyncObject = nullptr;
    CallbackObject = nullptr;
    Weight = 1.0f;
    ChildCursor = 0;
}

void AnimationParams::AddChild(const NameString& animation, const AnimationParams& params)
{
    ChildParams.push_back({animation, params});
}
