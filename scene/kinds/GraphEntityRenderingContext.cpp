#include "scene/kinds/GraphEntityRenderingContext.h"

#include "platform/gpu/GpuDevice.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/resources/ResourceTexture.h"
#include "scene/entities/Entity.h"
#include "scene/kinds/GraphGeometry.h"

#include <vector>

namespace
{
// One vertex: the piece's place in the batch, how far along it (0 to 1) and which side (-1 or 1).
struct CornerVertex
{
    float piece;
    float along;
    float side;
};

// Two triangles per straight piece (strips and arrows), batch-sized.
const std::vector<CornerVertex>& QuadVertices()
{
    static const std::vector<CornerVertex> vertices = [] {
        std::vector<CornerVertex> v;
        for (uint32_t p = 0; p < GraphEntityRenderingContext::kStripsPerBatch; ++p)
        {
            const float i = float(p);
            v.insert(v.end(), {{i, 0, -1}, {i, 0, 1}, {i, 1, -1}, {i, 1, -1}, {i, 0, 1}, {i, 1, 1}});
        }
        return v;
    }();
    return vertices;
}

// Each curve segment as a band of vertex pairs, two triangles between neighbouring pairs.
const std::vector<CornerVertex>& CurveVertices()
{
    static const std::vector<CornerVertex> vertices = [] {
        constexpr uint32_t kSteps = GraphEntityRenderingContext::kCurvePairs - 1;
        std::vector<CornerVertex> v;
        for (uint32_t p = 0; p < GraphEntityRenderingContext::kCurvesPerBatch; ++p)
            for (uint32_t s = 0; s < kSteps; ++s)
            {
                const float i = float(p);
                const float a = float(s) / kSteps;
                const float b = float(s + 1) / kSteps;
                v.insert(v.end(), {{i, a, -1}, {i, a, 1}, {i, b, -1}, {i, b, -1}, {i, a, 1}, {i, b, 1}});
            }
        return v;
    }();
    return vertices;
}

// Takes a reference of its own on each resource of `source`.
void CopyPair(ShaderPair& target, const ShaderPair& source)
{
    target = source;
    if (target.m_vertexResource != nullptr)
        target.m_vertexResource->AddRef();
    if (target.m_pixelResource != nullptr)
        target.m_pixelResource->AddRef();
    target.Resolve();
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
    // A mapping size of zero would spread one texture over nothing: the texture then runs unscaled.
    m_inverseMappingSize = source->GetMappingSize() > 0.0f ? 1.0f / source->GetMappingSize() : 1.0f;
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
        if (!m_shaders[slot].IsValid())
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

void GraphEntityRenderingContext::Bind(uint32_t slot) const
{
    if (m_shaders[slot].IsValid())
        m_shaders[slot].Bind();
}

void GraphEntityRenderingContext::DrawBatches(uint32_t slot, const float* pieces, uint32_t pieceCount,
                                              uint32_t registersPerPiece, uint32_t perBatch, const float* vertices,
                                              uint32_t trianglesPerPiece) const
{
    if (pieceCount == 0)
        return;
    Bind(slot);
    for (uint32_t first = 0; first < pieceCount; first += perBatch)
    {
        const uint32_t count = pieceCount - first < perBatch ? pieceCount - first : perBatch;
        m_renderer.SetVertexShaderConstants(kPiecesRegister, pieces + size_t(first) * registersPerPiece * 4,
                                            count * registersPerPiece);
        m_renderer.DrawPrimitiveUP(gpu::kPrimitiveTriangleList, count * trianglesPerPiece, vertices,
                                   sizeof(CornerVertex));
    }
}

void GraphEntityRenderingContext::Draw(const Matrix& world, uint32_t passFlags, const Vector& color)
{
    if (m_geometry == nullptr)
        return;
    m_renderer.SetVertexShaderConstants(kWorldRegister, &world.rows[0].x, 4);
    const float settings[4] = {m_width, m_inverseMappingSize, color.w, 0.0f};
    m_renderer.SetVertexShaderConstants(kSettingsRegister, settings, 1);
    m_renderer.SetBlendMode(m_blendMode);
    m_renderer.SetTexture(0, m_texture, 0);
    if (gpu::GpuDevice* const device = m_renderer.GetDevice())
        device->SetFVF(gpu::kFvfXyz);

    const GraphGeometry& g = *m_geometry;
    const float* const quads = &QuadVertices()[0].piece;
    DrawBatches(GraphTemplate::SHADER_STRIPS, reinterpret_cast<const float*>(g.m_strips.Data()), uint32_t(g.m_strips.Count()), 2,
                kStripsPerBatch, quads, 2);
    DrawBatches(GraphTemplate::SHADER_CURVES, reinterpret_cast<const float*>(g.m_curves.Data()), uint32_t(g.m_curves.Count()), 4,
                kCurvesPerBatch, &CurveVertices()[0].piece, (kCurvePairs - 1) * 2);
    if ((passFlags & kDrawArrows) != 0)
        DrawBatches(GraphTemplate::SHADER_ARROWS, reinterpret_cast<const float*>(g.m_arrows.Data()), uint32_t(g.m_arrows.Count()), 2,
                    kArrowsPerBatch, quads, 2);
}
