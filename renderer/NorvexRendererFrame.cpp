// Render thread: frame targets, clears, presents, blank and loading frames, camera constants.
#include "renderer/NorvexRenderer.h"

#include "core/console/GameConsole.h"
#include "platform/os/Clock.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace
{
constexpr uint8_t kRenderThreadChannel = 5;
constexpr uint32_t kFrameSamplers = 16;
constexpr double kGpuWaitLimitSeconds = 1.0;
} // namespace

void NorvexRenderer::OpSetFrameTarget(uint32_t)
{
    gpu::GpuSwapChain* const swapChain = GetPointer<gpu::GpuSwapChain>();
    const uint8_t multisample = Get<uint8_t>();
    const uint8_t mode = Get<uint8_t>();
    if (m_readOk)
        SelectFrameTarget(swapChain, multisample, mode);
}

void NorvexRenderer::SelectFrameTarget(gpu::GpuSwapChain* swapChain, uint8_t multisample, uint8_t targetMode)
{
    if (m_device == nullptr)
        return;
    ReleaseFrameSurfaces();
    if (swapChain != nullptr)
        swapChain->GetBackBuffer(0, &m_frameBackBuffer);
    else
        m_device->GetBackBuffer(0, 0, &m_frameBackBuffer);
    // The ambient cube is redrawn by the lights when those exist; remember what it was drawn for.
    m_lastAmbientLightCounter = m_lightListCounter;
    m_lastAmbientStamp = m_frameStamp;
    // The scene targets (plain and multisampled) come with the render targets; until then the scene
    // is drawn straight into the back buffer.
    (void)multisample;
    m_frameColorTarget = m_frameBackBuffer;
    if (m_frameColorTarget != nullptr)
        m_frameColorTarget->AddRef();
    if (!m_device->IsInScene())
        m_device->BeginScene();
    switch (targetMode)
    {
    case 1:
        m_device->SetRenderTarget(0, m_frameColorTarget);
        m_device->SetRenderState(gpu::kRsSrgbWriteEnable, swapChain != nullptr);
        m_device->SetRenderState(gpu::kRsZEnable, 1);
        m_device->SetDepthStencilSurface(m_mainDepthStencil);
        break;
    case 2:
    case 3:
        m_device->SetRenderTarget(0, m_frameBackBuffer);
        m_device->SetRenderState(gpu::kRsSrgbWriteEnable, 1);
        m_device->SetRenderState(gpu::kRsZEnable, 1);
        m_device->SetDepthStencilSurface(targetMode == 2 ? m_mainDepthStencil : nullptr);
        break;
    case 4:
        m_device->SetDepthStencilSurface(m_secondDepthStencil != nullptr ? m_secondDepthStencil : m_mainDepthStencil);
        break;
    default:
        break;
    }
    m_frameDrawCalls = 0;
    m_framePrimitives = 0;
    m_colorMultiplier = Vector(1.0f, 1.0f, 1.0f, 1.0f);
}

void NorvexRenderer::ReleaseFrameSurfaces()
{
    gpu::SafeRelease(m_frameColorTarget);
    gpu::SafeRelease(m_frameBackBuffer);
}

void NorvexRenderer::OpBeginFrame(uint32_t)
{
    BeginFrameHandler(true);
}

void NorvexRenderer::BeginFrameHandler(bool depth)
{
    if (m_device == nullptr)
        return;
    // A render size below the back buffer's is stretched up from the final render target, which
    // comes with the render targets; until then the frame is drawn at back-buffer size.
    gpu::GpuSurface* const depthTarget = m_secondDepthStencil != nullptr ? m_secondDepthStencil : m_mainDepthStencil;
    if (depth && depthTarget != nullptr)
    {
        m_device->SetDepthStencilSurface(depthTarget);
        m_device->Clear(0, nullptr, gpu::kClearDepth | gpu::kClearStencil, 0, 1.0f, 0);
    }
    else if (!depth)
        m_device->SetDepthStencilSurface(nullptr);
}

void NorvexRenderer::OpPostProcess(uint32_t)
{
    const uint32_t flags = Get<uint32_t>();
    if (m_readOk)
        BeginPostProcess(flags);
}

void NorvexRenderer::BeginPostProcess(uint32_t effectFlags)
{
    if (m_device == nullptr)
        return;
    m_resolvePending = false;
    if (m_frameBackBuffer != nullptr)
        m_device->SetRenderTarget(0, m_frameBackBuffer);
    m_device->SetDepthStencilSurface(m_mainDepthStencil);
    ReportNotBuilt(RENDER_OP_POST_PROCESS);
    m_postProcessBit0 = (effectFlags & 1u) != 0;
    m_colorMultiplier = Vector(1.0f, 1.0f, 1.0f, 1.0f);
}

void NorvexRenderer::OpUpscaleFinal(uint32_t)
{
    UpscaleFinalHandler();
}

void NorvexRenderer::UpscaleFinalHandler()
{
    m_gathered.clear();
    m_outlined.clear();
    m_lights.clear();
    if (m_device == nullptr)
        return;
    for (uint32_t stage = 0; stage < kFrameSamplers; ++stage)
        SetTexture(stage, nullptr, m_stateCache.samplerFlags[stage]);
    SetVertexShader(nullptr);
    SetPixelShader(nullptr);
    gpu::GpuQuery* const query = m_gpuQueries[m_currentQuery];
    if (m_params.gpuSync && query != nullptr)
        query->Issue(gpu::kIssueEnd);
    if (m_device->IsInScene())
        m_device->EndScene();
    if (m_frameBackBuffer != nullptr)
        m_device->SetRenderTarget(0, m_frameBackBuffer);
    ReleaseFrameSurfaces();
    m_device->SetDepthStencilSurface(nullptr);
    m_resolvePending = false;
}

void NorvexRenderer::OpSetViewport(uint32_t)
{
    gpu::Viewport viewport;
    viewport.x = Get<uint32_t>();
    viewport.y = Get<uint32_t>();
    viewport.width = Get<uint32_t>();
    viewport.height = Get<uint32_t>();
    viewport.minZ = Get<float>();
    viewport.maxZ = Get<float>();
    if (m_readOk)
        ApplyViewport(viewport);
}

void NorvexRenderer::OpClear(uint32_t)
{
    uint32_t flags = Get<uint32_t>();
    const Vector color = Get<Vector>();
    const float depth = Get<float>();
    const uint32_t stencil = Get<uint32_t>();
    if (!m_readOk || m_device == nullptr)
        return;
    gpu::GpuSurface* depthSurface = nullptr;
    m_device->GetDepthStencilSurface(&depthSurface);
    // Only what is bound is cleared: depth and stencil with no depth-stencil surface are dropped.
    if (depthSurface == nullptr)
        flags &= ~(gpu::kClearDepth | gpu::kClearStencil);
    else
    {
        if (!depthSurface->Info().hasStencil)
            flags &= ~gpu::kClearStencil;
        depthSurface->Release();
    }
    if (flags == 0)
        return;
    const Vector scaled(color.x * m_colorMultiplier.x, color.y * m_colorMultiplier.y, color.z * m_colorMultiplier.z,
                        color.w * m_colorMultiplier.w);
    ClearTargets(flags, scaled, depth, stencil);
}

void NorvexRenderer::OpSetSRGBWrite(uint32_t)
{
    const uint8_t on = Get<uint8_t>();
    if (m_readOk)
        SetSRGBWriteState(on != 0);
}

void NorvexRenderer::OpSetBrightness(uint32_t)
{
    const float brightness = Get<float>();
    if (!m_readOk || m_device == nullptr || brightness == m_brightness)
        return;
    gpu::GammaRamp ramp;
    BuildGammaRamp(brightness, &ramp);
    m_device->SetGammaRamp(0, ramp);
    m_brightness = brightness;
}

void NorvexRenderer::BuildGammaRamp(float brightness, gpu::GammaRamp* ramp)
{
    const double exponent = (1.0 - brightness) * 1.4 + brightness * 0.6;
    for (uint32_t i = 0; i < 256; ++i)
    {
        const uint16_t value = uint16_t(std::pow(double(i) / 255.0, exponent) * 65535.0 + 0.5);
        ramp->red[i] = ramp->green[i] = ramp->blue[i] = value;
    }
}

float NorvexRenderer::MapScreenScale(float scale)
{
    return std::clamp(scale * 0.15f + 0.85f, 0.85f, 1.0f);
}

void NorvexRenderer::OpSetScreenScale(uint32_t opcode)
{
    const float mapped = MapScreenScale(Get<float>());
    float& kept = opcode == RENDER_OP_SET_SCREEN_SCALE_X ? m_screenScaleX : m_screenScaleY;
    if (m_readOk && std::fabs(mapped - kept) > 0.001f)
        kept = mapped;
}

void NorvexRenderer::OpSetCamera(uint32_t)
{
    const Matrix view = Get<Matrix>();
    const Matrix projection = Get<Matrix>();
    const Matrix third = Get<Matrix>();
    Vector planes[6];
    for (Vector& plane : planes)
        plane = Get<Vector>();
    if (!m_readOk)
        return;
    UpdateCamera(view, projection, third);
    SetFrameShaderConstants();
    std::copy(planes, planes + 6, m_frustumPlanes);
}

void NorvexRenderer::SetFrameShaderConstants()
{
    if (m_device == nullptr)
        return;
    // Samplers 8 to 11 and registers 248 and 221 take the render targets' textures and depth range,
    // which come with the render targets.
    const Vector clocks{float(m_clockSeconds[0]), float(m_clockSeconds[1]), 0.0f, 0.0f};
    SetVertexShaderConstants(247, &clocks.x, 1);
    Vector r219, r223, r218;
    ComputeScreenMapping(m_camera.inverseProjection, float(m_renderWidth), float(m_renderHeight), &r219, &r223, &r218);
    SetPixelShaderConstants(219, &r219.x, 1);
    SetPixelShaderConstants(223, &r223.x, 1);
    SetPixelShaderConstants(218, &r218.x, 1);
}

void NorvexRenderer::ComputeScreenMapping(const Matrix& inverseProjection, float renderWidth, float renderHeight,
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

void NorvexRenderer::OpPresent(uint32_t)
{
    gpu::GpuSwapChain* const swapChain = GetPointer<gpu::GpuSwapChain>();
    if (!m_readOk)
        return;
    const Time before = Time::Now();
    m_presentIntervalMs = float((before - m_lastPresentTime).ToMilliseconds());
    PresentFrame(swapChain);
    m_lastPresentTime = Time::Now();
    m_currentQuery ^= 1u;
    if (gpu::GpuQuery* const query = m_gpuQueries[m_currentQuery])
        while (query->GetData(nullptr, 0, gpu::kGetDataFlush) == gpu::kNotReady &&
               (Time::Now() - m_lastPresentTime).ToSeconds() < kGpuWaitLimitSeconds)
            os::Sleep(1);
    m_presentsExecuted.fetch_add(1, std::memory_order_acq_rel);
    m_presentSemaphore.Release(1);
    ProcessResourceJobs(1000, 0.005f);
    m_framePresented = true;
}

void NorvexRenderer::OpSetLoadingScreen(uint32_t)
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
    if (screen != nullptr)
        RenderLoadingFrame();
}

void NorvexRenderer::PumpLoadingScreen()
{
    // The presenter still showing the last loading frame holds the next one back.
    if (!m_targetsReady || !m_presenter.IsIdle() || !m_displayLock.TryEnter())
        return;
    RenderLoadingFrame();
    m_displayLock.Leave();
}

// Drawing a loading frame needs the UI screen tree; until the UI exists a loading screen only keeps
// its state.
void NorvexRenderer::RenderLoadingFrame()
{
    ReportNotBuilt(RENDER_OP_SET_LOADING_SCREEN);
}

void NorvexRenderer::OpSetBlankMode(uint32_t)
{
    const void* const on = GetPointer<void>();
    if (!m_readOk)
        return;
    m_blankMode = on != nullptr;
    if (m_blankMode)
        RenderBlankFrame();
}

void NorvexRenderer::RenderBlankFrame()
{
    if (m_device == nullptr)
        return;
    gpu::GpuSurface* backBuffer = nullptr;
    if (m_device->GetBackBuffer(0, 0, &backBuffer) != gpu::kOk)
        return;
    m_device->SetRenderTarget(0, backBuffer);
    backBuffer->Release();
    SetFullViewport();
    ClearTargets(gpu::kClearTarget, Vector(0.0f, 0.0f, 0.0f, 1.0f), 1.0f, 0);
    PresentFrame(nullptr);
}

void NorvexRenderer::OpIssueQuery(uint32_t)
{
    gpu::GpuQuery* const query = GetPointer<gpu::GpuQuery>();
    const uint32_t flags = Get<uint32_t>();
    if (m_readOk && query != nullptr)
        query->Issue(flags);
}

void NorvexRenderer::OpGetQueryData(uint32_t)
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

void NorvexRenderer::OpSetScissor(uint32_t)
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
    if (!m_readOk || m_device == nullptr)
        return;
    if (hasRect != 0)
        m_device->SetScissorRect(rect);
    m_device->SetRenderState(gpu::kRsScissorTestEnable, on != 0);
}

void NorvexRenderer::OpSetDepthStencilEnabled(uint32_t)
{
    const uint8_t on = Get<uint8_t>();
    if (!m_readOk || m_device == nullptr)
        return;
    if (on)
        m_device->SetDepthStencilSurface(m_secondDepthStencil != nullptr ? m_secondDepthStencil : m_mainDepthStencil);
    else
        m_device->SetDepthStencilSurface(nullptr);
}

void NorvexRenderer::OpSetDepthStencilSurface(uint32_t)
{
    gpu::GpuSurface* const surface = GetPointer<gpu::GpuSurface>();
    if (m_readOk && m_device != nullptr)
        m_device->SetDepthStencilSurface(surface);
}
