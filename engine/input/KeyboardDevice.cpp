#include "engine/input/KeyboardDevice.h"

#include "core/console/GameConsole.h"

#include <cstring>
#include <string>

namespace
{
constexpr uint32_t kHotKeyBits = input::kAccessHotKeyActive | input::kAccessConfirmHotKey;

// Writes the setting back without its hot keys when its feature is off.
template <typename Setting, typename Setter>
void ClearHotKeys(const Setting& saved, Setter set)
{
    if ((saved.flags & input::kAccessFeatureOn) != 0)
        return;
    Setting changed = saved;
    changed.flags &= ~kHotKeyBits;
    set(changed);
}
} // namespace

KeyboardDevice::KeyboardDevice(input::DirectInput* directInput, input::WindowHandle window)
{
    SwitchHotKeysOff();
    if (directInput != nullptr)
        m_device = directInput->CreateDevice(input::kSystemKeyboardGuid);
    if (m_device == nullptr)
        m_usable = false;
    else if (!input::Succeeded(m_device->SetCooperativeLevel(window, input::kCooperativeNonExclusive |
                                                                         input::kCooperativeForeground |
                                                                         input::kCooperativeNoWindowsKey)))
        m_usable = false;
    else if (!input::Succeeded(m_device->SetDataFormat(input::DataFormat::Keyboard)))
        m_usable = false;
    else if (!input::Succeeded(m_device->Acquire()))
        m_usable = false;
    if (!m_usable)
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to initialize keyboard");
}

KeyboardDevice::~KeyboardDevice()
{
    RestoreHotKeys();
}

void KeyboardDevice::SwitchHotKeysOff()
{
    m_savedSticky = input::GetStickyKeys(m_savedStickyKeys);
    m_savedToggle = input::GetToggleKeys(m_savedToggleKeys);
    m_savedFilter = input::GetFilterKeys(m_savedFilterKeys);
    if (m_savedSticky)
        ClearHotKeys(m_savedStickyKeys, [](const input::StickyKeys& value) { input::SetStickyKeys(value); });
    if (m_savedToggle)
        ClearHotKeys(m_savedToggleKeys, [](const input::ToggleKeys& value) { input::SetToggleKeys(value); });
    if (m_savedFilter)
        ClearHotKeys(m_savedFilterKeys, [](const input::FilterKeys& value) { input::SetFilterKeys(value); });
}

void KeyboardDevice::RestoreHotKeys()
{
    if (m_savedSticky)
        input::SetStickyKeys(m_savedStickyKeys);
    if (m_savedToggle)
        input::SetToggleKeys(m_savedToggleKeys);
    if (m_savedFilter)
        input::SetFilterKeys(m_savedFilterKeys);
}

input::Result KeyboardDevice::Poll()
{
    // Cleared first: a failed read must never leave keys held from an older frame.
    std::memset(m_keys, 0, sizeof(m_keys));
    if (m_device == nullptr)
        return input::kNotAcquired;
    const input::Result acquired = m_device->Acquire();
    if (!input::Succeeded(acquired))
        return acquired;
    return m_device->GetDeviceState(kKeyCount, m_keys);
}

bool KeyboardDevice::GetKeyName(char* buffer, size_t size, uint32_t scanCode) const
{
    if (buffer == nullptr || size == 0)
        return false;
    buffer[0] = '\0';
    std::string name;
    if (m_device == nullptr || scanCode >= kKeyCount || !input::Succeeded(m_device->GetObjectName(scanCode, name)))
        return false;
    const size_t length = name.size() < size - 1 ? name.size() : size - 1;
    std::memcpy(buffer, name.data(), length);
    buffer[length] = '\0';
    return length > 0;
}
