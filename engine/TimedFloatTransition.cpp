#include "engine/TimedFloatTransition.h"

#include <cmath>

namespace
{
constexpr float kPi = 3.1415927f;
} // namespace

float TimedFloatTransition::Ease(uint32_t easing, float p)
{
    switch (easing)
    {
    case EASING_SINE_OUT:
        return std::sin(p * kPi * 0.5f);
    case EASING_SINE_IN:
        return 1.0f - std::sin((1.0f - p) * kPi * 0.5f);
    case EASING_SINE_IN_OUT:
        return 0.5f * (std::sin((p - 0.5f) * kPi) + 1.0f);
    default:
        return p;
    }
}

void TimedFloatTransition::Start(Time now, float target, float durationSeconds, uint32_t easing)
{
    if (!(durationSeconds > 0.0f))
    {
        m_current = target;
        m_to = target;
        m_active = false;
        m_progress = 0.0f;
        return;
    }
    Update(now);
    m_from = m_current;
    m_to = target;
    m_start = now;
    m_duration = durationSeconds;
    m_easing = easing;
    m_active = true;
    m_progress = 0.0f;
}

void TimedFloatTransition::Update(Time now)
{
    if (!m_active)
        return;
    const double elapsed = (now - m_start).ToSeconds();
    const float p = float((elapsed > 0.0 ? elapsed : 0.0) / m_duration);
    if (p > 1.0f)
    {
        m_current = m_to;
        m_active = false;
        m_progress = 1.0f;
        return;
    }
    const float eased = Ease(m_easing, p);
    m_current = (1.0f - eased) * m_from + m_to * eased;
    m_progress = eased;
}

void TimedFloatTransition::Set(float value)
{
    m_current = value;
    m_to = value;
    m_active = false;
    m_progress = 1.0f;
}
