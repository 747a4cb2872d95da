#include "platform/input/DirectInput.h"

#include "platform/input/InputHardwareState.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace input
{
namespace
{
// Every pad, plugged or not: an open device keeps counting against the pad it was made on.
detail::GamePadState* AnyGamePad(uint32_t handle)
{
    for (detail::GamePadState& pad : detail::Hardware().gamePads)
        if (pad.handle == handle)
            return &pad;
    return nullptr;
}

DeviceGuid InstanceOf(uint32_t handle)
{
    return DeviceGuid{handle, 0x4750, 0x4144, {'G', 'A', 'M', 'E', 'P', 'A', 'D', 0}};
}

DeviceGuid ProductOf(const GamePadSpec& spec)
{
    return DeviceGuid{(uint32_t(spec.productId) << 16) | spec.vendorId, 0, 0, {'P', 'I', 'D', 'V', 'I', 'D', 0, 0}};
}

int32_t ScaleAxis(float value, int32_t minimum, int32_t maximum)
{
    const double span = double(maximum) - double(minimum);
    return int32_t(std::lround(double(minimum) + (double(value) + 1.0) * 0.5 * span));
}
} // namespace

Effect::Effect(uint32_t padHandle) : m_padHandle(padHandle)
{
    if (detail::GamePadState* pad = AnyGamePad(m_padHandle))
        ++pad->effectCount;
}

Effect::~Effect()
{
    if (detail::GamePadState* pad = AnyGamePad(m_padHandle))
        --pad->effectCount;
}

Device::Device(uint32_t padHandle) : m_padHandle(padHandle)
{
    if (detail::GamePadState* pad = AnyGamePad(m_padHandle))
        ++pad->openCount;
}

Device::~Device()
{
    if (detail::GamePadState* pad = AnyGamePad(m_padHandle))
        --pad->openCount;
}

bool Device::IsPresent() const
{
    return IsKeyboard() ? detail::Hardware().keyboard.plugged : detail::FindGamePad(m_padHandle) != nullptr;
}

Result Device::SetDataFormat(DataFormat format)
{
    if (m_acquired)
        return kFail;
    m_format = format;
    return kOk;
}

Result Device::SetCooperativeLevel(WindowHandle window, uint32_t flags)
{
    const bool exclusive = (flags & kCooperativeExclusive) != 0;
    const bool foreground = (flags & kCooperativeForeground) != 0;
    if (exclusive == ((flags & kCooperativeNonExclusive) != 0) ||
        foreground == ((flags & kCooperativeBackground) != 0))
        return kInvalidArgument;
    m_window = window;
    m_cooperativeFlags = flags;
    return kOk;
}

Result Device::SetAxisRange(int32_t minimum, int32_t maximum)
{
    if (IsKeyboard() || minimum >= maximum)
        return kUnsupported;
    m_rangeMinimum = minimum;
    m_rangeMaximum = maximum;
    return kOk;
}

Result Device::Acquire()
{
    if (m_format == DataFormat::None)
        return kInvalidArgument;
    if (!IsPresent())
        return kInputLost;
    if ((m_cooperativeFlags & kCooperativeForeground) != 0 && !detail::Hardware().focused)
        return kOtherAppHasPriority;
    if (!IsKeyboard() && detail::FindGamePad(m_padHandle)->failPolls > 0)
        return kInputLost;
    if (m_acquired)
        return kNoEffect;
    m_acquired = true;
    return kOk;
}

Result Device::Unacquire()
{
    if (!m_acquired)
        return kNoEffect;
    m_acquired = false;
    return kOk;
}

Result Device::Poll()
{
    if (!IsPresent() || ((m_cooperativeFlags & kCooperativeForeground) != 0 && !detail::Hardware().focused))
    {
        m_acquired = false;
        return kInputLost;
    }
    if (!IsKeyboard() && detail::TakeFailure(detail::FindGamePad(m_padHandle)->failPolls))
    {
        m_acquired = false;
        return kInputLost;
    }
    if (!m_acquired)
        return kNotAcquired;
    return IsKeyboard() ? kNoEffect : kOk;
}

Result Device::GetDeviceState(uint32_t size, void* out)
{
    const uint32_t expected = m_format == DataFormat::Keyboard ? kKeyCount
                              : m_format == DataFormat::Joystick ? uint32_t(sizeof(JoystickState))
                                                                 : 0;
    if (out == nullptr || expected == 0 || size != expected)
        return kInvalidArgument;
    if (!IsPresent() || ((m_cooperativeFlags & kCooperativeForeground) != 0 && !detail::Hardware().focused))
    {
        m_acquired = false;
        return kInputLost;
    }
    if (!m_acquired)
        return kNotAcquired;
    if (IsKeyboard())
    {
        detail::KeyboardState& keyboard = detail::Hardware().keyboard;
        if (detail::TakeFailure(keyboard.failReads))
        {
            m_acquired = false;
            return kInputLost;
        }
        if (m_format != DataFormat::Keyboard)
            return kInvalidArgument;
        std::memcpy(out, keyboard.keys.data(), kKeyCount);
        return kOk;
    }
    if (m_format != DataFormat::Joystick)
        return kInvalidArgument;
    const detail::GamePadState& pad = *detail::FindGamePad(m_padHandle);
    JoystickState state;
    std::memset(&state, 0, sizeof(state));
    const int32_t centre = ScaleAxis(0.0f, m_rangeMinimum, m_rangeMaximum);
    state.rotationX = state.rotationY = centre;
    state.sliders[0] = state.sliders[1] = centre;
    state.x = ScaleAxis(pad.axes[0], m_rangeMinimum, m_rangeMaximum);
    state.y = ScaleAxis(pad.axes[1], m_rangeMinimum, m_rangeMaximum);
    state.z = ScaleAxis(pad.axes[2], m_rangeMinimum, m_rangeMaximum);
    state.rotationZ = ScaleAxis(pad.axes[3], m_rangeMinimum, m_rangeMaximum);
    for (uint32_t& pov : state.pointOfView)
        pov = 0xFFFFFFFFu;
    std::memcpy(state.buttons, pad.buttons.data(), kGamePadButtonCount);
    std::memcpy(out, &state, sizeof(state));
    return kOk;
}

Result Device::GetObjectName(uint32_t offset, std::string& out) const
{
    char generated[32];
    if (IsKeyboard())
    {
        if (offset >= kKeyCount)
            return kInvalidArgument;
        const std::string& name = detail::Hardware().keyboard.names[offset];
        if (!name.empty())
        {
            out = name;
            return kOk;
        }
        std::snprintf(generated, sizeof(generated), "Key %u", offset);
        out = generated;
        return kOk;
    }
    const detail::GamePadState* pad = AnyGamePad(m_padHandle);
    const uint32_t first = JoystickButtonOffset(0);
    if (pad == nullptr || offset < first || offset >= first + kGamePadButtonCount)
        return kInvalidArgument;
    const uint32_t button = offset - first;
    if (button < pad->spec.buttonNames.size())
    {
        out = pad->spec.buttonNames[button];
        return kOk;
    }
    std::snprintf(generated, sizeof(generated), "Button %u", button + 1);
    out = generated;
    return kOk;
}

Result Device::GetProductName(std::string& out) const
{
    const detail::GamePadState* pad = AnyGamePad(m_padHandle);
    if (pad == nullptr)
        return kFail;
    out = pad->spec.productName;
    return kOk;
}

std::unique_ptr<Effect> Device::CreateConstantForceEffect(const ConstantForce& force)
{
    if (IsKeyboard() || !IsPresent() || !detail::FindGamePad(m_padHandle)->spec.forceFeedback)
        return nullptr;
    if (force.axisOffset >= sizeof(JoystickState) || force.gain > 10000)
        return nullptr;
    return std::unique_ptr<Effect>(new Effect(m_padHandle));
}

std::unique_ptr<DirectInput> DirectInput::Create(uint32_t version)
{
    if (version != kDirectInputVersion || detail::TakeFailure(detail::Hardware().failDirectInput))
        return nullptr;
    return std::unique_ptr<DirectInput>(new DirectInput());
}

std::unique_ptr<Device> DirectInput::CreateDevice(const DeviceGuid& instance)
{
    if (instance == kSystemKeyboardGuid)
    {
        if (!detail::Hardware().keyboard.plugged)
            return nullptr;
        return std::unique_ptr<Device>(new Device(0));
    }
    for (const detail::GamePadState& pad : detail::Hardware().gamePads)
    {
        if (pad.plugged && InstanceOf(pad.handle) == instance)
        {
            detail::Hardware().openedGamePads.push_back(pad.handle);
            return std::unique_ptr<Device>(new Device(pad.handle));
        }
    }
    return nullptr;
}

std::vector<DeviceInstance> DirectInput::EnumGameControllers() const
{
    std::vector<DeviceInstance> found;
    for (const detail::GamePadState& pad : detail::Hardware().gamePads)
        if (pad.plugged)
            found.push_back(DeviceInstance{InstanceOf(pad.handle), ProductOf(pad.spec), pad.spec.productName});
    return found;
}

Result DirectInput::ReadJoystickConfig(uint32_t index, DeviceGuid& out) const
{
    uint32_t seen = 0;
    for (const detail::GamePadState& pad : detail::Hardware().gamePads)
    {
        if (!pad.plugged)
            continue;
        if (seen++ == index)
        {
            out = InstanceOf(pad.handle);
            return kOk;
        }
    }
    return kFail;
}
} // namespace input
