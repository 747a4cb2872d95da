#include "effects/animation/XSIAnimation.h"

#include "audio/sound/SoundEntriesContainer.h"
#include "effects/animation/AnimationClock.h"
#include "effects/animation/AnimationKeys.h"
#include "effects/animation/AnimationSampleContext.h"
#include "effects/animation/MeshAnimator.h"
#include "effects/animation/MeshSkeleton.h"
#include "renderer/resources/ResourceAnimation.h"
#include "scene/kinds/MeshEntity.h"
#include "scene/kinds/MeshTemplate.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr float kFramesPerSecond = 30.0f;

bool Loops(uint32_t flags)
{
    return (flags & (ANIMFLAG_LOOP | ANIMFLAG_REPEAT)) != 0;
}
} // namespace

XSIAnimation::XSIAnimation(ResourceAnimation* resource, const AnimationParams& params,
                           const MeshTemplateAnimationPreset& preset, const MeshTemplate* meshTemplate, int32_t index)
    : BaseAnimation(params), m_resource(resource), m_template(const_cast<MeshTemplate*>(meshTemplate)),
      m_duration(preset.m_time), m_movementSpeed(preset.m_movementSpeed),
      m_endTrim(float(preset.m_removedFrames) / kFramesPerSecond), m_cooldown(preset.m_cooldown), m_index(index)
{
    if (m_resource != nullptr)
        m_resource->AddRef();
    if (m_template != nullptr)
        m_template->AddRef();
    for (const MeshTemplateAnimationFrameData& frame : preset.m_frames)
        m_events.push_back({frame.m_name, frame.m_soundEvent, frame.m_timeStamp});
    ApplySpeedAsMovement();
    SetStartTime();
}

XSIAnimation::XSIAnimation(ResourceAnimation* resource, const AnimationParams& params, float duration,
                           float movementSpeed)
    : BaseAnimation(params), m_resource(resource), m_duration(duration), m_movementSpeed(movementSpeed)
{
    if (m_resource != nullptr)
        m_resource->AddRef();
    ApplySpeedAsMovement();
    SetStartTime();
}

XSIAnimation::~XSIAnimation()
{
    if (m_template != nullptr)
        m_template->Release();
    if (m_resource != nullptr)
        m_resource->Release();
}

void XSIAnimation::ApplySpeedAsMovement()
{
    if ((m_params.Flags & ANIMFLAG_SPEED_IS_MOVEMENT) == 0)
        return;
    if (m_movementSpeed > 0.0f)
        m_params.SpeedMultiplier /= m_movementSpeed;
    m_params.Flags &= ~uint32_t(ANIMFLAG_SPEED_IS_MOVEMENT);
}

void XSIAnimation::SetStartTime()
{
    const float offset = m_params.StartTimeOffset;
    m_time = (m_params.Flags & ANIMFLAG_BACKWARDS) != 0 ? std::max(m_duration - offset, 0.0f)
                                                        : std::min(offset, m_duration);
}

void XSIAnimation::SetParams(const AnimationParams& params)
{
    BaseAnimation::SetParams(params);
    ApplySpeedAsMovement();
}

void XSIAnimation::BindToSkeleton(const MeshSkeleton& skeleton, int32_t, int32_t)
{
    ClearBinding();
    m_boundTracks.clear();
    m_cursors.clear();
    if (m_resource == nullptr || !m_resource->IsLoaded())
        return;
    const std::vector<AnimationTrack>& tracks = m_resource->GetData().GetTracks();
    const uint32_t boneCount = skeleton.GetBoneCount();
    uint32_t bound = 0;
    uint32_t start = 0;
    for (uint32_t track = 0; track < tracks.size() && bound < kMaxBoundTracks; ++track)
    {
        // Tracks mostly follow the bone order, so the search goes on after the last match and
        // wraps around once.
        int32_t match = -1;
        for (uint32_t step = 0; step < boneCount && match < 0; ++step)
        {
            const uint32_t bone = (start + step) % boneCount;
            if (skeleton.GetBone(bone).name == tracks[track].name)
                match = int32_t(bone);
        }
        if (match < 0)
            continue;
        m_boundToBone[bound++] = uint8_t(match);
        m_boundTracks.push_back(track);
        start = uint32_t(match) + 1;
    }
    FinishBinding(bound);
    m_cursors.assign(size_t(bound) * ANIMCHANNEL_COUNT, 0);
}

void XSIAnimation::AdvanceTime(MeshAnimator& animator)
{
    // The frame time is the clock's time since this animation last sampled, so a pose that runs
    // more or less often than once a clock step still follows the clock.
    const Time now = GetClock().GetTime();
    const float elapsed = m_clockStarted ? float((now - m_lastClockTime).ToSeconds()) : 0.0f;
    m_lastClockTime = now;
    m_clockStarted = true;
    const float dt = elapsed * m_params.SpeedMultiplier;
    const bool backwards = (m_params.Flags & ANIMFLAG_BACKWARDS) != 0;
    m_time += backwards ? -dt : dt;
    if (m_params.OverrideProgress >= 0.0f && !IsStopping())
        m_time = m_duration * m_params.OverrideProgress;
    // A clip of no length, or one trimmed down to nothing, stands at its start instead of dividing
    // by zero.
    const float end = m_duration - m_endTrim;
    if (!(m_duration > 0.0f) || !(end > 0.0f))
        m_time = 0.0f;
    if (Loops(m_params.Flags))
    {
        if (m_duration > 0.0f && end > 0.0f)
            m_time = std::fmod(std::fmod(m_time, m_duration) + end, end);
        return;
    }
    const float clampedEnd = std::max(end, 0.0f);
    m_time = std::clamp(m_time, 0.0f, clampedEnd);
    // Times are sums of frame steps, so a point reached exactly in seconds may miss by a rounding.
    constexpr float kTolerance = 1e-5f;
    const float finishTime = m_params.AutoFinishTime;
    bool finished;
    bool callbackPoint;
    if (!backwards)
    {
        finished = clampedEnd - m_time <= finishTime + kTolerance;
        callbackPoint = m_time >= m_cooldown * clampedEnd - finishTime - kTolerance;
    }
    else
    {
        finished = m_time <= finishTime + kTolerance;
        callbackPoint = m_time <= (1.0f - m_cooldown) * clampedEnd - finishTime + kTolerance;
    }
    if (callbackPoint && (m_state & ANIMSTATE_CALLBACK_SENT) == 0)
    {
        m_state |= ANIMSTATE_CALLBACK_SENT;
        if (AnimationCallbackObject* const callback = m_params.CallbackObject.Get())
            callback->CallbackPointReached(m_params.Id);
    }
    if (!finished)
        return;
    SendEnded(1);
    if ((m_params.Flags & ANIMFLAG_AUTOFINISH) == 0 || IsStopping())
        return;
    if ((m_params.Flags & ANIMFLAG_CHILDREN) != 0 && StartNextChild(animator))
        return;
    BeginStop(m_params.AutoFinishTime, animator);
}

bool XSIAnimation::StartNextChild(MeshAnimator& animator)
{
    m_params.ChildCursor += 1;
    if (m_params.ChildCursor >= m_params.ChildParams.size())
        return false;
    MeshEntity* const mesh = animator.GetOwner();
    if (mesh == nullptr)
        return false;
    const AnimationChildParams& entry = m_params.ChildParams[m_params.ChildCursor];
    AnimationParams next = entry.params;
    next.Flags |= ANIMFLAG_AUTOFINISH;
    next.AnimationIndex = m_params.AnimationIndex;
    next.CallbackObject = m_params.CallbackObject.Get();
    next.ChildParams = m_params.ChildParams;
    next.ChildCursor = m_params.ChildCursor;
    const NameString animation = entry.animation;
    static const NameString root("root");
    return mesh->StartAnimation(root, animation, &next);
}

bool AnimationSoundEventPassed(float oldProgress, float newProgress, float e, bool backwards, bool looping)
{
    if (!backwards)
    {
        if (newProgress >= oldProgress)
            return (oldProgress <= 0.0f ? oldProgress <= e : oldProgress < e) && e <= newProgress;
        return looping && (e > oldProgress || e <= newProgress);
    }
    if (newProgress <= oldProgress)
        return (newProgress <= 0.0f ? newProgress <= e : newProgress < e) && e <= oldProgress;
    return looping && (e < oldProgress || e >= newProgress);
}

void XSIAnimation::PlaySoundEvents(float oldProgress, float newProgress, MeshEntity* mesh) const
{
    const bool backwards = (m_params.Flags & ANIMFLAG_BACKWARDS) != 0;
    const bool looping = (m_params.Flags & ANIMFLAG_LOOP) != 0;
    Entity* const at = (m_params.Flags & ANIMFLAG_SOUNDS2D) != 0 ? nullptr : mesh;
    for (const AnimationSoundEvent& event : m_events)
        if (!event.sound.IsEmpty() &&
            AnimationSoundEventPassed(oldProgress, newProgress, event.timeStamp, backwards, looping))
            gSoundEntriesContainer.PlaySoundEntry(event.sound.CStr(), at, 0);
}

void XSIAnimation::Sample(AnimationSampleContext& context, const MeshSkeleton&, MeshAnimator& animator)
{
    UpdateFader();
    AdvanceTime(animator);
    const float oldProgress = m_progress;
    m_progress = m_duration > 0.0f ? m_time / m_duration : 0.0f;
    if (AnimationSoundSyncObject* const sync = m_params.SyncObject.Get())
        sync->Update(m_progress, GetFaderWeight() * m_params.Weight, m_params.SpeedMultiplier >= 0.0f);
    if ((m_params.Flags & ANIMFLAG_SOUNDS) != 0 && !IsStopping())
        PlaySoundEvents(oldProgress, m_progress, animator.GetOwner());
    if (!m_samples.empty())
        SampleKeys(context);
}

void XSIAnimation::SampleKeys(const AnimationSampleContext& context)
{
    const AnimationData& data = m_resource->GetData();
    const bool loop = (m_params.Flags & ANIMFLAG_LOOP) != 0;
    int32_t quantised[ANIMCHANNEL_COUNT];
    for (uint32_t channel = 0; channel < ANIMCHANNEL_COUNT; ++channel)
        quantised[channel] = AnimationKeys::QuantiseProgress(m_progress, data.GetRange(AnimationChannel(channel)));
    const float s = context.positionScale;
    for (uint32_t k = 0; k < m_samples.size(); ++k)
    {
        const AnimationTrack& track = data.GetTracks()[m_boundTracks[k]];
        AnimationBoneSample& sample = m_samples[k];
        AnimationKeys::KeyPair pairs[ANIMCHANNEL_COUNT];
        for (uint32_t channel = 0; channel < ANIMCHANNEL_COUNT; ++channel)
            pairs[channel] = AnimationKeys::FindKeys(data.GetKeys().data() + track.firstKeys[channel],
                                                     track.keyCounts[channel], m_cursors[k * ANIMCHANNEL_COUNT + channel],
                                                     m_progress, quantised[channel],
                                                     data.GetRange(AnimationChannel(channel)), loop);
        if (pairs[ANIMCHANNEL_ROTATION].a != nullptr)
            sample.rotation = AnimationKeys::InterpolateRotation(pairs[ANIMCHANNEL_ROTATION], data.GetRange(ANIMCHANNEL_ROTATION));
        if (pairs[ANIMCHANNEL_POSITION].a != nullptr)
        {
            const Vector p = AnimationKeys::InterpolateVector(pairs[ANIMCHANNEL_POSITION], data.GetRange(ANIMCHANNEL_POSITION));
            sample.position = Vector(p.x * s, p.y * s, p.z * s, 0.0f);
        }
        if (pairs[ANIMCHANNEL_SCALE].a != nullptr)
            sample.scale = AnimationKeys::InterpolateVector(pairs[ANIMCHANNEL_SCALE], data.GetRange(ANIMCHANNEL_SCALE));
    }
}

void XSIAnimation::ApplyTargeting(const AnimationSampleContext& context, const MeshTargetingRecord& mode)
{
    if (context.targetingModes[0] < 0 || context.targetingModes[1] < 0 || context.skeleton == nullptr)
        return;
    const MeshSkeleton& skeleton = *context.skeleton;
    // The horizontal direction first, then the vertical one.
    for (int which = 0; which < 2; ++which)
    {
        const int32_t direction = context.targetingModes[which];
        const float weight = context.targetingWeights[which];
        const uint32_t first = mode.ranges[direction][0];
        const uint32_t end = std::min<uint32_t>(mode.ranges[direction][1], uint32_t(mode.entries.size()));
        uint32_t bone = 0;
        for (uint32_t i = first; i < end; ++i)
        {
            const MeshTargetingRecord::Entry& entry = mode.entries[i];
            int32_t match = -1;
            for (uint32_t b = bone; b < skeleton.GetBoneCount() && match < 0; ++b)
                if (skeleton.GetBone(b).name == entry.bone)
                    match = int32_t(b);
            if (match < 0)
                break;
            bone = uint32_t(match) + 1;
            const uint8_t bound = GetBoundTrack(uint32_t(match));
            if (bound == kUnbound)
                continue;
            Quaternion partial;
            partial.Slerp(Quaternion(), entry.rotation, weight);
            m_samples[bound].rotation.Mul(partial);
        }
    }
}

void XSIAnimation::GetRootEndPose(const NameString& bone, Quaternion& rotation, Vector& position, Vector& scale) const
{
    BaseAnimation::GetRootEndPose(bone, rotation, position, scale);
    if (m_resource == nullptr || !m_resource->IsLoaded())
        return;
    const AnimationData& data = m_resource->GetData();
    const int32_t track = data.FindTrack(bone);
    if (track < 0)
        return;
    const AnimationTrack& t = data.GetTracks()[size_t(track)];
    const AnimationKey* keys = data.GetKeys().data();
    if (t.keyCounts[ANIMCHANNEL_ROTATION] != 0)
        rotation = AnimationKeys::DecodeRotation(
            keys[t.firstKeys[ANIMCHANNEL_ROTATION] + t.keyCounts[ANIMCHANNEL_ROTATION] - 1u],
            data.GetRange(ANIMCHANNEL_ROTATION));
    if (t.keyCounts[ANIMCHANNEL_POSITION] != 0)
        position = AnimationKeys::DecodeKey(keys[t.firstKeys[ANIMCHANNEL_POSITION] + t.keyCounts[ANIMCHANNEL_POSITION] - 1u],
                                            data.GetRange(ANIMCHANNEL_POSITION));
    if (t.keyCounts[ANIMCHANNEL_SCALE] != 0)
        scale = AnimationKeys::DecodeKey(keys[t.firstKeys[ANIMCHANNEL_SCALE] + t.keyCounts[ANIMCHANNEL_SCALE] - 1u],
                                         data.GetRange(ANIMCHANNEL_SCALE));
    position.w = 0.0f;
    scale.w = 0.0f;
}
