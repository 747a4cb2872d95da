#include "scene/kinds/MeshRayPick.h"

#include "core/console/GameConsole.h"
#include "engine/profiler/Profiler.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "scene/kinds/MeshTemplate.h"

#include <cstring>

namespace
{
constexpr uint32_t kProfilerMain = 0;

uint32_t IndexAt(const uint8_t* indices, uint32_t at)
{
    return uint32_t(indices[2 * at]) | (uint32_t(indices[2 * at + 1]) << 8);
}

// Positions of three floats at offset 0.
struct FloatPositions
{
    const uint8_t* vertices;
    uint32_t stride;
    void Read(uint32_t index, Vector& p) const
    {
        float xyz[3];
        std::memcpy(xyz, vertices + size_t(index) * stride, sizeof(xyz));
        p.Set(xyz[0], xyz[1], xyz[2], 1.0f);
    }
};

float DecodeComponent(int16_t v)
{
    return v >= 0 ? float(v) / 32767.0f : float(v) / 32768.0f;
}

void DecodePacked(const uint8_t* at, const MeshPositionDecoding& decoding, Vector& p)
{
    int16_t v[4];
    std::memcpy(v, at, sizeof(v));
    p.Set(DecodeComponent(v[0]) * decoding.scale.x + decoding.offset.x,
          DecodeComponent(v[1]) * decoding.scale.y + decoding.offset.y,
          DecodeComponent(v[2]) * decoding.scale.z + decoding.offset.z, 1.0f);
}

// Positions of four signed 16-bit values at offset 0.
struct PackedPositions
{
    const uint8_t* vertices;
    uint32_t stride;
    const MeshPositionDecoding& decoding;
    void Read(uint32_t index, Vector& p) const { DecodePacked(vertices + size_t(index) * stride, decoding, p); }
};

template <bool kTwoSided, typename Positions>
void TriangleLoop(const Positions& positions, const uint8_t* indices, uint32_t first, uint32_t count,
                  const Vector& start, const Vector& end, uint32_t flags, MeshTriangleSearch& search,
                  LOSResult& result)
{
    Vector d;
    d.Sub(end, start);
    d.w = 0.0f;
    for (uint32_t triangle = first; triangle < first + count; ++triangle)
    {
        Vector v0, v1, v2;
        positions.Read(IndexAt(indices, 3 * triangle), v0);
        positions.Read(IndexAt(indices, 3 * triangle + 1), v1);
        positions.Read(IndexAt(indices, 3 * triangle + 2), v2);
        Vector a, b, c, axb, bxc, cxa;
        a.Sub(v0, start);
        b.Sub(v1, start);
        c.Sub(v2, start);
        axb.Cross(a, b);
        bxc.Cross(b, c);
        cxa.Cross(c, a);
        const int positive = int(d.Dot3(axb) > 0.0f) + int(d.Dot3(bxc) > 0.0f) + int(d.Dot3(cxa) > 0.0f);
        if (kTwoSided ? (positive != 0 && positive != 3) : positive != 0)
            continue;
        Vector e1, e2, normal;
        e1.Sub(v1, v0);
        e2.Sub(v2, v0);
        normal.Cross(e1, e2);
        normal.w = 0.0f;
        const float denominator = normal.Dot3(d);
        // A segment in the triangle's plane (or a degenerate triangle) has no crossing point.
        if (denominator == 0.0f)
            continue;
        const float t = normal.Dot3(a) / denominator;
        if (!(t >= 0.0f && t <= search.bestFraction))
            continue;
        search.bestFraction = t;
        search.noHit = false;
        result.direction = normal;
        if ((flags & PICK_FIRST_HIT) != 0)
            return;
    }
}
} // namespace

namespace MeshRayPick
{
void FloatOneSided(const uint8_t* vertices, uint32_t stride, const uint8_t* indices, uint32_t first, uint32_t count,
                   const Vector& start, const Vector& end, uint32_t flags, MeshTriangleSearch& search,
                   LOSResult& result)
{
    TriangleLoop<false>(FloatPositions{vertices, stride}, indices, first, count, start, end, flags, search, result);
}

void FloatTwoSided(const uint8_t* vertices, uint32_t stride, const uint8_t* indices, uint32_t first, uint32_t count,
                   const Vector& start, const Vector& end, uint32_t flags, MeshTriangleSearch& search,
                   LOSResult& result)
{
    TriangleLoop<true>(FloatPositions{vertices, stride}, indices, first, count, start, end, flags, search, result);
}

void PackedOneSided(const uint8_t* vertices, uint32_t stride, const MeshPositionDecoding& decoding,
                    const uint8_t* indices, uint32_t first, uint32_t count, const Vector& start, const Vector& end,
                    uint32_t flags, MeshTriangleSearch& search, LOSResult& result)
{
    TriangleLoop<false>(PackedPositions{vertices, stride, decoding}, indices, first, count, start, end, flags, search,
                        result);
}

void PackedTwoSided(const uint8_t* vertices, uint32_t stride, const MeshPositionDecoding& decoding,
                    const uint8_t* indices, uint32_t first, uint32_t count, const Vector& start, const Vector& end,
                    uint32_t flags, MeshTriangleSearch& search, LOSResult& result)
{
    TriangleLoop<true>(PackedPositions{vertices, stride, decoding}, indices, first, count, start, end, flags, search,
                       result);
}

bool TestTriangles(const MeshTemplate& meshTemplate, const Vector& start, const Vector& end, uint32_t flags,
                   LOSResult& result, uint32_t layout, const uint8_t* vertices, uint32_t stride,
                   uint32_t presetIndex)
{
    const MeshTemplateRenderingData* const data = meshTemplate.GetRenderingData();
    // The data's own accessors give null for a copy whose sizes, indices or ranges were refused.
    if (data == nullptr || data->GetPickingVertices() == nullptr || data->GetPickingIndices() == nullptr)
        return true;
    if (vertices == nullptr)
    {
        layout = data->GetPickingLayout();
        vertices = data->GetPickingVertices();
        stride = data->GetPickingStride();
    }
    if (presetIndex >= data->GetPresetCount())
        return true;
    const uint8_t* const indices = data->GetPickingIndices();
    const MeshPositionDecoding decoding{data->GetPositionOffset(), data->GetPositionScale()};
    const uint32_t position = layout & (MeshTemplateRenderingData::kLayoutFloat | MeshTemplateRenderingData::kLayoutPacked);
    const bool twoSided = (flags & PICK_TWO_SIDED) != 0;
    const bool honourSwitch = (flags & (PICK_PLAYER_COLLISION | PICK_SKIP_DISABLED_LOS)) != 0;
    MeshTriangleSearch search;
    uint32_t tested = 0;
    for (const MeshMaterial& part : data->GetPreset(presetIndex).materials)
    {
        // The sign bit of the part's flag byte switches collision off.
        if (honourSwitch && (part.flags & 0x80) != 0)
            continue;
        tested += part.triangleCount;
        if (position == MeshTemplateRenderingData::kLayoutFloat)
            (twoSided ? FloatTwoSided : FloatOneSided)(vertices, stride, indices, part.startTriangle,
                                                       part.triangleCount, start, end, flags, search, result);
        else if (position == MeshTemplateRenderingData::kLayoutPacked)
            (twoSided ? PackedTwoSided : PackedOneSided)(vertices, stride, decoding, indices, part.startTriangle,
                                                         part.triangleCount, start, end, flags, search, result);
        if (!search.noHit && (flags & PICK_FIRST_HIT) != 0)
            break;
    }
    gProfiler.AddValue(PROFILER_LOS_TRIANGLES, float(tested), kProfilerMain);
    if (search.noHit)
        return true;
    const float t = search.bestFraction;
    result.hitPoint.Set(start.x * (1.0f - t) + end.x * t, start.y * (1.0f - t) + end.y * t,
                        start.z * (1.0f - t) + end.z * t, 1.0f);
    return false;
}

void ReadCollisionTriangles(const MeshTemplate& meshTemplate, uint32_t presetIndex, std::vector<Vector>& corners)
{
    corners.clear();
    const MeshTemplateRenderingData* const data = meshTemplate.GetRenderingData();
    if (data == nullptr || data->GetPickingVertices() == nullptr || data->GetPickingIndices() == nullptr ||
        presetIndex >= data->GetPresetCount())
        return;
    const uint8_t* const indices = data->GetPickingIndices();
    const MeshPositionDecoding decoding{data->GetPositionOffset(), data->GetPositionScale()};
    const uint32_t layout = data->GetPickingLayout();
    const uint32_t position = layout & (MeshTemplateRenderingData::kLayoutFloat | MeshTemplateRenderingData::kLayoutPacked);
    const FloatPositions floats{data->GetPickingVertices(), data->GetPickingStride()};
    const PackedPositions packed{data->GetPickingVertices(), data->GetPickingStride(), decoding};
    for (const MeshMaterial& part : data->GetPreset(presetIndex).materials)
    {
        if ((part.flags & 0x80) != 0)
            continue;
        for (uint32_t triangle = part.startTriangle; triangle < part.startTriangle + part.triangleCount; ++triangle)
            for (uint32_t corner = 0; corner < 3; ++corner)
            {
                Vector p;
                const uint32_t index = IndexAt(indices, 3 * triangle + corner);
                if (position == MeshTemplateRenderingData::kLayoutFloat)
                    floats.Read(index, p);
                else if (position == MeshTemplateRenderingData::kLayoutPacked)
                    packed.Read(index, p);
                else
                    return;
                corners.push_back(p);
            }
    }
}

bool SkinPositions(uint32_t layout, const uint8_t* vertices, uint32_t stride, uint32_t vertexCount,
                   const float* bones, uint32_t boneCount, const MeshPositionDecoding& decoding, float* out)
{
    const uint32_t position = layout & (MeshTemplateRenderingData::kLayoutFloat | MeshTemplateRenderingData::kLayoutPacked);
    if ((layout & MeshTemplateRenderingData::kLayoutSkinned) == 0 ||
        (position != MeshTemplateRenderingData::kLayoutFloat && position != MeshTemplateRenderingData::kLayoutPacked))
        return false;
    const uint32_t bonesAt = position == MeshTemplateRenderingData::kLayoutFloat ? 12 : 8;
    gProfiler.StartTimer(PROFILER_CPU_SKINNING, kProfilerMain);
    bool sound = true;
    for (uint32_t i = 0; i < vertexCount && sound; ++i)
    {
        const uint8_t* const vertex = vertices + size_t(i) * stride;
        Vector p;
        if (position == MeshTemplateRenderingData::kLayoutFloat)
            FloatPositions{vertices, stride}.Read(i, p);
        else
            DecodePacked(vertex, decoding, p);
        // The CPU vertex path keeps bone indices before weights, the collision copy after them.
        const bool indicesFirst = (layout & MeshTemplateRenderingData::kLayoutIndicesFirst) != 0;
        const uint8_t* const boneIndex = vertex + bonesAt + (indicesFirst ? 0 : 4);
        const uint8_t* const weight = vertex + bonesAt + (indicesFirst ? 4 : 0);
        float sum[3] = {};
        for (int influence = 0; influence < 4; ++influence)
        {
            if (influence > 0 && weight[influence] == 0)
                break;
            if (boneIndex[influence] >= boneCount)
            {
                // A bone the pose does not have would be read past the matrices.
                gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Skinned vertex %u names bone %u of %u: mesh not skinned", i,
                               uint32_t(boneIndex[influence]), boneCount);
                sound = false;
                break;
            }
            const float* const m = bones + size_t(boneIndex[influence]) * 12;
            const float w = float(weight[influence]) / 255.0f;
            for (int row = 0; row < 3; ++row)
                sum[row] += w * (m[4 * row] * p.x + m[4 * row + 1] * p.y + m[4 * row + 2] * p.z + m[4 * row + 3]);
        }
        std::memcpy(out + size_t(i) * 3, sum, sizeof(sum));
    }
    gProfiler.StopTimer(PROFILER_CPU_SKINNING, kProfilerMain);
    return sound;
}
} // namespace MeshRayPick
