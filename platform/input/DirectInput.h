// The DirectInput stand-in: the interface object, the devices it creates on the simulated keyboard
// and game controllers (InputHardware.h), and their force-feedback effects. A device is set up with
// a data format and a cooperative level, acquired, polled and read; a foreground device cannot be
// acquired without window focus and loses its acquisition when focus goes. An unplugged pad's
// device fails every poll and acquisition. Main thread only.
#pragma once

#include "platform/input/InputTypes.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace input
{
constexpr uint32_t kDirectInputVersion = 0x0800;

// Cooperative level flags.
constexpr uint32_t kCooperativeExclusive = 0x1;
constexpr uint32_t kCooperativeNonExclusive = 0x2;
constexpr uint32_t kCooperativeForeground = 0x4;
constexpr uint32_t kCooperativeBackground = 0x8;
constexpr uint32_t kCooperativeNoWindowsKey = 0x10;

// The instance of the system keyboard.
constexpr DeviceGuid kSystemKeyboardGuid{0x4B455942u, 0x4F41, 0x5244, {'S', 'Y', 'S', 'K', 'E', 'Y', 'B', 'D'}};

enum class DataFormat : uint8_t
{
    None,
    Keyboard, // 256 key bytes, bit 7 = down
    Joystick, // JoystickState
};

// The extended joystick state, 272 bytes.
struct JoystickState
{
    int32_t x, y, z;
    int32_t rotationX, rotationY, rotationZ;
    int32_t sliders[2];
    uint32_t pointOfView[4];
    uint8_t buttons[128];
    int32_t velocity[6];
    int32_t sliderVelocity[2];
    int32_t acceleration[6];
    int32_t sliderAcceleration[2];
    int32_t force[6];
    int32_t sliderForce[2];
};
static_assert(sizeof(JoystickState) == 272);

// Offset of button n inside JoystickState, the key of its object name.
constexpr uint32_t JoystickButtonOffset(uint32_t button)
{
    return uint32_t(offsetof(JoystickState, buttons)) + button;
}

// One attached game controller as enumeration reports it.
struct DeviceInstance
{
    DeviceGuid instance;
    DeviceGuid product; // first word: product id << 16 | vendor id
    std::string productName;
};

// A running effect; stopped and freed with the object.
class Effect
{
public:
    explicit Effect(uint32_t padHandle);
    ~Effect();
    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;

private:
    uint32_t m_padHandle;
};

// How a constant force is set up.
struct ConstantForce
{
    uint32_t axisOffset = 0; // offset of the axis in JoystickState
    bool infiniteDuration = true;
    uint32_t gain = 10000;
    bool triggerButton = false;
    int32_t magnitude = 0;
};

// One device of the interface; released with the object.
class Device
{
public:
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    Result SetDataFormat(DataFormat format);
    Result SetCooperativeLevel(WindowHandle window, uint32_t flags);
    // Range of every axis of a game controller (the default is 0 to 65535).
    Result SetAxisRange(int32_t minimum, int32_t maximum);
    // kNoEffect when already acquired.
    Result Acquire();
    Result Unacquire();
    Result Poll();
    // Copies the state of the data format; `size` must be its size exactly.
    Result GetDeviceState(uint32_t size, void* out);
    // Name of the object at the data-format offset (key scan code, joystick button offset).
    Result GetObjectName(uint32_t offset, std::string& out) const;
    // The pad's product name; the engine names no keyboard.
    Result GetProductName(std::string& out) const;
    // Null when the device has no force feedback.
    std::unique_ptr<Effect> CreateConstantForceEffect(const ConstantForce& force);

    bool IsAcquired() const { return m_acquired; }

private:
    friend class DirectInput;
    explicit Device(uint32_t padHandle);
    bool IsKeyboard() const { return m_padHandle == 0; }
    bool IsPresent() const;

    uint32_t m_padHandle; // 0 for the keyboard
    DataFormat m_format = DataFormat::None;
    uint32_t m_cooperativeFlags = 0;
    WindowHandle m_window = nullptr;
    int32_t m_rangeMinimum = 0;
    int32_t m_rangeMaximum = 65535;
    bool m_acquired = false;
};

// The interface object.
class DirectInput
{
public:
    // Null when the version is not kDirectInputVersion or a creation failure is injected.
    static std::unique_ptr<DirectInput> Create(uint32_t version);

    // Null for an unknown or unplugged device.
    std::unique_ptr<Device> CreateDevice(const DeviceGuid& instance);
    // The attached game controllers in the order they were plugged in.
    std::vector<DeviceInstance> EnumGameControllers() const;
    // Instance of the controller that joystick configuration `index` names (the index-th one
    // attached); kFail when there is none.
    Result ReadJoystickConfig(uint32_t index, DeviceGuid& out) const;

private:
    DirectInput() = default;
};
} // namespace input
