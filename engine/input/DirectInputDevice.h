// Base of the DirectInput devices behind the input manager: holds the device interface and lets it
// go when destroyed. Main thread only.
#pragma once

#include "platform/input/DirectInput.h"

#include <memory>

// One DirectInput device (null when absent); subclasses read it in Poll.
class DirectInputDevice
{
public:
    DirectInputDevice() = default;
    DirectInputDevice(const DirectInputDevice&) = delete;
    DirectInputDevice& operator=(const DirectInputDevice&) = delete;
    // Unacquires and releases the device.
    virtual ~DirectInputDevice();

    virtual input::Result Poll() = 0;

protected:
    std::unique_ptr<input::Device> m_device;
};
