// The twelve particle vertex kernels: each expands one particle record into the four corners of its
// quad, specialised per face mode group (given axes, velocity align, velocity normal), rotation and
// texture animation, so the inner loop never branches on those settings. Render thread (and any
// thread for a context it owns alone, as the tests and the benchmark do).
#pragma once

#include "core/math/Vector.h"

#include <cstdint>

class ParticleSystemContext;
struct ParticleRecord;
struct ParticleVertex;

// Axes and camera of one draw, in the particles' space.
struct ParticleKernelAxes
{
    Vector side;           // S: the quad's width direction
    Vector up;             // U: the quad's height direction
    Vector cameraPosition; // for velocity-aligned quads
};

// The fixed reference direction of velocity-normal quads.
constexpr Vector kParticleVelocityNormalReference(-0.0124f, 0.131f, 1.0f, 0.0f);

using ParticleVertexKernel = void (*)(const ParticleSystemContext& context, ParticleVertex* out,
                                      const ParticleRecord& particle, float now, const ParticleKernelAxes& axes);

// particleVertexKernel[index]: index = group × 4 + rotating × 2 + animated, group 0 for face modes
// 0 to 3, 1 for velocity align, 2 for velocity normal.
extern const ParticleVertexKernel particleVertexKernel[12];
