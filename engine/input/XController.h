// An XInput pad (users 0 and 1 in the input manager's slots 0 and 1). An absent pad is asked for
// again only after 2 to 4.5 s, because the query of an absent pad is slow. Main thread only.
#pragma once

#include "engine/input/XControllerBase.h"
#include "platform/input/XInput.h"

// One XInput user's pad.
class XController : public XControllerBase
{
public:
    // Dead zones of the sticks (7849 and 8689 of 32767).
    static constexpr float kLeftDeadZone = 0.23953979f;
    static constexpr float kRightDeadZone = 0.26517534f;
    // A trigger is down above 30 of 255.
    static constexpr float kTriggerScale = 1.0f / 255.0f;
    static constexpr float kTriggerThreshold = 30.0f * kTriggerScale;

    // Queries the pad once; connected when that works.
    explicit XController(uint32_t index);

    bool Update(const Time& now) override;
    bool IsButtonDown(uint32_t button) const override;
    bool IsButtonPressedFirstTime(uint32_t button) const override;
    bool IsButtonReleasedFirstTime(uint32_t button) const override;
    bool HasInput() const override;
    void PollNow() override;
    // Each speed is clamp(2 x value, 0, 1) of the motor's full range.
    void Vibrate(float left, float right) override;

    int64_t GetNextQueryTicks() const { return m_nextQueryTicks; }

private:
    void ReadState();

    int64_t m_nextQueryTicks = 0;
    input::XInputState m_state;
    input::XInputState m_previousState;
};
