// Render thread: frame targets, clears, presents, blank and loading frames, camera constants.
#include "renderer/RenderCommandExecutor.h"

#include "engine/profiler/Profiler.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/os/Clock.h"
#include "renderer/LightRenderData.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/PostprocessManager.h"
#include "renderer/RenderTarget.h"
#include "renderer/RenderTargetSet.h"
#include "renderer/SceneLighting.h"
#include "renderer/SceneParametersWrapper.h"
#include "renderer/ShaderManager.h"
#include "renderer/resources/ResourceTexture.h"
#include "ui/screens/UIScreen.h"
#include "ui/widgets/UIActionKinds.h"

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <new>

namespace
{
constexpr uint32_t kFrameSamplers = 16;
// The frame's samplers: a noise texture shaders share, the screen behind refracting objects, the
// scene depth, and on the mobile platform modes the lighting cube that stands in for deferred lights.
constexpr uint32_t kNoiseSampler = 8;
constexpr uint32_t kFrameSampler = 9;
constexpr uint32_t kFrameDepthSampler = 10;
constexpr uint32_t kMobileCubeSampler = 11;
constexpr uint32_t kNoiseTextureSlot = 0;
constexpr uint32_t kCornerRaysRegister = 221;
constexpr double kGpuWaitLimitSeconds = 1.0;
constexpr float kLoadingFadeInSeconds = 0.3f;
} // namespace

void RenderCommandExecutor::OpSetFrameTarget(uint32_t)
{
    gpu::GpuSwapChain* const swapChain = GetPointer<gpu::GpuSwapChain>();
    const uint8_t multisample = Get<uint8_t>();
    const uint8_t mode = Get<uint8_t>();
    if (m_readOk)
        SelectFrameTarget(swapChain, multisample, mode);
}

void RenderCommandExecutor::SelectFrameTarget(gpu::GpuSwapChain* swapChain, uint8_t multisample, uint8_t targetMode)
{
    if (Device() == nullptr)
        return;
    ReleaseFrameSurfaces();
    if (swapChain != nullptr)
        swapChain->GetBackBuffer(0, &m_frameBackBuffer);
    else
        Device()->GetBackBuffer(0, 0, &m_frameBackBuffer);
    // The scene goes into the scene target (the multisampled one when asked and made, resolved before
    // post-processing), which the post-processing chain brings to the back buffer; a swap chain, or a
    // device without its render targets, draws it straight into the back buffer. The target mode
    // only says what is bound until the scene passes bind the scene target.
    const RenderTargetSet& targets = m_renderer.GetDeviceManager().GetRenderTargets();
    const bool ready = m_renderer.GetDeviceManager().AreTargetsReady();
    m_mainDepthStencil = ready ? targets.sceneDepth.GetSurface() : nullptr;
    m_secondDepthStencil = ready ? targets.backBufferDepth.GetSurface() : nullptr;
    m_frameMultisampled = false;
    m_frameSRGBWrite = swapChain != nullptr;
    m_shadowMapReady = false;
    if (swapChain != nullptr || !ready)
        m_frameColorTarget = m_frameBackBuffer;
    else if (multisample != 0 && targets.multisampledColor != nullptr)
    {
        m_frameColorTarget = targets.multisampledColor;
        m_frameMultisampled = true;
        m_resolvePending = true;
    }
    else
        m_frameColorTarget = targets.sceneColor.GetSurface() != nullptr ? targets.sceneColor.GetSurface()
                                                                        : m_frameBackBuffer;
    if (m_frameColorTarget != nullptr)
        m_frameColorTarget->AddRef();
    if (!Device()->IsInScene())
        Device()->BeginScene();
    // The frame stamp is the renderer's light mask: the cube follows it and the ambient lights, and
    // a cube made anew (a device reset) starts empty.
    const uint32_t targetGeneration = m_renderer.GetDeviceManager().GetTargetGeneration();
    if (gDirectionalAmbientLights.changeCounter != m_lastAmbientLightCounter || m_frameStamp != m_lastAmbientStamp ||
        targetGeneration != m_lastAmbientTargets)
    {
        m_renderer.RenderAmbientCube(m_frameStamp);
        m_lastAmbientLightCounter = gDirectionalAmbientLights.changeCounter;
        m_lastAmbientStamp = m_frameStamp;
        m_lastAmbientTargets = targetGeneration;
    }
    switch (targetMode)
    {
    case 1:
        Device()->SetRenderTarget(0, m_frameColorTarget);
        m_renderer.GetStateCache().SetSRGBWriteState(swapChain != nullptr);
        Device()->SetRenderState(gpu::kRsZEnable, 1);
        Device()->SetDepthStencilSurface(m_frameMultisampled ? targets.multisampledDepth : m_mainDepthStencil);
        break;
    case 2:
    case 3:
        Device()->SetRenderTarget(0, m_frameBackBuffer);
        m_renderer.GetStateCache().SetSRGBWriteState(true);
        Device()->SetRenderState(gpu::kRsZEnable, 1);
        Device()->SetDepthStencilSurface(targetMode == 2 ? m_mainDepthStencil : nullptr);
        break;
    case 4:
        Device()->SetDepthStencilSurface(m_secondDepthStencil != nullptr ? m_secondDepthStencil : m_mainDepthStencil);
        break;
    default:
        break;
    }
    m_renderer.GetStateCache().ResetFrameCounters();
    m_colorMultiplier = Vector(1.0f, 1.0f, 1.0f, 1.0f);
}

void RenderCommandExecutor::ReleaseFrameSurfaces()
{
    gpu::SafeRelease(m_frameColorTarget);
    gpu::SafeRelease(m_frameBackBuffer);
}

void RenderCommandExecutor::OpBeginFrame(uint32_t)
{
    BeginFrameHandler(true);
}

void RenderCommandExecutor::BeginFrameHandler(bool depth)
{
    if (Device() == nullptr)
        return;
    // A render size other than the back buffer's leaves the post-processed frame in the target the
    // chain bound: it is stretched up into the back buffer, which then takes the frame's drawing.
    if (m_renderer.GetRenderWidth() != m_renderer.GetBackBufferWidth() && m_frameBackBuffer != nullptr)
    {
        gpu::GpuSurface* result = nullptr;
        Device()->GetRenderTarget(0, &result);
        if (result != nullptr && result != m_frameBackBuffer)
            Device()->StretchRect(result, nullptr, m_frameBackBuffer, nullptr, gpu::kFilterLinear);
        gpu::SafeRelease(result);
        SetBackBufferTarget();
        m_renderer.GetStateCache().SetFullViewport();
    }
    gpu::GpuSurface* const depthTarget = m_secondDepthStencil != nullptr ? m_secondDepthStencil : m_mainDepthStencil;
    if (depth && depthTarget != nullptr)
    {
        Device()->SetDepthStencilSurface(depthTarget);
        Device()->Clear(0, nullptr, gpu::kClearDepth | gpu::kClearStencil, 0, 1.0f, 0);
    }
    else if (!depth)
        Device()->SetDepthStencilSurface(nullptr);
}

void RenderCommandExecutor::OpPostProcess(uint32_t)
{
    const uint32_t flags = Get<uint32_t>();
    if (m_readOk)
        BeginPostProcess(flags);
}

void RenderCommandExecutor::BeginPostProcess(uint32_t effectFlags)
{
    if (Device() == nullptr)
        return;
    const RenderTargetSet& targets = m_renderer.GetDeviceManager().GetRenderTargets();
    gpu::GpuSurface* const sceneColor = targets.sceneColor.GetSurface();
    if (m_resolvePending && m_frameColorTarget != nullptr && sceneColor != nullptr)
        Device()->StretchRect(m_frameColorTarget, nullptr, sceneColor, nullptr, gpu::kFilterPoint);
    m_resolvePending = false;
    if (m_frameBackBuffer != nullptr)
    {
        const RenderTarget backBuffer(m_frameBackBuffer, nullptr);
        m_renderer.GetStateCache().SetRenderTargets(&backBuffer, nullptr,
                                                    GetActiveSceneParameters().GetShading().srgb != 0 ? 1u : 0u);
    }
    Device()->SetDepthStencilSurface(m_mainDepthStencil);
    // A frame drawn straight into the back buffer (a swap chain, no render targets) is already there.
    if (m_frameBackBuffer != nullptr && m_frameColorTarget != nullptr && m_frameColorTarget != m_frameBackBuffer)
        gPostprocessManager.Run(m_renderer, effectFlags);
    m_postProcessBit0 = (effectFlags & 1u) != 0;
    m_colorMultiplier = Vector(1.0f, 1.0f, 1.0f, 1.0f);
}

void RenderCommandExecutor::OpUpscaleFinal(uint32_t)
{
    UpscaleFinalHandler();
}

void RenderCommandExecutor::UpscaleFinalHandler()
{
    m_gathered.clear();
    m_outlined.clear();
    m_lights.clear();
    if (Device() == nullptr)
        return;
    for (uint32_t stage = 0; stage < kFrameSamplers; ++stage)
        m_renderer.GetStateCache().SetTexture(stage, nullptr,
                                              m_renderer.GetStateCache().GetCached().samplerFlags[stage]);
    m_renderer.GetStateCache().SetVertexShader(nullptr);
    m_renderer.GetStateCache().SetPixelShader(nullptr);
    gpu::GpuQuery* const query = m_renderer.GetDeviceManager().GetCurrentQuery();
    if (m_renderer.GetDeviceParams().gpuSync && query != nullptr)
        query->Issue(gpu::kIssueEnd);
    if (Device()->IsInScene())
        Device()->EndScene();
    if (m_frameBackBuffer != nullptr)
        Device()->SetRenderTarget(0, m_frameBackBuffer);
    ReleaseFrameSurfaces();
    Device()->SetDepthStencilSurface(nullptr);
    m_resolvePending = false;
}

void RenderCommandExecutor::OpSetViewport(uint32_t)
{
    gpu::Viewport viewport;
    viewport.x = Get<uint32_t>();
    viewport.y = Get<uint32_t>();
    viewport.width = Get<uint32_t>();
    viewport.height = Get<uint32_t>();
    viewport.minZ = Get<float>();
    viewport.maxZ = Get<float>();
    if (m_readOk)
        m_renderer.GetStateCache().ApplyViewport(viewport);
}

void RenderCommandExecutor::OpClear(uint32_t)
{
    const uint32_t flags = Get<uint32_t>();
    const Vector color = Get<Vector>();
    const float depth = Get<float>();
    const uint32_t stencil = Get<uint32_t>();
    if (!m_readOk || Device() == nullptr)
        return;
    const Vector scaled(color.x * m_colorMultiplier.x, color.y * m_colorMultiplier.y, color.z * m_colorMultiplier.z,
                        color.w * m_colorMultiplier.w);
    ClearBoundTargets(flags, scaled, depth, stencil);
}

void RenderCommandExecutor::OpSetSRGBWrite(uint32_t)
{
    const uint8_t on = Get<uint8_t>();
    if (m_readOk)
        m_renderer.GetStateCache().SetSRGBWriteState(on != 0);
}

void RenderCommandExecutor::OpSetBrightness(uint32_t)
{
    const float brightness = Get<float>();
    if (!m_readOk || Device() == nullptr || brightness == m_brightness)
        return;
    gpu::GammaRamp ramp;
    BuildGammaRamp(brightness, &ramp);
    Device()->SetGammaRamp(0, ramp);
    m_brightness = brightness;
}

void RenderCommandExecutor::BuildGammaRamp(float brightness, gpu::GammaRamp* ramp)
{
    const double exponent = (1.0 - brightness) * 1.4 + brightness * 0.6;
    for (uint32_t i = 0; i < 256; ++i)
    {
        const uint16_t value = uint16_t(std::pow(double(i) / 255.0, exponent) * 65535.0 + 0.5);
        ramp->red[i] = ramp->green[i] = ramp->blue[i] = value;
    }
}

float RenderCommandExecutor::MapScreenScale(float scale)
{
    return std::clamp(scale * 0.15f + 0.85f, 0.85f, 1.0f);
}

void RenderCommandExecutor::OpSetScreenScale(uint32_t opcode)
{
    const float mapped = MapScreenScale(Get<float>());
    float& kept = opcode == RENDER_OP_SET_SCREEN_SCALE_X ? m_screenScaleX : m_screenScaleY;
    if (m_readOk && std::fabs(mapped - kept) > 0.001f)
        kept = mapped;
}

void RenderCommandExecutor::OpSetCamera(uint32_t)
{
    const Matrix view = Get<Matrix>();
    const Matrix projection = Get<Matrix>();
    const Matrix third = Get<Matrix>();
    Vector planes[6];
    for (Vector& plane : planes)
        plane = Get<Vector>();
    if (!m_readOk)
        return;
    m_renderer.GetStateCache().UpdateCamera(view, projection, third);
    SetFrameShaderConstants();
    std::copy(planes, planes + 6, m_frustumPlanes);
}

void RenderCommandExecutor::SetFrameShaderConstants()
{
    if (Device() == nullptr)
        return;
    RenderStateCache& state = m_renderer.GetStateCache();
    const Vector clocks{float(m_clockSeconds[0]), float(m_clockSeconds[1]), 0.0f, 0.0f};
    state.SetVertexShaderConstants(247, &clocks.x, 1);
    // The scene's depth as the passes read it: the depth texture when the device has one, else the
    // depth-as-colour target.
    const float depthScale = state.GetCamera().depthScale;
    const float softness = m_renderer.GetDeviceParams().effectSoftnessDistance * depthScale;
    const Vector depthTerms{depthScale, 0.0f, softness != 0.0f ? 1.0f / softness : 0.0f, 0.0f};
    state.SetVertexShaderConstants(248, &depthTerms.x, 1);
    if (gShaderManager.IsInitialised())
    {
        const auto* noise =
            static_cast<const ResourceTexture*>(gShaderManager.GetSystemTexture(kNoiseTextureSlot).resource);
        state.SetTexture(kNoiseSampler, noise != nullptr ? noise->GetTextureHolder() : nullptr, 0);
    }
    if (m_renderer.GetDeviceManager().AreTargetsReady())
    {
        const RenderTargetSet& targets = m_renderer.GetDeviceManager().GetRenderTargets();
        state.SetTexture(kFrameSampler, targets.refractionCopy.GetHolder(), SAMPLER_CLAMP_U | SAMPLER_CLAMP_V);
        const RenderTarget& depth = m_renderer.HasDepthTextureSupport() ? targets.sceneDepth : targets.linearDepth;
        state.SetTexture(kFrameDepthSampler, depth.GetHolder(), SAMPLER_CLAMP_U | SAMPLER_CLAMP_V | SAMPLER_POINT);
        const uint32_t colorMode = state.GetSceneColorMode();
        if (colorMode == 1 || colorMode == 2)
            state.SetTexture(kMobileCubeSampler, targets.lightingCube, 0);
    }
    const Matrix& inverseProjection = m_renderer.GetStateCache().GetCamera().inverseProjection;
    Vector r219, r223, r218;
    ComputeScreenMapping(inverseProjection, float(m_renderer.GetRenderWidth()), float(m_renderer.GetRenderHeight()),
                         &r219, &r223, &r218);
    state.SetPixelShaderConstants(219, &r219.x, 1);
    state.SetPixelShaderConstants(223, &r223.x, 1);
    state.SetPixelShaderConstants(218, &r218.x, 1);
    Vector rays[2];
    ComputeCornerRays(inverseProjection, rays);
    state.SetPixelShaderConstants(kCornerRaysRegister, &rays[0].x, 2);
}

void RenderCommandExecutor::ComputeCornerRays(const Matrix& inverseProjection, Vector rays[2])
{
    const Vector corners[2] = {Vector(-1.0f, 1.0f, 1.0f, 1.0f), Vector(1.0f, -1.0f, 1.0f, 1.0f)};
    for (int i = 0; i < 2; ++i)
    {
        Vector point = corners[i];
        point.Transform(inverseProjection);
        // Divided by depth, not by w: the ray is then the view-space point at depth 1, and a
        // projection that maps the corner to depth 0 leaves the ray straight ahead instead of infinite.
        rays[i] = std::fabs(point.z) > FLT_MIN ? Vector(point.x / point.z, point.y / point.z, 1.0f, 0.0f)
                                               : Vector(0.0f, 0.0f, 1.0f, 0.0f);
    }
}

void RenderCommandExecutor::ComputeScreenMapping(const Matrix& inverseProjection, float renderWidth, float renderHeight,
                                                 Vector* register219, Vector* register223, Vector* register218)
{
    const float a = inverseProjection.At(0, 0);
    const float b = inverseProjection.At(1, 1);
    const float c = inverseProjection.At(2, 3);
    const float d = inverseProjection.At(3, 3);
    const float w = renderWidth > 0.0f ? renderWidth : 1.0f;
    const float h = renderHeight > 0.0f ? renderHeight : 1.0f;
    *register219 = Vector(a, b, c, d);
    *register223 = Vector(1.0f / w, 1.0f / h, 2.0f * a / w, -2.0f * b / h);
    *register218 = Vector(0.5f / w, 0.5f / h, (0.5f / w - 1.0f) * a, (0.5f / h + 1.0f) * b);
}

void RenderCommandExecutor::OpPresent(uint32_t)
{
    gpu::GpuSwapChain* const swapChain = GetPointer<gpu::GpuSwapChain>();
    if (!m_readOk)
        return;
    const Time before = Time::Now();
    m_presentIntervalMs = float((before - m_lastPresentTime).ToMilliseconds());
    gProfiler.SetValue(PROFILER_RENDER_ROUND, m_presentIntervalMs, kProfilerCallerOtherThread);
    const RenderStateCache& state = m_renderer.GetStateCache();
    m_presentedDrawCalls.store(state.GetFrameDrawCalls(), std::memory_order_relaxed);
    m_presentedPrimitives.store(state.GetFramePrimitives(), std::memory_order_relaxed);
    gProfiler.StartTimer(PROFILER_PRESENT, kProfilerCallerOtherThread);
    m_renderer.GetStateCache().PresentFrame(swapChain);
    gProfiler.StopTimer(PROFILER_PRESENT, kProfilerCallerOtherThread);
    m_lastPresentTime = Time::Now();
    m_renderer.GetDeviceManager().SwitchQuery();
    if (gpu::GpuQuery* const query = m_renderer.GetDeviceManager().GetCurrentQuery())
    {
        gProfiler.StartTimer(PROFILER_GPU_SYNC, kProfilerCallerOtherThread);
        while (query->GetData(nullptr, 0, gpu::kGetDataFlush) == gpu::kNotReady &&
               (Time::Now() - m_lastPresentTime).ToSeconds() < kGpuWaitLimitSeconds)
            os::Sleep(1);
        gProfiler.StopTimer(PROFILER_GPU_SYNC, kProfilerCallerOtherThread);
    }
    m_presentsExecuted.fetch_add(1, std::memory_order_acq_rel);
    m_renderer.SignalPresent();
    m_renderer.ProcessResourceJobs(1000, 0.005f);
    m_framePresented = true;
}

void RenderCommandExecutor::OpSetLoadingScreen(uint32_t)
{
    UIScreen* const screen = GetPointer<UIScreen>();
    SkipPayload(1);
    const uint8_t afterPostProcess = Get<uint8_t>();
    if (!m_readOk)
        return;
    SyncPresenter();
    m_loadingScreenAfterPostProcess = afterPostProcess != 0;
    if (screen == m_loadingScreen)
        return;
    m_loadingScreen = screen;
    if (screen == nullptr)
        return;
    // The screen starts afresh: whatever its actions were doing, it fades in or shows at once.
    screen->RemoveActionsOnChannel(-1);
    if (screen->FadesOut())
    {
        screen->SetRenderColor(Vector(1.0f, 1.0f, 1.0f, 0.0f));
        screen->AddActionToChannel(
            new (std::nothrow) UIActionColor(kLoadingFadeInSeconds, Vector(1.0f, 1.0f, 1.0f, 1.0f), 0, 0));
    }
    else
        screen->SetRenderColor(Vector(1.0f, 1.0f, 1.0f, 1.0f));
    RenderLoadingFrame();
}

void RenderCommandExecutor::PumpLoadingScreen()
{
    if (!m_renderer.GetDeviceManager().AreTargetsReady() || GetLoadingFrameTimeLeft() > 0.001 ||
        !IsReadyForLoadingFrame() || !m_renderer.GetDisplayLock().TryEnter())
        return;
    RenderLoadingFrame();
    m_renderer.GetDisplayLock().Leave();
}

bool RenderCommandExecutor::IsReadyForLoadingFrame() const
{
    // The presenter still showing the last loading frame, or a GPU still drawing the current one,
    // holds the next one back. The presenter is asked first: while it works, the query is its own.
    if (!m_renderer.GetPresenter().IsIdle())
        return false;
    gpu::GpuQuery* const query = m_renderer.GetDeviceManager().GetCurrentQuery();
    return query == nullptr || query->GetData(nullptr, 0, gpu::kGetDataFlush) != gpu::kNotReady;
}

double RenderCommandExecutor::GetLoadingFrameTimeLeft() const
{
    return kLoadingFrameInterval - (Time::Now() - m_lastLoadingFrameTime).ToSeconds();
}

void RenderCommandExecutor::RenderLoadingFrame()
{
    if (!m_loadingFramesAllowed || !m_renderer.GetDeviceManager().AreTargetsReady() || Device() == nullptr)
        return;
    m_lastLoadingFrameTime = Time::Now();
    SelectFrameTarget(nullptr, 0, 1);
    m_renderer.GetStateCache().SetFullViewport();
    gpu::GpuSurface* depthStencil = nullptr;
    Device()->GetDepthStencilSurface(&depthStencil);
    const uint32_t clear = gpu::kClearTarget | (depthStencil != nullptr ? gpu::kClearDepth | gpu::kClearStencil : 0u);
    gpu::SafeRelease(depthStencil);
    const Vector background = m_loadingScreen != nullptr ? m_loadingScreen->GetBackgroundColor() : Vector::ZERO4;
    m_renderer.GetStateCache().ClearTargets(clear, background, 1.0f, 0);
    if (!m_loadingScreenAfterPostProcess)
    {
        BeginPostProcess(0);
        BeginFrameHandler(false);
    }
    if (m_loadingScreen != nullptr)
    {
        // An orthographic view of the UI reference size, letterboxed into the back buffer.
        const float w = UIGetEffectiveScaleX(), h = UIGetEffectiveScaleY();
        const float bufferWidth = float(m_renderer.GetBackBufferWidth());
        const float bufferHeight = float(m_renderer.GetBackBufferHeight());
        Matrix projection, scale, view;
        projection.LoadOrthoOffCenterLH(-w * 0.5f, w * 0.5f, h * 0.5f, -h * 0.5f, w, 10.0f * w);
        const float r = bufferWidth > 0.0f && h > 0.0f ? (bufferHeight * w) / (bufferWidth * h) : 1.0f;
        scale.LoadScale(r <= 1.0f ? Vector(r, 1.0f, 1.0f, 1.0f) : Vector(1.0f, 1.0f / r, 1.0f, 1.0f));
        projection.Mul(scale, projection);
        view.LoadTranslation(-w * 0.5f, -h * 0.5f, w);
        const uint32_t words0[2] = {0, 0};
        const uint32_t words1[2] = {uint32_t(bufferWidth), uint32_t(bufferHeight)};
        m_colorMultiplier.Set(1.0f, 1.0f, 1.0f, 1.0f);
        UIScreen::SetRenderMatrices(view, projection, words0, words1, w, h, r <= 1.0f ? r : 1.0f,
                                    r <= 1.0f ? 1.0f : 1.0f / r, Vector(0.5f, 0.5f, 0.0f, 0.0f));
        m_loadingScreen->RenderPass(true);
        m_colorMultiplier.Set(1.0f, 1.0f, 1.0f, 1.0f);
    }
    if (m_loadingScreenAfterPostProcess)
    {
        BeginPostProcess(1);
        BeginFrameHandler(false);
    }
    UpscaleFinalHandler();
    if (m_renderer.GetPresenter().TakeDeviceLost())
        m_renderer.GetDeviceManager().MarkResetPending();
    m_renderer.GetPresenter().PresentAsync(float(kLoadingFrameInterval), Device(),
                                           m_renderer.GetDeviceManager().GetCurrentQuery());
    m_renderer.GetDeviceManager().SwitchQuery();
}

void RenderCommandExecutor::OpSetBlankMode(uint32_t)
{
    const void* const on = GetPointer<void>();
    if (!m_readOk)
        return;
    m_blankMode = on != nullptr;
    if (m_blankMode)
        RenderBlankFrame();
}

void RenderCommandExecutor::RenderBlankFrame()
{
    if (Device() == nullptr)
        return;
    gpu::GpuSurface* backBuffer = nullptr;
    if (Device()->GetBackBuffer(0, 0, &backBuffer) != gpu::kOk)
        return;
    Device()->SetRenderTarget(0, backBuffer);
    backBuffer->Release();
    m_renderer.GetStateCache().SetFullViewport();
    m_renderer.GetStateCache().ClearTargets(gpu::kClearTarget, Vector(0.0f, 0.0f, 0.0f, 1.0f), 1.0f, 0);
    m_renderer.GetStateCache().PresentFrame(nullptr);
}

void RenderCommandExecutor::OpIssueQuery(uint32_t)
{
    gpu::GpuQuery* const query = GetPointer<gpu::GpuQuery>();
    const uint32_t flags = Get<uint32_t>();
    if (m_readOk && query != nullptr)
        query->Issue(flags);
}

void RenderCommandExecutor::OpGetQueryData(uint32_t)
{
    gpu::GpuQuery* const query = GetPointer<gpu::GpuQuery>();
    void* const data = GetPointer<void>();
    const uint32_t size = Get<uint32_t>();
    const uint32_t flags = Get<uint32_t>();
    uint32_t* const result = GetPointer<uint32_t>();
    if (!m_readOk || query == nullptr || result == nullptr)
        return;
    const gpu::Result answer = query->GetData(data, size, flags);
    // The game thread polls the result word: publish it with a full fence.
    std::atomic_ref<uint32_t>(*result).store(answer, std::memory_order_seq_cst);
}

void RenderCommandExecutor::OpSetScissor(uint32_t)
{
    const uint32_t hasRect = Get<uint32_t>();
    gpu::Rect rect = {};
    if (hasRect != 0)
    {
        rect.left = Get<int32_t>();
        rect.top = Get<int32_t>();
        rect.right = Get<int32_t>();
        rect.bottom = Get<int32_t>();
    }
    const uint8_t on = Get<uint8_t>();
    if (!m_readOk || Device() == nullptr)
        return;
    if (hasRect != 0)
        Device()->SetScissorRect(rect);
    Device()->SetRenderState(gpu::kRsScissorTestEnable, on != 0);
}

void RenderCommandExecutor::OpSetDepthStencilEnabled(uint32_t)
{
    const uint8_t on = Get<uint8_t>();
    if (!m_readOk || Device() == nullptr)
        return;
    if (on)
        Device()->SetDepthStencilSurface(m_secondDepthStencil != nullptr ? m_secondDepthStencil : m_mainDepthStencil);
    else
        Device()->SetDepthStencilSurface(nullptr);
}

void RenderCommandExecutor::OpSetDepthStencilSurface(uint32_t)
{
    gpu::GpuSurface* const surface = GetPointer<gpu::GpuSurface>();
    if (m_readOk && Device() != nullptr)
        Device()->SetDepthStencilSurface(surface);
}

void RenderCommandExecutor::SetBackBufferTarget()
{
    if (Device() == nullptr)
        return;
    gpu::GpuSurface* backBuffer = m_frameBackBuffer;
    if (backBuffer == nullptr && Device()->GetBackBuffer(0, 0, &backBuffer) != gpu::kOk)
        return;
    const RenderTarget target(backBuffer, nullptr);
    m_renderer.GetStateCache().SetRenderTargets(&target, nullptr, 3);
    if (backBuffer != m_frameBackBuffer)
        backBuffer->Release();
}
