// GraphEntityRenderingContext: the render-side twin of a GraphEntity. Made on the main thread with
// the geometry the graph built (which it then owns) and its template's draw settings; drawn on the
// render thread, where the pieces go to the "Graph" shaders as vertex constants in batches over the
// renderer's piece batches (BatchQuadGeometry), whose vertices only say which piece and which corner
// they are. The shader pairs are resolved at the draw, so a variant still loading when the context
// was made draws once it is ready.
#pragma once

#include "renderer/EntityRenderingContext.h"
#include "renderer/ShaderPair.h"
#include "scene/kinds/GraphTemplate.h"

#include <cstdint>
#include <memory>

class Entity;
class GraphGeometry;
class ResourceTexture;
class TextureHolder;

// Draws a graph's strips, curve segments and (with render flag 8) arrows.
class GraphEntityRenderingContext : public EntityRenderingContext
{
public:
    // Render flag that adds the arrows.
    static constexpr uint32_t kDrawArrows = 8;
    // Vertex constant registers: the draw settings (width, 1 / mapping size), then the batch's
    // pieces; the shaders take the world through their named matrix.
    static constexpr uint32_t kSettingsRegister = 16;
    static constexpr uint32_t kPiecesRegister = 17;

    // Takes `geometry` when `entity`'s template is a graph template; frees it otherwise and draws
    // nothing.
    GraphEntityRenderingContext(NorvexRenderer& renderer, const Entity* entity, uint32_t flags, GraphGeometry* geometry);
    ~GraphEntityRenderingContext() override;

    // Render thread.
    void Draw(const Matrix& world, uint32_t passFlags, const Vector& color) override;

    const GraphGeometry* GetGeometry() const { return m_geometry.get(); }
    float GetWidth() const { return m_width; }
    float GetInverseMappingSize() const { return m_inverseMappingSize; }
    uint32_t GetBlendMode() const { return m_blendMode; }
    // Both resources of the slot's pair are held.
    bool HasShaders(uint32_t slot) const
    {
        return m_shaders[slot].m_vertexResource != nullptr && m_shaders[slot].m_pixelResource != nullptr;
    }
    const TextureHolder* GetTexture() const { return m_texture; }

private:
    enum PieceShape : uint32_t
    {
        PIECE_QUAD,
        PIECE_STRIP,
        PIECE_TRIANGLE,
    };
    void DrawBatches(uint32_t slot, const float* pieces, uint32_t pieceCount, uint32_t registersPerPiece,
                     PieceShape shape, const Matrix& world, const Vector& color);

    std::unique_ptr<GraphGeometry> m_geometry;
    float m_width = 1.0f;
    float m_inverseMappingSize = 1.0f;
    uint32_t m_blendMode = 0;
    ShaderPair m_shaders[GraphTemplate::SHADER_COUNT];
    ResourceTexture* m_textureResource = nullptr;
    TextureHolder* m_texture = nullptr;
};
