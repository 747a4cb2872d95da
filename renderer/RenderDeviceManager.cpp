// The device: creation, present parameters, reset, display modes and closing. Creation and reset run
// on the game thread while the render thread is idle, or on the render thread for its device opcodes.
#include "renderer/RenderDeviceManager.h"

#include "core/console/GameConsole.h"
#include "effects/particles/ParticlePools.h"
#include "engine/Game.h"
#include "engine/input/InputManager.h"
#include "engine/profiler/Profiler.h"
#include "engine/scripting/GameDelegate.h"
#include "platform/os/Clock.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/PostprocessManager.h"
#include "renderer/RendererThreadCheck.h"
#include "renderer/resources/ResourceManager.h"

namespace
{
constexpr uint32_t kLostDeviceRetryMs = 50;
constexpr uint32_t kJobQueueDrainStepMs = 30;
constexpr uint32_t kHardwareBehaviour =
    gpu::kCreateHardwareVertexProcessing | gpu::kCreatePureDevice | gpu::kCreateMultithreaded; // 0x54
} // namespace

RenderDeviceManager::RenderDeviceManager(NorvexRenderer& renderer) : m_renderer(renderer)
{
}

void RenderDeviceManager::BuildDeviceParams(uint32_t outputWidth, uint32_t outputHeight, bool applyConfiguration,
                                            bool fullScreen, DeviceParams* params)
{
    FillDeviceParams(m_settings, outputWidth, outputHeight, applyConfiguration, fullScreen, params);
}

bool RenderDeviceManager::InitDX(void* window)
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_RENDER, "NorvexRenderer::_InitDX");
    NorvexRendererPresenterThread& presenter = m_renderer.GetPresenter();
    if (!presenter.IsRunning() && !presenter.Start())
        gConsole.Warning(CONSOLE_CHANNEL_RENDER, "NorvexRenderer: the presenter thread could not be started");
    m_factory = gpu::CreateFactory(gpu::kSdkVersion);
    if (m_factory == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "NorvexRenderer: no graphics factory");
        return false;
    }
    EnumerateDisplayModes();
    m_presentParams = {};
    m_presentParams.backBufferCount = 1;
    m_presentParams.windowed = 1;
    // No window system reports a client rectangle yet: a zero size takes the desktop's.
    m_presentParams.backBufferFormat = gpu::kFormatX8R8G8B8;
    m_presentParams.swapEffect = gpu::kSwapEffectDiscard;
    m_presentParams.presentationInterval = gpu::kPresentIntervalImmediate;
    m_presentParams.deviceWindow = window;
    gpu::PresentParameters params = m_presentParams;
    if (m_factory->CreateDevice(gpu::kAdapterDefault, gpu::kDeviceTypeHal, window, kHardwareBehaviour, &params,
                                &m_device) != gpu::kOk)
    {
        params = m_presentParams;
        if (m_factory->CreateDevice(gpu::kAdapterDefault, gpu::kDeviceTypeHal, window,
                                    gpu::kCreateSoftwareVertexProcessing, &params, &m_device) != gpu::kOk)
        {
            gConsole.Error(CONSOLE_CHANNEL_RENDER, "NorvexRenderer: the device could not be created");
            m_device = nullptr;
            return false;
        }
    }
    m_presentParams = params;
    m_backBufferWidth = params.backBufferWidth;
    m_backBufferHeight = params.backBufferHeight;
    m_capsRawz =
        m_factory->CheckDeviceFormat(gpu::kAdapterDefault, gpu::kDeviceTypeHal, params.backBufferFormat,
                                     gpu::kUsageDepthStencil, gpu::kResourceTexture, gpu::kFormatRAWZ) == gpu::kOk;
    m_capsIntz =
        m_factory->CheckDeviceFormat(gpu::kAdapterDefault, gpu::kDeviceTypeHal, params.backBufferFormat,
                                     gpu::kUsageDepthStencil, gpu::kResourceTexture, gpu::kFormatINTZ) == gpu::kOk;
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_RENDER, "Caps - RAWZ: %d, INTZ: %d", int(m_capsRawz),
                    int(m_capsIntz));
    m_capsDepthTexture = m_capsRawz || m_capsIntz;
    // A back buffer that cannot take sRGB-converted writes would show every sRGB write as garbage:
    // such a device draws linear throughout.
    m_capsSrgbForcedOff =
        m_factory->CheckDeviceFormat(gpu::kAdapterDefault, gpu::kDeviceTypeHal, params.backBufferFormat,
                                     gpu::kUsageQuerySrgbWrite, gpu::kResourceTexture,
                                     params.backBufferFormat) != gpu::kOk;
    if (m_capsSrgbForcedOff)
        gConsole.Warning(CONSOLE_CHANNEL_RENDER, "This GPU doesn't support sRGB writes. Switching sRGB off");
    // The pools size the particle buffers, which the reset below may already make.
    initParticlePools();
    ApplyPresentParameters(window);
    m_renderer.GetStateCache().Reset();
    if (!m_targetsReady)
        CreateRenderTargets();
    m_renderer.GetExecutor().AllocateFrameLists();
    m_textRenderer.CreateBuffers(m_device);
    m_uiGeometry.Create(m_device);
    m_declarations.SetDevice(m_device);
    CreateSharedDeviceObjects();
    m_deviceCreated = true;
    m_deviceCreatedTime = Time::Now();
    m_renderer.StartFrameStatistics();
    return true;
}

void RenderDeviceManager::EnumerateDisplayModes()
{
    m_displayModes.Clear();
    gpu::DisplayMode desktop = {};
    m_factory->GetAdapterDisplayMode(gpu::kAdapterDefault, &desktop);
    m_displayModes.SetDesktop(desktop.width, desktop.height);
    const uint32_t count = m_factory->GetAdapterModeCount(gpu::kAdapterDefault, gpu::kFormatX8R8G8B8);
    for (uint32_t i = 0; i < count; ++i)
    {
        gpu::DisplayMode mode = {};
        if (m_factory->EnumAdapterModes(gpu::kAdapterDefault, gpu::kFormatX8R8G8B8, i, &mode) == gpu::kOk)
            m_displayModes.AddMode({mode.width, mode.height, mode.refreshRate, mode.format});
    }
}

bool RenderDeviceManager::FindDisplayMode(uint32_t* width, uint32_t* height, uint32_t* refreshRate) const
{
    return m_displayModes.FindDisplayMode(width, height, refreshRate);
}

bool RenderDeviceManager::FindDesktopSize(uint32_t* width, uint32_t* height) const
{
    return m_displayModes.FindDesktopSize(width, height);
}

void RenderDeviceManager::ApplyPresentParameters(void* window)
{
    const bool sizeGiven = m_params.outputWidth != 0 && m_params.outputHeight != 0;
    if (sizeGiven)
    {
        uint32_t width = m_params.outputWidth;
        uint32_t height = m_params.outputHeight;
        uint32_t refreshRate = 0;
        m_presentParams.windowed = m_params.fullScreen ? 0 : 1;
        if (m_params.fullScreen)
            FindDisplayMode(&width, &height, &refreshRate);
        m_presentParams.backBufferWidth = width;
        m_presentParams.backBufferHeight = height;
        m_presentParams.fullScreenRefreshRate = refreshRate;
        m_refreshRate = refreshRate;
    }
    m_backBufferWidth = m_presentParams.backBufferWidth;
    m_backBufferHeight = m_presentParams.backBufferHeight;
    if (window != nullptr)
        m_presentParams.deviceWindow = window;
    m_presentParams.presentationInterval = m_params.vsync ? gpu::kPresentIntervalOne : gpu::kPresentIntervalImmediate;
    // A block without an output size renders at back-buffer size.
    const uint32_t renderWidth = m_params.renderWidth != 0 ? m_params.renderWidth : m_backBufferWidth;
    const uint32_t renderHeight = m_params.renderHeight != 0 ? m_params.renderHeight : m_backBufferHeight;
    const bool renderSizeChanged = renderWidth != m_renderWidth || renderHeight != m_renderHeight;
    m_renderWidth = renderWidth;
    m_renderHeight = renderHeight;
    if (sizeGiven || (m_device != nullptr && renderSizeChanged) || IsDeviceResetPending())
        ResetDevice(window != nullptr);
}

bool RenderDeviceManager::ResetDevice(bool reset)
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    if (m_device == nullptr)
        return false;
    RenderCommandExecutor& executor = m_renderer.GetExecutor();
    executor.SyncPresenter();
    m_renderer.GetStateCache().Reset();
    ReleaseSharedDeviceObjects();
    ReleaseRenderTargets();
    executor.ReleaseFrameSurfaces();
    m_device->SetDepthStencilSurface(nullptr);
    bool ok = true;
    bool abandoned = false;
    if (reset)
    {
        InputManager& input = gGame.GetInputManager();
        input.UpdateTouchState();
        gpu::PresentParameters params = m_presentParams;
        gpu::Result result = m_device->Reset(&params);
        // A lost device cannot be reset until the system gives it back; keep trying, but a quitting
        // application must not hang here for ever.
        while (result == gpu::kErrDeviceLost)
        {
            if (m_quitRequested.load(std::memory_order_acquire))
            {
                gConsole.Warning(CONSOLE_CHANNEL_RENDER,
                                 "Device::Reset abandoned: the device is lost and the application is quitting");
                abandoned = true;
                break;
            }
            os::Sleep(kLostDeviceRetryMs);
            params = m_presentParams;
            result = m_device->Reset(&params);
        }
        if (result == gpu::kOk)
        {
            m_presentParams = params;
            m_backBufferWidth = params.backBufferWidth;
            m_backBufferHeight = params.backBufferHeight;
        }
        else if (!abandoned)
        {
            switch (result)
            {
            case gpu::kErrInvalidCall:
                gConsole.Error(CONSOLE_CHANNEL_RENDER, "Device::Reset error: D3DERR_INVALIDCALL");
                break;
            case gpu::kErrOutOfVideoMemory:
                gConsole.Error(CONSOLE_CHANNEL_RENDER, "Device::Reset error: D3DERR_OUTOFVIDEOMEMORY");
                break;
            case gpu::kErrDriverInternalError:
                gConsole.Error(CONSOLE_CHANNEL_RENDER, "Device::Reset error: D3DERR_DRIVERINTERNALERROR");
                break;
            case gpu::kErrDeviceRemoved:
                gConsole.Error(CONSOLE_CHANNEL_RENDER, "Device::Reset error: D3DERR_DEVICEREMOVED");
                break;
            default:
                gConsole.Error(CONSOLE_CHANNEL_RENDER, "Device::Reset unknown error 0x%X", result);
                break;
            }
            LogResetParameters();
        }
        input.FlushTouchState();
        ok = result == gpu::kOk;
    }
    m_device->SetRenderState(gpu::kRsLighting, 0);
    m_device->SetRenderState(gpu::kRsColorVertex, 0);
    if (!abandoned)
        m_deviceResetPending.store(false, std::memory_order_release);
    CreateRenderTargets();
    CreateSharedDeviceObjects();
    m_renderer.GetStateCache().Reset();
    return ok;
}

void RenderDeviceManager::LogResetParameters()
{
    const gpu::PresentParameters& p = m_presentParams;
    gConsole.Error(CONSOLE_CHANNEL_RENDER,
                   "BackBufferWidth=%u, BackBufferHeight=%u, BackBufferFormat=%u, BackBufferCount=%u",
                   p.backBufferWidth, p.backBufferHeight, p.backBufferFormat, p.backBufferCount);
    gConsole.Error(CONSOLE_CHANNEL_RENDER,
                   "MultiSampleType=%u, MultiSampleQuality=%u, SwapEffect=%u, hDeviceWindow=%u, Windowed=%u, "
                   "EnableAutoDepthStencil=%u",
                   p.multiSampleType, p.multiSampleQuality, p.swapEffect,
                   uint32_t(reinterpret_cast<uintptr_t>(p.deviceWindow)), p.windowed, p.enableAutoDepthStencil);
    gConsole.Error(CONSOLE_CHANNEL_RENDER,
                   "AutoDepthStencilFormat=%u, Flags=%u, FullScreen_RefreshRateInHz=%u, PresentationInterval=%u",
                   p.autoDepthStencilFormat, p.flags, p.fullScreenRefreshRate, p.presentationInterval);
}

void RenderDeviceManager::CreateRenderTargets()
{
    ReleaseRenderTargets();
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_RENDER, "Render target size: %dx%d", int(m_renderWidth),
                    int(m_renderHeight));
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_RENDER, "Backbuffer size: %dx%d", int(m_backBufferWidth),
                    int(m_backBufferHeight));
    RenderTargetSettings settings;
    settings.renderWidth = m_renderWidth;
    settings.renderHeight = m_renderHeight;
    settings.backBufferWidth = m_backBufferWidth;
    settings.backBufferHeight = m_backBufferHeight;
    settings.qualityLevel = m_params.qualityLevel;
    settings.msaaMode = m_params.msaaMode;
    settings.shadowMapSize = m_params.shadowMapSize;
    settings.refraction = m_params.refraction != 0;
    settings.hardwareDepth = m_capsDepthTexture;
    settings.intz = m_capsIntz;
    settings.fakeShadows = m_params.projectFakeShadows != 0;
    if (!m_targets.Create(m_device, settings))
        return;
    for (gpu::GpuQuery*& query : m_gpuQueries)
        if (m_device->CreateQuery(gpu::kQueryEvent, &query) != gpu::kOk)
            query = nullptr;
    m_targetGeneration.fetch_add(1, std::memory_order_acq_rel);
    m_targetsReady.store(true, std::memory_order_release);
    if (GameDelegate* const delegate = m_renderer.GetExecutor().GetGameDelegate())
        delegate->OnRenderTargetsCreated(m_renderWidth, m_renderHeight, m_backBufferWidth, m_backBufferHeight);
}

void RenderDeviceManager::ReleaseRenderTargets()
{
    m_targetsReady.store(false, std::memory_order_release);
    m_targets.Release();
    for (gpu::GpuQuery*& query : m_gpuQueries)
        gpu::SafeRelease(query);
    if (GameDelegate* const delegate = m_renderer.GetExecutor().GetGameDelegate())
        delegate->OnRenderTargetsReleased();
}

void RenderDeviceManager::CreateSharedDeviceObjects()
{
    ReleaseSharedDeviceObjects();
    m_sharedGeometry.Create(m_renderer);
    m_batchGeometry.Create(m_renderer);
    createParticleBuffers(m_device);
    gPostprocessManager.CreateDeviceObjects(m_renderer);
    gProfiler.CreateGraphGeometry();
}

void RenderDeviceManager::ReleaseSharedDeviceObjects()
{
    gProfiler.ReleaseGraphGeometry();
    gPostprocessManager.ReleaseDeviceObjects();
    releaseParticleBuffers();
    m_batchGeometry.Release();
    m_sharedGeometry.Release();
}

void RenderDeviceManager::ApplyDisplaySettings(void* window, uint32_t width, uint32_t height, bool applyConfiguration,
                                               bool fullScreen)
{
    NORVEX_CHECK_GAME_THREAD(m_renderer);
    if (!m_renderer.IsStreamOpen())
        return;
    // The render thread must be idle: everything written so far runs first, then the loads in flight
    // and the jobs they post, which would otherwise touch the device during its reset.
    m_renderer.SubmitCommands(true);
    if (gResourceManager != nullptr && gResourceManager->IsRunning())
        gResourceManager->Flush();
    m_renderer.WaitForQueuedJobs(kJobQueueDrainStepMs);
    m_renderer.SetFullScreen(fullScreen);
    gGame.NotifyDelegateBeforeRendererSetup();
    DeviceParams params;
    BuildDeviceParams(width, height, applyConfiguration, fullScreen, &params);
    {
        const NorvexRenderer::DeviceHandoff handoff(m_renderer);
        os::ScopedLock lock(m_renderer.GetDisplayLock());
        SetDeviceParams(params);
        ApplyPresentParameters(window);
    }
    m_renderer.SubmitCommands(true);
}

void RenderDeviceManager::CloseDX()
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "_CloseDX begin");
    m_renderer.GetPresenter().Stop();
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "_CloseDX waiting for jobs");
    m_renderer.DrainResourceJobs();
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "_CloseDX all jobs complete");
    RenderCommandExecutor& executor = m_renderer.GetExecutor();
    executor.ReleaseFrameSurfaces();
    ReleaseRenderTargets();
    m_textRenderer.ReleaseBuffers();
    m_uiGeometry.Release();
    ReleaseSharedDeviceObjects();
    m_declarations.Clear();
    destroyParticlePools();
    gpu::SafeRelease(m_device);
    gpu::SafeRelease(m_factory);
    m_presentParams = {};
    m_deviceCreated = false;
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "_CloseDX Delete arrays");
    executor.FreeFrameLists();
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "_CloseDX Delete display modes");
    m_displayModes.Clear();
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "_CloseDX All done!!!");
}
