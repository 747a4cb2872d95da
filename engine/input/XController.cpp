#include "engine/input/XController.h"

#include "core/console/GameConsole.h"
#include "engine/input/InputCodes.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace
{
constexpr float kThumbScale = 1.0f / 32767.0f;

// One rule for both edges: a value exactly at the threshold is up, so a press and its release are
// each seen once.
bool TriggerDown(float value)
{
    return value > XController::kTriggerThreshold;
}

uint16_t MotorSpeed(float value)
{
    return uint16_t(std::clamp(2.0f * value, 0.0f, 1.0f) * 65535.0f);
}
} // namespace

XController::XController(uint32_t index) : XControllerBase(index)
{
    m_nextQueryTicks = Time::Now().GetTicks();
    input::XInputState state;
    if (input::GetXInputState(m_index, state) == input::kOk)
    {
        m_connected = true;
        m_state = state;
        ReadState();
    }
}

void XController::ReadState()
{
    const input::XInputGamepad& pad = m_state.gamepad;
    m_analog.Set(pad.thumbLX * kThumbScale, pad.thumbLY * kThumbScale, pad.thumbRX * kThumbScale,
                 pad.thumbRY * kThumbScale);
    ApplyDeadZone(m_analog, kLeftDeadZone, kRightDeadZone);
    m_leftTrigger = pad.leftTrigger * kTriggerScale;
    m_rightTrigger = pad.rightTrigger * kTriggerScale;
}

bool XController::Update(const Time& now)
{
    if (now.GetTicks() <= m_nextQueryTicks)
        return false;
    m_previousState = m_state;
    m_previousLeftTrigger = m_leftTrigger;
    m_previousRightTrigger = m_rightTrigger;

    input::XInputState state;
    if (input::GetXInputState(m_index, state) != input::kOk)
    {
        const bool disconnected = m_connected;
        if (disconnected)
        {
            m_connected = false;
            m_state = input::XInputState();
            m_analog = Vector::ZERO4;
            m_leftTrigger = m_rightTrigger = 0.0f;
            gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "XBox controller #%d disconnected", int(m_index));
        }
        const double delay = 2.0 + 2.5 * double(std::rand() % 32768) / 32767.0;
        m_nextQueryTicks = now.GetTicks() + int64_t(delay * double(Time::GetFrequency()));
        return disconnected;
    }
    const bool connected = !m_connected;
    if (connected)
    {
        m_connected = true;
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "XBox controller #%d connected", int(m_index));
    }
    m_state = state;
    ReadState();
    return connected;
}

bool XController::IsButtonDown(uint32_t button) const
{
    if (button == INPUT_PAD_LEFT_TRIGGER)
        return TriggerDown(m_leftTrigger);
    if (button == INPUT_PAD_RIGHT_TRIGGER)
        return TriggerDown(m_rightTrigger);
    return (m_state.gamepad.buttons & button) != 0;
}

bool XController::IsButtonPressedFirstTime(uint32_t button) const
{
    if (button == INPUT_PAD_LEFT_TRIGGER)
        return TriggerDown(m_leftTrigger) && !TriggerDown(m_previousLeftTrigger);
    if (button == INPUT_PAD_RIGHT_TRIGGER)
        return TriggerDown(m_rightTrigger) && !TriggerDown(m_previousRightTrigger);
    return (m_state.gamepad.buttons & button) != 0 && (m_previousState.gamepad.buttons & button) == 0;
}

bool XController::IsButtonReleasedFirstTime(uint32_t button) const
{
    if (button == INPUT_PAD_LEFT_TRIGGER)
        return !TriggerDown(m_leftTrigger) && TriggerDown(m_previousLeftTrigger);
    if (button == INPUT_PAD_RIGHT_TRIGGER)
        return !TriggerDown(m_rightTrigger) && TriggerDown(m_previousRightTrigger);
    return (m_state.gamepad.buttons & button) == 0 && (m_previousState.gamepad.buttons & button) != 0;
}

bool XController::HasInput() const
{
    return m_state.gamepad.buttons != 0 || !m_analog.Equal(Vector::ZERO4) || m_leftTrigger != 0.0f ||
           m_rightTrigger != 0.0f;
}

void XController::PollNow()
{
    // Earlier than any frame time, so the very next Update asks the device.
    m_nextQueryTicks = INT64_MIN;
}

void XController::Vibrate(float left, float right)
{
    input::XInputVibration vibration;
    vibration.leftMotorSpeed = MotorSpeed(left);
    vibration.rightMotorSpeed = MotorSpeed(right);
    input::SetXInputState(m_index, vibration);
}
