// The XInput stand-in: state queries and motor speeds of pads 0-3 (InputHardware.h plugs them in).
// Asking for an absent pad fails, as slowly on the real service as it is cheap here. Main thread.
#pragma once

#include "platform/input/InputHardware.h"
#include "platform/input/InputTypes.h"

#include <cstdint>

namespace input
{
struct XInputState
{
    uint32_t packetNumber = 0;
    XInputGamepad gamepad;
};

struct XInputVibration
{
    uint16_t leftMotorSpeed = 0;
    uint16_t rightMotorSpeed = 0;
};

// kDeviceNotConnected for an absent pad or a user outside 0-3.
Result GetXInputState(uint32_t user, XInputState& out);
Result SetXInputState(uint32_t user, const XInputVibration& vibration);
} // namespace input
