// A Steam controller in the input manager's slots 2 and 3 (controllers 0 and 1), its buttons mapped
// onto the XInput button values (the triggers on bits 16 and 17). Main thread only.
#pragma once

#include "engine/input/XControllerBase.h"

// One Steam controller.
class XSteamController : public XControllerBase
{
public:
    static constexpr float kDeadZone = 0.1f;

    // Asks the interface for the pad's state once; connected = that answer.
    explicit XSteamController(uint32_t index);

    bool Update(const Time& now) override;
    bool IsButtonDown(uint32_t button) const override;
    bool IsButtonPressedFirstTime(uint32_t button) const override;
    bool IsButtonReleasedFirstTime(uint32_t button) const override;
    bool HasInput() const override;

private:
    // Reads the state into the mask and analog vector; false when the pad does not answer.
    bool ReadState();

    uint32_t m_mask = 0;
    uint32_t m_previousMask = 0;
};
