// Render thread: the render-state cache, the uncached wrappers, the draw wrappers and the camera and
// viewport state every draw uses.
#include "renderer/RenderStateCache.h"

#include "renderer/NorvexRenderer.h"
#include "renderer/RendererThreadCheck.h"

#include "platform/gpu/GpuDevice.h"
#include "renderer/PixelShaderObject.h"
#include "renderer/RenderTarget.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/VertexShaderObject.h"
#include "renderer/jobs/TextureHolder.h"

#include <algorithm>
#include <bit>

namespace
{
using RS = CachedRenderState;

constexpr float kBiasedDepthFactor = 0.7f;
constexpr uint32_t kAddressGroup = SAMPLER_CLAMP_U | SAMPLER_CLAMP_V | SAMPLER_POINT | SAMPLER_BORDER;
constexpr uint32_t kFilterGroup = SAMPLER_POINT | SAMPLER_LINEAR_MIP;
constexpr uint32_t kLinearMipQuality = 3;

const BlendModeRow kBlendModes[RS::kBlendModeCount] = {
    {0, gpu::kBlendOpAdd, gpu::kBlendOne, gpu::kBlendZero, 0, 0, 0, 0, {0.0f, 0.0f, 0.0f, 1.0f}},
    {1, gpu::kBlendOpAdd, gpu::kBlendSrcAlpha, gpu::kBlendInvSrcAlpha, 0, 0, 0, 0, {1.0f, 0.0f, -1.0f, 1.0f}},
    {1, gpu::kBlendOpAdd, gpu::kBlendOne, gpu::kBlendOne, 0, 0, 0, 0, {0.0f, 1.0f, 0.0f, 1.0f}},
    {1, gpu::kBlendOpAdd, gpu::kBlendSrcAlpha, gpu::kBlendOne, 0, 0, 0, 0, {1.0f, 0.0f, 0.0f, 1.0f}},
    {1, gpu::kBlendOpAdd, gpu::kBlendInvSrcAlpha, gpu::kBlendSrcAlpha, 0, 0, 0, 0, {-1.0f, 1.0f, 1.0f, 0.0f}},
    {1, gpu::kBlendOpSubtract, gpu::kBlendOne, gpu::kBlendOne, 0, 0, 0, 0, {0.0f, 0.0f, 0.0f, 0.0f}},
    {1, gpu::kBlendOpAdd, gpu::kBlendDestColor, gpu::kBlendZero, 0, 0, 0, 0, {0.0f, 0.0f, 0.0f, 0.0f}},
    {1, gpu::kBlendOpAdd, gpu::kBlendZero, gpu::kBlendSrcColor, 0, 0, 0, 0, {0.0f, 0.0f, 0.0f, 0.0f}},
    {1, gpu::kBlendOpMin, gpu::kBlendOne, gpu::kBlendOne, 0, 0, 0, 0, {0.0f, 0.0f, 0.0f, 0.0f}},
    {0, gpu::kBlendOpAdd, gpu::kBlendZero, gpu::kBlendZero, 0, 0, 0, 0, {0.0f, 0.0f, 0.0f, 0.0f}},
};

uint32_t FloatBits(float value)
{
    return std::bit_cast<uint32_t>(value);
}

uint32_t PackArgb(const Vector& c)
{
    auto channel = [](float v) { return uint32_t(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); };
    return channel(c.w) << 24 | channel(c.x) << 16 | channel(c.y) << 8 | channel(c.z);
}
} // namespace

RenderStateCache::RenderStateCache(NorvexRenderer& renderer) : m_renderer(renderer)
{
}

gpu::GpuDevice* RenderStateCache::Device() const
{
    return m_renderer.GetDevice();
}

void RenderStateCache::Reset()
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    m_cached = CachedRenderState();
    // The device's state after a reset is its default (blend off), which mode 9 describes.
    m_cached.blendMode = 9;
    // None of the known modes: the next SetAlphaTest call sets the device.
    m_cached.alphaTestMode = 3;
    m_cached.depthWrite = 1;
    if (Device() == nullptr)
        return;
    for (uint32_t stage = 0; stage < gpu::kSamplerCount; ++stage)
    {
        Device()->SetSamplerState(stage, gpu::kSsMagFilter, gpu::kFilterLinear);
        Device()->SetSamplerState(stage, gpu::kSsMinFilter, gpu::kFilterLinear);
        Device()->SetSamplerState(stage, gpu::kSsMipFilter, gpu::kFilterPoint);
        Device()->SetSamplerState(stage, gpu::kSsAddressU, gpu::kAddressWrap);
        Device()->SetSamplerState(stage, gpu::kSsAddressV, gpu::kAddressWrap);
        Device()->SetSamplerState(stage, gpu::kSsMaxMipLevel, 0);
        Device()->SetSamplerState(stage, gpu::kSsBorderColor, 0);
        Device()->SetSamplerState(stage, gpu::kSsSrgbTexture, 0);
    }
    Device()->SetRenderState(gpu::kRsStencilWriteMask, 0);
    Device()->SetRenderState(gpu::kRsStencilEnable, 0);
    m_cached.stencilWriteMask = 0;
    m_cached.stencilEnable = 0;
}

void RenderStateCache::SetBlendMode(uint32_t mode)
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    if (mode >= RS::kBlendModeCount || mode == m_cached.blendMode || Device() == nullptr)
        return;
    m_cached.blendMode = mode;
    const BlendModeRow& row = kBlendModes[mode];
    Device()->SetRenderState(gpu::kRsAlphaBlendEnable, row.enable);
    if (!row.enable)
        return;
    Device()->SetRenderState(gpu::kRsBlendOp, row.op);
    Device()->SetRenderState(gpu::kRsSrcBlend, row.source);
    Device()->SetRenderState(gpu::kRsDestBlend, row.destination);
    Device()->SetRenderState(gpu::kRsSeparateAlphaBlendEnable, row.separateAlpha);
    if (!row.separateAlpha)
        return;
    Device()->SetRenderState(gpu::kRsBlendOpAlpha, row.alphaOp);
    Device()->SetRenderState(gpu::kRsSrcBlendAlpha, row.alphaSource);
    Device()->SetRenderState(gpu::kRsDestBlendAlpha, row.alphaDestination);
}

const Vector& RenderStateCache::GetBlendModeFadeVector(uint32_t mode)
{
    return kBlendModes[std::min(mode, RS::kBlendModeCount - 1)].fade;
}

void RenderStateCache::SetCullMode(uint32_t cullMode)
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    if (cullMode == m_cached.cullMode || Device() == nullptr)
        return;
    m_cached.cullMode = cullMode;
    Device()->SetRenderState(gpu::kRsCullMode, cullMode);
}

void RenderStateCache::SetAlphaTest(uint32_t mode, uint32_t reference)
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    if (mode > 2 || Device() == nullptr)
        return;
    if (mode != m_cached.alphaTestMode)
    {
        Device()->SetRenderState(gpu::kRsAlphaTestEnable, mode != 0);
        if (mode != 0)
            Device()->SetRenderState(gpu::kRsAlphaFunc, mode == 1 ? gpu::kCmpGreater : gpu::kCmpLess);
        m_cached.alphaTestMode = mode;
    }
    if (mode != 0 && reference != m_cached.alphaReference)
    {
        Device()->SetRenderState(gpu::kRsAlphaRef, reference);
        m_cached.alphaReference = reference;
    }
}

void RenderStateCache::SetDepthState(uint32_t compareFunction, bool writeEnable, float bias)
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    if (Device() == nullptr)
        return;
    if (compareFunction != m_cached.depthFunction)
    {
        Device()->SetRenderState(gpu::kRsZFunc, compareFunction);
        m_cached.depthFunction = compareFunction;
    }
    if (uint32_t(writeEnable) != m_cached.depthWrite)
    {
        Device()->SetRenderState(gpu::kRsZWriteEnable, writeEnable);
        m_cached.depthWrite = writeEnable;
    }
    if (!m_cached.depthBiasKnown || bias != m_cached.depthBias)
    {
        m_cached.depthBias = bias;
        m_cached.depthBiasKnown = true;
        m_cached.biasedDepthTerm = kBiasedDepthFactor * bias;
        UpdateBiasedMatrices();
    }
}

void RenderStateCache::SetVertexShader(const VertexShaderObject* shader)
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    gpu::GpuVertexShader* const deviceShader = shader != nullptr ? shader->GetDeviceShader() : nullptr;
    if ((m_cached.vertexShaderKnown && deviceShader == m_cached.vertexShader) || Device() == nullptr)
        return;
    Device()->SetVertexShader(deviceShader);
    m_cached.vertexShader = deviceShader;
    m_cached.vertexShaderKnown = true;
}

void RenderStateCache::SetPixelShader(const PixelShaderObject* shader)
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    gpu::GpuPixelShader* const deviceShader = shader != nullptr ? shader->GetDeviceShader() : nullptr;
    if ((m_cached.pixelShaderKnown && deviceShader == m_cached.pixelShader) || Device() == nullptr)
        return;
    Device()->SetPixelShader(deviceShader);
    m_cached.pixelShader = deviceShader;
    m_cached.pixelShaderKnown = true;
}

void RenderStateCache::SetTexture(uint32_t stage, TextureHolder* holder, uint32_t flags)
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    if (stage >= gpu::kSamplerCount || Device() == nullptr)
        return;
    if ((flags & SAMPLER_SCENE_SLOT) != 0)
        if (const SceneParametersWrapper* const scene = gSceneEnvironment.GetActiveParameters();
            scene != nullptr && scene->GetEnvironmentMap() != nullptr)
            holder = scene->GetEnvironmentMap();
    Device()->SetTexture(stage, holder != nullptr ? holder->GetTexture() : nullptr);
    m_cached.holders[stage] = holder;
    if (m_sceneColorMode == 1 || m_sceneColorMode == 2)
    {
        flags &= ~SAMPLER_SRGB;
        if (flags & SAMPLER_FORCE_SRGB)
            flags |= SAMPLER_SRGB;
    }
    if (m_renderer.GetDeviceManager().IsSrgbForcedOff())
        flags &= ~SAMPLER_SRGB;
    const uint32_t changed = flags ^ m_cached.samplerFlags[stage];
    if (changed == 0)
        return;
    if (changed & SAMPLER_SRGB)
        Device()->SetSamplerState(stage, gpu::kSsSrgbTexture, (flags & SAMPLER_SRGB) != 0);
    if (changed & kAddressGroup)
    {
        const bool border = (flags & SAMPLER_BORDER) != 0;
        const uint32_t u = border                      ? gpu::kAddressBorder
                           : (flags & SAMPLER_CLAMP_U) ? gpu::kAddressClamp
                                                       : gpu::kAddressWrap;
        const uint32_t v = border                      ? gpu::kAddressBorder
                           : (flags & SAMPLER_CLAMP_V) ? gpu::kAddressClamp
                                                       : gpu::kAddressWrap;
        Device()->SetSamplerState(stage, gpu::kSsAddressU, u);
        Device()->SetSamplerState(stage, gpu::kSsAddressV, v);
    }
    if (changed & kFilterGroup)
    {
        const bool point = (flags & SAMPLER_POINT) != 0;
        const bool linearMip =
            !point && (flags & SAMPLER_LINEAR_MIP) && m_renderer.GetDeviceParams().qualityLevel >= kLinearMipQuality;
        Device()->SetSamplerState(stage, gpu::kSsMagFilter, point ? gpu::kFilterPoint : gpu::kFilterLinear);
        Device()->SetSamplerState(stage, gpu::kSsMinFilter, point ? gpu::kFilterPoint : gpu::kFilterLinear);
        Device()->SetSamplerState(stage, gpu::kSsMipFilter, linearMip ? gpu::kFilterLinear : gpu::kFilterPoint);
    }
    m_cached.samplerFlags[stage] = flags;
}

void RenderStateCache::SetStencilOps(uint32_t pass, uint32_t fail, uint32_t depthFail)
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    if (Device() == nullptr)
        return;
    if (m_cached.stencilEnable != 1)
    {
        Device()->SetRenderState(gpu::kRsStencilEnable, 1);
        m_cached.stencilEnable = 1;
    }
    const struct
    {
        uint32_t state;
        uint32_t value;
        uint32_t* cached;
    } ops[] = {{gpu::kRsStencilPass, pass, &m_cached.stencilPass},
               {gpu::kRsStencilFail, fail, &m_cached.stencilFail},
               {gpu::kRsStencilZFail, depthFail, &m_cached.stencilDepthFail}};
    for (const auto& op : ops)
        if (op.value != *op.cached)
        {
            Device()->SetRenderState(op.state, op.value);
            *op.cached = op.value;
        }
}

void RenderStateCache::SetStencilFunc(uint32_t function, uint32_t reference, uint32_t readMask, uint32_t writeMask)
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    if (Device() == nullptr)
        return;
    const struct
    {
        uint32_t state;
        uint32_t value;
        uint32_t* cached;
    } values[] = {{gpu::kRsStencilFunc, function, &m_cached.stencilFunction},
                  {gpu::kRsStencilRef, reference, &m_cached.stencilReference},
                  {gpu::kRsStencilMask, readMask, &m_cached.stencilReadMask},
                  {gpu::kRsStencilWriteMask, writeMask, &m_cached.stencilWriteMask}};
    for (const auto& value : values)
        if (value.value != *value.cached)
        {
            Device()->SetRenderState(value.state, value.value);
            *value.cached = value.value;
        }
}

void RenderStateCache::SetStencilWriteMask(uint32_t mask)
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    if (mask == m_cached.stencilWriteMask || Device() == nullptr)
        return;
    Device()->SetRenderState(gpu::kRsStencilWriteMask, mask);
    m_cached.stencilWriteMask = mask;
}

void RenderStateCache::DisableStencil()
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    if (Device() == nullptr)
        return;
    if (m_cached.stencilEnable != 0)
    {
        Device()->SetRenderState(gpu::kRsStencilEnable, 0);
        m_cached.stencilEnable = 0;
    }
    SetStencilWriteMask(0);
}

void RenderStateCache::SetVertexShaderConstants(uint32_t firstRegister, const float* data, uint32_t count)
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    if (Device() != nullptr && count != 0)
        Device()->SetVertexShaderConstantF(firstRegister, data, count);
}

void RenderStateCache::SetPixelShaderConstants(uint32_t firstRegister, const float* data, uint32_t count)
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    if (Device() != nullptr && count != 0)
        Device()->SetPixelShaderConstantF(firstRegister, data, count);
}

void RenderStateCache::SetDepthBias(float bias, float slopeScaledBias)
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    if (Device() == nullptr)
        return;
    Device()->SetRenderState(gpu::kRsDepthBias, FloatBits(bias));
    Device()->SetRenderState(gpu::kRsSlopeScaleDepthBias, FloatBits(slopeScaledBias));
}

void RenderStateCache::SetColorWriteMask(uint32_t mask)
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    if (Device() != nullptr)
        Device()->SetRenderState(gpu::kRsColorWriteEnable, mask);
}

void RenderStateCache::SetSRGBWriteState(bool on)
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    if (Device() != nullptr && !m_renderer.GetDeviceManager().IsSrgbForcedOff())
        Device()->SetRenderState(gpu::kRsSrgbWriteEnable, on);
}

void RenderStateCache::SetRenderTargets(const RenderTarget* target0, const RenderTarget* target1, uint32_t flags)
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    if (Device() == nullptr)
        return;
    const bool linearScene = m_sceneColorMode == 1 || m_sceneColorMode == 2;
    if (linearScene)
        flags &= ~1u;
    m_cached.renderTargetFlags = flags;
    Device()->SetRenderTarget(1, target1 != nullptr ? target1->GetSurface() : nullptr);
    Device()->SetRenderTarget(0, target0 != nullptr ? target0->GetSurface() : nullptr);
    SetSRGBWriteState((flags & 1u) != 0);
    if ((flags & 2u) == 0)
        Device()->SetViewport(m_viewport.viewport);
}

void RenderStateCache::ClearTargets(uint32_t flags, const Vector& color, float depth, uint32_t stencil)
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    if (Device() != nullptr)
        Device()->Clear(0, nullptr, flags, PackArgb(color), depth, stencil);
}

void RenderStateCache::PresentFrame(gpu::GpuSwapChain* swapChain)
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    if (Device() == nullptr)
        return;
    const gpu::Result result = swapChain != nullptr ? Device()->PresentSwapChain(swapChain) : Device()->Present();
    if (result == gpu::kErrDeviceLost)
        m_renderer.GetDeviceManager().MarkResetPending();
}

void RenderStateCache::CountDraw(uint32_t primitiveCount)
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    ++m_frameDrawCalls;
    m_framePrimitives += primitiveCount;
}

void RenderStateCache::ResetFrameCounters()
{
    m_frameDrawCalls = 0;
    m_framePrimitives = 0;
}

void RenderStateCache::DrawPrimitive(uint32_t type, uint32_t startVertex, uint32_t primitiveCount)
{
    CountDraw(primitiveCount);
    if (Device() != nullptr)
        Device()->DrawPrimitive(type, startVertex, primitiveCount);
}

void RenderStateCache::DrawPrimitiveUP(uint32_t type, uint32_t primitiveCount, const void* vertices, uint32_t stride)
{
    CountDraw(primitiveCount);
    if (Device() != nullptr)
        Device()->DrawPrimitiveUP(type, primitiveCount, vertices, stride);
}

void RenderStateCache::DrawIndexedPrimitive(uint32_t type, int32_t baseVertex, uint32_t minIndex, uint32_t numVertices,
                                            uint32_t startIndex, uint32_t primitiveCount)
{
    CountDraw(primitiveCount);
    if (Device() != nullptr)
        Device()->DrawIndexedPrimitive(type, baseVertex, minIndex, numVertices, startIndex, primitiveCount);
}

void RenderStateCache::DrawIndexedPrimitiveUP(uint32_t type, uint32_t minIndex, uint32_t numVertices,
                                              uint32_t primitiveCount, const void* indices, gpu::Format indexFormat,
                                              const void* vertices, uint32_t stride)
{
    CountDraw(primitiveCount);
    if (Device() != nullptr)
        Device()->DrawIndexedPrimitiveUP(type, minIndex, numVertices, primitiveCount, indices, indexFormat, vertices,
                                         stride);
}

void RenderStateCache::ApplyViewport(const gpu::Viewport& viewport)
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    m_viewport.viewport = viewport;
    m_viewport.width = float(viewport.width);
    m_viewport.height = float(viewport.height);
    m_viewport.inverseWidth = viewport.width != 0 ? 1.0f / m_viewport.width : 0.0f;
    m_viewport.inverseHeight = viewport.height != 0 ? 1.0f / m_viewport.height : 0.0f;
    if (Device() != nullptr)
        Device()->SetViewport(viewport);
}

void RenderStateCache::SetViewportRect(uint32_t x, uint32_t y, uint32_t width, uint32_t height)
{
    ApplyViewport({x, y, width, height, m_viewport.viewport.minZ, m_viewport.viewport.maxZ});
}

void RenderStateCache::SetFullViewport()
{
    ApplyViewport({0, 0, m_renderer.GetBackBufferWidth(), m_renderer.GetBackBufferHeight(), 0.0f, 1.0f});
}

void RenderStateCache::SetProjection(const Matrix& projection)
{
    UpdateCamera(m_camera.view, projection, m_camera.third);
}

void RenderStateCache::UpdateCamera(const Matrix& view, const Matrix& projection, const Matrix& third)
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    CameraState& c = m_camera;
    c.view = view;
    c.projection = projection;
    c.third = third;
    c.inverseView.InverseOf(view);
    c.inverseProjection.InverseOf(projection);
    c.inverseViewProjection.Mul(c.inverseView, c.inverseProjection);
    c.viewProjection.Mul(projection, view);
    c.mirrored = c.viewProjection.Det() < 0.0f;
    if (m_renderer.HasDepthTextureSupport())
        c.depthScale = 1.0f;
    else
    {
        // View-space depth of the far plane.
        Vector farPoint(0.0f, 0.0f, 1.0f, 1.0f);
        farPoint.Transform(c.inverseProjection);
        const float farDepth = farPoint.w != 0.0f ? farPoint.z / farPoint.w : 0.0f;
        c.depthScale = farDepth != 0.0f ? 1.0f / farDepth : 1.0f;
    }
    UpdateBiasedMatrices();
}

void RenderStateCache::UpdateBiasedMatrices()
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    CameraState& c = m_camera;
    c.biasedProjection = c.projection;
    c.biasedProjection.rows[2].z += m_cached.biasedDepthTerm;
    c.biasedThirdProjection.Mul(c.third, c.biasedProjection);
    c.biasedViewProjection.Mul(c.biasedThirdProjection, c.view);
}
