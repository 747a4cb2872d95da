#include "effects/sfx/SFXQuadElementContext.h"

#include "core/math/RandomGenerator.h"
#include "effects/sfx/SFXQuadElementDefinition.h"

#include <cmath>

namespace
{
// Random frames picked during updates come from a generator of the render thread's own: the
// engine's generators belong to the game thread, which draws from them at the same time.
RandomGenerator gRenderFrameRandom;
} // namespace

void SFXQuadElementContext::SelectCurveFrame(float position, uint32_t count, uint32_t& frame, uint32_t& next,
                                             float& blend)
{
    // Whole frames below zero count back from the last frame, so a curve may run backwards through
    // the atlas; the remainder is taken in double so that no float reaches an out-of-range cast.
    const double whole = std::isfinite(position) ? std::floor(double(position)) : 0.0;
    double wrapped = std::fmod(whole, double(count));
    if (wrapped < 0.0)
        wrapped += double(count);
    frame = uint32_t(wrapped) % count;
    next = (frame + 1) % count;
    blend = std::isfinite(position) ? float(double(position) - whole) : 0.0f;
}

uint32_t SFXQuadElementContext::PickOtherFrame(uint32_t random, uint32_t frame, uint32_t count)
{
    const uint32_t pick = random % (count - 1);
    return pick >= frame ? pick + 1 : pick;
}

void SFXQuadElementContext::Init(const SFXElementDefinition& definition, const Matrix& parent,
                                 uint32_t renderingFlags, uint32_t initFlags)
{
    SFXElementContext::Init(definition, parent, renderingFlags, initFlags);
    const auto& quad = static_cast<const SFXQuadElementDefinition&>(definition);
    const Vector& center = quad.GetUVCenter();
    m_localBounds = BoundingBox4(Vector(-center.x, -center.y, 0.0f, 1.0f),
                                 Vector(1.0f - center.x, 1.0f - center.y, 0.0f, 1.0f));
    if (quad.GetRandomFrameTimeout() > 0.0f && quad.GetFrameCount() >= 2)
        m_nextFrame = gRandomGenerators[0].NextMultiplyWithCarry() % quad.GetFrameCount();
}

void SFXQuadElementContext::Update(double clockSeconds, float delta, const SFXElementDefinition& definition,
                                   const Matrix& parent)
{
    SFXElementContext::Update(clockSeconds, delta, definition, parent);
    const auto& quad = static_cast<const SFXQuadElementDefinition&>(definition);
    const uint32_t count = quad.GetFrameCount();
    const float timeout = quad.GetRandomFrameTimeout();
    if (timeout <= 0.0f)
    {
        Vector curve;
        quad.GetFrameCurve().Evaluate(m_states[SFXQuadElementDefinition::STATE_FRAME_CURVE], curve);
        SelectCurveFrame(curve.x, count, m_frame, m_nextFrame, m_blend);
        return;
    }
    if (count < 2)
    {
        m_frame = m_nextFrame = 0;
        m_blend = 0.0f;
        return;
    }
    m_frameTimer -= delta;
    if (m_frameTimer >= 0.0f)
    {
        m_blend = 1.0f - m_frameTimer / timeout;
        return;
    }
    m_frame = m_nextFrame % count;
    m_nextFrame = PickOtherFrame(gRenderFrameRandom.NextMultiplyWithCarry(), m_frame, count);
    m_blend = 0.0f;
    m_frameTimer = timeout;
}
