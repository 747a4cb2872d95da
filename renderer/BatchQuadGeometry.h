// BatchQuadGeometry: static batches of unit pieces that a draw places by per-instance vertex
// constants: 32 quads, 16 strips of 64 vertex pairs and 32 triangles. Each vertex holds its place
// along the piece in x, its side (-0.5 or 0.5) in y and the piece's instance number in z. The lists
// are built by plain functions (any thread); the device buffers live from device creation to device
// close (render thread, or the game thread while it holds the device).
#pragma once

#include "renderer/SharedGeometry.h"

#include <cstdint>

namespace geometry
{
// Quad i: (0, -0.5, i), (1, -0.5, i), (1, 0.5, i), (0, 0.5, i); two triangles each.
GeometryLists BatchQuads();
// Strip s, pair k: (k / 63, -0.5, s), (k / 63, 0.5, s); two triangles between neighbouring pairs.
GeometryLists BatchStrips();
// Triangle i: (0, -0.5, i), (0, 0.5, i), (1, 0, i); drawn without indices.
GeometryLists BatchTriangles();
} // namespace geometry

class BatchQuadGeometry
{
public:
    static constexpr uint32_t kQuadCount = 32;
    static constexpr uint32_t kStripCount = 16;
    static constexpr uint32_t kStripPairs = 64;
    static constexpr uint32_t kTriangleCount = 32;

    BatchQuadGeometry() = default;
    ~BatchQuadGeometry() { Release(); }
    BatchQuadGeometry(const BatchQuadGeometry&) = delete;
    BatchQuadGeometry& operator=(const BatchQuadGeometry&) = delete;

    // Releases, then makes the write-only managed buffers, which outlive device resets; a buffer
    // the device refuses stays null and its pieces draw nothing.
    void Create(NorvexRenderer& renderer);
    void Release();
    // Draw the first `count` pieces (at most the batch) from the buffers on stream 0, positions only;
    // the caller has uploaded their instance constants. Nothing while the buffers are missing.
    void DrawQuads(NorvexRenderer& renderer, uint32_t count) const;
    void DrawStrips(NorvexRenderer& renderer, uint32_t count) const;
    void DrawTriangles(NorvexRenderer& renderer, uint32_t count) const;

private:
    gpu::GpuVertexBuffer* m_quadVertices = nullptr;
    gpu::GpuIndexBuffer* m_quadIndices = nullptr;
    gpu::GpuVertexBuffer* m_stripVertices = nullptr;
    gpu::GpuIndexBuffer* m_stripIndices = nullptr;
    gpu::GpuVertexBuffer* m_triangleVertices = nullptr;
};
