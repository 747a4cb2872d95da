// The one DirectInput game controller that is not an XInput pad: 32 buttons and two sticks after a
// 0.2 dead zone, opened on Connect, dropped when it stops answering. Main thread only.
#pragma once

#include "core/math/Vector.h"
#include "engine/input/XInputDeviceList.h"
#include "platform/input/DirectInput.h"

#include <cstdint>
#include <memory>
#include <string>

// The DirectInput pad of the input manager.
class DirectInputPad
{
public:
    static constexpr uint32_t kButtonCount = 32;
    static constexpr float kDeadZone = 0.2f;
    static constexpr int32_t kAxisRange = 1000;

    DirectInputPad() = default;
    DirectInputPad(const DirectInputPad&) = delete;
    DirectInputPad& operator=(const DirectInputPad&) = delete;
    ~DirectInputPad() { Release(); }

    // The interface (not owned) and the window the pad is bound to.
    void Init(input::DirectInput* directInput, input::WindowHandle window);
    // Opens the first attached controller that is not an XInput pad; false when one is already
    // held, there is no interface or no such controller.
    bool Connect();
    // Lets the device and its effect go.
    void Release();
    // Polls and reads the pad; true when it connected (first update after Connect) or went away.
    bool Update();

    bool HasDevice() const { return m_device != nullptr; }
    const Vector& GetAnalog() const { return m_analog; }
    // Buttons by index 0-31; false outside.
    bool IsButtonDown(uint32_t index) const;
    bool IsButtonPressedFirstTime(uint32_t index) const;
    bool IsButtonReleasedFirstTime(uint32_t index) const;
    // Appends the product name (after emptying `text` when asked); nothing without a device.
    void AppendDeviceName(std::string& text, bool clearFirst) const;
    // Appends the name of button 0-31; nothing without a device or outside that range.
    void AppendButtonName(std::string& text, uint32_t button, bool clearFirst) const;
    bool HasJoystickConfig() const { return m_hasJoystickConfig; }
    const XInputDeviceList& GetXInputDevices() const { return m_xinputDevices; }

private:
    void ClearState();

    input::DirectInput* m_directInput = nullptr;
    std::unique_ptr<input::Device> m_device;
    std::unique_ptr<input::Effect> m_effect;
    Vector m_analog;
    XInputDeviceList m_xinputDevices;
    bool m_hasJoystickConfig = false;
    input::WindowHandle m_window = nullptr;
    bool m_changed = false;
    uint8_t m_buttons[kButtonCount] = {};
    uint8_t m_previousButtons[kButtonCount] = {};
};
