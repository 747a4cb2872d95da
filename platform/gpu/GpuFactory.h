// The entry to the graphics stand-in: one adapter with the configured desktop, display modes and
// format capabilities, and device creation. Created with CreateFactory; any thread may query it,
// devices are created by the thread that will reset them.
#pragma once

#include "platform/gpu/GpuDevice.h"

namespace gpu
{
class GpuFactory : public GpuObject
{
public:
    explicit GpuFactory(const DisplayConfig& config);

    uint32_t GetAdapterCount() const { return 1; }
    // The desktop's mode.
    Result GetAdapterDisplayMode(uint32_t adapter, DisplayMode* mode) const;
    uint32_t GetAdapterModeCount(uint32_t adapter, Format format) const;
    Result EnumAdapterModes(uint32_t adapter, Format format, uint32_t index, DisplayMode* mode) const;
    // kOk when a resource of the type with the usage can be made in the format, else kErrNotAvailable.
    Result CheckDeviceFormat(uint32_t adapter, uint32_t deviceType, Format adapterFormat, uint32_t usage,
                             uint32_t resourceType, Format format) const;
    // qualityLevels (optional) receives 1 for an available sample count.
    Result CheckDeviceMultiSampleType(uint32_t adapter, uint32_t deviceType, Format format, bool windowed,
                                      uint32_t multiSampleType, uint32_t* qualityLevels) const;
    // Fills in the defaults of the parameters (see CheckPresentParameters).
    Result CreateDevice(uint32_t adapter, uint32_t deviceType, void* window, uint32_t behaviourFlags,
                        PresentParameters* params, GpuDevice** device);
    const DisplayConfig& Config() const { return m_config; }

private:
    ~GpuFactory() override = default;
    const DisplayConfig m_config;
};

// Creates the factory from the current display configuration; null when the SDK version is not
// kSdkVersion or the fault plan fails it.
GpuFactory* CreateFactory(uint32_t sdkVersion);
} // namespace gpu
