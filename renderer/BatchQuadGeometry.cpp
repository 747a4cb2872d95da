#include "renderer/BatchQuadGeometry.h"

#include "platform/gpu/GpuDevice.h"
#include "renderer/NorvexRenderer.h"

#include <algorithm>

namespace
{
constexpr uint32_t kBatchVertexStride = 3 * sizeof(float);
constexpr uint32_t kBatchStripSegments = BatchQuadGeometry::kStripPairs - 1;

void AddBatchVertex(GeometryLists& g, float along, float side, uint32_t instance)
{
    g.vertices.push_back(along);
    g.vertices.push_back(side);
    g.vertices.push_back(float(instance));
}

gpu::GpuVertexBuffer* MakeBatchVertices(NorvexRenderer& renderer, const GeometryLists& g)
{
    return renderer.CreateVertexBuffer(uint32_t(g.vertices.size() * sizeof(float)), gpu::kUsageWriteOnly,
                                       gpu::kPoolManaged, g.vertices.data());
}

gpu::GpuIndexBuffer* MakeBatchIndices(NorvexRenderer& renderer, const GeometryLists& g)
{
    return renderer.CreateIndexBuffer(uint32_t(g.triangles.size() * sizeof(uint16_t)), gpu::kUsageWriteOnly,
                                      gpu::kPoolManaged, g.triangles.data());
}

// Binds the vertices as positions on stream 0 (and the indices when given).
bool BindBatch(NorvexRenderer& renderer, gpu::GpuVertexBuffer* vertices, gpu::GpuIndexBuffer* indices)
{
    gpu::GpuDevice* const device = renderer.GetDevice();
    if (device == nullptr || vertices == nullptr)
        return false;
    device->SetFVF(gpu::kFvfXyz);
    device->SetStreamSource(0, vertices, 0, kBatchVertexStride);
    device->SetIndices(indices);
    return true;
}
} // namespace

namespace geometry
{
GeometryLists BatchQuads()
{
    GeometryLists g;
    g.vertices.reserve(size_t(BatchQuadGeometry::kQuadCount) * 4 * 3);
    g.triangles.reserve(size_t(BatchQuadGeometry::kQuadCount) * 6);
    for (uint32_t i = 0; i < BatchQuadGeometry::kQuadCount; ++i)
    {
        AddBatchVertex(g, 0.0f, -0.5f, i);
        AddBatchVertex(g, 1.0f, -0.5f, i);
        AddBatchVertex(g, 1.0f, 0.5f, i);
        AddBatchVertex(g, 0.0f, 0.5f, i);
        const uint16_t b = uint16_t(4 * i);
        for (const uint16_t offset : {0, 1, 2, 0, 2, 3})
            g.triangles.push_back(uint16_t(b + offset));
    }
    return g;
}

GeometryLists BatchStrips()
{
    GeometryLists g;
    g.vertices.reserve(size_t(BatchQuadGeometry::kStripCount) * BatchQuadGeometry::kStripPairs * 2 * 3);
    g.triangles.reserve(size_t(BatchQuadGeometry::kStripCount) * kBatchStripSegments * 6);
    for (uint32_t s = 0; s < BatchQuadGeometry::kStripCount; ++s)
    {
        for (uint32_t k = 0; k < BatchQuadGeometry::kStripPairs; ++k)
        {
            const float along = float(k) / float(kBatchStripSegments);
            AddBatchVertex(g, along, -0.5f, s);
            AddBatchVertex(g, along, 0.5f, s);
        }
        for (uint32_t k = 0; k < kBatchStripSegments; ++k)
        {
            const uint16_t b = uint16_t(2 * BatchQuadGeometry::kStripPairs * s + 2 * k);
            for (const uint16_t offset : {0, 3, 1, 0, 2, 3})
                g.triangles.push_back(uint16_t(b + offset));
        }
    }
    return g;
}

GeometryLists BatchTriangles()
{
    GeometryLists g;
    g.vertices.reserve(size_t(BatchQuadGeometry::kTriangleCount) * 3 * 3);
    for (uint32_t i = 0; i < BatchQuadGeometry::kTriangleCount; ++i)
    {
        AddBatchVertex(g, 0.0f, -0.5f, i);
        AddBatchVertex(g, 0.0f, 0.5f, i);
        AddBatchVertex(g, 1.0f, 0.0f, i);
    }
    return g;
}
} // namespace geometry

void BatchQuadGeometry::Create(NorvexRenderer& renderer)
{
    Release();
    const GeometryLists quads = geometry::BatchQuads();
    const GeometryLists strips = geometry::BatchStrips();
    const GeometryLists triangles = geometry::BatchTriangles();
    m_quadVertices = MakeBatchVertices(renderer, quads);
    m_quadIndices = MakeBatchIndices(renderer, quads);
    m_stripVertices = MakeBatchVertices(renderer, strips);
    m_stripIndices = MakeBatchIndices(renderer, strips);
    m_triangleVertices = MakeBatchVertices(renderer, triangles);
}

void BatchQuadGeometry::Release()
{
    gpu::SafeRelease(m_quadVertices);
    gpu::SafeRelease(m_quadIndices);
    gpu::SafeRelease(m_stripVertices);
    gpu::SafeRelease(m_stripIndices);
    gpu::SafeRelease(m_triangleVertices);
}

void BatchQuadGeometry::DrawQuads(NorvexRenderer& renderer, uint32_t count) const
{
    count = std::min(count, kQuadCount);
    if (count == 0 || m_quadIndices == nullptr || !BindBatch(renderer, m_quadVertices, m_quadIndices))
        return;
    renderer.DrawIndexedPrimitive(gpu::kPrimitiveTriangleList, 0, 0, count * 4, 0, count * 2);
    renderer.GetDevice()->SetIndices(nullptr);
}

void BatchQuadGeometry::DrawStrips(NorvexRenderer& renderer, uint32_t count) const
{
    count = std::min(count, kStripCount);
    if (count == 0 || m_stripIndices == nullptr || !BindBatch(renderer, m_stripVertices, m_stripIndices))
        return;
    renderer.DrawIndexedPrimitive(gpu::kPrimitiveTriangleList, 0, 0, count * kStripPairs * 2, 0,
                                  count * kBatchStripSegments * 2);
    renderer.GetDevice()->SetIndices(nullptr);
}

void BatchQuadGeometry::DrawTriangles(NorvexRenderer& renderer, uint32_t count) const
{
    count = std::min(count, kTriangleCount);
    if (count == 0 || !BindBatch(renderer, m_triangleVertices, nullptr))
        return;
    renderer.DrawPrimitive(gpu::kPrimitiveTriangleList, 0, count);
}
