// Segment tests against the triangles of a mesh's CPU copy, and the CPU skinning that feeds them
// for animated meshes. Everything here works in the mesh's local space. Main thread only (the
// profiler channels it feeds are the main thread's).
#pragma once

#include "core/math/Vector.h"
#include "scene/entities/LOSResult.h"

#include <cstdint>
#include <vector>

class MeshTemplate;

// Decoding of 16-bit positions: v / 32767 (v >= 0) or v / 32768 (v < 0), then * scale + offset.
struct MeshPositionDecoding
{
    Vector offset;
    Vector scale = Vector(1.0f, 1.0f, 1.0f, 1.0f);
};

// The running state of one segment test over several triangle runs: the nearest accepted fraction
// so far (1 at the start) and whether any triangle was accepted.
struct MeshTriangleSearch
{
    float bestFraction = 1.0f;
    bool noHit = true;
};

// Triangle tests, skinning and the driver over a mesh's draw ranges.
namespace MeshRayPick
{
// The four triangle loops over triangles first .. first + count - 1 of `indices` (three 16-bit
// indices each, little-endian); each accepted triangle stores its unnormalised face normal in
// result.direction. With PICK_FIRST_HIT the loop ends at the first accepted triangle.
void FloatOneSided(const uint8_t* vertices, uint32_t stride, const uint8_t* indices, uint32_t first, uint32_t count,
                   const Vector& start, const Vector& end, uint32_t flags, MeshTriangleSearch& search,
                   LOSResult& result);
void FloatTwoSided(const uint8_t* vertices, uint32_t stride, const uint8_t* indices, uint32_t first, uint32_t count,
                   const Vector& start, const Vector& end, uint32_t flags, MeshTriangleSearch& search,
                   LOSResult& result);
void PackedOneSided(const uint8_t* vertices, uint32_t stride, const MeshPositionDecoding& decoding,
                    const uint8_t* indices, uint32_t first, uint32_t count, const Vector& start, const Vector& end,
                    uint32_t flags, MeshTriangleSearch& search, LOSResult& result);
void PackedTwoSided(const uint8_t* vertices, uint32_t stride, const MeshPositionDecoding& decoding,
                    const uint8_t* indices, uint32_t first, uint32_t count, const Vector& start, const Vector& end,
                    uint32_t flags, MeshTriangleSearch& search, LOSResult& result);

// Tests the parts of shader preset `presetIndex` (true when no triangle was hit). Null vertex data
// means the template's own CPU copy; otherwise `vertices` holds positions of `layout` and
// `stride` (skinned positions: layout 1, stride 12) for the template's index data. On a hit the
// result's hit point is the local point of the nearest accepted triangle and its direction that
// triangle's local normal.
bool TestTriangles(const MeshTemplate& meshTemplate, const Vector& start, const Vector& end, uint32_t flags,
                   LOSResult& result, uint32_t layout, const uint8_t* vertices, uint32_t stride,
                   uint32_t presetIndex);

// The local corners (three per triangle) of the collision parts of shader preset `presetIndex`:
// every part whose collision switch (flag bit 0x80) is off. Empty without a usable CPU copy.
void ReadCollisionTriangles(const MeshTemplate& meshTemplate, uint32_t presetIndex, std::vector<Vector>& corners);

// Skins `vertexCount` vertices of layout 1 or 4 with skinning data (layout bit 2) into three floats
// per vertex. `bones` holds `boneCount` matrices of three rows of four floats. False (logged) when
// a vertex names a bone past the last one, or the layout carries no skinning data.
bool SkinPositions(uint32_t layout, const uint8_t* vertices, uint32_t stride, uint32_t vertexCount,
                   const float* bones, uint32_t boneCount, const MeshPositionDecoding& decoding, float* out);
} // namespace MeshRayPick
