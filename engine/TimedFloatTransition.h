// An eased float that moves from one value to another over a time span: the game's time
// multiplier and the sound engine's volumes and ratios. Plain data owned by one thread (the main
// thread for the multiplier, the sound thread for the sound engine's transitions).
#pragma once

#include "core/time/Time.h"

#include <cstdint>

// Easing of a transition (the timing flags' bits 0-2 use the same numbers).
enum TimedFloatEasing : uint32_t
{
    EASING_LINEAR = 0,
    EASING_SINE_OUT = 1,    // sin(p x pi/2): fast start, slow end
    EASING_SINE_IN = 2,     // 1 - sin((1 - p) x pi/2): slow start, fast end
    EASING_SINE_IN_OUT = 3, // 0.5 x (sin((p - 0.5) x pi) + 1)
};

// A value eased from `from` to `to` over `duration` seconds from `start`.
class TimedFloatTransition
{
public:
    explicit TimedFloatTransition(float current = 1.0f) : m_current(current) {}

    // A duration of 0 or less sets the target at once and ends any running transition; otherwise a
    // running transition is first brought to `now`, so the new one starts from its present value.
    void Start(Time now, float target, float durationSeconds, uint32_t easing);
    // Moves the current value to where the transition stands at `now`; ends it at its target.
    void Update(Time now);
    // Sets the value and ends any running transition.
    void Set(float value);

    // The eased share p' of an easing at progress p in [0, 1].
    static float Ease(uint32_t easing, float progress);

    bool IsActive() const { return m_active; }
    float GetCurrent() const { return m_current; }
    float GetTarget() const { return m_to; }
    float GetProgress() const { return m_progress; }

private:
    bool m_active = false;
    float m_current;
    float m_from = 0.0f;
    float m_to = 0.0f;
    Time m_start;
    float m_duration = 0.0f; // seconds
    float m_progress = 0.0f; // eased, 0..1
    uint32_t m_easing = EASING_LINEAR;
};
