// The simulated hardware table behind the input front ends (internal to platform/input).
// Main thread only.
#pragma once

#include "platform/input/Accessibility.h"
#include "platform/input/InputHardware.h"
#include "platform/input/MouseMessages.h"

#include <array>
#include <deque>
#include <string>
#include <vector>

namespace input::detail
{
struct KeyboardState
{
    bool plugged = true;
    std::array<uint8_t, kKeyCount> keys{};
    std::array<std::string, kKeyCount> names;
    uint32_t failReads = 0;
};

struct XInputPadState
{
    bool plugged = false;
    uint32_t packet = 0;
    XInputGamepad gamepad;
    uint16_t leftMotor = 0;
    uint16_t rightMotor = 0;
    uint32_t queries = 0;
};

struct GamePadState
{
    uint32_t handle = 0;
    GamePadSpec spec;
    bool plugged = true;
    float axes[4] = {};
    std::array<uint8_t, kGamePadButtonCount> buttons{};
    uint32_t failPolls = 0;
    uint32_t openCount = 0;
    uint32_t effectCount = 0;
};

struct SteamControllerState
{
    bool connected = false;
    SteamControllerPadState state;
};

struct HardwareState
{
    bool focused = true;
    KeyboardState keyboard;
    uint32_t failDirectInput = 0;
    std::array<XInputPadState, kXInputPadCount> xinputPads;
    std::vector<GamePadState> gamePads;
    uint32_t nextGamePadHandle = 1;
    std::vector<uint32_t> openedGamePads;
    std::vector<std::string> listedDevices;
    uint32_t failListing = 0;
    bool steamPresent = true;
    uint32_t failSteamInit = 0;
    bool steamRunning = false;
    std::string steamConfigPath;
    std::string steamOverrideMode;
    std::array<SteamControllerState, kSteamControllerCount> steamControllers;
    StickyKeys stickyKeys;
    ToggleKeys toggleKeys;
    FilterKeys filterKeys;
    bool mousePlugged = true;
    std::deque<MouseMessage> mouseMessages;
    uint32_t doubleClickMilliseconds = 500;
};

HardwareState& Hardware();
// The plugged pad with the handle, or null.
GamePadState* FindGamePad(uint32_t handle);
// Takes one from a failure count; true when a failure was due.
bool TakeFailure(uint32_t& count);
} // namespace input::detail
