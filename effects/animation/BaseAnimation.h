// BaseAnimation: one animation playing on one node of a mesh's animation tree: its parameters, its
// weight fader, its progress and the rotation, position and scale it sampled for each bone it
// drives this frame. The kinds (keyframe clips, procedural aiming) fill the samples. Created,
// sampled and destroyed by the MeshAnimator on the main thread.
#pragma once

#include "core/containers/SafePointer.h"
#include "core/math/Matrix.h"
#include "core/math/Quaternion.h"
#include "effects/animation/AnimationParams.h"
#include "engine/TimedFloatTransition.h"

#include <xmmintrin.h>

#include <cstdint>
#include <vector>

class AnimationClock;
class AnimationSampleContext;
class MeshAnimator;
class MeshSkeleton;
struct MeshTargetingRecord;

// State bits of an animation.
enum AnimationState : uint32_t
{
    ANIMSTATE_IN_SLOT = 0x1,
    ANIMSTATE_STOPPING = 0x2,
    ANIMSTATE_PROCEDURAL = 0x4,
    ANIMSTATE_END_SENT = 0x8,
    ANIMSTATE_POSITION_DRIVE = 0x10,
    ANIMSTATE_ROTATION_DRIVE = 0x20,
    ANIMSTATE_CALLBACK_SENT = 0x40,
};

// The pose of one bone as an animation sampled it.
struct AnimationBoneSample
{
    Quaternion rotation;
    Vector position;
    Vector scale = Vector(1.0f, 1.0f, 1.0f, 0.0f);
};

// One playing animation.
class BaseAnimation : public SafePointerRoot
{
public:
    static constexpr uint8_t kUnbound = 255;
    // Bound tracks end with kUnbound in the 255-entry map, so at most 254 bind.
    static constexpr uint32_t kMaxBoundTracks = 254;

    explicit BaseAnimation(const AnimationParams& params);
    ~BaseAnimation() override = default;
    BaseAnimation(const BaseAnimation&) = delete;
    BaseAnimation& operator=(const BaseAnimation&) = delete;

    // Binds the animation to the skeleton's bones for a tree node; the base binds nothing.
    virtual void BindToSkeleton(const MeshSkeleton& skeleton, int32_t treeNode, int32_t firstBone);
    // Advances the animation one pose and samples its bones; the base only moves its weight.
    virtual void Sample(AnimationSampleContext& context, const MeshSkeleton& skeleton, MeshAnimator& animator);
    // Adds the template's targeting pose to the sampled rotations; the base adds nothing.
    virtual void ApplyTargeting(const AnimationSampleContext& context, const MeshTargetingRecord& mode);
    // The pose the animation ends in on the named bone (identity for the base).
    virtual void GetRootEndPose(const NameString& bone, Quaternion& rotation, Vector& position, Vector& scale) const;
    // Takes new parameters (a reused animation).
    virtual void SetParams(const AnimationParams& params);
    virtual float GetMovementSpeed() const { return 0.0f; }

    // Fades the weight to the target over the seconds (at once for 0 or less) on the animation's clock.
    void StartFade(float target, float seconds);
    // Enters the stopping state: its drive counts go back to the animator and the weight fades to 0.
    void BeginStop(float fadeSeconds, MeshAnimator& animator);
    // Sends AnimationEnded once (later calls do nothing).
    void SendEnded(int32_t ranToEnd);

    const AnimationClock& GetClock() const;
    // A clock of the caller's instead of the one the flags choose (null: back to the flags).
    void SetTimer(const AnimationClock* clock) { m_customClock = clock; }

    AnimationParams& GetParams() { return m_params; }
    const AnimationParams& GetParams() const { return m_params; }
    uint32_t GetState() const { return m_state; }
    void SetStateBits(uint32_t bits) { m_state |= bits; }
    void ClearStateBits(uint32_t bits) { m_state &= ~bits; }
    bool IsStopping() const { return (m_state & ANIMSTATE_STOPPING) != 0; }
    float GetProgress() const { return m_progress; }
    const TimedFloatTransition& GetFader() const { return m_fader; }
    // The fader's current value.
    float GetFaderWeight() const { return m_fader.GetCurrent(); }
    const Matrix& GetRootCorrection() const { return m_rootCorrection; }
    void SetRootCorrection(const Matrix& correction) { m_rootCorrection = correction; }

    // The bound track of a bone (kUnbound when the animation does not drive it) and its sample
    // (samples a kind deferred this pose are written first).
    uint8_t GetBoundTrack(uint32_t bone) const { return bone < 255 ? m_boneToBound[bone] : kUnbound; }
    const AnimationBoneSample& GetSample(uint8_t bound)
    {
        if (m_samplesDeferred)
            WriteDeferredSamples();
        return m_samples[bound];
    }
    // Whether this pose's samples are still unwritten: the pose then asks for them four bones at a
    // time with SampleBones4, straight from the animation's data.
    bool HasDeferredSamples() const { return m_samplesDeferred; }
    // The samples of bones first..first + 3 as structures of arrays (rotation x, y, z, w; position
    // and scale x, y, z; one bone per lane) and a mask of the lanes the animation drives, with the
    // arithmetic that writing them would use. Only while HasDeferredSamples(); the base has none.
    virtual void SampleBones4(uint32_t first, __m128 (&rotation)[4], __m128 (&position)[3], __m128 (&scale)[3],
                              __m128& driven);
    uint32_t GetBoundCount() const { return uint32_t(m_samples.size()); }
    // The bone of bound track k.
    uint8_t GetBoundBone(uint32_t k) const { return m_boundToBone[k]; }
    // Asks the memory system for the animation's own bytes ahead of a pose, which reads them one
    // dependent step after another.
    void PrefetchState() const
    {
        const char* const bytes = reinterpret_cast<const char*>(this);
        for (size_t offset = 0; offset < m_stateBytes; offset += 64)
            _mm_prefetch(bytes + offset, _MM_HINT_T0);
    }

protected:
    // Fills the bone-to-bound map from the bound list and sizes the sample buffer.
    void FinishBinding(uint32_t boundCount);
    void ClearBinding();
    void UpdateFader();
    // Writes the samples the kind left unwritten this pose and clears m_samplesDeferred.
    virtual void WriteDeferredSamples();

    Matrix m_rootCorrection = Matrix::ONE;
    AnimationParams m_params;
    TimedFloatTransition m_fader{0.0f};
    uint32_t m_state = 0;
    float m_progress = 0.0f;
    std::vector<AnimationBoneSample> m_samples;
    // Set by a kind whose samples this pose are a function of the bone alone (see SampleBones4).
    bool m_samplesDeferred = false;
    const AnimationClock* m_customClock = nullptr;
    // The size of the kind's object, for PrefetchState.
    size_t m_stateBytes = sizeof(BaseAnimation);
    uint8_t m_boundToBone[255];
    uint8_t m_boneToBound[255];
};
