#include "platform/input/InputHardware.h"

#include "platform/input/InputHardwareState.h"

#include <algorithm>

namespace input
{
namespace detail
{
HardwareState& Hardware()
{
    // Never destroyed: devices held by engine globals may still reach it during static destruction.
    static HardwareState* const state = new HardwareState();
    return *state;
}

GamePadState* FindGamePad(uint32_t handle)
{
    for (GamePadState& pad : Hardware().gamePads)
        if (pad.handle == handle && pad.plugged)
            return &pad;
    return nullptr;
}

bool TakeFailure(uint32_t& count)
{
    if (count == 0)
        return false;
    --count;
    return true;
}
} // namespace detail

using detail::Hardware;

void ResetInputHardware()
{
    Hardware() = detail::HardwareState();
}

void SetWindowFocus(bool focused)
{
    Hardware().focused = focused;
}

void PlugKeyboard(bool plugged)
{
    Hardware().keyboard.plugged = plugged;
}

bool IsKeyboardPlugged()
{
    return Hardware().keyboard.plugged;
}

void SetKey(uint8_t scanCode, bool down)
{
    Hardware().keyboard.keys[scanCode] = down ? kKeyDown : 0;
}

void SetKeyName(uint8_t scanCode, const char* name)
{
    Hardware().keyboard.names[scanCode] = name != nullptr ? name : "";
}

void FailKeyboardReads(uint32_t count)
{
    Hardware().keyboard.failReads = count;
}

void FailDirectInputCreation(uint32_t count)
{
    Hardware().failDirectInput = count;
}

void PlugXInputPad(uint32_t user)
{
    if (user < kXInputPadCount)
        Hardware().xinputPads[user].plugged = true;
}

void UnplugXInputPad(uint32_t user)
{
    if (user < kXInputPadCount)
        Hardware().xinputPads[user].plugged = false;
}

void SetXInputPadState(uint32_t user, const XInputGamepad& state)
{
    if (user >= kXInputPadCount)
        return;
    detail::XInputPadState& pad = Hardware().xinputPads[user];
    pad.gamepad = state;
    ++pad.packet;
}

uint32_t GetXInputQueryCount(uint32_t user)
{
    return user < kXInputPadCount ? Hardware().xinputPads[user].queries : 0;
}

void GetXInputVibration(uint32_t user, uint16_t& left, uint16_t& right)
{
    left = right = 0;
    if (user >= kXInputPadCount)
        return;
    left = Hardware().xinputPads[user].leftMotor;
    right = Hardware().xinputPads[user].rightMotor;
}

uint32_t PlugGamePad(const GamePadSpec& spec)
{
    detail::HardwareState& hardware = Hardware();
    detail::GamePadState pad;
    pad.handle = hardware.nextGamePadHandle++;
    pad.spec = spec;
    hardware.gamePads.push_back(pad);
    return pad.handle;
}

void UnplugGamePad(uint32_t handle)
{
    if (detail::GamePadState* pad = detail::FindGamePad(handle))
        pad->plugged = false;
}

void SetGamePadAxes(uint32_t handle, float x, float y, float z, float rotationZ)
{
    detail::GamePadState* pad = detail::FindGamePad(handle);
    if (pad == nullptr)
        return;
    const float values[4] = {x, y, z, rotationZ};
    for (int i = 0; i < 4; ++i)
        pad->axes[i] = std::clamp(values[i], -1.0f, 1.0f);
}

void SetGamePadButton(uint32_t handle, uint32_t button, bool down)
{
    detail::GamePadState* pad = detail::FindGamePad(handle);
    if (pad != nullptr && button < kGamePadButtonCount)
        pad->buttons[button] = down ? 0x80 : 0;
}

void FailGamePadPolls(uint32_t handle, uint32_t count)
{
    if (detail::GamePadState* pad = detail::FindGamePad(handle))
        pad->failPolls = count;
}

uint32_t GetGamePadOpenCount(uint32_t handle)
{
    for (const detail::GamePadState& pad : Hardware().gamePads)
        if (pad.handle == handle)
            return pad.openCount;
    return 0;
}

uint32_t GetGamePadEffectCount(uint32_t handle)
{
    for (const detail::GamePadState& pad : Hardware().gamePads)
        if (pad.handle == handle)
            return pad.effectCount;
    return 0;
}

std::vector<uint32_t> GetOpenedGamePads()
{
    return Hardware().openedGamePads;
}

void AddListedDevice(const char* deviceId)
{
    Hardware().listedDevices.push_back(deviceId != nullptr ? deviceId : "");
}

void FailDeviceListing(uint32_t count)
{
    Hardware().failListing = count;
}

void SetSteamControllerInterfacePresent(bool present)
{
    Hardware().steamPresent = present;
}

void FailSteamControllerInit(uint32_t count)
{
    Hardware().failSteamInit = count;
}

void PlugSteamController(uint32_t index)
{
    if (index < kSteamControllerCount)
        Hardware().steamControllers[index].connected = true;
}

void UnplugSteamController(uint32_t index)
{
    if (index < kSteamControllerCount)
        Hardware().steamControllers[index].connected = false;
}

void SetSteamControllerState(uint32_t index, const SteamControllerPadState& state)
{
    if (index < kSteamControllerCount)
        Hardware().steamControllers[index].state = state;
}

std::string GetSteamControllerConfigPath()
{
    return Hardware().steamConfigPath;
}

std::string GetSteamControllerOverrideMode()
{
    return Hardware().steamOverrideMode;
}

bool IsSteamControllerInterfaceRunning()
{
    return Hardware().steamRunning;
}
} // namespace input
