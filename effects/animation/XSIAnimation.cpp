#include "effects/animation/XSIAnimation.h"

#include "audio/sound/SoundEntriesContainer.h"
#include "audio/sound/SoundParamWrapper.h"
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
#include <cstring>

namespace
{
constexpr float kFramesPerSecond = 30.0f;

bool Loops(uint32_t flags)
{
    return (flags & (ANIMFLAG_LOOP | ANIMFLAG_REPEAT)) != 0;
}

const Vector kNoKey(0.0f, 0.0f, 0.0f, 0.0f);
} // namespace

XSIAnimation::XSIAnimation(ResourceAnimation* resource, const AnimationParams& params,
                           const MeshTemplateAnimationPreset& preset, const MeshTemplate* meshTemplate, int32_t index)
    : BaseAnimation(params), m_resource(resource), m_template(const_cast<MeshTemplate*>(meshTemplate)),
      m_duration(preset.m_time), m_movementSpeed(preset.m_movementSpeed),
      m_endTrim(float(preset.m_removedFrames) / kFramesPerSecond), m_cooldown(preset.m_cooldown), m_index(index)
{
    m_stateBytes = sizeof(XSIAnimation);
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
    m_stateBytes = sizeof(XSIAnimation);
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
    m_channels.clear();
    m_sharedTimes.clear();
    m_uniformTimes = false;
    m_deferrable = false;
    m_firstKeys = nullptr;
    m_firstKeysStride = 0;
    m_uniformKeys.clear();
    m_keyBlocks = nullptr;
    m_blockKeyCount = 0;
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
        for (uint32_t channel = 0; channel < ANIMCHANNEL_COUNT; ++channel)
            m_channels.push_back({tracks[track].firstKeys[channel], tracks[track].keyCounts[channel], 0});
        start = uint32_t(match) + 1;
    }
    FinishBinding(bound);
    // Equal key times decode to equal times only under equal time ranges (compared bit for bit).
    const AnimationData& data = m_resource->GetData();
    const AnimationRange& rotationRange = data.GetRange(ANIMCHANNEL_ROTATION);
    const AnimationRange& positionRange = data.GetRange(ANIMCHANNEL_POSITION);
    const bool sameRange = std::memcmp(&rotationRange.minimum.w, &positionRange.minimum.w, sizeof(float)) == 0 &&
                           std::memcmp(&rotationRange.maximum.w, &positionRange.maximum.w, sizeof(float)) == 0;
    const auto sameTimes = [&data](const BoundChannel& a, const BoundChannel& b) {
        if (a.count != b.count)
            return false;
        for (uint32_t key = 0; key < a.count; ++key)
            if (data.GetKeys()[a.firstKey + key].t != data.GetKeys()[b.firstKey + key].t)
                return false;
        return true;
    };
    m_sharedTimes.assign(bound, 0);
    m_uniformTimes = sameRange && bound > 0;
    for (uint32_t k = 0; k < bound && sameRange; ++k)
    {
        const BoundChannel* const channels = &m_channels[k * ANIMCHANNEL_COUNT];
        m_sharedTimes[k] = sameTimes(channels[ANIMCHANNEL_ROTATION], channels[ANIMCHANNEL_POSITION]) ? 1 : 0;
        m_uniformTimes = m_uniformTimes && m_sharedTimes[k] != 0 &&
                         sameTimes(channels[ANIMCHANNEL_ROTATION], m_channels[ANIMCHANNEL_ROTATION]);
    }
    // A scale channel of one key (the usual case) is the same every frame: it is written here once
    // and sampling skips it.
    for (uint32_t k = 0; k < bound; ++k)
    {
        const BoundChannel& scale = m_channels[k * ANIMCHANNEL_COUNT + ANIMCHANNEL_SCALE];
        if (scale.count == 1)
            m_samples[k].scale = AnimationKeys::DecodeKey(data.GetKeys()[scale.firstKey], data.GetRange(ANIMCHANNEL_SCALE));
    }
    // Deferred samples need every track keyed alike (uniform times imply the same key counts) and
    // scales that never change and are equal in x, y and z, bit for bit.
    m_deferrable = m_uniformTimes && m_channels[ANIMCHANNEL_ROTATION].count > 0;
    m_commonScale = bound > 0 ? m_samples[0].scale : Vector();
    for (uint32_t k = 0; k < bound && m_deferrable; ++k)
        m_deferrable = m_channels[k * ANIMCHANNEL_COUNT + ANIMCHANNEL_SCALE].count <= 1 &&
                       std::memcmp(&m_samples[k].scale, &m_commonScale, 3 * sizeof(float)) == 0;
    if (m_deferrable)
        m_uniformChannel = m_channels[ANIMCHANNEL_ROTATION];
    for (uint32_t k = 0; k < bound && m_deferrable; ++k)
    {
        m_uniformKeys.push_back(m_channels[k * ANIMCHANNEL_COUNT + ANIMCHANNEL_ROTATION].firstKey);
        m_uniformKeys.push_back(m_channels[k * ANIMCHANNEL_COUNT + ANIMCHANNEL_POSITION].firstKey);
    }
    static_assert(ANIMCHANNEL_POSITION == ANIMCHANNEL_ROTATION + 1, "position keys follow rotation keys");
    static_assert(sizeof(AnimationTrack) % sizeof(uint32_t) == 0, "track records are whole words");
    if (m_deferrable && bound == tracks.size())
    {
        m_uniformKeys.clear();
        m_firstKeys = &tracks[0].firstKeys[ANIMCHANNEL_ROTATION];
        m_firstKeysStride = sizeof(AnimationTrack) / sizeof(uint32_t);
        if (!data.GetKeyBlocks().empty())
        {
            m_keyBlocks = data.GetKeyBlocks().data();
            m_blockKeyCount = data.GetBlockKeyCount();
        }
    }
    else if (m_deferrable)
    {
        m_firstKeys = m_uniformKeys.data();
        m_firstKeysStride = 2;
    }
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

bool AnimationSoundEventPassed(float oldProgress, float newProgress, float e, bool backwards, bool looping,
                               bool firstSample)
{
    // A paused clip, one at speed 0 or one of no length reports the same progress every pose: its
    // start was passed on the first sample and is not passed again.
    if (newProgress == oldProgress && !firstSample)
        return false;
    if (!backwards)
    {
        // Only the first sample takes the start itself: a later one from 0 (the second pose, a hold
        // at 0 let go) would play the start's events again.
        if (newProgress >= oldProgress)
            return (firstSample && oldProgress <= 0.0f ? oldProgress <= e : oldProgress < e) && e <= newProgress;
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
    // 2D events still play through the mesh's emitter (an entry that is not "_2D" needs one), only
    // without attenuation.
    const uint32_t extraFlags = (m_params.Flags & ANIMFLAG_SOUNDS2D) != 0 ? SOUNDSTARTFLAG_NOATTENUATION : 0u;
    for (const AnimationSoundEvent& event : m_events)
        if (!event.sound.IsEmpty() &&
            AnimationSoundEventPassed(oldProgress, newProgress, event.timeStamp, backwards, looping, !m_sampled))
            gSoundEntriesContainer.PlaySoundEntry(event.sound.CStr(), mesh, 0, 0.0f, 1.0f, nullptr, extraFlags);
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
    m_sampled = true;
    if (!m_samples.empty())
        SampleKeys(context);
}

void XSIAnimation::SampleKeys(const AnimationSampleContext& context)
{
    const AnimationData& data = m_resource->GetData();
    const AnimationKey* const keys = data.GetKeys().data();
    const Vector* const decoded = data.GetDecodedKeys().data();
    const bool loop = (m_params.Flags & ANIMFLAG_LOOP) != 0;
    const float progress = m_progress;
    const AnimationRange* const ranges[ANIMCHANNEL_COUNT] = {&data.GetRange(ANIMCHANNEL_ROTATION),
                                                             &data.GetRange(ANIMCHANNEL_POSITION),
                                                             &data.GetRange(ANIMCHANNEL_SCALE)};
    __m128 minimum[ANIMCHANNEL_COUNT];
    __m128 maximum[ANIMCHANNEL_COUNT];
    int32_t quantised[ANIMCHANNEL_COUNT];
    for (uint32_t channel = 0; channel < ANIMCHANNEL_COUNT; ++channel)
    {
        minimum[channel] = ranges[channel]->minimum.Simd();
        maximum[channel] = ranges[channel]->maximum.Simd();
        quantised[channel] = AnimationKeys::QuantiseProgress(progress, *ranges[channel]);
    }
    const __m128 progress4 = _mm_set1_ps(progress);
    if (m_deferrable)
    {
        // One search and one share for every track (the key times of all tracks and both channels
        // decode alike); the samples wait for SampleBones4 or WriteDeferredSamples.
        BoundChannel& first = m_uniformChannel;
        const AnimationKeys::KeyIndices found =
            AnimationKeys::FindKeyIndices(keys + first.firstKey, first.count, first.cursor, quantised[0], loop);
        m_pose.a = found.a;
        m_pose.b = found.b >= 0 ? found.b : found.a;
        m_pose.paired = found.b >= 0;
        const Vector* const times = decoded + first.firstKey;
        m_pose.share = _mm_cvtss_f32(AnimationKeys::KeyShare4(progress4, _mm_set1_ps(times[m_pose.a].w),
                                                              _mm_set1_ps(times[m_pose.b].w),
                                                              _mm_set1_epi32(AnimationKeys::LaneBits(found))));
        m_pose.positionScale = context.positionScale;
        m_samplesDeferred = true;
        return;
    }
    const __m128 positionScale = _mm_setr_ps(context.positionScale, context.positionScale, context.positionScale, 0.0f);
    const size_t count = m_samples.size();
    // Four tracks at a time, one per SSE lane: the key search is per track, then the keys of the
    // four are turned into structures of arrays so that shares, slerps and position blends run
    // side by side. Scales with more than one key (rare) go one track at a time. A channel without
    // keys leaves its sample as it was.
    // Identical key arrays searched from identical cursors give identical pairs, so with uniform
    // times the first track's search (and cursor) stands for all of them.
    AnimationKeys::KeyIndices uniform;
    if (m_uniformTimes)
        uniform = AnimationKeys::FindKeyIndices(keys + m_channels[0].firstKey, m_channels[0].count, m_channels[0].cursor,
                                                quantised[0], loop);
    for (size_t first = 0; first < count; first += 4)
    {
        const size_t lanes = std::min<size_t>(4, count - first);
        const Vector* rotationKeys[2][4] = {{&kNoKey, &kNoKey, &kNoKey, &kNoKey}, {&kNoKey, &kNoKey, &kNoKey, &kNoKey}};
        const Vector* positionKeys[2][4] = {{&kNoKey, &kNoKey, &kNoKey, &kNoKey}, {&kNoKey, &kNoKey, &kNoKey, &kNoKey}};
        alignas(16) int32_t rotationBits[4] = {};
        alignas(16) int32_t positionBits[4] = {};
        bool rotated[4] = {};
        bool positioned[4] = {};
        for (size_t lane = 0; lane < lanes; ++lane)
        {
            BoundChannel* const channel = &m_channels[(first + lane) * ANIMCHANNEL_COUNT];
            const AnimationKeys::KeyIndices rotation =
                m_uniformTimes ? uniform
                               : AnimationKeys::FindKeyIndices(keys + channel[0].firstKey, channel[0].count,
                                                               channel[0].cursor, quantised[0], loop);
            if (rotation.a >= 0)
            {
                rotated[lane] = true;
                rotationBits[lane] = AnimationKeys::LaneBits(rotation);
                const Vector* const values = decoded + channel[0].firstKey;
                rotationKeys[0][lane] = values + rotation.a;
                // A held key slerps to itself.
                rotationKeys[1][lane] = values + (rotation.b >= 0 ? rotation.b : rotation.a);
            }
            const AnimationKeys::KeyIndices position =
                m_sharedTimes[first + lane] != 0
                    ? rotation
                    : AnimationKeys::FindKeyIndices(keys + channel[1].firstKey, channel[1].count, channel[1].cursor,
                                                    quantised[1], loop);
            if (position.a >= 0)
            {
                positioned[lane] = true;
                positionBits[lane] = AnimationKeys::LaneBits(position);
                const Vector* const values = decoded + channel[1].firstKey;
                positionKeys[0][lane] = values + position.a;
                positionKeys[1][lane] = values + (position.b >= 0 ? position.b : position.a);
            }
            __m128 value;
            if (channel[2].count > 1 &&
                AnimationKeys::SampleVector(keys + channel[2].firstKey, channel[2].count, channel[2].cursor, progress,
                                            quantised[2], minimum[2], maximum[2], loop, value))
                m_samples[first + lane].scale.SetSimd(value);
        }
        __m128 a[4], b[4], pa[4], pb[4];
        for (size_t lane = 0; lane < 4; ++lane)
        {
            a[lane] = rotationKeys[0][lane]->Simd();
            b[lane] = rotationKeys[1][lane]->Simd();
            pa[lane] = positionKeys[0][lane]->Simd();
            pb[lane] = positionKeys[1][lane]->Simd();
        }
        // Rotations: the key times are the fourth row once transposed, before w is rebuilt there.
        _MM_TRANSPOSE4_PS(a[0], a[1], a[2], a[3]);
        _MM_TRANSPOSE4_PS(b[0], b[1], b[2], b[3]);
        const __m128 shares = AnimationKeys::KeyShare4(progress4, a[3], b[3],
                                                       _mm_load_si128(reinterpret_cast<const __m128i*>(rotationBits)));
        a[3] = AnimationKeys::RebuildW4(a[0], a[1], a[2]);
        b[3] = AnimationKeys::RebuildW4(b[0], b[1], b[2]);
        __m128 result[4];
        AnimationSlerp::Slerp4(a, b, shares, result);
        _MM_TRANSPOSE4_PS(result[0], result[1], result[2], result[3]);
        // Positions: (1 - t) a + t b per component (the time row too), a held key taken as it is.
        _MM_TRANSPOSE4_PS(pa[0], pa[1], pa[2], pa[3]);
        _MM_TRANSPOSE4_PS(pb[0], pb[1], pb[2], pb[3]);
        const __m128i bits = _mm_load_si128(reinterpret_cast<const __m128i*>(positionBits));
        const __m128 t = AnimationKeys::KeyShare4(progress4, pa[3], pb[3], bits);
        const __m128 rest = _mm_sub_ps(_mm_set1_ps(1.0f), t);
        const __m128 paired = AnimationKeys::LaneMask(bits, AnimationKeys::KEYLANE_PAIRED);
        __m128 blended[4];
        for (int row = 0; row < 4; ++row)
            blended[row] = _mm_or_ps(_mm_and_ps(paired, _mm_add_ps(_mm_mul_ps(rest, pa[row]), _mm_mul_ps(t, pb[row]))),
                                     _mm_andnot_ps(paired, pa[row]));
        _MM_TRANSPOSE4_PS(blended[0], blended[1], blended[2], blended[3]);
        for (size_t lane = 0; lane < lanes; ++lane)
        {
            AnimationBoneSample& sample = m_samples[first + lane];
            if (rotated[lane])
                sample.rotation.SetSimd(result[lane]);
            if (positioned[lane])
                sample.position.SetSimd(_mm_mul_ps(blended[lane], positionScale));
        }
    }
}

void XSIAnimation::SampleUniform4(const int32_t (&tracks)[4], __m128 (&rotation)[4], __m128 (&position)[4]) const
{
    const Vector* const decoded = m_resource->GetData().GetDecodedKeys().data();
    __m128 a[4], b[4], pa[4], pb[4];
    for (int lane = 0; lane < 4; ++lane)
    {
        const bool bound = tracks[lane] >= 0;
        const uint32_t* const first = m_firstKeys + (bound ? size_t(tracks[lane]) * m_firstKeysStride : 0);
        const Vector* const rotations = bound ? decoded + first[0] : &kNoKey;
        const Vector* const positions = bound ? decoded + first[1] : &kNoKey;
        const int32_t ka = bound ? m_pose.a : 0;
        const int32_t kb = bound ? m_pose.b : 0;
        a[lane] = rotations[ka].Simd();
        b[lane] = rotations[kb].Simd();
        pa[lane] = positions[ka].Simd();
        pb[lane] = positions[kb].Simd();
    }
    // As SampleKeys's lanes: w rebuilt over the time row, slerped, positions blended and scaled.
    _MM_TRANSPOSE4_PS(a[0], a[1], a[2], a[3]);
    _MM_TRANSPOSE4_PS(b[0], b[1], b[2], b[3]);
    a[3] = AnimationKeys::RebuildW4(a[0], a[1], a[2]);
    b[3] = AnimationKeys::RebuildW4(b[0], b[1], b[2]);
    _MM_TRANSPOSE4_PS(pa[0], pa[1], pa[2], pa[3]);
    _MM_TRANSPOSE4_PS(pb[0], pb[1], pb[2], pb[3]);
    BlendUniform4(a, b, pa, pb, rotation, position);
}

void XSIAnimation::SampleBlock(uint32_t group, __m128 (&rotation)[4], __m128 (&position)[4]) const
{
    const AnimationKeyBlock& a = m_keyBlocks[size_t(group) * m_blockKeyCount + size_t(m_pose.a)];
    const AnimationKeyBlock& b = m_keyBlocks[size_t(group) * m_blockKeyCount + size_t(m_pose.b)];
    BlendUniform4(a.rotation, b.rotation, a.position, b.position, rotation, position);
}

void XSIAnimation::BlendUniform4(const __m128 (&a)[4], const __m128 (&b)[4], const __m128 (&pa)[4],
                                 const __m128 (&pb)[4], __m128 (&rotation)[4], __m128 (&position)[4]) const
{
    const __m128 t = _mm_set1_ps(m_pose.share);
    AnimationSlerp::Slerp4(a, b, t, rotation);
    const __m128 scale = _mm_set1_ps(m_pose.positionScale);
    const __m128 rest = _mm_sub_ps(_mm_set1_ps(1.0f), t);
    for (int row = 0; row < 4; ++row)
    {
        const __m128 blended =
            m_pose.paired ? _mm_add_ps(_mm_mul_ps(rest, pa[row]), _mm_mul_ps(t, pb[row])) : pa[row];
        position[row] = _mm_mul_ps(blended, row < 3 ? scale : _mm_setzero_ps());
    }
}

void XSIAnimation::WriteDeferredSamples()
{
    m_samplesDeferred = false;
    const size_t count = m_samples.size();
    for (size_t first = 0; first < count; first += 4)
    {
        const size_t lanes = std::min<size_t>(4, count - first);
        int32_t tracks[4];
        for (size_t lane = 0; lane < 4; ++lane)
            tracks[lane] = lane < lanes ? int32_t(first + lane) : -1;
        __m128 rotation[4], position[4];
        if (m_keyBlocks != nullptr)
            SampleBlock(uint32_t(first / 4), rotation, position);
        else
            SampleUniform4(tracks, rotation, position);
        _MM_TRANSPOSE4_PS(rotation[0], rotation[1], rotation[2], rotation[3]);
        _MM_TRANSPOSE4_PS(position[0], position[1], position[2], position[3]);
        for (size_t lane = 0; lane < lanes; ++lane)
        {
            m_samples[first + lane].rotation.SetSimd(rotation[lane]);
            m_samples[first + lane].position.SetSimd(position[lane]);
        }
    }
}

void XSIAnimation::SampleBones4(uint32_t first, __m128 (&rotation)[4], __m128 (&position)[3], __m128 (&scale)[3],
                                __m128& driven)
{
    for (int c = 0; c < 3; ++c)
        scale[c] = _mm_set1_ps((&m_commonScale.x)[c]);
    __m128 positions[4];
    // Four bones bound to one block of tracks in order (the usual case) read the block.
    uint32_t map = 0;
    if (m_keyBlocks != nullptr && first + 4 <= sizeof(m_boneToBound))
        std::memcpy(&map, &m_boneToBound[first], sizeof(map));
    const uint32_t track = map & 0xFFu;
    if (m_keyBlocks != nullptr && (track & 3u) == 0 && map == track * 0x01010101u + 0x03020100u)
    {
        SampleBlock(track / 4, rotation, positions);
        for (int c = 0; c < 3; ++c)
            position[c] = positions[c];
        driven = _mm_castsi128_ps(_mm_set1_epi32(-1));
        return;
    }
    int32_t tracks[4];
    alignas(16) int32_t lanes[4];
    for (uint32_t lane = 0; lane < 4; ++lane)
    {
        const uint8_t track = GetBoundTrack(first + lane);
        tracks[lane] = track != kUnbound ? int32_t(track) : -1;
        lanes[lane] = track != kUnbound ? -1 : 0;
    }
    driven = _mm_castsi128_ps(_mm_load_si128(reinterpret_cast<const __m128i*>(lanes)));
    SampleUniform4(tracks, rotation, positions);
    for (int c = 0; c < 3; ++c)
        position[c] = positions[c];
}

void XSIAnimation::ApplyTargeting(const AnimationSampleContext& context, const MeshTargetingRecord& mode)
{
    if (context.targetingModes[0] < 0 || context.targetingModes[1] < 0 || context.skeleton == nullptr)
        return;
    // Targeting turns the written samples.
    if (m_samplesDeferred)
        WriteDeferredSamples();
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
