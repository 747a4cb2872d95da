// The shared static geometry: hand-computed vertices and counts, and the device buffers read back.
#include "renderer/SharedGeometry.h"

#include "renderer/BatchQuadGeometry.h"

#include "platform/gpu/GpuDevice.h"
#include "support/GoldenText.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"

#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>

namespace
{
Vector At(const GeometryLists& g, uint32_t vertex)
{
    const float* v = &g.vertices[size_t(vertex) * g.stride];
    return Vector(v[0], v[1], v[2], 0.0f);
}

TEST(SharedGeometryTest, CountsOfEveryPrimitive)
{
    struct Case
    {
        const char* name;
        GeometryLists (*build)();
        uint32_t vertices, triangles, lines;
    };
    const Case cases[] = {
        {"cube", geometry::UnitCube, 8, 12, 12},          {"sphere", geometry::UnitSphere, 242, 480, 496},
        {"cone", geometry::UnitCone, 130, 256, 0},        {"flag marker", geometry::FlagMarker, 101, 194, 0},
        {"circles", geometry::AxisCircles, 384, 0, 384},  {"shafted circle", geometry::ShaftedCircle, 144, 16, 128},
        {"cylinder", geometry::UnitCylinder, 258, 512, 256}, {"ground grid", geometry::GroundGrid, 4096, 0, 0},
        {"unit quad", geometry::UnitQuad, 4, 2, 0},       {"full-screen quad", geometry::FullScreenQuad, 4, 0, 0},
        {"gradient line", geometry::GradientLine, 64, 0, 0},
        {"batch quads", geometry::BatchQuads, 128, 64, 0},    {"batch strips", geometry::BatchStrips, 2048, 2016, 0},
        {"batch triangles", geometry::BatchTriangles, 96, 0, 0},
    };
    for (const Case& c : cases)
    {
        const GeometryLists g = c.build();
        EXPECT_EQ(g.VertexCount(), c.vertices) << c.name;
        EXPECT_EQ(g.triangles.size(), size_t(c.triangles) * 3) << c.name;
        EXPECT_EQ(g.lines.size(), size_t(c.lines) * 2) << c.name;
        for (uint16_t index : g.triangles)
            ASSERT_LT(index, c.vertices) << c.name;
        for (uint16_t index : g.lines)
            ASSERT_LT(index, c.vertices) << c.name;
    }
}

TEST(SharedGeometryTest, VerticesFollowTheirFormulas)
{
    const GeometryLists cube = geometry::UnitCube();
    EXPECT_TRUE(At(cube, 6).x == 1 && At(cube, 6).y == 1 && At(cube, 6).z == 0) << "4x + 2y + z";
    // Every edge joins corners one axis apart.
    for (size_t i = 0; i < cube.lines.size(); i += 2)
        EXPECT_EQ(__builtin_popcount(cube.lines[i] ^ cube.lines[i + 1]), 1);

    const GeometryLists sphere = geometry::UnitSphere();
    EXPECT_FLOAT_EQ(At(sphere, 0).y, -1.0f);
    EXPECT_FLOAT_EQ(At(sphere, 1).y, 1.0f);
    const uint32_t j = 5, i = 3; // ring 5, segment 3
    const float a = std::sin((5.0f / 16.0f - 0.5f) * 3.14159265f);
    const float t = 3.0f * 2.0f * 3.14159265f / 16.0f;
    const Vector v = At(sphere, 2 + (j - 1) * 16 + i);
    EXPECT_NEAR(v.x, std::cos(t) * std::sqrt(1 - a * a), 1e-5f);
    EXPECT_NEAR(v.y, a, 1e-5f);
    EXPECT_NEAR(v.z, std::sin(t) * std::sqrt(1 - a * a), 1e-5f);

    const GeometryLists flag = geometry::FlagMarker();
    EXPECT_NEAR(At(flag, 1 + 3 * 8).z, 1.5f, 1e-5f) << "segment 8 lies a quarter turn round";
    EXPECT_FLOAT_EQ(At(flag, 1 + 3 * 8 + 1).y, 0.9f) << "the skirt meets the pole";
    EXPECT_FLOAT_EQ(At(flag, 1 + 3 * 8 + 2).y, 4.8f);
    EXPECT_NEAR(At(flag, 1 + 3 * 8 + 2).z, 0.01f, 1e-6f);
    // The cap's centre, then the banner's three corners.
    const float cornerY[] = {4.8f, 3.0f, 4.8f, 3.9f};
    for (uint32_t k = 0; k < 4; ++k)
        EXPECT_FLOAT_EQ(At(flag, 97 + k).y, cornerY[k]) << 97 + k;
    EXPECT_FLOAT_EQ(At(flag, 100).z, 1.95f);
    EXPECT_EQ(flag.triangles[31 * 18 + 1], 1u) << "the last segment's ground triangle closes on the first";
    EXPECT_EQ(std::vector<uint16_t>(flag.triangles.begin(), flag.triangles.begin() + 18),
              (std::vector<uint16_t>{0, 4, 1, 1, 4, 5, 1, 5, 2, 2, 5, 6, 2, 6, 3, 97, 3, 6})) << "segment 0 faces out";
    EXPECT_NEAR(At(geometry::ShaftedCircle(), 32).x, 0.0f, 1e-6f) << "a quarter of the way round its ring";
    EXPECT_FLOAT_EQ(At(geometry::AxisCircles(), 128).y, 1.0f) << "the second circle stands in the y-z plane";
    const GeometryLists gizmo = geometry::AxisGizmo();
    EXPECT_EQ(std::vector<uint16_t>(gizmo.lines.begin() + 6, gizmo.lines.begin() + 12),
              (std::vector<uint16_t>{4, 5, 5, 6, 5, 7})) << "the second axis: its shaft, then a barb to each side";

    const GeometryLists grid = geometry::GroundGrid();
    EXPECT_FLOAT_EQ(At(grid, 4 * 7 + 1).z, 1024.0f);
    EXPECT_FLOAT_EQ(At(grid, 4 * 7 + 3).x, 1023.0f);
    EXPECT_FLOAT_EQ(At(grid, 4 * 7 + 3).z, 7.0f);

    const GeometryLists screen = geometry::FullScreenQuad();
    const float expected[] = {-1, 1, 0, 0, 0, 1, 1, 0, 1, 0, 1, -1, 0, 1, 1, -1, -1, 0, 0, 1};
    EXPECT_EQ(std::memcmp(screen.vertices.data(), expected, sizeof(expected)), 0);
    const GeometryLists gradient = geometry::GradientLine();
    EXPECT_FLOAT_EQ(At(gradient, 63).x, 1.0f);
    EXPECT_NEAR(At(gradient, 21).y, 21.0f / 63.0f, 1e-6f);

    // The batches: the instance number in z, quads and triangles along x across y = -0.5..0.5.
    const GeometryLists quads = geometry::BatchQuads();
    const float quad31[] = {0, -0.5f, 31, 1, -0.5f, 31, 1, 0.5f, 31, 0, 0.5f, 31};
    EXPECT_EQ(std::memcmp(&quads.vertices[31 * 12], quad31, sizeof(quad31)), 0);
    EXPECT_EQ(std::vector<uint16_t>(quads.triangles.end() - 6, quads.triangles.end()),
              (std::vector<uint16_t>{124, 125, 126, 124, 126, 127}));
    const GeometryLists strips = geometry::BatchStrips();
    const float strip5pair9[] = {9.0f / 63.0f, -0.5f, 5, 9.0f / 63.0f, 0.5f, 5};
    EXPECT_EQ(std::memcmp(&strips.vertices[(128 * 5 + 18) * 3], strip5pair9, sizeof(strip5pair9)), 0);
    const uint32_t b = 128 * 5 + 2 * 9; // strip 5, segment 9
    EXPECT_EQ(std::vector<uint16_t>(strips.triangles.begin() + (63 * 5 + 9) * 6, strips.triangles.begin() + (63 * 5 + 10) * 6),
              (std::vector<uint16_t>{uint16_t(b), uint16_t(b + 3), uint16_t(b + 1), uint16_t(b), uint16_t(b + 2),
                                     uint16_t(b + 3)}));
    EXPECT_FLOAT_EQ(At(strips, 128 * 15 + 127).x, 1.0f) << "the last pair ends the strip";
    const GeometryLists triangles = geometry::BatchTriangles();
    const float triangle7[] = {0, -0.5f, 7, 0, 0.5f, 7, 1, 0, 7};
    EXPECT_EQ(std::memcmp(&triangles.vertices[7 * 9], triangle7, sizeof(triangle7)), 0);
}

// Light volumes are drawn with back faces culled from outside: every triangle of a closed volume
// must face away from a point inside it (clockwise seen from outside), or the volume has holes.
TEST(SharedGeometryTest, ClosedVolumesFaceOutwards)
{
    const struct
    {
        const char* name;
        GeometryLists (*build)();
        Vector inside;
    } cases[] = {
        {"cube", geometry::UnitCube, Vector(0.5f, 0.5f, 0.5f, 0.0f)},
        {"sphere", geometry::UnitSphere, Vector()},
        {"cone", geometry::UnitCone, Vector(0.0f, 0.0f, 0.75f, 0.0f)},
        {"cylinder", geometry::UnitCylinder, Vector()},
    };
    for (const auto& c : cases)
    {
        const GeometryLists g = c.build();
        uint32_t inward = 0;
        // Closed: every edge a triangle walks one way, exactly one other triangle walks back.
        std::map<std::pair<uint32_t, uint32_t>, int> edges;
        for (size_t i = 0; i < g.triangles.size(); i += 3)
        {
            for (size_t k = 0; k < 3; ++k)
                ++edges[{g.triangles[i + k], g.triangles[i + (k + 1) % 3]}];
            const Vector a = At(g, g.triangles[i]), b = At(g, g.triangles[i + 1]), d = At(g, g.triangles[i + 2]);
            Vector u, v, normal, out;
            u.Sub(b, a);
            v.Sub(d, a);
            normal.Cross(u, v);
            out.Sub(a, c.inside);
            inward += normal.Dot3(out) <= 0.0f ? 1 : 0;
        }
        EXPECT_EQ(inward, 0u) << c.name;
        uint32_t open = 0;
        for (const auto& [edge, count] : edges)
            open += count != 1 || edges.count({edge.second, edge.first}) == 0 ? 1 : 0;
        EXPECT_EQ(open, 0u) << c.name;
    }
}

class SharedGeometryDeviceTest : public RendererTestBase
{
};

TEST_F(SharedGeometryDeviceTest, TheBuffersHoldTheListsAndSurviveAReset)
{
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) {
        const SharedGeometry& shared = r.GetDeviceManager().GetSharedGeometry();
        const SharedGeometry::Buffers& sphere = shared.Get(SharedGeometry::MESH_SPHERE);
        ASSERT_NE(sphere.vertices, nullptr);
        const GeometryLists lists = geometry::UnitSphere();
        EXPECT_EQ(std::memcmp(sphere.vertices->Bytes(), lists.vertices.data(), lists.vertices.size() * sizeof(float)),
                  0);
        EXPECT_EQ(std::memcmp(sphere.triangles->Bytes(), lists.triangles.data(), lists.triangles.size() * 2), 0);
        EXPECT_EQ(sphere.triangleCount, 480u);
        EXPECT_EQ(shared.Get(SharedGeometry::MESH_FLAG_MARKER).triangleCount, 194u);
        EXPECT_EQ(shared.Get(SharedGeometry::MESH_UNIT_QUAD).stride, 20u);
        EXPECT_EQ(shared.Get(SharedGeometry::MESH_GROUND_GRID).triangles, nullptr);
        EXPECT_TRUE(r.ResetDevice(true));
        EXPECT_NE(shared.Get(SharedGeometry::MESH_CUBE).lines, nullptr);
    });
}

// Every mesh's device buffers whole against a stored copy: counts, buffer usage, and per block of
// 32 vertices or 96 indices a hash of the values in steps of 1/1024, so a changed constant or
// formula names the mesh and block it moved.
std::string Hashes(const gpu::GpuBuffer* buffer, uint32_t itemBytes, uint32_t block, bool floats)
{
    std::string text = buffer == nullptr ? " none" : " usage " + std::to_string(buffer->GetUsage()) + " |";
    for (uint32_t at = 0; buffer != nullptr && at < buffer->GetSize(); at += block * itemBytes)
    {
        uint64_t hash = 0xCBF29CE484222325ull;
        for (uint32_t i = at; i < std::min(buffer->GetSize(), at + block * itemBytes); i += itemBytes)
        {
            float value = 0.0f;
            uint16_t index = 0;
            std::memcpy(floats ? static_cast<void*>(&value) : &index, buffer->Bytes() + i, itemBytes);
            hash = (hash ^ uint64_t(floats ? int64_t(std::nearbyint(value * 1024.0f)) : index)) * 0x100000001B3ull;
        }
        text += " " + std::to_string(hash % 100000);
    }
    return text + "\n";
}

TEST_F(SharedGeometryDeviceTest, EveryMeshsBuffersMatchTheStoredCopy)
{
    std::string text;
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) {
        const SharedGeometry& shared = r.GetDeviceManager().GetSharedGeometry();
        for (uint32_t mesh = 0; mesh < SharedGeometry::kMeshCount; ++mesh)
        {
            const SharedGeometry::Buffers& b = shared.Get(SharedGeometry::Mesh(mesh));
            text += "mesh " + std::to_string(mesh) + ": " + std::to_string(b.vertexCount) + " vertices of " +
                    std::to_string(b.stride) + " bytes, " + std::to_string(b.triangleCount) + " triangles, " +
                    std::to_string(b.lineCount) + " lines\n  vertices" + Hashes(b.vertices, 4, 8 * b.stride, true) +
                    "  triangles" + Hashes(b.triangles, 2, 96, false) + "  lines" + Hashes(b.lines, 2, 96, false);
        }
        text += "ring" + Hashes(shared.GetScreenGridRing(), 2, 0x10000, false);
    });
    ExpectTextMatchesStoredCopy(text, "tests/renderer/golden/SharedGeometry.txt");
}
} // namespace
