#include "platform/input/DeviceListing.h"

#include "platform/input/InputHardwareState.h"

namespace input
{
bool ListDeviceIds(size_t start, size_t batchSize, std::vector<std::string>& out)
{
    out.clear();
    detail::HardwareState& hardware = detail::Hardware();
    if (start == 0 && detail::TakeFailure(hardware.failListing))
        return false;
    std::vector<const std::string*> all;
    for (const detail::GamePadState& pad : hardware.gamePads)
        if (pad.plugged && !pad.spec.deviceId.empty())
            all.push_back(&pad.spec.deviceId);
    for (const std::string& id : hardware.listedDevices)
        all.push_back(&id);
    for (size_t i = start; i < all.size() && out.size() < batchSize; ++i)
        out.push_back(*all[i]);
    return true;
}
} // namespace input
