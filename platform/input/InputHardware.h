// platform/input: the stand-in for the keyboard, mouse and pad services of the system.
//
// The "hardware" is a table of simulated devices that tests (and the headless program) plug in,
// drive frame by frame and unplug: the keyboard and the mouse (plugged in at start), XInput pads
// 0-3, DirectInput game controllers (an XInput pad shows up there too, and in the device listing
// with "IG_" in its id) and Steam controllers. The service front ends read that table:
// DirectInput.h (the keyboard and game-controller device interface), XInput.h, SteamController.h,
// DeviceListing.h (the plug-and-play listing), Accessibility.h (the system's hot-key settings)
// and MouseMessages.h (the window's mouse messages). Failures can be injected per call.
//
// Main thread only, like the input code of the engine: the table has no lock.
#pragma once

#include "platform/input/InputTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace input
{
constexpr uint32_t kKeyCount = 256;
constexpr uint8_t kKeyDown = 0x80;
constexpr uint32_t kXInputPadCount = 4;
constexpr uint32_t kGamePadButtonCount = 128;
constexpr uint32_t kSteamControllerCount = 16;

// Back to the start: keyboard and mouse plugged in, nothing else, no injected failures, focus on,
// the default accessibility settings, the Steam controller interface present.
void ResetInputHardware();

// The application window has focus; foreground devices lose their acquisition without it.
void SetWindowFocus(bool focused);

// Keyboard: key state by scan code.
void PlugKeyboard(bool plugged);
bool IsKeyboardPlugged();
void SetKey(uint8_t scanCode, bool down);
// Name the device gives the key; "Key %u" (the scan code) unless set.
void SetKeyName(uint8_t scanCode, const char* name);
// The next `count` keyboard state reads fail (the device loses its acquisition).
void FailKeyboardReads(uint32_t count);

// DirectInput itself: the next `count` creations of the interface fail.
void FailDirectInputCreation(uint32_t count);

// XInput pads 0-3.
struct XInputGamepad
{
    uint16_t buttons = 0;
    uint8_t leftTrigger = 0;
    uint8_t rightTrigger = 0;
    int16_t thumbLX = 0;
    int16_t thumbLY = 0;
    int16_t thumbRX = 0;
    int16_t thumbRY = 0;
};
void PlugXInputPad(uint32_t user);
void UnplugXInputPad(uint32_t user);
// Sets the pad's state and advances its packet number.
void SetXInputPadState(uint32_t user, const XInputGamepad& state);
// How many times the pad's state was asked for (connected or not).
uint32_t GetXInputQueryCount(uint32_t user);
// The motor speeds last sent to the pad.
void GetXInputVibration(uint32_t user, uint16_t& left, uint16_t& right);

// DirectInput game controllers, enumerated in the order they were plugged in.
struct GamePadSpec
{
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string productName;
    // Plug-and-play id shown by the device listing; XInput pads carry "IG_" in it.
    std::string deviceId;
    bool forceFeedback = false;
    // Names of buttons 0.. (button n without one is named "Button %u" with n + 1).
    std::vector<std::string> buttonNames;
};
// Returns the pad's handle (never 0).
uint32_t PlugGamePad(const GamePadSpec& spec);
void UnplugGamePad(uint32_t handle);
// Axes from -1 to 1 (x, y, z, rotation z), reported in the range the device was given.
void SetGamePadAxes(uint32_t handle, float x, float y, float z, float rotationZ);
void SetGamePadButton(uint32_t handle, uint32_t button, bool down);
// The next `count` polls of the pad fail, and so does acquiring it again meanwhile.
void FailGamePadPolls(uint32_t handle, uint32_t count);
// Devices created on the pad that are still open.
uint32_t GetGamePadOpenCount(uint32_t handle);
// Force-feedback effects created on the pad that are still alive.
uint32_t GetGamePadEffectCount(uint32_t handle);
// Every pad that was ever opened, in order of opening.
std::vector<uint32_t> GetOpenedGamePads();

// Extra entries of the device listing besides the plugged game controllers' ids.
void AddListedDevice(const char* deviceId);
// The next `count` listings fail.
void FailDeviceListing(uint32_t count);

// Steam controllers.
void SetSteamControllerInterfacePresent(bool present);
void FailSteamControllerInit(uint32_t count);
struct SteamControllerPadState
{
    uint64_t buttons = 0;
    int16_t leftPadX = 0;
    int16_t leftPadY = 0;
    int16_t rightPadX = 0;
    int16_t rightPadY = 0;
};
void PlugSteamController(uint32_t index);
void UnplugSteamController(uint32_t index);
void SetSteamControllerState(uint32_t index, const SteamControllerPadState& state);
// What the engine handed the interface: its configuration path and override mode; whether it runs.
std::string GetSteamControllerConfigPath();
std::string GetSteamControllerOverrideMode();
bool IsSteamControllerInterfaceRunning();
} // namespace input
