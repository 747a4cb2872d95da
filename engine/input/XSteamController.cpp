#include "engine/input/XSteamController.h"

#include "core/console/GameConsole.h"
#include "engine/input/InputCodes.h"
#include "platform/input/SteamController.h"

namespace
{
constexpr float kPadScale = 1.0f / 32767.0f;

// Button value of each bit of the Steam state (0 = not mapped).
constexpr uint32_t kButtonMap[input::kSteamControllerMappedBits] = {
    INPUT_PAD_RIGHT_TRIGGER, INPUT_PAD_LEFT_TRIGGER, INPUT_PAD_RIGHT_SHOULDER, INPUT_PAD_LEFT_SHOULDER,
    INPUT_PAD_Y, INPUT_PAD_B, INPUT_PAD_X, INPUT_PAD_A, 0, 0, 0, 0, INPUT_PAD_START, 0, INPUT_PAD_BACK,
    INPUT_PAD_BACK, INPUT_PAD_BACK, INPUT_PAD_LEFT_THUMB, INPUT_PAD_RIGHT_THUMB,
};

// Bit of a button value inside the mask. The two trigger codes share bit 16 with each other and
// bit 0 or 1 with the d-pad, so testing them as plain bits would report the left trigger as the
// right one or as d-pad up; they get bits of their own above the XInput buttons.
uint32_t MaskBits(uint32_t button)
{
    if (button == INPUT_PAD_LEFT_TRIGGER)
        return 0x10000u;
    if (button == INPUT_PAD_RIGHT_TRIGGER)
        return 0x20000u;
    return button & 0xFFFFu;
}
} // namespace

XSteamController::XSteamController(uint32_t index) : XControllerBase(index)
{
    m_connected = ReadState();
}

bool XSteamController::ReadState()
{
    input::SteamController* const steam = input::SteamController::Get();
    input::SteamControllerState state;
    if (steam == nullptr || !steam->GetControllerState(m_index, state))
    {
        m_analog = Vector::ZERO4;
        return false;
    }
    m_analog.Set(state.leftPadX * kPadScale, state.leftPadY * kPadScale, state.rightPadX * kPadScale,
                 state.rightPadY * kPadScale);
    ApplyDeadZone(m_analog, kDeadZone, kDeadZone);
    for (uint32_t bit = 0; bit < input::kSteamControllerMappedBits; ++bit)
        if ((state.buttons >> bit) & 1u)
            m_mask |= MaskBits(kButtonMap[bit]);
    return true;
}

bool XSteamController::Update(const Time& now)
{
    (void)now;
    m_previousMask = m_mask;
    m_mask = 0;
    const bool answered = ReadState();
    if (answered == m_connected)
        return false;
    m_connected = answered;
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "Steam controller #%d %s", int(m_index),
                    answered ? "connected" : "disconnected");
    return true;
}

bool XSteamController::IsButtonDown(uint32_t button) const
{
    return (m_mask & MaskBits(button)) != 0;
}

bool XSteamController::IsButtonPressedFirstTime(uint32_t button) const
{
    return (m_mask & MaskBits(button)) != 0 && (m_previousMask & MaskBits(button)) == 0;
}

bool XSteamController::IsButtonReleasedFirstTime(uint32_t button) const
{
    return (m_mask & MaskBits(button)) == 0 && (m_previousMask & MaskBits(button)) != 0;
}

bool XSteamController::HasInput() const
{
    return m_mask != 0 || !m_analog.Equal(Vector::ZERO4);
}
