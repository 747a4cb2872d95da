#include "renderer/SharedGeometry.h"

#include "platform/gpu/GpuDevice.h"
#include "renderer/NorvexRenderer.h"

#include <cmath>

namespace
{
constexpr float kPi = 3.14159265358979f;

// One value at a time: a range insert into a still empty list makes g++ 12's optimiser believe
// that it copies into a buffer of size 0.
void Add(GeometryLists& g, std::initializer_list<float> values)
{
    for (const float value : values)
        g.vertices.push_back(value);
}

void Triangle(std::vector<uint16_t>& list, uint32_t a, uint32_t b, uint32_t c)
{
    list.push_back(uint16_t(a));
    list.push_back(uint16_t(b));
    list.push_back(uint16_t(c));
}

void Line(std::vector<uint16_t>& list, uint32_t a, uint32_t b)
{
    list.push_back(uint16_t(a));
    list.push_back(uint16_t(b));
}

// Triangles between two rings of `count` vertices starting at `a` and `b`.
void Band(std::vector<uint16_t>& list, uint32_t a, uint32_t b, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
    {
        const uint32_t next = (i + 1) % count;
        Triangle(list, a + i, b + i, b + next);
        Triangle(list, a + i, b + next, a + next);
    }
}

// A fan from `centre` to a ring of `count` vertices starting at `first`.
void Fan(std::vector<uint16_t>& list, uint32_t centre, uint32_t first, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        Triangle(list, centre, first + i, first + (i + 1) % count);
}

// The same fan wound the other way: for a centre on the other side of its ring, so that the
// triangles still face outwards.
void ReversedFan(std::vector<uint16_t>& list, uint32_t centre, uint32_t first, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        Triangle(list, centre, first + (i + 1) % count, first + i);
}

void RingLines(std::vector<uint16_t>& list, uint32_t first, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        Line(list, first + i, first + (i + 1) % count);
}
} // namespace

namespace geometry
{
GeometryLists UnitCube()
{
    GeometryLists g;
    for (uint32_t c = 0; c < 8; ++c)
        Add(g, {float((c >> 2) & 1), float((c >> 1) & 1), float(c & 1)});
    g.triangles = {0, 1, 3, 0, 3, 2, 4, 6, 7, 4, 7, 5, 0, 4, 5, 0, 5, 1,
                   2, 3, 7, 2, 7, 6, 0, 2, 6, 0, 6, 4, 1, 5, 7, 1, 7, 3};
    for (uint32_t c = 0; c < 8; ++c)
        for (uint32_t bit : {4u, 2u, 1u})
            if ((c & bit) == 0)
                Line(g.lines, c, c | bit);
    return g;
}

GeometryLists UnitSphere()
{
    GeometryLists g;
    Add(g, {0.0f, -1.0f, 0.0f});
    Add(g, {0.0f, 1.0f, 0.0f});
    for (uint32_t j = 1; j <= 15; ++j)
    {
        const float a = std::sin((float(j) / 16.0f - 0.5f) * kPi);
        const float r = std::sqrt(1.0f - a * a);
        for (uint32_t i = 0; i < 16; ++i)
        {
            const float t = float(i) * 2.0f * kPi / 16.0f;
            Add(g, {std::cos(t) * r, a, std::sin(t) * r});
        }
    }
    Fan(g.triangles, 0, 2, 16);
    for (uint32_t j = 0; j < 14; ++j)
        Band(g.triangles, 2 + j * 16, 2 + (j + 1) * 16, 16);
    ReversedFan(g.triangles, 1, 2 + 14 * 16, 16);
    for (uint32_t j = 0; j < 15; ++j)
        RingLines(g.lines, 2 + j * 16, 16);
    for (uint32_t i = 0; i < 16; ++i)
    {
        Line(g.lines, 0, 2 + i);
        for (uint32_t j = 0; j < 14; ++j)
            Line(g.lines, 2 + j * 16 + i, 2 + (j + 1) * 16 + i);
        Line(g.lines, 2 + 14 * 16 + i, 1);
    }
    return g;
}

GeometryLists UnitCone()
{
    GeometryLists g;
    Add(g, {0.0f, 0.0f, 0.0f});
    for (uint32_t i = 0; i < 128; ++i)
    {
        const float t = float(i) * 2.0f * kPi / 128.0f;
        Add(g, {std::cos(t), std::sin(t), 1.0f});
    }
    Add(g, {0.0f, 0.0f, 1.0f});
    ReversedFan(g.triangles, 0, 1, 128);
    Fan(g.triangles, 129, 1, 128);
    return g;
}

GeometryLists FlagMarker()
{
    GeometryLists g;
    Add(g, {0.0f, 0.0f, 0.0f});
    for (uint32_t i = 0; i < 32; ++i)
    {
        const float t = float(i) * 2.0f * kPi / 32.0f;
        const float c = std::cos(t), s = std::sin(t);
        Add(g, {1.5f * c, 0.0f, 1.5f * s});
        Add(g, {0.01f * c, 0.9f, 0.01f * s});
        Add(g, {0.01f * c, 4.8f, 0.01f * s});
    }
    const uint32_t top = 97;
    Add(g, {0.0f, 4.8f, 0.0f});
    Add(g, {0.0f, 3.0f, 0.0f});
    Add(g, {0.0f, 4.8f, 0.0f});
    Add(g, {0.0f, 3.9f, 1.95f});
    for (uint32_t i = 0; i < 32; ++i)
    {
        const uint32_t a = 1 + 3 * i, b = 1 + 3 * ((i + 1) % 32);
        Triangle(g.triangles, 0, b, a);                 // ground disc
        Triangle(g.triangles, a, b, b + 1);             // skirt up to the pole
        Triangle(g.triangles, a, b + 1, a + 1);
        Triangle(g.triangles, a + 1, b + 1, b + 2);     // pole
        Triangle(g.triangles, a + 1, b + 2, a + 2);
        Triangle(g.triangles, top, a + 2, b + 2);       // cap
    }
    Triangle(g.triangles, 98, 99, 100);
    Triangle(g.triangles, 98, 100, 99);
    return g;
}

GeometryLists AxisCircles()
{
    GeometryLists g;
    for (uint32_t plane = 0; plane < 3; ++plane)
    {
        for (uint32_t i = 0; i < 128; ++i)
        {
            const float t = float(i) * 2.0f * kPi / 128.0f;
            const float c = std::cos(t), s = std::sin(t);
            if (plane == 0)
                Add(g, {c, s, 0.0f});
            else if (plane == 1)
                Add(g, {0.0f, c, s});
            else
                Add(g, {c, 0.0f, s});
        }
        RingLines(g.lines, plane * 128, 128);
    }
    return g;
}

GeometryLists ShaftedCircle()
{
    GeometryLists g;
    for (uint32_t i = 0; i < 128; ++i)
    {
        const float t = float(i) * 2.0f * kPi / 128.0f;
        Add(g, {std::cos(t), 1.0f, std::sin(t)});
    }
    RingLines(g.lines, 0, 128);
    for (uint32_t level = 0; level < 2; ++level)
        for (uint32_t i = 0; i < 8; ++i)
        {
            const float t = float(i) * 2.0f * kPi / 8.0f;
            Add(g, {0.1f * std::cos(t), float(level), 0.1f * std::sin(t)});
        }
    Band(g.triangles, 128, 136, 8);
    return g;
}

GeometryLists UnitCylinder()
{
    GeometryLists g;
    for (float y : {-1.0f, 1.0f})
        for (uint32_t i = 0; i < 128; ++i)
        {
            const float t = float(i) * 2.0f * kPi / 128.0f;
            Add(g, {std::cos(t), y, std::sin(t)});
        }
    // Closed at both ends: a tube light seen along its axis lights the ground inside it through its caps.
    Add(g, {0.0f, -1.0f, 0.0f});
    Add(g, {0.0f, 1.0f, 0.0f});
    Band(g.triangles, 0, 128, 128);
    Fan(g.triangles, 256, 0, 128);
    ReversedFan(g.triangles, 257, 128, 128);
    RingLines(g.lines, 0, 128);
    RingLines(g.lines, 128, 128);
    return g;
}

GeometryLists GroundGrid()
{
    GeometryLists g;
    g.vertices.reserve(1024 * 4 * 3);
    for (uint32_t i = 0; i < 1024; ++i)
    {
        const float f = float(i);
        Add(g, {f, 0.0f, 0.0f});
        Add(g, {f, 0.0f, 1024.0f});
        Add(g, {0.0f, 0.0f, f});
        Add(g, {1023.0f, 0.0f, f});
    }
    return g;
}

GeometryLists UnitQuad()
{
    GeometryLists g;
    g.stride = 5;
    const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (const auto& c : corners)
        Add(g, {c[0], c[1], 0.0f, c[0], c[1]});
    g.triangles = {0, 1, 2, 0, 2, 3};
    return g;
}

GeometryLists FullScreenQuad()
{
    GeometryLists g;
    g.stride = 5;
    Add(g, {-1.0f, 1.0f, 0.0f, 0.0f, 0.0f});
    Add(g, {1.0f, 1.0f, 0.0f, 1.0f, 0.0f});
    Add(g, {1.0f, -1.0f, 0.0f, 1.0f, 1.0f});
    Add(g, {-1.0f, -1.0f, 0.0f, 0.0f, 1.0f});
    return g;
}

GeometryLists GradientLine()
{
    GeometryLists g;
    for (uint32_t i = 0; i < 64; ++i)
    {
        const float t = float(i) / 63.0f;
        Add(g, {t, t, t});
    }
    return g;
}
GeometryLists AxisGizmo()
{
    GeometryLists g;
    for (uint32_t axis = 0; axis < 3; ++axis)
    {
        float tip[3] = {}, head[3] = {};
        tip[axis] = 1.0f;
        head[axis] = 0.8f;
        const uint32_t side = (axis + 1) % 3;
        const uint16_t base = uint16_t(g.VertexCount());
        Add(g, {0.0f, 0.0f, 0.0f});
        Add(g, {tip[0], tip[1], tip[2]});
        for (const float offset : {0.1f, -0.1f})
        {
            float point[3] = {head[0], head[1], head[2]};
            point[side] = offset;
            Add(g, {point[0], point[1], point[2]});
        }
        g.lines.insert(g.lines.end(), {base, uint16_t(base + 1), uint16_t(base + 1), uint16_t(base + 2),
                                       uint16_t(base + 1), uint16_t(base + 3)});
    }
    return g;
}
GeometryLists ScreenGrid()
{
    GeometryLists g;
    g.stride = 2;
    for (uint32_t j = 0; j <= 24; ++j)
        for (uint32_t i = 0; i <= 40; ++i)
            Add(g, {float(i) * 0.025f * 2.0f - 1.0f, float(j) * 0.041666668f * 2.0f - 1.0f});
    return g;
}
} // namespace geometry

namespace
{
// Generations count across every renderer, so a ring never shares one with an older ring.
uint32_t gLastGeneration = 0;
} // namespace

void SharedGeometry::Create(NorvexRenderer& renderer)
{
    using Builder = GeometryLists (*)();
    static constexpr Builder kBuilders[kMeshCount] = {
        geometry::UnitCube,    geometry::UnitSphere,   geometry::UnitCone,   geometry::FlagMarker,
        geometry::AxisCircles, geometry::ShaftedCircle, geometry::UnitCylinder, geometry::GroundGrid,
        geometry::UnitQuad,    geometry::FullScreenQuad, geometry::GradientLine, geometry::AxisGizmo,
        geometry::ScreenGrid,
    };
    Release();
    m_generation = ++gLastGeneration;
    m_screenGridRing = renderer.CreateIndexBuffer(kScreenGridRingBytes, gpu::kUsageDynamic | gpu::kUsageWriteOnly,
                                                  gpu::kPoolDefault, nullptr);
    for (uint32_t mesh = 0; mesh < kMeshCount; ++mesh)
    {
        const GeometryLists g = kBuilders[mesh]();
        Buffers& b = m_buffers[mesh];
        b.stride = g.stride * uint32_t(sizeof(float));
        b.vertexCount = g.VertexCount();
        b.vertices = renderer.CreateVertexBuffer(uint32_t(g.vertices.size() * sizeof(float)), gpu::kUsageWriteOnly,
                                                 gpu::kPoolManaged, g.vertices.data());
        if (!g.triangles.empty())
        {
            b.triangleCount = uint32_t(g.triangles.size() / 3);
            b.triangles = renderer.CreateIndexBuffer(uint32_t(g.triangles.size() * sizeof(uint16_t)),
                                                     gpu::kUsageWriteOnly, gpu::kPoolManaged, g.triangles.data());
        }
        if (!g.lines.empty())
        {
            b.lineCount = uint32_t(g.lines.size() / 2);
            b.lines = renderer.CreateIndexBuffer(uint32_t(g.lines.size() * sizeof(uint16_t)), gpu::kUsageWriteOnly,
                                                 gpu::kPoolManaged, g.lines.data());
        }
    }
}

void SharedGeometry::Release()
{
    gpu::SafeRelease(m_screenGridRing);
    for (Buffers& b : m_buffers)
    {
        gpu::SafeRelease(b.vertices);
        gpu::SafeRelease(b.triangles);
        gpu::SafeRelease(b.lines);
        b = Buffers();
    }
}
