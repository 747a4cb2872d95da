#include "effects/particles/ParticleVertexKernels.h"

#include "effects/particles/ParticleRecord.h"
#include "effects/particles/ParticleSystemContext.h"

#include <algorithm>
#include <cmath>

// Friend of the context: the kernels read its node, shape and frame tables directly.
struct ParticleKernels
{
    template <uint32_t Group, bool Rotating, bool Animated>
    static void Expand(const ParticleSystemContext& c, ParticleVertex* out, const ParticleRecord& particle, float now,
                       const ParticleKernelAxes& axes)
    {
        const float f = (now - particle.birth) * particle.inverseLife;
        const uint32_t segment = uint32_t(f > c.m_nodeTimes[1]) + uint32_t(f > c.m_nodeTimes[2]);
        const float blend = std::clamp((f - c.m_nodeTimes[segment]) * c.m_inverseSegmentLengths[segment], 0.0f, 1.0f);
        const float size = c.m_nodeSizes[segment] + (c.m_nodeSizes[segment + 1] - c.m_nodeSizes[segment]) * blend;
        const uint32_t word = particle.word;
        const float pick = float(word & 255u) * (1.0f / 255.0f);
        const Vector& shape = c.m_shapeRectangle;
        const float width = (shape.x + (shape.z - shape.x) * pick) * size * c.m_scale.x;
        const float height =
            (shape.y + (shape.w - shape.y) * pick) * size * (Group == 1 ? c.m_scale.z : c.m_scale.y);

        const float px = particle.position[0];
        const float py = particle.position[1];
        const float pz = particle.position[2];
        Vector side = axes.side;
        Vector up = axes.up;
        if constexpr (Group == 1)
        {
            const Vector velocity(particle.velocity[0], particle.velocity[1], particle.velocity[2], 0.0f);
            const Vector toCamera(px - axes.cameraPosition.x, py - axes.cameraPosition.y,
                                  pz - axes.cameraPosition.z, 0.0f);
            side.Cross(velocity, toCamera);
            side.Normalize();
            up = velocity;
            up.Normalize();
            up.NegateXYZ(up);
        }
        else if constexpr (Group == 2)
        {
            const Vector velocity(particle.velocity[0], particle.velocity[1], particle.velocity[2], 0.0f);
            side.Cross(velocity, kParticleVelocityNormalReference);
            side.Normalize();
            up.Cross(velocity, side);
            up.Normalize();
        }

        // Corner offsets along S and U, in corner order.
        const float ax = c.m_anchor.x;
        const float ay = c.m_anchor.y;
        float offsetX[4] = {-ax * width, (1.0f - ax) * width, (1.0f - ax) * width, -ax * width};
        float offsetY[4] = {-ay * height, -ay * height, (1.0f - ay) * height, (1.0f - ay) * height};
        if constexpr (Rotating)
        {
            const float speed = c.m_rotationSpeeds[0] +
                                (c.m_rotationSpeeds[1] - c.m_rotationSpeeds[0]) * float((word >> 16) & 255u) / 255.0f;
            const float angle = speed * f + float((word >> 8) & 255u) / 255.0f * 6.2831853f;
            const float cosine = std::cos(angle);
            const float sine = std::sin(angle);
            for (int k = 0; k < 4; ++k)
            {
                const float x = offsetX[k];
                const float y = offsetY[k];
                offsetX[k] = x * cosine - y * sine;
                offsetY[k] = x * sine + y * cosine;
            }
        }

        const uint32_t blendByte = uint32_t(blend * 255.0f);
        uint32_t frameBlend = 0;
        float u0 = 0.0f, v0 = 0.0f, u1 = 0.0f, v1 = 0.0f;
        float du = 1.0f, dv = 1.0f;
        if constexpr (Animated)
        {
            const float phase = c.m_randomFrame ? float(word >> 24) / 255.0f : f;
            const float position = float(c.m_frameCount) * phase;
            const float whole = std::floor(position);
            const uint32_t frame = whole > 0.0f ? uint32_t(whole) % c.m_frameCount : 0u;
            const uint32_t next = std::min(frame + 1, c.m_frameCount - 1);
            frameBlend = uint32_t((position - whole) * 255.0f);
            du = c.m_inverseFramesX;
            dv = c.m_inverseFramesY;
            u0 = float(frame % c.m_framesX) * du;
            v0 = float(frame / c.m_framesX) * dv;
            u1 = float(next % c.m_framesX) * du;
            v1 = float(next / c.m_framesX) * dv;
        }
        const uint32_t color = PackBytes(segment, blendByte, frameBlend, 255u - blendByte);
        static constexpr float kCornerU[4] = {0.0f, 1.0f, 1.0f, 0.0f};
        static constexpr float kCornerV[4] = {0.0f, 0.0f, 1.0f, 1.0f};
        for (int k = 0; k < 4; ++k)
        {
            ParticleVertex& vertex = out[k];
            vertex.position[0] = px + offsetX[k] * side.x + offsetY[k] * up.x;
            vertex.position[1] = py + offsetX[k] * side.y + offsetY[k] * up.y;
            vertex.position[2] = pz + offsetX[k] * side.z + offsetY[k] * up.z;
            vertex.color = color;
            vertex.uv = PackBytes(PackUnitByte(u0 + kCornerU[k] * du), PackUnitByte(v0 + kCornerV[k] * dv),
                                  PackUnitByte(u1 + kCornerU[k] * du), PackUnitByte(v1 + kCornerV[k] * dv));
        }
    }
};

#define NORVEX_PARTICLE_KERNELS(group)                                                                         \
    &ParticleKernels::Expand<group, false, false>, &ParticleKernels::Expand<group, false, true>,             \
        &ParticleKernels::Expand<group, true, false>, &ParticleKernels::Expand<group, true, true>

const ParticleVertexKernel particleVertexKernel[12] = {NORVEX_PARTICLE_KERNELS(0), NORVEX_PARTICLE_KERNELS(1),
                                                       NORVEX_PARTICLE_KERNELS(2)};

#undef NORVEX_PARTICLE_KERNELS
