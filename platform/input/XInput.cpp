#include "platform/input/XInput.h"

#include "platform/input/InputHardwareState.h"

namespace input
{
Result GetXInputState(uint32_t user, XInputState& out)
{
    if (user >= kXInputPadCount)
        return kDeviceNotConnected;
    detail::XInputPadState& pad = detail::Hardware().xinputPads[user];
    ++pad.queries;
    if (!pad.plugged)
        return kDeviceNotConnected;
    out.packetNumber = pad.packet;
    out.gamepad = pad.gamepad;
    return kOk;
}

Result SetXInputState(uint32_t user, const XInputVibration& vibration)
{
    if (user >= kXInputPadCount || !detail::Hardware().xinputPads[user].plugged)
        return kDeviceNotConnected;
    detail::XInputPadState& pad = detail::Hardware().xinputPads[user];
    pad.leftMotor = vibration.leftMotorSpeed;
    pad.rightMotor = vibration.rightMotorSpeed;
    return kOk;
}
} // namespace input
