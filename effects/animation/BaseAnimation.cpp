#include "effects/animation/BaseAnimation.h"

#include "effects/animation/AnimationClock.h"
#include "effects/animation/MeshAnimator.h"

#include <cstring>

BaseAnimation::BaseAnimation(const AnimationParams& params) : m_params(params)
{
    ClearBinding();
}

void BaseAnimation::ClearBinding()
{
    std::memset(m_boundToBone, kUnbound, sizeof(m_boundToBone));
    std::memset(m_boneToBound, kUnbound, sizeof(m_boneToBound));
    m_samples.clear();
    m_samplesDeferred = false;
}

void BaseAnimation::WriteDeferredSamples()
{
    m_samplesDeferred = false;
}

void BaseAnimation::SampleBones4(uint32_t, __m128 (&rotation)[4], __m128 (&position)[3], __m128 (&scale)[3],
                                 __m128& driven)
{
    for (__m128& v : rotation)
        v = _mm_setzero_ps();
    for (int c = 0; c < 3; ++c)
        position[c] = scale[c] = _mm_setzero_ps();
    driven = _mm_setzero_ps();
}

void BaseAnimation::FinishBinding(uint32_t boundCount)
{
    if (boundCount < 255)
        m_boundToBone[boundCount] = kUnbound;
    for (uint32_t k = 0; k < boundCount; ++k)
        m_boneToBound[m_boundToBone[k]] = uint8_t(k);
    m_samples.assign(boundCount, AnimationBoneSample());
}

void BaseAnimation::BindToSkeleton(const MeshSkeleton&, int32_t, int32_t)
{
    ClearBinding();
}

void BaseAnimation::UpdateFader()
{
    m_fader.Update(GetClock().GetTime());
}

void BaseAnimation::Sample(AnimationSampleContext&, const MeshSkeleton&, MeshAnimator&)
{
    UpdateFader();
}

void BaseAnimation::ApplyTargeting(const AnimationSampleContext&, const MeshTargetingRecord&) {}

void BaseAnimation::GetRootEndPose(const NameString&, Quaternion& rotation, Vector& position, Vector& scale) const
{
    rotation = Quaternion();
    position = Vector();
    scale = Vector(1.0f, 1.0f, 1.0f, 0.0f);
}

void BaseAnimation::SetParams(const AnimationParams& params)
{
    m_params = params;
}

const AnimationClock& BaseAnimation::GetClock() const
{
    return m_customClock != nullptr ? *m_customClock : GetAnimationClock(m_params.Flags);
}

void BaseAnimation::StartFade(float target, float seconds)
{
    m_fader.Start(GetClock().GetTime(), target, seconds, EASING_LINEAR);
}

void BaseAnimation::BeginStop(float fadeSeconds, MeshAnimator& animator)
{
    m_state |= ANIMSTATE_STOPPING;
    animator.ReleaseDrives(*this);
    StartFade(0.0f, fadeSeconds);
}

void BaseAnimation::SendEnded(int32_t ranToEnd)
{
    if ((m_state & ANIMSTATE_END_SENT) != 0)
        return;
    m_state |= ANIMSTATE_END_SENT;
    if (AnimationCallbackObject* const callback = m_params.CallbackObject.Get())
        callback->AnimationEnded(m_params.Id, ranToEnd);
}
