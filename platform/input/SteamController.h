// The Steam controller interface stand-in: present while the client service runs (a switch in
// InputHardware.h takes it away), started with the path of the controller configuration, then
// asked for each pad's state. Main thread only.
#pragma once

#include "platform/input/InputHardware.h"

#include <cstdint>

namespace input
{
// Bits of the state's button word that the engine maps.
constexpr uint32_t kSteamControllerMappedBits = 19;

struct SteamControllerState
{
    uint32_t packetNumber = 0;
    uint64_t buttons = 0;
    int16_t leftPadX = 0;
    int16_t leftPadY = 0;
    int16_t rightPadX = 0;
    int16_t rightPadY = 0;
};

// The interface, or null when the client service offers none.
class SteamController
{
public:
    static SteamController* Get();

    // False when the path is missing or a failure is injected.
    bool Init(const char* configPath);
    void Shutdown();
    void SetOverrideMode(const char* mode);
    // False for a pad that is not connected, or before Init.
    bool GetControllerState(uint32_t index, SteamControllerState& out);

private:
    SteamController() = default;
};
} // namespace input
