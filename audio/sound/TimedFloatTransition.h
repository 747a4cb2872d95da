// An eased float that moves from one value to another over a time span. Plain data owned by one
// thread (the sound thread for the sound engine's volumes and ratios).
#pragma once

#include "core/time/Time.h"

#include <cstdint>

// Easing of a transition.
enum TimedFloatEasing : uint32_t
{
    EASING_LINEAR = 0,
    EASING_SINE_IN = 1,
    EASING_SINE_OUT = 2,
    EASING_SINE_IN_OUT = 3,
};

// A value eased from `from` to `to` over `duration` seconds from `start`.
class TimedFloatTransition
{
public:
    explicit TimedFloatTransition(float current = 1.0f) : m_current(current) {}

    // A duration of 0 or less sets the target at once and ends any running transition.
    void Start(Time now, float target, float durationSeconds, uint32_t easing);
    // Moves the current value to where the transition stands at `now`; ends it at its target.
    void Update(Time now);
    // Sets the value and ends any running transition.
    void Set(float value);

    bool IsActive() const { return m_active; }
    float GetCurrent() const { return m_current; }
    float GetTarget() const { return m_to; }

private:
    bool m_active = false;
    float m_current;
    float m_from = 0.0f;
    float m_to = 0.0f;
    Time m_start;
    float m_duration = 0.0f; // seconds
    float m_progress = 0.0f; // 0..1
    uint32_t m_easing = EASING_LINEAR;
};
