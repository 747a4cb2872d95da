#include "ui/render/UIQuadBatch.h"

#include "core/console/GameConsole.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/UIQuadGeometry.h"
#include "renderer/VertexShaderObject.h"

#include <cstring>

namespace
{
UIQuadBatch gBatches[kUIQuadBatchCount];

// Corner i of the unit square, and the order the corners are written in: mirrored quads are
// written bottom row first, which turns the winding of both triangles.
constexpr float kCornerX[4] = {0.0f, 1.0f, 1.0f, 0.0f};
constexpr float kCornerY[4] = {0.0f, 0.0f, 1.0f, 1.0f};
constexpr uint32_t kPlainOrder[4] = {0, 1, 2, 3};
constexpr uint32_t kMirroredOrder[4] = {3, 2, 1, 0};

void Store(float* to, const Vector& from, uint32_t count)
{
    std::memcpy(to, &from.x, count * sizeof(float));
}
} // namespace

void UIQuadBatch::SetState(uint32_t blendMode, TextureHolder* texture0, uint32_t sampler0, TextureHolder* texture1,
                           uint32_t sampler1, const VertexShaderObject* vertexShader,
                           const PixelShaderObject* pixelShader, const Vector* constants)
{
    const bool sameConstants = constants == nullptr
                                   ? !m_hasConstants
                                   : m_hasConstants && std::memcmp(constants, m_constants, sizeof(m_constants)) == 0;
    if (sameConstants && blendMode == m_blendMode && texture0 == m_texture0 && sampler0 == m_sampler0 &&
        texture1 == m_texture1 && sampler1 == m_sampler1 && vertexShader == m_vertexShader &&
        pixelShader == m_pixelShader)
        return;
    Flush();
    m_blendMode = blendMode;
    m_texture0 = texture0;
    m_sampler0 = sampler0;
    m_texture1 = texture1;
    m_sampler1 = sampler1;
    m_vertexShader = vertexShader;
    m_pixelShader = pixelShader;
    m_hasConstants = constants != nullptr;
    if (constants != nullptr)
        std::memcpy(m_constants, constants, sizeof(m_constants));
}

void UIQuadBatch::WriteCorners(const Matrix& matrix, const Vector* colors, uint32_t colorStep, bool mirrored,
                               const Vector& extra, const Vector& uvSize, const Vector& uvOrigin)
{
    UIVertex* out = m_vertices + m_quadCount * 4;
    const uint32_t* const order = mirrored ? kMirroredOrder : kPlainOrder;
    for (uint32_t i = 0; i < 4; ++i, ++out)
    {
        const uint32_t corner = order[i];
        Vector position(kCornerX[corner], kCornerY[corner], 0.0f, 1.0f);
        position.Transform(matrix);
        Store(out->color, colors[corner * colorStep], 4);
        Store(out->position, position, 3);
        Store(out->extra, extra, 4);
        out->uv[0] = uvOrigin.x + kCornerX[corner] * uvSize.x;
        out->uv[1] = uvOrigin.y + kCornerY[corner] * uvSize.y;
    }
    if (++m_quadCount == kMaxQuads)
        Flush();
}

void UIQuadBatch::AddQuad(const Matrix& matrix, const Vector& color, bool mirrored, const Vector& extra,
                          const Vector& uvSize, const Vector& uvOrigin)
{
    WriteCorners(matrix, &color, 0, mirrored, extra, uvSize, uvOrigin);
}

void UIQuadBatch::AddQuadColors(const Matrix& matrix, const Vector colors[4], bool mirrored, const Vector& extra,
                                const Vector& uvSize, const Vector& uvOrigin)
{
    WriteCorners(matrix, colors, 1, mirrored, extra, uvSize, uvOrigin);
}

bool UIQuadBatch::AddVertices(const Matrix& matrix, const UIVertex* vertices, uint32_t vertexCount)
{
    if (vertexCount > kMaxVertices || (vertexCount != 0 && vertices == nullptr))
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "UIQuadBatch: %u vertices do not fit a batch of %u", vertexCount,
                       kMaxVertices);
        return false;
    }
    const uint32_t quads = vertexCount / 4;
    if (quads == 0)
        return true;
    if (m_quadCount + quads > kMaxQuads)
        Flush();
    UIVertex* out = m_vertices + m_quadCount * 4;
    std::memcpy(out, vertices, quads * 4 * sizeof(UIVertex));
    for (uint32_t i = 0; i < quads * 4; ++i, ++out)
    {
        Vector position(out->position[0], out->position[1], out->position[2], 1.0f);
        position.Transform(matrix);
        Store(out->position, position, 3);
    }
    m_quadCount += quads;
    if (m_quadCount == kMaxQuads)
        Flush();
    return true;
}

void UIQuadBatch::Flush()
{
    if (m_quadCount == 0)
        return;
    const uint32_t quads = m_quadCount;
    m_quadCount = 0;
    NorvexRenderer* const renderer = gRenderer;
    gpu::GpuDevice* const device = renderer != nullptr ? renderer->GetDevice() : nullptr;
    gpu::GpuVertexDeclaration* const declaration =
        renderer != nullptr ? renderer->GetDeviceManager().GetUIQuadGeometry().GetQuadDeclaration() : nullptr;
    if (device == nullptr || declaration == nullptr)
        return;
    renderer->SetBlendMode(m_blendMode);
    // The renderer's mirror flag turns the winding of everything drawn under its camera.
    renderer->SetCullMode(renderer->GetCamera().mirrored ? gpu::kCullCounterClockwise : gpu::kCullClockwise);
    renderer->SetDepthState(gpu::kCmpAlways, false, 0.0f);
    device->SetVertexDeclaration(declaration);
    renderer->SetVertexShader(m_vertexShader);
    // The vertices are already in UI space: the model matrix is the identity.
    if (m_vertexShader != nullptr)
        m_vertexShader->SetModelMatrix(*renderer, Matrix::ONE, true);
    if (m_hasConstants)
    {
        renderer->SetVertexShaderConstants(12, &m_constants[0].x, 2);
        renderer->SetPixelShaderConstants(3, &m_constants[2].x, 1);
    }
    renderer->SetPixelShader(m_pixelShader);
    renderer->SetTexture(0, m_texture0, m_sampler0);
    renderer->SetTexture(1, m_texture1, m_sampler1);
    renderer->DrawIndexedPrimitiveUP(gpu::kPrimitiveTriangleList, 0, quads * 4, quads * 2, UIQuadGeometry::GetIndices(),
                                     gpu::kFormatIndex16, m_vertices, sizeof(UIVertex));
}

void UIQuadBatch::Reset()
{
    m_quadCount = 0;
    m_vertexShader = nullptr;
    m_pixelShader = nullptr;
    m_texture0 = m_texture1 = nullptr;
    m_sampler0 = m_sampler1 = 0;
    m_blendMode = kInitialBlendMode;
    m_hasConstants = false;
}

UIQuadBatch& GetUIQuadBatch(uint32_t index)
{
    return gBatches[index < kUIQuadBatchCount ? index : kUIQuadBatchCount - 1];
}

void FlushAllUIQuadBatches()
{
    for (UIQuadBatch& batch : gBatches)
        batch.Flush();
}
