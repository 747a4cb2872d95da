#include "engine/input/XInputDeviceList.h"

#include "platform/input/DeviceListing.h"

#include <algorithm>

namespace
{
// Up to four hexadecimal digits after `tag`; 0 when the tag is absent or no digit follows.
uint32_t ParseHexAfter(const std::string& text, const char* tag)
{
    const size_t at = text.find(tag);
    if (at == std::string::npos)
        return 0;
    uint32_t value = 0;
    size_t i = at + 4;
    for (size_t digits = 0; digits < 4 && i < text.size(); ++digits, ++i)
    {
        const char c = text[i];
        uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = uint32_t(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = uint32_t(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = uint32_t(c - 'A' + 10);
        else
            break;
        value = value * 16 + digit;
    }
    return value;
}
} // namespace

bool XInputDeviceList::ParseDeviceId(const std::string& deviceId, uint32_t& productAndVendor)
{
    productAndVendor = 0;
    if (deviceId.find("IG_") == std::string::npos)
        return false;
    productAndVendor = (ParseHexAfter(deviceId, "PID_") << 16) | ParseHexAfter(deviceId, "VID_");
    return true;
}

void XInputDeviceList::Build()
{
    m_ids.clear();
    std::vector<std::string> batch;
    for (size_t start = 0;; start += batch.size())
    {
        if (!input::ListDeviceIds(start, kBatchSize, batch) || batch.empty())
            return;
        for (const std::string& deviceId : batch)
        {
            uint32_t id = 0;
            if (ParseDeviceId(deviceId, id))
                m_ids.push_back(id);
        }
    }
}

bool XInputDeviceList::Contains(uint32_t productAndVendor) const
{
    return std::find(m_ids.begin(), m_ids.end(), productAndVendor) != m_ids.end();
}
