#include "platform/input/SteamController.h"

#include "platform/input/InputHardwareState.h"

namespace input
{
SteamController* SteamController::Get()
{
    static SteamController instance;
    return detail::Hardware().steamPresent ? &instance : nullptr;
}

bool SteamController::Init(const char* configPath)
{
    detail::HardwareState& hardware = detail::Hardware();
    if (configPath == nullptr || configPath[0] == '\0' || detail::TakeFailure(hardware.failSteamInit))
        return false;
    hardware.steamConfigPath = configPath;
    hardware.steamRunning = true;
    return true;
}

void SteamController::Shutdown()
{
    detail::Hardware().steamRunning = false;
}

void SteamController::SetOverrideMode(const char* mode)
{
    detail::Hardware().steamOverrideMode = mode != nullptr ? mode : "";
}

bool SteamController::GetControllerState(uint32_t index, SteamControllerState& out)
{
    detail::HardwareState& hardware = detail::Hardware();
    if (!hardware.steamRunning || index >= kSteamControllerCount || !hardware.steamControllers[index].connected)
        return false;
    const SteamControllerPadState& pad = hardware.steamControllers[index].state;
    out.buttons = pad.buttons;
    out.leftPadX = pad.leftPadX;
    out.leftPadY = pad.leftPadY;
    out.rightPadX = pad.rightPadX;
    out.rightPadY = pad.rightPadY;
    ++out.packetNumber;
    return true;
}
} // namespace input
