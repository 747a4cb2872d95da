// The system keyboard through DirectInput: 256 key bytes by scan code (bit 7 = down), polled once
// per input step. While it lives, the accessibility hot keys (Shift five times, holding Shift) are
// off so that no system dialog interrupts play; its destruction restores them. Main thread only.
#pragma once

#include "engine/input/DirectInputDevice.h"
#include "platform/input/Accessibility.h"

#include <cstddef>
#include <cstdint>

// The keyboard device of the input manager.
class KeyboardDevice : public DirectInputDevice
{
public:
    static constexpr uint32_t kKeyCount = 256;

    // Null `directInput` (DirectInput did not start) leaves a keyboard with every key up.
    KeyboardDevice(input::DirectInput* directInput, input::WindowHandle window);
    // Writes the saved accessibility settings back.
    ~KeyboardDevice() override;

    // Clears the keys, acquires and reads them; on any failure every key stays up.
    input::Result Poll() override;
    const uint8_t* GetKeys() const { return m_keys; }
    // The key's name, cut to size - 1 characters; empty (and false) when it has none.
    bool GetKeyName(char* buffer, size_t size, uint32_t scanCode) const;
    bool IsUsable() const { return m_usable; }

private:
    void SwitchHotKeysOff();
    void RestoreHotKeys();

    bool m_usable = true;
    uint8_t m_keys[kKeyCount] = {};
    input::StickyKeys m_savedStickyKeys;
    input::ToggleKeys m_savedToggleKeys;
    input::FilterKeys m_savedFilterKeys;
    // Only settings that were read are written back: restoring defaults over a setting we never
    // read would change the player's system.
    bool m_savedSticky = false;
    bool m_savedToggle = false;
    bool m_savedFilter = false;
};
