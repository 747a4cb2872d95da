// State-table, binding and shader-constant calls of the device.
#include "platform/gpu/GpuDevice.h"

#include "platform/gpu/GpuLog.h"

#include <cstring>

namespace gpu
{
namespace
{
// Enough lines to find the culprit without flooding the log every frame.
constexpr uint32_t kLoggedConstantRefusals = 8;
} // namespace

bool GpuDevice::BelongsHere(const GpuSurface* surface) const { return surface && surface->GetOwnerDevice() == this; }

Result GpuDevice::SetRenderTarget(uint32_t index, GpuSurface* surface)
{
    GpuCallScope scope(m_detector, "SetRenderTarget");
    ++m_frame.renderTargetCalls;
    if (index >= kRenderTargetCount)
        return Refuse("SetRenderTarget: no target slot %u", index);
    if (!surface && index == 0)
        return Refuse("SetRenderTarget: target 0 cannot be unbound");
    if (surface && (!BelongsHere(surface) || !(surface->Desc().usage & kUsageRenderTarget)))
        return Refuse("SetRenderTarget: surface #%llu is not a render target of this device",
                      (unsigned long long)surface->GetId());
    Bind(m_state.renderTargets[index], surface);
    if (index == 0)
    {
        // Binding target 0 fits the viewport and scissor rectangle to it.
        const SurfaceDesc& desc = surface->Desc();
        m_state.viewport = {0, 0, desc.width, desc.height, 0.0f, 1.0f};
        m_state.scissor = {0, 0, int32_t(desc.width), int32_t(desc.height)};
    }
    return kOk;
}

Result GpuDevice::GetRenderTarget(uint32_t index, GpuSurface** surface)
{
    GpuCallScope scope(m_detector, "GetRenderTarget");
    if (!surface || index >= kRenderTargetCount)
        return Refuse("GetRenderTarget: no output or no slot %u", index);
    *surface = m_state.renderTargets[index];
    if (!*surface)
        return kErrNotAvailable;
    (*surface)->AddRef();
    return kOk;
}

Result GpuDevice::SetDepthStencilSurface(GpuSurface* surface)
{
    GpuCallScope scope(m_detector, "SetDepthStencilSurface");
    ++m_frame.depthStencilCalls;
    if (surface && (!BelongsHere(surface) || surface->Info().kind != FormatKind::Depth ||
                    !(surface->Desc().usage & kUsageDepthStencil)))
        return Refuse("SetDepthStencilSurface: surface #%llu is not a depth-stencil surface of this device",
                      (unsigned long long)surface->GetId());
    Bind(m_state.depthStencil, surface);
    return kOk;
}

Result GpuDevice::GetDepthStencilSurface(GpuSurface** surface)
{
    GpuCallScope scope(m_detector, "GetDepthStencilSurface");
    if (!surface)
        return Refuse("GetDepthStencilSurface: no output");
    *surface = m_state.depthStencil;
    if (!*surface)
        return kErrNotAvailable;
    (*surface)->AddRef();
    return kOk;
}

Result GpuDevice::SetViewport(const Viewport& viewport)
{
    GpuCallScope scope(m_detector, "SetViewport");
    ++m_frame.viewportCalls;
    const GpuSurface* target = m_state.renderTargets[0];
    if (viewport.width == 0 || viewport.height == 0 ||
        (target && (uint64_t(viewport.x) + viewport.width > target->Desc().width ||
                    uint64_t(viewport.y) + viewport.height > target->Desc().height)))
        return Refuse("SetViewport: (%u,%u) %ux%u does not fit the render target", viewport.x, viewport.y,
                      viewport.width, viewport.height);
    m_state.viewport = viewport;
    return kOk;
}

Result GpuDevice::GetViewport(Viewport* viewport) const
{
    if (!viewport)
        return kErrInvalidCall;
    *viewport = m_state.viewport;
    return kOk;
}

Result GpuDevice::SetScissorRect(const Rect& rect)
{
    GpuCallScope scope(m_detector, "SetScissorRect");
    ++m_frame.scissorCalls;
    if (rect.left > rect.right || rect.top > rect.bottom)
        return Refuse("SetScissorRect: inverted rectangle (%d,%d)-(%d,%d)", rect.left, rect.top, rect.right,
                      rect.bottom);
    m_state.scissor = rect;
    return kOk;
}

Result GpuDevice::GetScissorRect(Rect* rect) const
{
    if (!rect)
        return kErrInvalidCall;
    *rect = m_state.scissor;
    return kOk;
}

Result GpuDevice::SetRenderState(uint32_t state, uint32_t value)
{
    GpuCallScope scope(m_detector, "SetRenderState");
    if (state >= kRenderStateCount)
        return Refuse("SetRenderState: unknown state %u", state);
    ++m_frame.renderStateCalls[state];
    m_state.renderStates[state] = value;
    return kOk;
}

Result GpuDevice::GetRenderState(uint32_t state, uint32_t* value) const
{
    if (state >= kRenderStateCount || !value)
        return kErrInvalidCall;
    *value = m_state.renderStates[state];
    return kOk;
}

Result GpuDevice::SetSamplerState(uint32_t sampler, uint32_t type, uint32_t value)
{
    GpuCallScope scope(m_detector, "SetSamplerState");
    if (sampler >= kSamplerCount || type >= kSamplerStateCount)
        return Refuse("SetSamplerState: no sampler %u or state %u", sampler, type);
    ++m_frame.samplerStateCalls[type];
    m_state.samplerStates[sampler][type] = value;
    return kOk;
}

Result GpuDevice::GetSamplerState(uint32_t sampler, uint32_t type, uint32_t* value) const
{
    if (sampler >= kSamplerCount || type >= kSamplerStateCount || !value)
        return kErrInvalidCall;
    *value = m_state.samplerStates[sampler][type];
    return kOk;
}

Result GpuDevice::SetTexture(uint32_t stage, GpuBaseTexture* texture)
{
    GpuCallScope scope(m_detector, "SetTexture");
    ++m_frame.textureCalls;
    if (stage >= kSamplerCount)
        return Refuse("SetTexture: no sampler stage %u", stage);
    if (texture && texture->GetDevice() != this)
        return Refuse("SetTexture: texture #%llu belongs to another device", (unsigned long long)texture->GetId());
    Bind(m_state.textures[stage], texture);
    return kOk;
}

Result GpuDevice::SetVertexShader(GpuVertexShader* shader)
{
    GpuCallScope scope(m_detector, "SetVertexShader");
    ++m_frame.vertexShaderCalls;
    if (shader && shader->GetDevice() != this)
        return Refuse("SetVertexShader: shader of another device");
    Bind(m_state.vertexShader, shader);
    return kOk;
}

Result GpuDevice::SetPixelShader(GpuPixelShader* shader)
{
    GpuCallScope scope(m_detector, "SetPixelShader");
    ++m_frame.pixelShaderCalls;
    if (shader && shader->GetDevice() != this)
        return Refuse("SetPixelShader: shader of another device");
    Bind(m_state.pixelShader, shader);
    return kOk;
}

Result GpuDevice::SetShaderConstants(float* registers, uint32_t limit, const char* stage, uint32_t start,
                                     const float* data, uint32_t count, uint32_t* calls, uint32_t* written)
{
    ++*calls;
    if (count == 0)
        return kOk;
    if (!data)
        return Refuse("Set%sShaderConstantF: no data", stage);
    if (start >= limit || count > limit - start)
    {
        ++m_frame.refusedConstantWrites;
        ++m_frame.invalidCalls;
        if (++m_loggedConstantRefusals <= kLoggedConstantRefusals)
            LogError("Set%sShaderConstantF: registers %u to %u pass the %u registers; write refused", stage, start,
                     start + count - 1, limit);
        return kErrInvalidCall;
    }
    memcpy(registers + size_t(start) * 4, data, size_t(count) * 4 * sizeof(float));
    *written += count;
    return kOk;
}

Result GpuDevice::SetVertexShaderConstantF(uint32_t start, const float* data, uint32_t count)
{
    GpuCallScope scope(m_detector, "SetVertexShaderConstantF");
    return SetShaderConstants(m_vertexConstants, kVertexConstantRegisters, "Vertex", start, data, count,
                              &m_frame.vertexConstantCalls, &m_frame.vertexConstantRegisters);
}

Result GpuDevice::SetPixelShaderConstantF(uint32_t start, const float* data, uint32_t count)
{
    GpuCallScope scope(m_detector, "SetPixelShaderConstantF");
    return SetShaderConstants(m_pixelConstants, kPixelConstantRegisters, "Pixel", start, data, count,
                              &m_frame.pixelConstantCalls, &m_frame.pixelConstantRegisters);
}

Result GpuDevice::GetVertexShaderConstantF(uint32_t start, float* data, uint32_t count) const
{
    if (!data || start >= kVertexConstantRegisters || count > kVertexConstantRegisters - start)
        return kErrInvalidCall;
    memcpy(data, m_vertexConstants + size_t(start) * 4, size_t(count) * 4 * sizeof(float));
    return kOk;
}

Result GpuDevice::GetPixelShaderConstantF(uint32_t start, float* data, uint32_t count) const
{
    if (!data || start >= kPixelConstantRegisters || count > kPixelConstantRegisters - start)
        return kErrInvalidCall;
    memcpy(data, m_pixelConstants + size_t(start) * 4, size_t(count) * 4 * sizeof(float));
    return kOk;
}

Result GpuDevice::SetVertexDeclaration(GpuVertexDeclaration* declaration)
{
    GpuCallScope scope(m_detector, "SetVertexDeclaration");
    ++m_frame.declarationCalls;
    if (declaration && declaration->GetDevice() != this)
        return Refuse("SetVertexDeclaration: declaration of another device");
    Bind(m_state.declaration, declaration);
    if (declaration)
        m_state.fvf = 0;
    return kOk;
}

Result GpuDevice::SetFVF(uint32_t fvf)
{
    GpuCallScope scope(m_detector, "SetFVF");
    ++m_frame.fvfCalls;
    // A fixed format replaces the declaration, as on the platform.
    if (fvf != 0)
        Bind(m_state.declaration, static_cast<GpuVertexDeclaration*>(nullptr));
    m_state.fvf = fvf;
    return kOk;
}

Result GpuDevice::SetStreamSource(uint32_t stream, GpuVertexBuffer* buffer, uint32_t offset, uint32_t stride)
{
    GpuCallScope scope(m_detector, "SetStreamSource");
    ++m_frame.streamSourceCalls;
    if (stream >= kStreamCount)
        return Refuse("SetStreamSource: no stream %u", stream);
    if (buffer && (buffer->GetDevice() != this || offset > buffer->GetSize()))
        return Refuse("SetStreamSource: buffer of another device or offset %u past its end", offset);
    Bind(m_state.streams[stream].buffer, buffer);
    m_state.streams[stream].offset = offset;
    m_state.streams[stream].stride = stride;
    return kOk;
}

Result GpuDevice::SetStreamSourceFreq(uint32_t stream, uint32_t setting)
{
    GpuCallScope scope(m_detector, "SetStreamSourceFreq");
    if (stream >= kStreamCount || (setting & 0x3FFFFFFFu) == 0)
        return Refuse("SetStreamSourceFreq: stream %u, setting 0x%X", stream, setting);
    m_state.streams[stream].frequency = setting;
    return kOk;
}

Result GpuDevice::SetIndices(GpuIndexBuffer* buffer)
{
    GpuCallScope scope(m_detector, "SetIndices");
    ++m_frame.indexBufferCalls;
    if (buffer && buffer->GetDevice() != this)
        return Refuse("SetIndices: index buffer of another device");
    Bind(m_state.indices, buffer);
    return kOk;
}
} // namespace gpu
