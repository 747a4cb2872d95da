#include "platform/gpu/GpuEnvironment.h"

#include "platform/gpu/GpuLog.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace gpu
{
namespace
{
// NORVEX_PRESENT_PACING=0 starts a program unpaced, to measure how fast its frames can go.
bool PacingFromEnvironment()
{
    const char* value = std::getenv("NORVEX_PRESENT_PACING");
    return value == nullptr || std::strcmp(value, "0") != 0;
}

std::atomic<bool> gPresentPacing{PacingFromEnvironment()};
std::atomic<RasterMode> gRasterMode{RasterMode::Always};
std::mutex gConfigMutex;
bool gConfigSet = false;
DisplayConfig gConfig;

bool Take(uint32_t& counter)
{
    if (counter == 0)
        return false;
    --counter;
    return true;
}
} // namespace

void SetPresentPacing(bool on) { gPresentPacing.store(on, std::memory_order_relaxed); }

bool IsPresentPacing() { return gPresentPacing.load(std::memory_order_relaxed); }

void SetDefaultRasterMode(RasterMode mode) { gRasterMode.store(mode, std::memory_order_relaxed); }

RasterMode GetDefaultRasterMode()
{
    const char* value = std::getenv("NORVEX_RASTERISE");
    if (value == nullptr || *value == 0)
        return gRasterMode.load(std::memory_order_relaxed);
    if (std::strcmp(value, "always") == 0)
        return RasterMode::Always;
    if (std::strcmp(value, "written") == 0)
        return RasterMode::WrittenFrames;
    if (std::strcmp(value, "never") == 0)
        return RasterMode::Never;
    LogWarning("NORVEX_RASTERISE=%s is not always, written or never; it is ignored", value);
    return gRasterMode.load(std::memory_order_relaxed);
}

DisplayConfig DefaultDisplayConfig()
{
    DisplayConfig config;
    const uint32_t sizes[][2] = {{640, 480},   {800, 600},   {1024, 768},  {1280, 720}, {1280, 1024},
                                 {1366, 768},  {1600, 900},  {1680, 1050}, {1920, 1080}};
    for (const auto& size : sizes)
        config.modes.push_back({size[0], size[1], 60, kFormatX8R8G8B8});
    config.renderTargetFormats = {kFormatA8R8G8B8,     kFormatX8R8G8B8, kFormatR5G6B5, kFormatA2R10G10B10,
                                  kFormatA16B16G16R16F, kFormatG16R16F,  kFormatR32F};
    config.depthStencilFormats = {kFormatD24S8, kFormatD16};
    config.depthTextureFormats = {kFormatD24S8, kFormatD16, kFormatINTZ};
    config.srgbWriteFormats = {kFormatA8R8G8B8, kFormatX8R8G8B8};
    config.multisampleCounts = {2, 4};
    return config;
}

void SetDisplayConfig(const DisplayConfig& config)
{
    std::lock_guard<std::mutex> lock(gConfigMutex);
    gConfig = config;
    gConfigSet = true;
}

DisplayConfig GetDisplayConfig()
{
    std::lock_guard<std::mutex> lock(gConfigMutex);
    if (!gConfigSet)
    {
        gConfig = DefaultDisplayConfig();
        gConfigSet = true;
    }
    return gConfig;
}

void FaultPlan::FailFactoryCreation(uint32_t count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_factoryFailures = count;
}

void FaultPlan::FailDeviceCreation(uint32_t count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_deviceFailures = count;
}

void FaultPlan::FailResourceCreation(uint32_t count, ObjectKind kind)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_resourceFailures = count;
    m_resourceFailureKind = kind;
}

void FaultPlan::LoseDeviceOnPresent(uint32_t presentsBefore, uint32_t resetTriesLost)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_presentLossArmed = true;
    m_presentsBeforeLoss = presentsBefore;
    m_resetTriesLost = resetTriesLost;
}

void FaultPlan::FailResets(uint32_t count, Result result)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_resetFailures = count;
    m_resetFailure = result;
}

void FaultPlan::DelayQueries(uint32_t polls)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queryDelay = polls;
}

void FaultPlan::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_factoryFailures = m_deviceFailures = m_resourceFailures = 0;
    m_resourceFailureKind = ObjectKind::Count;
    m_presentLossArmed = false;
    m_presentsBeforeLoss = m_resetTriesLost = m_resetFailures = m_queryDelay = 0;
    m_resetFailure = kOk;
}

bool FaultPlan::TakeFactoryFailure()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return Take(m_factoryFailures);
}

bool FaultPlan::TakeDeviceFailure()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return Take(m_deviceFailures);
}

bool FaultPlan::TakeResourceFailure(ObjectKind kind)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_resourceFailureKind != ObjectKind::Count && m_resourceFailureKind != kind)
        return false;
    return Take(m_resourceFailures);
}

bool FaultPlan::TakePresentLoss(uint32_t* resetTriesLost)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_presentLossArmed)
        return false;
    if (Take(m_presentsBeforeLoss))
        return false;
    m_presentLossArmed = false;
    *resetTriesLost = m_resetTriesLost;
    return true;
}

Result FaultPlan::TakeResetFailure()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return Take(m_resetFailures) ? m_resetFailure : kOk;
}

uint32_t FaultPlan::GetQueryDelay()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queryDelay;
}

FaultPlan& Faults()
{
    static FaultPlan plan;
    return plan;
}
} // namespace gpu
