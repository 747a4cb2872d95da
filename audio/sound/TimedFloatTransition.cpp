#include "audio/sound/TimedFloatTransition.h"

#include <cmath>
#include <numbers>

namespace
{
float Ease(uint32_t easing, float t)
{
    const float halfPi = std::numbers::pi_v<float> * 0.5f;
    switch (easing)
    {
    case EASING_SINE_IN:
        return 1.0f - std::cos(t * halfPi);
    case EASING_SINE_OUT:
        return std::sin(t * halfPi);
    case EASING_SINE_IN_OUT:
        return 0.5f * (1.0f - std::cos(t * std::numbers::pi_v<float>));
    default:
        return t;
    }
}
} // namespace

void TimedFloatTransition::Start(Time now, float target, float durationSeconds, uint32_t easing)
{
    m_to = target;
    if (!(durationSeconds > 0.0f))
    {
        Set(target);
        return;
    }
    m_from = m_current;
    m_start = now;
    m_duration = durationSeconds;
    m_progress = 0.0f;
    m_easing = easing;
    m_active = true;
}

void TimedFloatTransition::Update(Time now)
{
    if (!m_active)
        return;
    const double elapsed = (now - m_start).ToSeconds();
    m_progress = elapsed <= 0.0 ? 0.0f : float(elapsed / m_duration);
    if (m_progress >= 1.0f)
    {
        m_progress = 1.0f;
        m_current = m_to;
        m_active = false;
        return;
    }
    m_current = m_from + (m_to - m_from) * Ease(m_easing, m_progress);
}

void TimedFloatTransition::Set(float value)
{
    m_current = value;
    m_to = value;
    m_active = false;
    m_progress = 1.0f;
}
