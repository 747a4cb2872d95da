// The stand-in's configurable hardware and its fault plan. The display configuration is read when a
// factory is created; the fault plan is consulted by every factory, device and query as it runs.
// Tests set both from any thread; the stand-in reads them under their own locks.
#pragma once

#include "platform/gpu/GpuObject.h"
#include "platform/gpu/GpuTypes.h"

#include <mutex>
#include <vector>

namespace gpu
{
// What the simulated adapter offers.
struct DisplayConfig
{
    uint32_t desktopWidth = 1920;
    uint32_t desktopHeight = 1080;
    uint32_t desktopRefreshRate = 60;
    std::vector<DisplayMode> modes;            // adapter modes, any order
    std::vector<Format> renderTargetFormats;   // colour formats that can be rendered to
    std::vector<Format> depthStencilFormats;   // depth formats of plain depth-stencil surfaces
    std::vector<Format> depthTextureFormats;   // depth formats of depth-stencil textures
    std::vector<Format> srgbWriteFormats;      // colour formats that take sRGB-converted writes
    std::vector<uint32_t> multisampleCounts;   // sample counts allowed besides none
    bool hardwareVertexProcessing = true;      // false refuses hardware vertex processing
};

// The default adapter: a 1920x1080 desktop, common modes at 60 Hz, INTZ but not RAWZ, 2x and 4x.
DisplayConfig DefaultDisplayConfig();
void SetDisplayConfig(const DisplayConfig& config);
DisplayConfig GetDisplayConfig();

// Presents are paced to the display's 60 Hz, as a vertical sync would, so a program that renders
// as fast as it can does not spin a core; tests that present many frames turn it off. On by default,
// unless the environment holds NORVEX_PRESENT_PACING=0.
void SetPresentPacing(bool on);
bool IsPresentPacing();

// Which draws a device rasterises (GpuDevice::SetRasterMode).
enum class RasterMode : uint8_t
{
    Always,        // every draw
    WrittenFrames, // the draws of frames written as images, and draws into targets later frames read
    Never,         // none: draws are still checked, counted and logged
};
// The mode devices made from now on start in: Always, unless the program asks for another (the game
// asks for WrittenFrames). NORVEX_RASTERISE=always|written|never in the environment overrides what
// the program asks, to measure a run in another mode.
void SetDefaultRasterMode(RasterMode mode);
RasterMode GetDefaultRasterMode();

// Injected failures. Counts are consumed as the stand-in meets them.
class FaultPlan
{
public:
    // The next `count` factory creations fail.
    void FailFactoryCreation(uint32_t count);
    // The next `count` device creations fail.
    void FailDeviceCreation(uint32_t count);
    // The next `count` creations of the kind (or of any device object with Count) fail with
    // out-of-memory.
    void FailResourceCreation(uint32_t count, ObjectKind kind = ObjectKind::Count);
    // After `presentsBefore` more good presents the device is lost; resets then answer device-lost
    // `resetTriesLost` times before one can succeed.
    void LoseDeviceOnPresent(uint32_t presentsBefore, uint32_t resetTriesLost);
    // The next `count` resets answer `result` (device-lost or another failure).
    void FailResets(uint32_t count, Result result);
    // Event queries issued from now on answer not ready for `polls` polls.
    void DelayQueries(uint32_t polls);
    void Clear();

    bool TakeFactoryFailure();
    bool TakeDeviceFailure();
    bool TakeResourceFailure(ObjectKind kind);
    // True when this present loses the device; gives the reset tries that then answer device-lost.
    bool TakePresentLoss(uint32_t* resetTriesLost);
    // kOk when no reset failure is planned.
    Result TakeResetFailure();
    uint32_t GetQueryDelay();

private:
    std::mutex m_mutex;
    uint32_t m_factoryFailures = 0;
    uint32_t m_deviceFailures = 0;
    uint32_t m_resourceFailures = 0;
    ObjectKind m_resourceFailureKind = ObjectKind::Count;
    bool m_presentLossArmed = false;
    uint32_t m_presentsBeforeLoss = 0;
    uint32_t m_resetTriesLost = 0;
    uint32_t m_resetFailures = 0;
    Result m_resetFailure = kOk;
    uint32_t m_queryDelay = 0;
};

FaultPlan& Faults();
} // namespace gpu
