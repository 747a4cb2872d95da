// Shared types of the input stand-in: result codes, the window handle the devices are bound to and
// device identifiers. Plain values: any thread.
#pragma once

#include <cstdint>

namespace input
{
// Results of device calls. Success values are zero or positive.
enum Result : int32_t
{
    kOk = 0,
    kNoEffect = 1, // success that changed nothing (acquiring an acquired device)
    kFail = -1,
    kNotAcquired = -2, // the device must be acquired first
    kInputLost = -3, // the device was taken away (focus lost or unplugged); acquire again
    kOtherAppHasPriority = -4, // a foreground device cannot be acquired without focus
    kDeviceNotConnected = -5,
    kInvalidArgument = -6,
    kUnsupported = -7,
};

inline bool Succeeded(Result result)
{
    return result >= 0;
}

// The window the devices are bound to; the stand-in only keeps it.
using WindowHandle = void*;

// Identifier of a device or a device's product. For a game controller's product the first word
// holds the product id in its high 16 bits and the vendor id in its low 16 bits.
struct DeviceGuid
{
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    uint8_t data4[8] = {};

    bool operator==(const DeviceGuid& other) const = default;
};
} // namespace input
