// The vendor and product ids of the XInput pads among the system's devices, read from the
// plug-and-play listing ("IG_" in a device id marks an XInput pad), so that the DirectInput pad never
// opens a pad that already counts as an XInput pad. Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Builds and holds the id list.
class XInputDeviceList
{
public:
    static constexpr size_t kBatchSize = 20;

    // Clears the list and fills it from the listing; an unreadable listing leaves it empty.
    void Build();
    // Product id << 16 | vendor id.
    bool Contains(uint32_t productAndVendor) const;
    const std::vector<uint32_t>& GetIds() const { return m_ids; }

    // The id of one device id; false (and 0) when it does not name an XInput pad. A missing or
    // unreadable "VID_" or "PID_" number counts as 0.
    static bool ParseDeviceId(const std::string& deviceId, uint32_t& productAndVendor);

private:
    std::vector<uint32_t> m_ids;
};
