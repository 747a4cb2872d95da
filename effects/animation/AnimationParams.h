// AnimationParams: how one animation plays (script class "AnimationParams"); every animation keeps
// its own copy. AnimationCallbackObject and AnimationSoundSyncObject: what an animation tells about
// its progress. Main thread only.
#pragma once

#include "core/containers/SafePointer.h"
#include "core/strings/NameString.h"

#include <cstdint>
#include <vector>

// Flag bits of AnimationParams::Flags (scripts see the ANIMFLAG_ names).
enum AnimationFlag : uint32_t
{
    ANIMFLAG_LOOP = 0x1,
    ANIMFLAG_AUTOFINISH = 0x2,
    ANIMFLAG_REUSE_SAME_INDEX = 0x4,
    ANIMFLAG_IGNORESAME = 0x8,
    ANIMFLAG_GAMETIME = 0x00,
    ANIMFLAG_GAMEPLAYTIME = 0x10,
    ANIMFLAG_SYSTEMTIME = 0x20,
    ANIMFLAG_SMOOTHGAMEPLAYTIME = 0x40,
    ANIMFLAG_SMOOTHGAMETIME = 0x80,
    ANIMFLAG_TIME_MASK = 0xF0,
    ANIMFLAG_PROCCALLBACKS = 0x100,
    ANIMFLAG_REPEAT = 0x200,
    ANIMFLAG_QUIET = 0x400,
    ANIMFLAG_POSITIONDRIVE = 0x800,
    ANIMFLAG_ROTATIONDRIVE = 0x1000,
    ANIMFLAG_BACKWARDS = 0x2000,
    ANIMFLAG_SOUNDS = 0x4000,
    ANIMFLAG_SOUNDS2D = 0x8000,
    ANIMFLAG_SPEED_IS_MOVEMENT = 0x10000,
    ANIMFLAG_START_FROM_GROUP = 0x20000,
    ANIMFLAG_CHILDREN = 0x40000,
    ANIMFLAG_REUSE_SAME_GROUP = 0x80000,
};

// Told when an animation reaches its callback point and when it ends.
class AnimationCallbackObject : public SafePointerRoot
{
public:
    ~AnimationCallbackObject() override = default;
    // ranToEnd is 1 when the animation finished by itself, 0 when it was stopped or replaced.
    virtual void AnimationEnded(int32_t id, int32_t ranToEnd);
    virtual void CallbackPointReached(int32_t id);
};

// Follows an animation's progress to play sounds at progress points.
class AnimationSoundSyncObject : public SafePointerRoot
{
public:
    ~AnimationSoundSyncObject() override = default;
    virtual void Update(float progress, float weight, bool forward) = 0;
};

struct AnimationChildParams;

// The parameters an animation starts with.
struct AnimationParams
{
    AnimationParams() = default;
    AnimationParams(const AnimationParams& other);
    AnimationParams& operator=(const AnimationParams& other);
    ~AnimationParams();

    // Back to the defaults; ChildParams stays.
    void LoadDefaults();
    // Appends an animation to play after this one (with ANIMFLAG_CHILDREN).
    void AddChild(const NameString& animation, const AnimationParams& params);
    // The script fields CallbackObject and SyncObject.
    AnimationCallbackObject* GetCallbackObject() const { return CallbackObject.Get(); }
    void SetCallbackObject(AnimationCallbackObject* object) { CallbackObject = object; }
    AnimationSoundSyncObject* GetSyncObject() const { return SyncObject.Get(); }
    void SetSyncObject(AnimationSoundSyncObject* object) { SyncObject = object; }

    uint32_t Flags = ANIMFLAG_SOUNDS;
    int32_t Id = -1;
    int32_t AnimationIndex = -1;
    uint32_t GroupMask = 0;
    float AttackTime = 0.2f;       // seconds
    float AutoFinishTime = 0.2f;   // seconds
    float OverrideProgress = -1.0f;
    float SpeedMultiplier = 1.0f;
    float StartTimeOffset = 0.0f;  // seconds (group bits with ANIMFLAG_START_FROM_GROUP)
    int32_t TargetingModeIndex = -1;
    SafePointer<AnimationSoundSyncObject> SyncObject;
    SafePointer<AnimationCallbackObject> CallbackObject;
    float Weight = 1.0f;
    std::vector<AnimationChildParams> ChildParams;
    uint32_t ChildCursor = 0;
};

// One entry of a child chain: the animation's name and how it plays.
struct AnimationChildParams
{
    NameString animation;
    AnimationParams params;
};
