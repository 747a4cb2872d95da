#include "platform/gpu/GpuFactory.h"

#include "platform/gpu/GpuLog.h"

#include <algorithm>

namespace gpu
{
namespace
{
bool FactoryContains(const std::vector<Format>& list, Format format)
{
    return std::find(list.begin(), list.end(), format) != list.end();
}
} // namespace

GpuFactory* CreateFactory(uint32_t sdkVersion)
{
    if (sdkVersion != kSdkVersion)
    {
        LogError("CreateFactory: SDK version %u, expected %u", sdkVersion, kSdkVersion);
        return nullptr;
    }
    if (Faults().TakeFactoryFailure())
    {
        LogWarning("planned failure: no graphics factory");
        return nullptr;
    }
    return new GpuFactory(GetDisplayConfig());
}

GpuFactory::GpuFactory(const DisplayConfig& config) : GpuObject(ObjectKind::Factory), m_config(config) {}

Result GpuFactory::GetAdapterDisplayMode(uint32_t adapter, DisplayMode* mode) const
{
    if (adapter != kAdapterDefault || !mode)
        return kErrInvalidCall;
    *mode = {m_config.desktopWidth, m_config.desktopHeight, m_config.desktopRefreshRate, kFormatX8R8G8B8};
    return kOk;
}

uint32_t GpuFactory::GetAdapterModeCount(uint32_t adapter, Format format) const
{
    if (adapter != kAdapterDefault)
        return 0;
    return uint32_t(std::count_if(m_config.modes.begin(), m_config.modes.end(),
                                  [&](const DisplayMode& m) { return m.format == format; }));
}

Result GpuFactory::EnumAdapterModes(uint32_t adapter, Format format, uint32_t index, DisplayMode* mode) const
{
    if (adapter != kAdapterDefault || !mode)
        return kErrInvalidCall;
    for (const DisplayMode& m : m_config.modes)
        if (m.format == format && index-- == 0)
        {
            *mode = m;
            return kOk;
        }
    return kErrInvalidCall;
}

Result GpuFactory::CheckDeviceFormat(uint32_t adapter, uint32_t deviceType, Format /*adapterFormat*/,
                                     uint32_t usage, uint32_t resourceType, Format format) const
{
    if (adapter != kAdapterDefault || deviceType != kDeviceTypeHal)
        return kErrInvalidCall;
    const FormatInfo* info = FindFormat(format);
    if (!info)
        return kErrNotAvailable;
    const bool texture = resourceType == kResourceTexture || resourceType == kResourceCubeTexture;
    if (usage & kUsageQuerySrgbWrite)
        return FactoryContains(m_config.srgbWriteFormats, format) ? kOk : kErrNotAvailable;
    if (usage & kUsageDepthStencil)
    {
        const std::vector<Format>& list = texture ? m_config.depthTextureFormats : m_config.depthStencilFormats;
        return FactoryContains(list, format) ? kOk : kErrNotAvailable;
    }
    if (usage & kUsageRenderTarget)
        return FactoryContains(m_config.renderTargetFormats, format) ? kOk : kErrNotAvailable;
    return info->kind == FormatKind::Depth ? kErrNotAvailable : kOk;
}

Result GpuFactory::CheckDeviceMultiSampleType(uint32_t adapter, uint32_t deviceType, Format format,
                                              bool /*windowed*/, uint32_t multiSampleType,
                                              uint32_t* qualityLevels) const
{
    if (qualityLevels)
        *qualityLevels = 0;
    if (adapter != kAdapterDefault || deviceType != kDeviceTypeHal)
        return kErrInvalidCall;
    const bool formatOk = FactoryContains(m_config.renderTargetFormats, format) ||
                          FactoryContains(m_config.depthStencilFormats, format);
    const bool countOk = multiSampleType == kMultisampleNone ||
                         std::find(m_config.multisampleCounts.begin(), m_config.multisampleCounts.end(),
                                   multiSampleType) != m_config.multisampleCounts.end();
    if (!formatOk || !countOk)
        return kErrNotAvailable;
    if (qualityLevels)
        *qualityLevels = 1;
    return kOk;
}

Result GpuFactory::CreateDevice(uint32_t adapter, uint32_t deviceType, void* window, uint32_t behaviourFlags,
                                PresentParameters* params, GpuDevice** device)
{
    if (!device)
        return kErrInvalidCall;
    *device = nullptr;
    if (adapter != kAdapterDefault || deviceType != kDeviceTypeHal || !params)
    {
        LogError("CreateDevice: adapter %u, device type %u", adapter, deviceType);
        return kErrInvalidCall;
    }
    const uint32_t processing = behaviourFlags & (kCreateHardwareVertexProcessing | kCreateSoftwareVertexProcessing);
    if (processing != kCreateHardwareVertexProcessing && processing != kCreateSoftwareVertexProcessing)
    {
        LogError("CreateDevice: behaviour flags 0x%X name no single vertex processing", behaviourFlags);
        return kErrInvalidCall;
    }
    if ((behaviourFlags & kCreatePureDevice) && processing != kCreateHardwareVertexProcessing)
        return kErrInvalidCall;
    if (processing == kCreateHardwareVertexProcessing && !m_config.hardwareVertexProcessing)
        return kErrNotAvailable;
    if (Faults().TakeDeviceFailure())
    {
        LogWarning("planned failure: CreateDevice with flags 0x%X fails", behaviourFlags);
        return kErrNotAvailable;
    }
    if (const Result r = CheckPresentParameters(m_config, params); r != kOk)
        return r;
    *device = new GpuDevice(m_config, window, behaviourFlags, *params);
    return kOk;
}
} // namespace gpu
