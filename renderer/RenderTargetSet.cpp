#include "renderer/RenderTargetSet.h"

#include "core/console/GameConsole.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/RendererObjectHandle.h"
#include "renderer/jobs/TextureHolder.h"

uint32_t RenderTargetSet::SampleCount(uint32_t msaaMode)
{
    return msaaMode == 1 ? 2 : msaaMode == 2 ? 4 : 0;
}

TextureHolder* RenderTargetSet::CreateCube(gpu::GpuDevice* device, uint32_t edge)
{
    auto* cube = new TextureHolder;
    if (cube->CreateCube(device, edge, 1, gpu::kUsageRenderTarget, gpu::kFormatA8R8G8B8, gpu::kPoolDefault))
        return cube;
    RendererObjectHandle::Release(cube);
    return nullptr;
}

void RenderTargetSet::ClearCube(gpu::GpuDevice* device, TextureHolder* cube, uint32_t edge)
{
    auto* texture = static_cast<gpu::GpuCubeTexture*>(cube->GetTexture());
    gpu::GpuSurface* saved = nullptr;
    device->GetRenderTarget(0, &saved);
    gpu::Viewport savedViewport = {};
    device->GetViewport(&savedViewport);
    for (uint32_t face = 0; face < 6; ++face)
    {
        gpu::GpuSurface* surface = nullptr;
        if (texture->GetCubeMapSurface(face, 0, &surface) != gpu::kOk)
            continue;
        const gpu::Viewport viewport = {0, 0, edge, edge, 0.0f, 1.0f};
        device->SetRenderTarget(0, surface);
        device->SetViewport(viewport);
        device->Clear(0, nullptr, gpu::kClearTarget, 0, 0.0f, 0);
        gpu::SafeRelease(surface);
    }
    device->SetRenderTarget(0, saved);
    device->SetViewport(savedViewport);
    gpu::SafeRelease(saved);
}

bool RenderTargetSet::Create(gpu::GpuDevice* device, const RenderTargetSettings& s)
{
    Release();
    if (device == nullptr || s.renderWidth == 0 || s.renderHeight == 0)
        return false;
    const uint32_t w = s.renderWidth;
    const uint32_t h = s.renderHeight;
    const bool backBufferTargets = s.backBufferWidth != w || s.backBufferHeight != h;
    // Scene depth: a depth texture the passes can read, or a plain surface and a linear copy.
    const gpu::Format depthFormat = !s.hardwareDepth ? gpu::kFormatD24S8 : s.intz ? gpu::kFormatINTZ : gpu::kFormatRAWZ;
    sceneDepth.Create(device, w, h, depthFormat, gpu::kUsageDepthStencil, !s.hardwareDepth);
    if (backBufferTargets)
        backBufferDepth.Create(device, s.backBufferWidth, s.backBufferHeight, depthFormat, gpu::kUsageDepthStencil,
                               !s.hardwareDepth);
    m_sceneColorFormat = gpu::kFormatA2R10G10B10;
    if (!auxiliary.Create(device, w, h, gpu::kFormatA2R10G10B10, gpu::kUsageRenderTarget, false))
    {
        gConsole.Warning(CONSOLE_CHANNEL_RENDER, "This GPU doesn't support D3DFMT_A2R10G10B10 render target. Switching "
                                                 "to D3DFMT_A8R8G8B8 mode");
        m_sceneColorFormat = gpu::kFormatA8R8G8B8;
        auxiliary.Create(device, w, h, gpu::kFormatA8R8G8B8, gpu::kUsageRenderTarget, false);
    }
    if (s.qualityLevel >= 2)
        m_sceneColorFormat = gpu::kFormatA16B16G16R16F;
    m_sampleCount = SampleCount(s.msaaMode);
    if (m_sampleCount != 0)
    {
        if (device->CreateRenderTarget(w, h, m_sceneColorFormat, m_sampleCount, 0, false, &multisampledColor) !=
            gpu::kOk)
            multisampledColor = nullptr;
        if (device->CreateDepthStencilSurface(w, h, gpu::kFormatD24S8, m_sampleCount, 0, true, &multisampledDepth) !=
            gpu::kOk)
            multisampledDepth = nullptr;
    }
    sceneColor.Create(device, w, h, m_sceneColorFormat, gpu::kUsageRenderTarget, false);
    if (backBufferTargets)
        backBufferColor.Create(device, s.backBufferWidth, s.backBufferHeight, gpu::kFormatA8R8G8B8,
                               gpu::kUsageRenderTarget, false);
    if (s.refraction && s.qualityLevel >= 2)
        refractionCopy.Create(device, w, h, m_sceneColorFormat, gpu::kUsageRenderTarget, false);
    if (!s.hardwareDepth)
        linearDepth.Create(device, w, h, gpu::kFormatR32F, gpu::kUsageRenderTarget, false);
    for (RenderTarget& target : pingPong)
        target.Create(device, w, h, gpu::kFormatA8R8G8B8, gpu::kUsageRenderTarget, false);
    lightingCube = CreateCube(device, kLightingCubeEdge);
    emptyCube = CreateCube(device, kEmptyCubeEdge);
    if (emptyCube != nullptr)
        ClearCube(device, emptyCube, kEmptyCubeEdge);
    if (s.qualityLevel >= 3)
        for (RenderTarget& target : ambientOcclusion)
            target.Create(device, w, h, gpu::kFormatG16R16F, gpu::kUsageRenderTarget, false);
    if (s.shadowMapSize != 0)
    {
        shadowMap.Create(device, s.shadowMapSize, s.shadowMapSize, gpu::kFormatD16, gpu::kUsageDepthStencil, false);
        // The device draws only with a colour target that holds the whole viewport, so the dummy
        // the shadow map draws beside (with colour writes off) has the map's size.
        shadowDummy.Create(device, s.shadowMapSize, s.shadowMapSize, gpu::kFormatA8R8G8B8, gpu::kUsageRenderTarget,
                           false);
    }
    if (s.fakeShadows)
        fakeShadow.Create(device, FakeShadowSize(w), FakeShadowSize(h), gpu::kFormatA8R8G8B8, gpu::kUsageRenderTarget,
                          false);
    return true;
}

void RenderTargetSet::Release()
{
    for (RenderTarget* target : {&refractionCopy, &linearDepth, &sceneDepth, &backBufferDepth, &sceneColor,
                                 &backBufferColor, &pingPong[0], &pingPong[1], &auxiliary, &shadowDummy,
                                 &ambientOcclusion[0], &ambientOcclusion[1], &shadowMap, &fakeShadow})
        target->Release();
    gpu::SafeRelease(multisampledColor);
    gpu::SafeRelease(multisampledDepth);
    RendererObjectHandle::Release(lightingCube);
    RendererObjectHandle::Release(emptyCube);
    m_sampleCount = 0;
}
