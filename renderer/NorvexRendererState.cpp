// Render thread: the render-state cache, the uncached wrappers, the draw wrappers and the camera and
// viewport state every draw uses.
#include "renderer/NorvexRenderer.h"

#include "platform/gpu/GpuDevice.h"
#include "renderer/PixelShaderObject.h"
#include "renderer/RenderTarget.h"
#include "renderer/VertexShaderObject.h"
#include "renderer/jobs/TextureHolder.h"

#include <algorithm>
#include <bit>

namespace
{
using RS = RenderStateCache;

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

void NorvexRenderer::ResetStateCache()
{
    m_stateCache = RenderStateCache();
    // The device's state after a reset is its default (blend off), which mode 9 describes.
    m_stateCache.blendMode = 9;
    // None of the known modes: the next SetAlphaTest call sets the device.
    m_stateCache.alphaTestMode = 3;
    m_stateCache.depthWrite = 1;
    if (m_device == nullptr)
        return;
    for (uint32_t stage = 0; stage < gpu::kSamplerCount; ++stage)
    {
        m_device->SetSamplerState(stage, gpu::kSsMagFilter, gpu::kFilterLinear);
        m_device->SetSamplerState(stage, gpu::kSsMinFilter, gpu::kFilterLinear);
        m_device->SetSamplerState(stage, gpu::kSsMipFilter, gpu::kFilterPoint);
        m_device->SetSamplerState(stage, gpu::kSsAddressU, gpu::kAddressWrap);
        m_device->SetSamplerState(stage, gpu::kSsAddressV, gpu::kAddressWrap);
        m_device->SetSamplerState(stage, gpu::kSsMaxMipLevel, 0);
        m_device->SetSamplerState(stage, gpu::kSsBorderColor, 0);
        m_device->SetSamplerState(stage, gpu::kSsSrgbTexture, 0);
    }
    m_device->SetRenderState(gpu::kRsStencilWriteMask, 0);
    m_device->SetRenderState(gpu::kRsStencilEnable, 0);
    m_stateCache.stencilWriteMask = 0;
    m_stateCache.stencilEnable = 0;
}

void NorvexRenderer::SetBlendMode(uint32_t mode)
{
    if (mode >= RS::kBlendModeCount || mode == m_stateCache.blendMode || m_device == nullptr)
        return;
    m_stateCache.blendMode = mode;
    const BlendModeRow& row = kBlendModes[mode];
    m_device->SetRenderState(gpu::kRsAlphaBlendEnable, row.enable);
    if (!row.enable)
        return;
    m_device->SetRenderState(gpu::kRsBlendOp, row.op);
    m_device->SetRenderState(gpu::kRsSrcBlend, row.source);
    m_device->SetRenderState(gpu::kRsDestBlend, row.destination);
    m_device->SetRenderState(gpu::kRsSeparateAlphaBlendEnable, row.separateAlpha);
    if (!row.separateAlpha)
        return;
    m_device->SetRenderState(gpu::kRsBlendOpAlpha, row.alphaOp);
    m_device->SetRenderState(gpu::kRsSrcBlendAlpha, row.alphaSource);
    m_device->SetRenderState(gpu::kRsDestBlendAlpha, row.alphaDestination);
}

const Vector& NorvexRenderer::GetBlendModeFadeVector(uint32_t mode)
{
    return kBlendModes[std::min(mode, RS::kBlendModeCount - 1)].fade;
}

void NorvexRenderer::SetCullMode(uint32_t cullMode)
{
    if (cullMode == m_stateCache.cullMode || m_device == nullptr)
        return;
    m_stateCache.cullMode = cullMode;
    m_device->SetRenderState(gpu::kRsCullMode, cullMode);
}

void NorvexRenderer::SetAlphaTest(uint32_t mode, uint32_t reference)
{
    if (mode > 2 || m_device == nullptr)
        return;
    if (mode != m_stateCache.alphaTestMode)
    {
        m_device->SetRenderState(gpu::kRsAlphaTestEnable, mode != 0);
        if (mode != 0)
            m_device->SetRenderState(gpu::kRsAlphaFunc, mode == 1 ? gpu::kCmpGreater : gpu::kCmpLess);
        m_stateCache.alphaTestMode = mode;
    }
    if (mode != 0 && reference != m_stateCache.alphaReference)
    {
        m_device->SetRenderState(gpu::kRsAlphaRef, reference);
        m_stateCache.alphaReference = reference;
    }
}

void NorvexRenderer::SetDepthState(uint32_t compareFunction, bool writeEnable, float bias)
{
    if (m_device == nullptr)
        return;
    if (compareFunction != m_stateCache.depthFunction)
    {
        m_device->SetRenderState(gpu::kRsZFunc, compareFunction);
        m_stateCache.depthFunction = compareFunction;
    }
    if (uint32_t(writeEnable) != m_stateCache.depthWrite)
    {
        m_device->SetRenderState(gpu::kRsZWriteEnable, writeEnable);
        m_stateCache.depthWrite = writeEnable;
    }
    if (!m_stateCache.depthBiasKnown || bias != m_stateCache.depthBias)
    {
        m_stateCache.depthBias = bias;
        m_stateCache.depthBiasKnown = true;
        m_stateCache.biasedDepthTerm = kBiasedDepthFactor * bias;
        UpdateBiasedMatrices();
    }
}

void NorvexRenderer::SetVertexShader(const VertexShaderObject* shader)
{
    gpu::GpuVertexShader* const deviceShader = shader != nullptr ? shader->GetDeviceShader() : nullptr;
    if ((m_stateCache.vertexShaderKnown && deviceShader == m_stateCache.vertexShader) || m_device == nullptr)
        return;
    m_device->SetVertexShader(deviceShader);
    m_stateCache.vertexShader = deviceShader;
    m_stateCache.vertexShaderKnown = true;
}

void NorvexRenderer::SetPixelShader(const PixelShaderObject* shader)
{
    gpu::GpuPixelShader* const deviceShader = shader != nullptr ? shader->GetDeviceShader() : nullptr;
    if ((m_stateCache.pixelShaderKnown && deviceShader == m_stateCache.pixelShader) || m_device == nullptr)
        return;
    m_device->SetPixelShader(deviceShader);
    m_stateCache.pixelShader = deviceShader;
    m_stateCache.pixelShaderKnown = true;
}

void NorvexRenderer::SetTexture(uint32_t stage, TextureHolder* holder, uint32_t flags)
{
    if (stage >= gpu::kSamplerCount || m_device == nullptr)
        return;
    // Scene parameter sets, which could replace the holder (flag bit 12), do not exist yet.
    m_device->SetTexture(stage, holder != nullptr ? holder->GetTexture() : nullptr);
    m_stateCache.holders[stage] = holder;
    if (m_sceneColorMode == 1 || m_sceneColorMode == 2)
    {
        flags &= ~SAMPLER_SRGB;
        if (flags & SAMPLER_FORCE_SRGB)
            flags |= SAMPLER_SRGB;
    }
    const uint32_t changed = flags ^ m_stateCache.samplerFlags[stage];
    if (changed == 0)
        return;
    if (changed & SAMPLER_SRGB)
        m_device->SetSamplerState(stage, gpu::kSsSrgbTexture, (flags & SAMPLER_SRGB) != 0);
    if (changed & kAddressGroup)
    {
        const bool border = (flags & SAMPLER_BORDER) != 0;
        const uint32_t u = border ? gpu::kAddressBorder : (flags & SAMPLER_CLAMP_U) ? gpu::kAddressClamp : gpu::kAddressWrap;
        const uint32_t v = border ? gpu::kAddressBorder : (flags & SAMPLER_CLAMP_V) ? gpu::kAddressClamp : gpu::kAddressWrap;
        m_device->SetSamplerState(stage, gpu::kSsAddressU, u);
        m_device->SetSamplerState(stage, gpu::kSsAddressV, v);
    }
    if (changed & kFilterGroup)
    {
        const bool point = (flags & SAMPLER_POINT) != 0;
        const bool linearMip = !point && (flags & SAMPLER_LINEAR_MIP) && m_params.qualityLevel >= kLinearMipQuality;
        m_device->SetSamplerState(stage, gpu::kSsMagFilter, point ? gpu::kFilterPoint : gpu::kFilterLinear);
        m_device->SetSamplerState(stage, gpu::kSsMinFilter, point ? gpu::kFilterPoint : gpu::kFilterLinear);
        m_device->SetSamplerState(stage, gpu::kSsMipFilter, linearMip ? gpu::kFilterLinear : gpu::kFilterPoint);
    }
    m_stateCache.samplerFlags[stage] = flags;
}

void NorvexRenderer::SetStencilOps(uint32_t pass, uint32_t fail, uint32_t depthFail)
{
    if (m_device == nullptr)
        return;
    if (m_stateCache.stencilEnable != 1)
    {
        m_device->SetRenderState(gpu::kRsStencilEnable, 1);
        m_stateCache.stencilEnable = 1;
    }
    const struct
    {
        uint32_t state;
        uint32_t value;
        uint32_t* cached;
    } ops[] = {{gpu::kRsStencilPass, pass, &m_stateCache.stencilPass},
               {gpu::kRsStencilFail, fail, &m_stateCache.stencilFail},
               {gpu::kRsStencilZFail, depthFail, &m_stateCache.stencilDepthFail}};
    for (const auto& op : ops)
        if (op.value != *op.cached)
        {
            m_device->SetRenderState(op.state, op.value);
            *op.cached = op.value;
        }
}

void NorvexRenderer::SetStencilFunc(uint32_t function, uint32_t reference, uint32_t readMask, uint32_t writeMask)
{
    if (m_device == nullptr)
        return;
    const struct
    {
        uint32_t state;
        uint32_t value;
        uint32_t* cached;
    } values[] = {{gpu::kRsStencilFunc, function, &m_stateCache.stencilFunction},
                  {gpu::kRsStencilRef, reference, &m_stateCache.stencilReference},
                  {gpu::kRsStencilMask, readMask, &m_stateCache.stencilReadMask},
                  {gpu::kRsStencilWriteMask, writeMask, &m_stateCache.stencilWriteMask}};
    for (const auto& value : values)
        if (value.value != *value.cached)
        {
            m_device->SetRenderState(value.state, value.value);
            *value.cached = value.value;
        }
}

void NorvexRenderer::SetStencilWriteMask(uint32_t mask)
{
    if (mask == m_stateCache.stencilWriteMask || m_device == nullptr)
        return;
    m_device->SetRenderState(gpu::kRsStencilWriteMask, mask);
    m_stateCache.stencilWriteMask = mask;
}

void NorvexRenderer::DisableStencil()
{
    if (m_device == nullptr)
        return;
    if (m_stateCache.stencilEnable != 0)
    {
        m_device->SetRenderState(gpu::kRsStencilEnable, 0);
        m_stateCache.stencilEnable = 0;
    }
    SetStencilWriteMask(0);
}

void NorvexRenderer::SetVertexShaderConstants(uint32_t firstRegister, const float* data, uint32_t count)
{
    if (m_device != nullptr && count != 0)
        m_device->SetVertexShaderConstantF(firstRegister, data, count);
}

void NorvexRenderer::SetPixelShaderConstants(uint32_t firstRegister, const float* data, uint32_t count)
{
    if (m_device != nullptr && count != 0)
        m_device->SetPixelShaderConstantF(firstRegister, data, count);
}

void NorvexRenderer::SetDepthBias(float bias, float slopeScaledBias)
{
    if (m_device == nullptr)
        return;
    m_device->SetRenderState(gpu::kRsDepthBias, FloatBits(bias));
    m_device->SetRenderState(gpu::kRsSlopeScaleDepthBias, FloatBits(slopeScaledBias));
}

void NorvexRenderer::SetColorWriteMask(uint32_t mask)
{
    if (m_device != nullptr)
        m_device->SetRenderState(gpu::kRsColorWriteEnable, mask);
}

void NorvexRenderer::SetSRGBWriteState(bool on)
{
    if (m_device != nullptr)
        m_device->SetRenderState(gpu::kRsSrgbWriteEnable, on);
}

void NorvexRenderer::SetRenderTargets(const RenderTarget* target0, const RenderTarget* target1, uint32_t flags)
{
    if (m_device == nullptr)
        return;
    const bool linearScene = m_sceneColorMode == 1 || m_sceneColorMode == 2;
    if (linearScene)
        flags &= ~1u;
    m_stateCache.renderTargetFlags = flags;
    m_device->SetRenderTarget(1, target1 != nullptr ? target1->GetSurface() : nullptr);
    m_device->SetRenderTarget(0, target0 != nullptr ? target0->GetSurface() : nullptr);
    SetSRGBWriteState((flags & 1u) != 0);
    if ((flags & 2u) == 0)
        m_device->SetViewport(m_viewport.viewport);
}

void NorvexRenderer::SetBackBufferTarget()
{
    if (m_device == nullptr)
        return;
    gpu::GpuSurface* backBuffer = m_frameBackBuffer;
    if (backBuffer == nullptr && m_device->GetBackBuffer(0, 0, &backBuffer) != gpu::kOk)
        return;
    const RenderTarget target(backBuffer, nullptr);
    SetRenderTargets(&target, nullptr, 3);
    if (backBuffer != m_frameBackBuffer)
        backBuffer->Release();
}

void NorvexRenderer::ClearTargets(uint32_t flags, const Vector& color, float depth, uint32_t stencil)
{
    if (m_device != nullptr)
        m_device->Clear(0, nullptr, flags, PackArgb(color), depth, stencil);
}

void NorvexRenderer::PresentFrame(gpu::GpuSwapChain* swapChain)
{
    if (m_device == nullptr)
        return;
    const gpu::Result result = swapChain != nullptr ? m_device->PresentSwapChain(swapChain) : m_device->Present();
    if (result == gpu::kErrDeviceLost)
        m_deviceResetPending.store(true, std::memory_order_release);
}

void NorvexRenderer::DrawPrimitive(uint32_t type, uint32_t startVertex, uint32_t primitiveCount)
{
    ++m_frameDrawCalls;
    m_framePrimitives += primitiveCount;
    if (m_device != nullptr)
        m_device->DrawPrimitive(type, startVertex, primitiveCount);
}

void NorvexRenderer::DrawPrimitiveUP(uint32_t type, uint32_t primitiveCount, const void* vertices, uint32_t stride)
{
    ++m_frameDrawCalls;
    m_framePrimitives += primitiveCount;
    if (m_device != nullptr)
        m_device->DrawPrimitiveUP(type, primitiveCount, vertices, stride);
}

void NorvexRenderer::DrawIndexedPrimitive(uint32_t type, int32_t baseVertex, uint32_t minIndex, uint32_t numVertices,
                                          uint32_t startIndex, uint32_t primitiveCount)
{
    ++m_frameDrawCalls;
    m_framePrimitives += primitiveCount;
    if (m_device != nullptr)
        m_device->DrawIndexedPrimitive(type, baseVertex, minIndex, numVertices, startIndex, primitiveCount);
}

void NorvexRenderer::DrawIndexedPrimitiveUP(uint32_t type, uint32_t minIndex, uint32_t numVertices,
                                            uint32_t primitiveCount, const void* indices, gpu::Format indexFormat,
                                            const void* vertices, uint32_t stride)
{
    ++m_frameDrawCalls;
    m_framePrimitives += primitiveCount;
    if (m_device != nullptr)
        m_device->DrawIndexedPrimitiveUP(type, minIndex, numVertices, primitiveCount, indices, indexFormat, vertices,
                                         stride);
}

void NorvexRenderer::ApplyViewport(const gpu::Viewport& viewport)
{
    m_viewport.viewport = viewport;
    m_viewport.width = float(viewport.width);
    m_viewport.height = float(viewport.height);
    m_viewport.inverseWidth = viewport.width != 0 ? 1.0f / m_viewport.width : 0.0f;
    m_viewport.inverseHeight = viewport.height != 0 ? 1.0f / m_viewport.height : 0.0f;
    if (m_device != nullptr)
        m_device->SetViewport(viewport);
}

void NorvexRenderer::SetViewportRect(uint32_t x, uint32_t y, uint32_t width, uint32_t height)
{
    ApplyViewport({x, y, width, height, m_viewport.viewport.minZ, m_viewport.viewport.maxZ});
}

void NorvexRenderer::SetFullViewport()
{
    ApplyViewport({0, 0, m_backBufferWidth, m_backBufferHeight, 0.0f, 1.0f});
}

void NorvexRenderer::SetProjection(const Matrix& projection)
{
    UpdateCamera(m_camera.view, projection, m_camera.third);
}

void NorvexRenderer::UpdateCamera(const Matrix& view, const Matrix& projection, const Matrix& third)
{
    CameraState& c = m_camera;
    c.view = view;
    c.projection = projection;
    c.third = third;
    c.inverseView.InverseOf(view);
    c.inverseProjection.InverseOf(projection);
    c.inverseViewProjection.Mul(c.inverseView, c.inverseProjection);
    c.viewProjection.Mul(projection, view);
    c.mirrored = c.viewProjection.Det() < 0.0f;
    if (m_capsDepthTexture)
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

void NorvexRenderer::UpdateBiasedMatrices()
{
    CameraState& c = m_camera;
    c.biasedProjection = c.projection;
    c.biasedProjection.rows[2].z += m_stateCache.biasedDepthTerm;
    c.biasedThirdProjection.Mul(c.third, c.biasedProjection);
    c.biasedViewProjection.Mul(c.biasedThirdProjection, c.view);
}
