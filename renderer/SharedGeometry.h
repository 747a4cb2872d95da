// The renderer's shared static geometry: unit cube, sphere and cone, the flag marker, the debug and
// light-volume primitives, the ground grid, the two quads, the gradient line, the axis gizmo and the
// screen grid with its index ring. The vertex and
// index lists are built by plain functions (any thread); SharedGeometry makes them device buffers
// after every device creation or reset and releases them before (render thread).
#pragma once

#include <cstdint>
#include <vector>

class NorvexRenderer;

namespace gpu
{
class GpuIndexBuffer;
class GpuVertexBuffer;
}

// One primitive's vertices (floats, `stride` of them per vertex) and index lists (16-bit).
struct GeometryLists
{
    uint32_t stride = 3;
    std::vector<float> vertices;
    std::vector<uint16_t> triangles;
    std::vector<uint16_t> lines;

    uint32_t VertexCount() const { return uint32_t(vertices.size() / stride); }
};

namespace geometry
{
// 8 corners of [0,1]^3 at index 4x + 2y + z, 12 triangles and 12 edges.
GeometryLists UnitCube();
// The poles (0,-1,0) and (0,1,0), then 15 rings of 16 vertices from south to north.
GeometryLists UnitSphere();
// Apex at the origin, 128 base vertices of radius 1 at z = 1, then the base centre.
GeometryLists UnitCone();
// 101 vertices and 194 triangles: ground disc, pole and a two-sided flag.
GeometryLists FlagMarker();
// Three unit circles of 128 segments, in the xy, yz and xz planes (line lists).
GeometryLists AxisCircles();
// A 128-segment circle at height 1 (lines) on an 8-segment shaft of radius 0.1 (triangles).
GeometryLists ShaftedCircle();
// A 128-segment unit cylinder between y = -1 and y = 1.
GeometryLists UnitCylinder();
// 1024 lines along z and 1024 along x (a line list without indices).
GeometryLists GroundGrid();
// Position and texture coordinate over [0,1]^2, and the full-screen fan.
GeometryLists UnitQuad();
GeometryLists FullScreenQuad();
// 64 points from black to white.
GeometryLists GradientLine();
// The axis gizmo: per axis a unit shaft from the origin and two arrowhead strokes back from its tip
// towards the next axis (12 vertices, 9 lines).
GeometryLists AxisGizmo();
// 41 x 25 screen tile corners in clip space (two floats each), row by row from the bottom:
// x = i x 0.05 - 1, y = j x 2/24 - 1.
GeometryLists ScreenGrid();
} // namespace geometry

// The device buffers of the shared geometry.
class SharedGeometry
{
public:
    enum Mesh : uint32_t
    {
        MESH_CUBE,
        MESH_SPHERE,
        MESH_CONE,
        MESH_FLAG_MARKER,
        MESH_AXIS_CIRCLES,
        MESH_SHAFTED_CIRCLE,
        MESH_CYLINDER,
        MESH_GROUND_GRID,
        MESH_UNIT_QUAD,
        MESH_FULL_SCREEN_QUAD,
        MESH_GRADIENT_LINE,
        MESH_AXIS_GIZMO,
        MESH_SCREEN_GRID,
        kMeshCount
    };
    struct Buffers
    {
        gpu::GpuVertexBuffer* vertices = nullptr;
        gpu::GpuIndexBuffer* triangles = nullptr;
        gpu::GpuIndexBuffer* lines = nullptr;
        uint32_t vertexCount = 0;
        uint32_t triangleCount = 0;
        uint32_t lineCount = 0;
        uint32_t stride = 0; // bytes
    };

    SharedGeometry() = default;
    ~SharedGeometry() { Release(); }
    SharedGeometry(const SharedGeometry&) = delete;
    SharedGeometry& operator=(const SharedGeometry&) = delete;

    // Bytes of the dynamic index ring drawn over the screen grid (the outline passes).
    static constexpr uint32_t kScreenGridRingBytes = 115200;

    // Releases, then makes every buffer (write-only, managed; the ring dynamic in the default
    // pool); a buffer the device refuses stays null.
    void Create(NorvexRenderer& renderer);
    void Release();
    const Buffers& Get(Mesh mesh) const { return m_buffers[mesh]; }
    gpu::GpuIndexBuffer* GetScreenGridRing() const { return m_screenGridRing; }
    // Grows with every Create: a ring of a new generation holds nothing written before.
    uint32_t GetGeneration() const { return m_generation; }

private:
    Buffers m_buffers[kMeshCount];
    gpu::GpuIndexBuffer* m_screenGridRing = nullptr;
    uint32_t m_generation = 0;
};
