#include "renderer/FakeShadowQuads.h"

#include "renderer/MeshFakeShadowDefinition.h"
#include "renderer/MeshRenderSharedBuffers.h"

#include <cmath>

namespace
{
// Corners in drawing order, in the quad's own unit square.
constexpr float kCorners[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
// Offsets shorter than this leave the quad where it is.
constexpr float kMinOffset = 0.001f;
// A normalised light whose height is below this is taken as level with the ground.
constexpr float kLevelLight = 1e-6f;

struct QuadSettings
{
    const Vector* mapping;     // x, y, z, w: the rectangle in the shadow sprite texture
    const Vector* scaleOffset; // scale x, scale y, offset x, offset y
};

// The corner's ground point in the mesh's space before any bone turn: the unit square moved by
// (offset - 1), scaled, then laid on the ground (quad x along x, quad y along z).
Vector GroundCorner(const Vector& scaleOffset, uint32_t corner)
{
    return Vector((kCorners[corner][0] + scaleOffset.z - 1.0f) * scaleOffset.x, 0.0f,
                  (kCorners[corner][1] + scaleOffset.w - 1.0f) * scaleOffset.y, 1.0f);
}

// The head bone's turn: its three axes at unit length, no translation.
Matrix BoneRotation(const float* bone)
{
    // The 48-byte form keeps the matrix's columns as rows: axis i is (b[i], b[4 + i], b[8 + i]).
    Matrix rotation = Matrix::ONE;
    for (int i = 0; i < 3; ++i)
    {
        Vector axis(bone[i], bone[4 + i], bone[8 + i], 0.0f);
        axis.Normalize();
        rotation.rows[i] = axis;
    }
    return rotation;
}

// Writes one quad: corners through `place` (mesh space), then the global matrix, then the world offset.
template <typename Place>
void WriteQuad(FakeShadowVertex* out, const Vector& scaleOffset, const Vector& mapping, const Matrix& global,
               const Vector& offset, float strength, Place place)
{
    const float uv[4][2] = {{mapping.x, mapping.y}, {mapping.z, mapping.y}, {mapping.z, mapping.w}, {mapping.x, mapping.w}};
    for (uint32_t c = 0; c < 4; ++c)
    {
        Vector p = place(GroundCorner(scaleOffset, c));
        p.Transform3D(global);
        out[c] = {p.x + offset.x, p.y, p.z + offset.z, uv[c][0], uv[c][1], strength};
    }
}
} // namespace

namespace FakeShadowQuads
{
Vector GroundOffset(const Vector& light, float height, float maxOffset)
{
    // A negative (or NaN) limit from the data allows no offset rather than one against the light.
    const float limit = maxOffset > 0.0f ? maxOffset : 0.0f;
    Vector l(light.x, light.y, light.z, 0.0f);
    l.Normalize();
    Vector d(0.0f, 0.0f, 0.0f, 0.0f);
    if (std::fabs(l.y) > kLevelLight)
    {
        const float k = -height / l.y;
        d.Set(k * l.x, k * l.y + height, k * l.z, 0.0f);
    }
    else if (height != 0.0f)
    {
        // Level sunlight: the shadow runs to the limit along the light (against it below the ground).
        d.Set(height > 0.0f ? l.x : -l.x, 0.0f, height > 0.0f ? l.z : -l.z, 0.0f);
        d.Mul(limit);
    }
    const float length = d.Length();
    if (!(length > kMinOffset))
        return Vector(0.0f, 0.0f, 0.0f, 0.0f);
    if (length > limit)
        d.Mul(limit / length);
    return d;
}

void Build(const MeshFakeShadowDefinition& definition, const Matrix& global, const float* bones, uint32_t boneCount,
           float strength, const SceneLight& light, MeshRenderSharedBuffers& buffers)
{
    const float product = strength * light.shadowStrength * light.fakeShadowStrength;
    const float s = !(product > 0.0f) ? 0.0f : (product < 1.0f ? product : 1.0f);
    const uint32_t buffer = definition.m_bufferSelect != 0 ? MeshRenderSharedBuffers::kBufferB
                                                           : MeshRenderSharedBuffers::kBufferA;

    if (FakeShadowVertex* quad = buffers.AddQuad(buffer))
    {
        const Vector d = GroundOffset(light.direction, definition.m_bodyPivotY, definition.m_bodyMaxShadowOffset);
        WriteQuad(quad, definition.m_bodyScaleOffset, definition.m_bodyMapping, global, d, s,
                  [](const Vector& p) { return p; });
    }

    const Vector* const mappings[2] = {&definition.m_headAMapping, &definition.m_headBMapping};
    const Vector* const scaleOffsets[2] = {&definition.m_headAScaleOffset, &definition.m_headBScaleOffset};
    const float maxOffsets[2] = {definition.m_headAMaxShadowOffset, definition.m_headBMaxShadowOffset};
    for (uint32_t head = 0; head < 2; ++head)
    {
        const int32_t bone = definition.m_headBone[head];
        if (bones == nullptr || bone < 0 || uint32_t(bone) >= boneCount || !buffers.HasRoom(buffer))
            continue;
        const Vector& h = definition.m_headPoint[head];
        const Matrix rotation = BoneRotation(bones + size_t(bone) * 12);
        const Vector d = GroundOffset(light.direction, h.y, maxOffsets[head]);
        WriteQuad(buffers.AddQuad(buffer), *scaleOffsets[head], *mappings[head], global, d, s,
                  [&](const Vector& p) {
                      Vector turned = p;
                      turned.Transform3D(rotation);
                      turned.x += h.x;
                      turned.z += h.z;
                      return turned;
                  });
    }
}
} // namespace FakeShadowQuads
