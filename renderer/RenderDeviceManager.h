// The renderer's device: its creation with the capability checks, the parameter block and present
// parameters, resets after a lost device or a display change, the display-mode lists and closing.
//
// Threads: the device is created and reset on the game thread (Init, ApplyDisplaySettings) while
// the render thread is idle, and by the render thread's device opcodes; otherwise only the render
// thread uses it. The getters are read by render-side code and, after a synchronous submit, by the
// game thread; RequestQuit, MarkResetPending and IsDeviceResetPending belong to any thread.
#pragma once

#include "core/time/Time.h"
#include "platform/gpu/GpuFactory.h"
#include "renderer/BatchQuadGeometry.h"
#include "renderer/DeviceParams.h"
#include "renderer/DisplayModeList.h"
#include "renderer/RenderTargetSet.h"
#include "renderer/SharedGeometry.h"
#include "renderer/TextRenderer.h"
#include "renderer/UIQuadGeometry.h"
#include "renderer/VertexDeclarationCache.h"

#include <atomic>
#include <cstdint>

class NorvexRenderer;

// Creates, resets and closes the graphics device and keeps its parameters and display modes.
class RenderDeviceManager
{
public:
    explicit RenderDeviceManager(NorvexRenderer& renderer);
    RenderDeviceManager(const RenderDeviceManager&) = delete;
    RenderDeviceManager& operator=(const RenderDeviceManager&) = delete;

    // The configuration the device parameters are built from (set before Init and display changes).
    void SetDeviceSettings(const RendererDeviceSettings& settings) { m_settings = settings; }
    const RendererDeviceSettings& GetDeviceSettings() const { return m_settings; }
    // The application is quitting: a reset that waits for a lost device gives up.
    void RequestQuit() { m_quitRequested.store(true, std::memory_order_release); }
    void ClearQuitRequest() { m_quitRequested.store(false, std::memory_order_release); }
    void MarkResetPending() { m_deviceResetPending.store(true, std::memory_order_release); }
    bool IsDeviceResetPending() const { return m_deviceResetPending.load(std::memory_order_acquire); }

    void BuildDeviceParams(uint32_t outputWidth, uint32_t outputHeight, bool applyConfiguration, bool fullScreen,
                           DeviceParams* params);
    // Keeps a parameter block as the device's (under the display lock once the stream is open).
    void SetDeviceParams(const DeviceParams& params)
    {
        m_params = params;
        m_gfxQualityLevel.store(params.qualityLevel, std::memory_order_relaxed);
    }
    // The GFX quality level the particle code reads (any thread): the parameter block's, until the
    // options change it between device resets. True when the level changed.
    bool SetGFXQualityLevel(uint32_t level)
    {
        return m_gfxQualityLevel.exchange(level, std::memory_order_relaxed) != level;
    }
    uint32_t GetGFXQualityLevel() const { return m_gfxQualityLevel.load(std::memory_order_relaxed); }
    // Creates the device and what depends on it; false when no factory or device could be made.
    bool InitDX(void* window);
    // Releases the device, the factory and the display modes (the presenter and jobs are done first).
    void CloseDX();
    // Game thread, only while the stream is open: waits for the render thread, the resource loads
    // and the jobs, then applies new display parameters.
    void ApplyDisplaySettings(void* window, uint32_t width, uint32_t height, bool applyConfiguration, bool fullScreen);
    // Applies the current parameter block (display lock held by the caller or idle renderer).
    void ApplyPresentParameters(void* window);
    // Releases the size-dependent objects and, with reset, resets the device; false when the reset failed.
    bool ResetDevice(bool reset);
    // The render targets and the event queries, made after every device creation or reset
    // (nothing while a render-target dimension is 0), and released before; each tells the game
    // delegate registered with the renderer.
    void CreateRenderTargets();
    void ReleaseRenderTargets();
    // The static shapes, the particle buffers and the post-processing's objects, made after every
    // device creation or reset (releasing any first) and released before.
    void CreateSharedDeviceObjects();
    void ReleaseSharedDeviceObjects();
    bool FindDisplayMode(uint32_t* width, uint32_t* height, uint32_t* refreshRate) const;
    bool FindDesktopSize(uint32_t* width, uint32_t* height) const;

    gpu::GpuDevice* GetDevice() const { return m_device; }
    bool HasDevice() const { return m_device != nullptr || m_factory != nullptr; }
    const DeviceParams& GetDeviceParams() const { return m_params; }
    const gpu::PresentParameters& GetPresentParameters() const { return m_presentParams; }
    const DisplayModeList& GetDisplayModes() const { return m_displayModes; }
    uint32_t GetBackBufferWidth() const { return m_backBufferWidth; }
    uint32_t GetBackBufferHeight() const { return m_backBufferHeight; }
    uint32_t GetRenderWidth() const { return m_renderWidth; }
    uint32_t GetRenderHeight() const { return m_renderHeight; }
    // The shared text geometry; it exists while the device does.
    TextRenderer& GetTextRenderer() { return m_textRenderer; }
    UIQuadGeometry& GetUIQuadGeometry() { return m_uiGeometry; }
    // The static shared geometry, made after every device creation or reset.
    const SharedGeometry& GetSharedGeometry() const { return m_sharedGeometry; }
    // The instanced piece batches, made once with the device.
    const BatchQuadGeometry& GetBatchGeometry() const { return m_batchGeometry; }
    // The shared vertex declarations; they exist while the device does.
    VertexDeclarationCache& GetVertexDeclarations() { return m_declarations; }
    bool HasDepthTextureSupport() const { return m_capsDepthTexture; }
    bool HasRawzDepthTextureSupport() const { return m_capsRawz; }
    // The back buffer takes no sRGB writes: sRGB writes and reads stay off.
    bool IsSrgbForcedOff() const { return m_capsSrgbForcedOff; }
    // The renderer's off-screen targets (empty while not ready).
    const RenderTargetSet& GetRenderTargets() const { return m_targets; }
    // The render targets exist (read by the render thread's loading frames).
    bool AreTargetsReady() const { return m_targetsReady.load(std::memory_order_acquire); }
    // Counts the times the render targets were made: a new set starts with empty contents.
    uint32_t GetTargetGeneration() const { return m_targetGeneration.load(std::memory_order_acquire); }
    // The GPU query of the current frame, and the switch to the other one after a present.
    gpu::GpuQuery* GetCurrentQuery() const { return m_gpuQueries[m_currentQuery]; }
    void SwitchQuery() { m_currentQuery ^= 1u; }

private:
    void EnumerateDisplayModes();
    void LogResetParameters();

    NorvexRenderer& m_renderer;
    RendererDeviceSettings m_settings;
    TextRenderer m_textRenderer;
    UIQuadGeometry m_uiGeometry;
    VertexDeclarationCache m_declarations;
    SharedGeometry m_sharedGeometry;
    BatchQuadGeometry m_batchGeometry;
    std::atomic<bool> m_quitRequested{false};
    std::atomic<bool> m_deviceResetPending{false};
    DeviceParams m_params; // display lock
    std::atomic<uint32_t> m_gfxQualityLevel{DeviceParams().qualityLevel};
    gpu::GpuFactory* m_factory = nullptr;
    gpu::GpuDevice* m_device = nullptr;
    gpu::PresentParameters m_presentParams = {};
    DisplayModeList m_displayModes;
    uint32_t m_backBufferWidth = 0;
    uint32_t m_backBufferHeight = 0;
    uint32_t m_renderWidth = 0;
    uint32_t m_renderHeight = 0;
    uint32_t m_refreshRate = 0;
    bool m_capsRawz = false;
    bool m_capsIntz = false;
    bool m_capsDepthTexture = false;
    bool m_capsSrgbForcedOff = false;
    bool m_deviceCreated = false;
    RenderTargetSet m_targets;
    // Made with the targets; the first two alternate as the frames' GPU queries.
    gpu::GpuQuery* m_gpuQueries[3] = {};
    uint32_t m_currentQuery = 0;
    std::atomic<bool> m_targetsReady{false};
    std::atomic<uint32_t> m_targetGeneration{0};
    Time m_deviceCreatedTime;
};
