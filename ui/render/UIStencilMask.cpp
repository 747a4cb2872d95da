#include "ui/render/UIStencilMask.h"

#include "core/console/GameConsole.h"
#include "renderer/NorvexRenderer.h"
#include "ui/render/UIQuadBatch.h"
#include "ui/render/UIShaderTable.h"

UIStencilMask gUIStencilMask;

namespace
{
void RestrictToDepth(NorvexRenderer& renderer, uint32_t depth)
{
    renderer.SetColorWriteMask(0xF);
    renderer.SetStencilOps(gpu::kStencilKeep, gpu::kStencilReplace, gpu::kStencilReplace);
    renderer.SetStencilFunc(gpu::kCmpEqual, depth, 0xFF, 0);
}
} // namespace

bool UIStencilMask::Push(const Matrix& drawMatrix, const Vector& size, uint32_t blendMode, const Vector* constants,
                         bool mirrored)
{
    if (m_depth >= kMaxDepth)
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "UIStencilMask: masks nest at most %u deep", kMaxDepth);
        return false;
    }
    // Quads queued under the old stencil state must be drawn under it.
    FlushAllUIQuadBatches();
    ++m_depth;
    NorvexRenderer* const renderer = gRenderer;
    if (renderer == nullptr)
        return true;
    Matrix scale, quad;
    scale.LoadScale(Vector(size.x, size.y, size.z, 1.0f));
    quad.Mul(drawMatrix, scale);
    renderer->SetStencilOps(gpu::kStencilReplace, gpu::kStencilReplace, gpu::kStencilReplace);
    renderer->SetStencilFunc(gpu::kCmpAlways, m_depth, 0xFF, 0xFF);
    renderer->SetDepthState(gpu::kCmpAlways, false, 0.0f);
    renderer->SetColorWriteMask(0);
    const UIShader shader = GetUIShader(kUIShaderMask);
    UIQuadBatch& batch = GetUIQuadBatch(0);
    batch.SetState(blendMode, nullptr, 0, nullptr, 0, shader.vertex, shader.pixel, constants);
    const Vector zero(0.0f, 0.0f, 0.0f, 0.0f);
    batch.AddQuad(quad, zero, mirrored, zero, Vector(1.0f, 1.0f, 0.0f, 0.0f), zero);
    batch.Flush();
    RestrictToDepth(*renderer, m_depth);
    return true;
}

void UIStencilMask::Pop()
{
    if (m_depth == 0)
        return;
    FlushAllUIQuadBatches();
    --m_depth;
    NorvexRenderer* const renderer = gRenderer;
    if (renderer == nullptr)
        return;
    if (m_depth == 0)
        renderer->DisableStencil();
    else
        RestrictToDepth(*renderer, m_depth);
}
