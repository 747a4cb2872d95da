// FakeShadowQuads: builds the blob shadow quads of one mesh (its body and up to two heads) on the
// ground under it, pushed away from the sun by the shadow a point at the pivot height would cast.
// Render thread (it fills the shared buffers).
#pragma once

#include "core/math/Matrix.h"
#include "core/math/Vector.h"

#include <cstdint>

class MeshFakeShadowDefinition;
class MeshRenderSharedBuffers;

namespace FakeShadowQuads
{
// What the quads take from the scene parameter set in force.
struct SceneLight
{
    Vector direction;               // where the sunlight travels; need not be unit length
    float shadowStrength = 1.0f;    // "Shadow strength"
    float fakeShadowStrength = 1.0f; // "Fake shadow strength"
};

// Where on the ground (x, 0, z) the shadow of a point `height` above it falls, relative to the
// point's foot, at most `maxOffset` long. A sun on the horizon gives the longest offset along the
// light instead of dividing by its zero height.
Vector GroundOffset(const Vector& light, float height, float maxOffset);

// Adds the body quad, then head A and head B (each when its list has room; heads also need a bone
// index below `boneCount` and bone matrices, 12 floats each). `global` places the mesh.
void Build(const MeshFakeShadowDefinition& definition, const Matrix& global, const float* bones, uint32_t boneCount,
           float strength, const SceneLight& light, MeshRenderSharedBuffers& buffers);
} // namespace FakeShadowQuads
