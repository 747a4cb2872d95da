// XSIAnimation: a keyframe animation playing an animation resource. It runs its clock, decides when
// it is finished, fires its callbacks, sound events and child chain, and samples the two keys
// around its progress for every bound bone. Main thread only; the clip data it reads is the
// resource's read-only data, held by a reference for the animation's life.
#pragma once

#include "effects/animation/BaseAnimation.h"
#include "core/time/Time.h"

#include <cstdint>
#include <vector>

struct AnimationKeyBlock;
class MeshEntity;
class MeshTemplate;
class MeshTemplateAnimationPreset;
class ResourceAnimation;

// A sound played when the progress passes a time stamp.
struct AnimationSoundEvent
{
    NameString frame;
    NameString sound;
    float timeStamp = 0.0f; // progress
};

// Whether a sound event at progress `event` plays when the progress moved from `oldProgress` to
// `newProgress` (a move the other way than the play direction is a wrap, counted only when looping).
// A progress that did not move passes nothing, but on the animation's first sample; only that sample
// counts an event at the start (progress 0) it moves from.
bool AnimationSoundEventPassed(float oldProgress, float newProgress, float event, bool backwards, bool looping,
                               bool firstSample);

// A playing keyframe clip.
class XSIAnimation : public BaseAnimation
{
public:
    // From a template's preset: its "Time", "Movement speed", "Cooldown", "RemovedFrames" and sounds.
    XSIAnimation(ResourceAnimation* resource, const AnimationParams& params, const MeshTemplateAnimationPreset& preset,
                 const MeshTemplate* meshTemplate, int32_t index);
    // With a duration and movement speed of the caller's; no template, no end trim, no sounds.
    XSIAnimation(ResourceAnimation* resource, const AnimationParams& params, float duration, float movementSpeed);
    ~XSIAnimation() override;

    void BindToSkeleton(const MeshSkeleton& skeleton, int32_t treeNode, int32_t firstBone) override;
    void Sample(AnimationSampleContext& context, const MeshSkeleton& skeleton, MeshAnimator& animator) override;
    void ApplyTargeting(const AnimationSampleContext& context, const MeshTargetingRecord& mode) override;
    void GetRootEndPose(const NameString& bone, Quaternion& rotation, Vector& position, Vector& scale) const override;
    void SetParams(const AnimationParams& params) override;
    void SampleBones4(uint32_t first, __m128 (&rotation)[4], __m128 (&position)[3], __m128 (&scale)[3],
                      __m128& driven) override;
    float GetMovementSpeed() const override { return m_movementSpeed; }

    float GetTime() const { return m_time; }
    float GetDuration() const { return m_duration; }
    int32_t GetIndex() const { return m_index; }

private:
    void ApplySpeedAsMovement();
    void SetStartTime();
    // Moves the time by the clock and decides finish and callback point; false once not bound.
    void AdvanceTime(MeshAnimator& animator);
    void PlaySoundEvents(float oldProgress, float newProgress, MeshEntity* mesh) const;
    // Starts the next entry of the child chain on the mesh; false when none started.
    bool StartNextChild(MeshAnimator& animator);
    void SampleKeys(const AnimationSampleContext& context);
    void WriteDeferredSamples() override;
    // The rotations (x, y, z, w rows) and scaled positions (x, y, z rows; the time row times 0) of
    // up to four bound tracks (-1: none, a lane of no meaning) at this pose's uniform key pair.
    void SampleUniform4(const int32_t (&tracks)[4], __m128 (&rotation)[4], __m128 (&position)[4]) const;
    // SampleUniform4 of bound tracks 4g..4g + 3 from the clip's key blocks.
    void SampleBlock(uint32_t group, __m128 (&rotation)[4], __m128 (&position)[4]) const;
    // The slerp and scaled position blend of SampleUniform4 from the keys' structures of arrays.
    void BlendUniform4(const __m128 (&a)[4], const __m128 (&b)[4], const __m128 (&pa)[4], const __m128 (&pb)[4],
                       __m128 (&rotation)[4], __m128 (&position)[4]) const;

    ResourceAnimation* m_resource = nullptr;
    MeshTemplate* m_template = nullptr;
    // Where one channel of a bound track keeps its keys, and its key cursor.
    struct BoundChannel
    {
        uint32_t firstKey = 0;
        uint16_t count = 0;
        uint16_t cursor = 0;
    };
    std::vector<BoundChannel> m_channels; // three per bound track: rotation, position, scale
    // Per bound track: its position keys stand at the same times as its rotation keys (the usual
    // export), so one key search serves both.
    std::vector<uint8_t> m_sharedTimes;
    // Every bound track has the same key times in both channels (a clip baked at a fixed rate):
    // one key search per pose serves every track.
    bool m_uniformTimes = false;
    // Uniform times, rotation keys, and one constant scale shared by every track: a pose's samples
    // then depend on the track alone, so they are worked out where the pose blends them
    // (SampleBones4) and written only when something reads them.
    bool m_deferrable = false;
    // The first bound track's rotation channel, whose key search serves every track (kept here:
    // the pose then reads no channel records).
    BoundChannel m_uniformChannel;
    Vector m_commonScale;
    // Per bound track k: its first rotation key at m_firstKeys[k * m_firstKeysStride], its first
    // position key next to it. The clip's own track records when every track bound in order (they
    // are shared by every animation of the clip), else m_uniformKeys.
    const uint32_t* m_firstKeys = nullptr;
    size_t m_firstKeysStride = 0;
    std::vector<uint32_t> m_uniformKeys;
    // The clip's key blocks when every track bound in order (bound track k is the clip's track k).
    const AnimationKeyBlock* m_keyBlocks = nullptr;
    uint32_t m_blockKeyCount = 0;
    // The pose's key pair (b: a when the key holds) and share, the same for every track.
    struct UniformPose
    {
        int32_t a = 0;
        int32_t b = 0;
        bool paired = false;
        float share = 0.0f;
        float positionScale = 1.0f;
    };
    UniformPose m_pose;
    float m_duration = 0.0f;      // seconds
    float m_movementSpeed = 0.0f;
    float m_time = 0.0f;          // seconds
    float m_endTrim = 0.0f;       // seconds
    float m_cooldown = 0.0f;      // fraction of the duration
    int32_t m_index = -1;
    std::vector<AnimationSoundEvent> m_events;
    Time m_lastClockTime;
    bool m_clockStarted = false;
    bool m_sampled = false; // a sample ran: the start's sound events have had their turn
};
