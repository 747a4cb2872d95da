#include "engine/input/DirectInputPad.h"

#include "core/console/GameConsole.h"
#include "engine/input/XControllerBase.h"

#include <cstring>

void DirectInputPad::Init(input::DirectInput* directInput, input::WindowHandle window)
{
    m_directInput = directInput;
    m_window = window;
}

bool DirectInputPad::Connect()
{
    if (m_device != nullptr || m_directInput == nullptr)
        return false;
    input::DeviceGuid configured;
    m_hasJoystickConfig = m_directInput->ReadJoystickConfig(0, configured) == input::kOk;
    m_xinputDevices.Build();
    for (const input::DeviceInstance& instance : m_directInput->EnumGameControllers())
    {
        if (m_xinputDevices.Contains(instance.product.data1))
            continue;
        m_device = m_directInput->CreateDevice(instance.instance);
        break;
    }
    if (m_device == nullptr)
        return false;
    if (!input::Succeeded(m_device->SetDataFormat(input::DataFormat::Joystick)) ||
        !input::Succeeded(
            m_device->SetCooperativeLevel(m_window, input::kCooperativeExclusive | input::kCooperativeBackground)))
    {
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "DInput controller cannot be set up");
        m_device.reset();
        return false;
    }
    m_device->SetAxisRange(-kAxisRange, kAxisRange);
    input::ConstantForce force;
    force.axisOffset = uint32_t(offsetof(input::JoystickState, x));
    m_effect = m_device->CreateConstantForceEffect(force);
    if (m_effect == nullptr)
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "DInput controller doesn't have FF");
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "DInput controller connected");
    m_changed = true;
    return true;
}

void DirectInputPad::Release()
{
    m_effect.reset();
    if (m_device != nullptr)
        m_device->Unacquire();
    m_device.reset();
}

void DirectInputPad::ClearState()
{
    m_analog = Vector::ZERO4;
    m_changed = false;
    std::memset(m_buttons, 0, sizeof(m_buttons));
    std::memset(m_previousButtons, 0, sizeof(m_previousButtons));
}

bool DirectInputPad::Update()
{
    if (m_device == nullptr)
        return false;
    if (!input::Succeeded(m_device->Poll()) && !input::Succeeded(m_device->Acquire()))
    {
        Release();
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "DInput controller disconnected");
        ClearState();
        return true;
    }
    input::JoystickState state;
    if (input::Succeeded(m_device->GetDeviceState(sizeof(state), &state)))
    {
        constexpr float kScale = 1.0f / float(kAxisRange);
        m_analog.Set(float(state.x) * kScale, -float(state.y) * kScale, float(state.z) * kScale,
                     -float(state.rotationZ) * kScale);
        XControllerBase::ApplyDeadZone(m_analog, kDeadZone, kDeadZone);
        std::memcpy(m_previousButtons, m_buttons, sizeof(m_buttons));
        for (uint32_t i = 0; i < kButtonCount; ++i)
            m_buttons[i] = state.buttons[i] != 0;
    }
    const bool changed = m_changed;
    m_changed = false;
    return changed;
}

bool DirectInputPad::IsButtonDown(uint32_t index) const
{
    return index < kButtonCount && m_buttons[index] != 0;
}

bool DirectInputPad::IsButtonPressedFirstTime(uint32_t index) const
{
    return index < kButtonCount && m_buttons[index] != 0 && m_previousButtons[index] == 0;
}

bool DirectInputPad::IsButtonReleasedFirstTime(uint32_t index) const
{
    return index < kButtonCount && m_buttons[index] == 0 && m_previousButtons[index] != 0;
}

void DirectInputPad::AppendDeviceName(std::string& text, bool clearFirst) const
{
    if (clearFirst)
        text.clear();
    std::string name;
    if (m_device != nullptr && input::Succeeded(m_device->GetProductName(name)))
        text += name;
}

void DirectInputPad::AppendButtonName(std::string& text, uint32_t button, bool clearFirst) const
{
    if (clearFirst)
        text.clear();
    std::string name;
    if (m_device != nullptr && button < kButtonCount &&
        input::Succeeded(m_device->GetObjectName(input::JoystickButtonOffset(button), name)))
        text += name;
}
