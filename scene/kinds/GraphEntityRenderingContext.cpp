#include "scene/kinds/GraphEntityRenderingContext.h"

#include "platform/gpu/GpuDevice.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/VertexShaderObject.h"
#include "renderer/resources/ResourceTexture.h"
#include "scene/entities/Entity.h"
#include "scene/kinds/GraphGeometry.h"

#include <cmath>

namespace
{
// Takes a reference of its own on each resource of `source`; the objects are resolved at the draw.
void CopyPair(ShaderPair& target, const ShaderPair& source)
{
    target.m_vertexResource = source.m_vertexResource;
    target.m_pixelResource = source.m_pixelResource;
    if (target.m_vertexResource != nullptr)
        target.m_vertexResource->AddRef();
    if (target.m_pixelResource != nullptr)
        target.m_pixelResource->AddRef();
}
} // namespace

GraphEntityRenderingContext::GraphEntityRenderingContext(NorvexRenderer& renderer, const Entity* entity, uint32_t,
                                                         GraphGeometry* geometry)
    : EntityRenderingContext(renderer)
{
    const GraphTemplate* const source =
        entity != nullptr ? dynamic_cast<const GraphTemplate*>(entity->GetTemplate()) : nullptr;
    if (source == nullptr)
    {
        delete geometry;
        return;
    }
    m_geometry.reset(geometry);
    m_width = source->GetWidth();
    // A mapping size of zero has no finite inverse and would spread one texture over nothing: the
    // texture then runs unscaled. A negative size mirrors it, as the data asks.
    const float inverse = 1.0f / source->GetMappingSize();
    m_inverseMappingSize = std::isfinite(inverse) ? inverse : 1.0f;
    m_blendMode = source->GetBlendMode();
    if (ResourceTexture* const texture = source->GetTexture(); texture != nullptr && texture->IsLoaded())
    {
        texture->AddRef();
        m_textureResource = texture;
        m_texture = texture->GetTextureHolder();
    }
    for (uint32_t slot = 0; slot < GraphTemplate::SHADER_COUNT; ++slot)
    {
        CopyPair(m_shaders[slot], source->GetShaders(slot));
        // Half a pair cannot draw: such a pair is not used at all.
        if (!HasShaders(slot))
            m_shaders[slot].Release();
    }
}

GraphEntityRenderingContext::~GraphEntityRenderingContext()
{
    for (ShaderPair& pair : m_shaders)
        pair.Release();
    if (m_textureResource != nullptr)
        m_textureResource->Release();
}

void GraphEntityRenderingContext::DrawBatches(uint32_t slot, const float* pieces, uint32_t pieceCount,
                                              uint32_t registersPerPiece, PieceShape shape, const Matrix& world,
                                              const Vector& color)
{
    ShaderPair& pair = m_shaders[slot];
    pair.Resolve();
    // Pieces drawn with whatever shaders were bound before would land anywhere: without a ready
    // pair they wait for the next draw.
    if (pieceCount == 0 || !pair.IsValid())
        return;
    pair.Bind();
    const auto* vertexShader = static_cast<const VertexShaderObject*>(pair.m_vertexObject);
    vertexShader->SetModelMatrix(m_renderer, world, true);
    vertexShader->SetConstantColor(m_renderer, color);
    const BatchQuadGeometry& batch = m_renderer.GetDeviceManager().GetBatchGeometry();
    const uint32_t perBatch = shape == PIECE_STRIP      ? BatchQuadGeometry::kStripCount
                              : shape == PIECE_TRIANGLE ? BatchQuadGeometry::kTriangleCount
                                                        : BatchQuadGeometry::kQuadCount;
    for (uint32_t first = 0; first < pieceCount; first += perBatch)
    {
        const uint32_t count = pieceCount - first < perBatch ? pieceCount - first : perBatch;
        m_renderer.SetVertexShaderConstants(kPiecesRegister, pieces + size_t(first) * registersPerPiece * 4,
                                            count * registersPerPiece);
        if (shape == PIECE_STRIP)
            batch.DrawStrips(m_renderer, count);
        else if (shape == PIECE_TRIANGLE)
            batch.DrawTriangles(m_renderer, count);
        else
            batch.DrawQuads(m_renderer, count);
    }
}

void GraphEntityRenderingContext::Draw(const Matrix& world, uint32_t passFlags, const Vector& color)
{
    if (m_geometry == nullptr)
        return;
    const float settings[4] = {m_width, m_inverseMappingSize, 0.0f, 0.0f};
    m_renderer.SetVertexShaderConstants(kSettingsRegister, settings, 1);
    m_renderer.SetBlendMode(m_blendMode);
    // Flat ribbons are seen from above and below; they lie on what the scene drew without hiding it.
    m_renderer.SetCullMode(gpu::kCullNone);
    m_renderer.SetDepthState(gpu::kCmpLessEqual, false, 0.0f);
    m_renderer.SetTexture(0, m_texture, 0);

    // Straight strips are quads, curve segments strips of vertex pairs, arrows their heads.
    const GraphGeometry& g = *m_geometry;
    DrawBatches(GraphTemplate::SHADER_STRIPS, reinterpret_cast<const float*>(g.m_strips.Data()),
                uint32_t(g.m_strips.Count()), 2, PIECE_QUAD, world, color);
    DrawBatches(GraphTemplate::SHADER_CURVES, reinterpret_cast<const float*>(g.m_curves.Data()),
                uint32_t(g.m_curves.Count()), 4, PIECE_STRIP, world, color);
    if ((passFlags & kDrawArrows) != 0)
        DrawBatches(GraphTemplate::SHADER_ARROWS, reinterpret_cast<const float*>(g.m_arrows.Data()),
                    uint32_t(g.m_arrows.Count()), 2, PIECE_TRIANGLE, world, color);
}
