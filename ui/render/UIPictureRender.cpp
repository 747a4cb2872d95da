// What a picture draws of itself: a quad in its batch, or a direct draw of the unit quad when it
// has no batch but a texture. Render thread only (any thread while no render thread runs).
#include "platform/gpu/GpuDevice.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/UIQuadGeometry.h"
#include "renderer/VertexShaderObject.h"
#include "ui/elements/UIPicture.h"
#include "ui/render/UIQuadBatch.h"
#include "ui/render/UIShaderTable.h"

#include <xmmintrin.h>

const VertexShaderObject* UIPicture::GetVertexShader() const
{
    return m_vertexShader != nullptr ? m_vertexShader : GetUIShader(kDefaultShaderIndex).vertex;
}

const PixelShaderObject* UIPicture::GetPixelShader() const
{
    return m_pixelShader != nullptr ? m_pixelShader : GetUIShader(kDefaultShaderIndex).pixel;
}

void UIPicture::SetBatchState(uint32_t batch, const Vector* constants) const
{
    GetUIQuadBatch(batch).SetState(GetBlendMode(), m_textures[0], m_samplerPresets[0], m_textures[1],
                                   m_samplerPresets[1], GetVertexShader(), GetPixelShader(), constants);
}

void UIPicture::Render(const Matrix& matrix, const Vector& color, bool mirrored, const Vector* constants)
{
    if (m_batchIndex >= 0)
    {
        const Vector& size = GetRenderSize();
        Matrix scale, quad;
        scale.LoadScale(Vector(size.x, size.y, 1.0f, 1.0f));
        quad.Mul(matrix, scale);
        SetBatchState(uint32_t(m_batchIndex), constants);
        Vector colors[4];
        for (uint32_t i = 0; i < 4; ++i)
            colors[i].SetSimd(_mm_mul_ps(m_cornerColors[i].Simd(), color.Simd()));
        UIQuadBatch& batch = GetUIQuadBatch(uint32_t(m_batchIndex));
        batch.AddQuadColors(quad, colors, mirrored, m_pixelShaderParam, m_uvSize, m_uvOrigin);
        if (m_flushAfter != 0)
            batch.Flush();
        return;
    }
    if (m_textures[0] != nullptr)
    {
        DrawDirect(matrix, color, mirrored, constants);
        return;
    }
    UIElement::Render(matrix, color, mirrored, constants);
}

void UIPicture::DrawDirect(const Matrix& matrix, const Vector& color, bool mirrored, const Vector* constants) const
{
    NorvexRenderer* const renderer = gRenderer;
    gpu::GpuDevice* const device = renderer != nullptr ? renderer->GetDevice() : nullptr;
    const VertexShaderObject* const vertexShader = GetVertexShader();
    if (device == nullptr || vertexShader == nullptr)
        return;
    const UIQuadGeometry& geometry = renderer->GetDeviceManager().GetUIQuadGeometry();
    if (geometry.GetUnitQuad() == nullptr)
        return;
    const Vector& size = GetRenderSize();
    Matrix scale, quad;
    scale.LoadScale(Vector(size.x, size.y, 1.0f, 1.0f));
    quad.Mul(matrix, scale);
    device->SetVertexDeclaration(geometry.GetUnitQuadDeclaration());
    device->SetStreamSource(0, geometry.GetUnitQuad(), 0, UIQuadGeometry::kUnitQuadStride);
    renderer->SetTexture(0, m_textures[0], kDirectSamplerPreset);
    renderer->SetBlendMode(GetBlendMode());
    renderer->SetCullMode(renderer->GetCamera().mirrored == mirrored ? gpu::kCullCounterClockwise
                                                                      : gpu::kCullClockwise);
    renderer->SetDepthState((GetRenderFlags() & UIFLAG_DEPTHTEST) != 0 ? gpu::kCmpLessEqual : gpu::kCmpAlways, false,
                            0.0f);
    renderer->SetVertexShader(vertexShader);
    renderer->SetPixelShader(GetPixelShader());
    renderer->SetVertexShaderConstants(kUVSizeRegister, &m_uvSize.x, 1);
    renderer->SetVertexShaderConstants(kUVOriginRegister, &m_uvOrigin.x, 1);
    renderer->SetPixelShaderConstants(kPixelParamRegister, &m_pixelShaderParam.x, 1);
    vertexShader->SetConstantColor(*renderer, color);
    vertexShader->SetModelMatrix(*renderer, quad, true);
    if (constants != nullptr)
    {
        renderer->SetVertexShaderConstants(12, &constants[0].x, 2);
        renderer->SetPixelShaderConstants(3, &constants[2].x, 1);
    }
    renderer->DrawPrimitive(gpu::kPrimitiveTriangleFan, 0, 2);
    device->SetStreamSource(0, nullptr, 0, 0);
}
