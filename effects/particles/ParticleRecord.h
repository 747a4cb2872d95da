// The particle record of the shared ring and park pools, the particle vertex and the mesh particle
// instance, as the runtime writes them. Plain data; render thread.
#pragma once

#include <cstdint>

// One live particle: ten 32-bit fields. Times are seconds since its context's base time.
struct ParticleRecord
{
    float death;
    float birth;
    float inverseLife;
    // Byte 0 picks the size, byte 1 is the start angle, byte 2 the rotation speed, byte 3 the frame phase.
    uint32_t word;
    float position[3];
    float velocity[3];
};
static_assert(sizeof(ParticleRecord) == 40);

// One corner of a particle quad (20 bytes; four per particle).
struct ParticleVertex
{
    float position[3];
    // Byte 0 colour segment, byte 1 blend within it × 255, byte 2 blend to the next frame × 255,
    // byte 3 255 − byte 1.
    uint32_t color;
    // u and v in the current frame, then in the next frame, each × 255.
    uint32_t uv;
};
static_assert(sizeof(ParticleVertex) == 20);

// Bytes of one quad particle's vertices and of one mesh particle's instance.
constexpr uint32_t kParticleQuadBytes = 4 * sizeof(ParticleVertex);
constexpr uint32_t kParticleInstanceBytes = 64;

// Floats packed to bytes: clamped to [0, 1], × 255, truncated.
inline uint32_t PackUnitByte(float value)
{
    value = value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
    return uint32_t(value * 255.0f);
}

// Four bytes, the first in the lowest byte.
inline uint32_t PackBytes(uint32_t b0, uint32_t b1, uint32_t b2, uint32_t b3)
{
    return b0 | (b1 << 8) | (b2 << 16) | (b3 << 24);
}
