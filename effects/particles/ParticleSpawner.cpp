#include "effects/particles/ParticleSpawner.h"

#include "core/console/GameConsole.h"
#include "core/threads/CommandRingBuffer.h"
#include "effects/particles/ParticleRecord.h"
#include "effects/particles/ParticleSystemContext.h"
#include "renderer/NorvexRenderer.h"

#include <algorithm>
#include <cmath>

ParticleRandom gParticleRandom;

namespace
{
constexpr float kMinimumLife = 0.0001f;

inline float Unit(uint32_t state)
{
    return float(state >> 16) / 65536.0f;
}

inline uint32_t Step(uint32_t state)
{
    return state * 214013u + 2531011u;
}

// (x, y, z, 1) through the matrix.
inline Vector Point(const Vector& p, const Matrix& m)
{
    Vector out = p;
    out.Transform3D(m);
    return out;
}

inline Vector Direction(const Vector& v, const Matrix& m)
{
    Vector out = v;
    out.TransformNormal3D(m);
    return out;
}

void deleteObjectCommand(NorvexRenderer&, uint32_t, CommandRingBuffer& reader)
{
    ParticleSpawner* spawner = nullptr;
    if (reader.Read(&spawner, sizeof(spawner)))
        delete spawner;
}
} // namespace

template <bool Local, bool Circle>
float ParticleSpawner::SpawnKind(const ParticleSystemContext& context, ParticleSpawnBatch& batch)
{
    ParticleRandom& random = gParticleRandom;
    const float lifeMultiplier = context.m_lifeMultiplier;
    const float minimumLife = context.m_minimumLife;
    const float lifeRange = context.m_lifeRange;
    const Vector boxRange(batch.boxMinimum.x - batch.boxMaximum.x, batch.boxMinimum.y - batch.boxMaximum.y,
                          batch.boxMinimum.z - batch.boxMaximum.z, 0.0f);
    const Vector& minimumVelocity = context.m_minimumVelocity;
    const Vector& velocityRange = context.m_velocityRange;
    const Vector acceleration = context.GetAcceleration();
    const float yawLow = 1.5707964f - context.m_circleRanges.x;
    const float yawSpan = 2.0f * context.m_circleRanges.x;
    const float pitchLow = -context.m_circleRanges.y;
    const float pitchSpan = 2.0f * context.m_circleRanges.y;
    const float speedLow = context.m_circleSpeed - context.m_circleRanges.z;
    const float speedSpan = 2.0f * context.m_circleRanges.z;

    float birth = batch.startTime;
    ParticleRecord* out = batch.first;
    for (uint32_t k = 0; k < batch.count; ++k, ++out)
    {
        birth = batch.startTime + float(k + 1) * batch.interval;
        const float life = std::max((random.NextL() * lifeRange + minimumLife) * lifeMultiplier, kMinimumLife);

        const uint32_t a = (random.a & 0xFFFFu) * 36969u + (random.a >> 16);
        const uint32_t b = (random.b & 0xFFFFu) * 18000u + (random.b >> 16);
        const uint32_t word = ((a << 16) + b) & batch.mask;
        // The multiply-with-carry values keep their top bits below 36969 and 18000: read straight,
        // they would cover only part of the box, so the positions come from the stepped states.
        random.a = Step(a);
        const float rx = Unit(random.a);
        random.b = Step(b);
        const float ry = Unit(random.b);
        const float rz = Unit(random.c);
        random.c = Step(random.c);
        Vector position(batch.boxMaximum.x + boxRange.x * rx, batch.boxMaximum.y + boxRange.y * ry,
                        batch.boxMaximum.z + boxRange.z * rz, 1.0f);

        const float vx = Unit(random.a);
        random.a = Step(random.a);
        const float vy = Unit(random.b);
        random.b = Step(random.b);
        const float vz = Unit(random.c);
        random.c = Step(random.c);
        Vector velocity(minimumVelocity.x + velocityRange.x * vx, minimumVelocity.y + velocityRange.y * vy,
                        minimumVelocity.z + velocityRange.z * vz, 0.0f);

        if constexpr (Circle)
        {
            const float yaw = yawLow + yawSpan * random.NextL();
            const float pitch = pitchLow + pitchSpan * random.NextL();
            const float speed = speedLow + speedSpan * random.NextL();
            const float cosPitch = std::cos(pitch);
            velocity.x += speed * std::cos(yaw) * cosPitch;
            velocity.y += speed * std::sin(pitch);
            velocity.z += speed * std::sin(yaw) * cosPitch;
        }
        if constexpr (!Local)
        {
            const float f = batch.fraction;
            Vector through = Point(position, context.m_previousMatrix);
            Vector current = Point(position, context.m_matrix);
            position.Lerp(through, current, Vector(f, f, f, f));
            through = Direction(velocity, context.m_previousMatrix);
            current = Direction(velocity, context.m_matrix);
            velocity.Lerp(through, current, Vector(f, f, f, f));
        }
        // Age advance: the particle has already flown for `age` seconds at the end of the period.
        const float t = batch.age;
        position.x += (velocity.x + 0.5f * acceleration.x * t) * t;
        position.y += (velocity.y + 0.5f * acceleration.y * t) * t;
        position.z += (velocity.z + 0.5f * acceleration.z * t) * t;
        velocity.x += acceleration.x * t;
        velocity.y += acceleration.y * t;
        velocity.z += acceleration.z * t;

        out->death = birth + life;
        out->birth = birth;
        out->inverseLife = 1.0f / life;
        out->word = word;
        out->position[0] = position.x;
        out->position[1] = position.y;
        out->position[2] = position.z;
        out->velocity[0] = velocity.x;
        out->velocity[1] = velocity.y;
        out->velocity[2] = velocity.z;
        batch.fraction += batch.fractionStep;
        batch.age -= batch.interval;
    }
    return birth;
}

float ParticleSpawner::Spawn(const ParticleSystemContext& context, ParticleSpawnBatch& batch)
{
    return SpawnKind<false, false>(context, batch);
}

float LocalSpaceParticleSpawner::Spawn(const ParticleSystemContext& context, ParticleSpawnBatch& batch)
{
    return SpawnKind<true, false>(context, batch);
}

float CircleVelParticleSpawner::Spawn(const ParticleSystemContext& context, ParticleSpawnBatch& batch)
{
    return SpawnKind<false, true>(context, batch);
}

float CircleVelLocalSpaceParticleSpawner::Spawn(const ParticleSystemContext& context, ParticleSpawnBatch& batch)
{
    return SpawnKind<true, true>(context, batch);
}

float spawnIntoRing(ParticleSpawner& spawner, const ParticleSystemContext& context, ParticleRecord* ring,
                    uint32_t ringEnd, uint32_t writeSlot, ParticleSpawnBatch& batch)
{
    const uint32_t total = batch.count;
    if (total == 0)
        return batch.startTime;
    if (writeSlot + total <= ringEnd)
    {
        batch.first = ring + writeSlot;
        return spawner.Spawn(context, batch);
    }
    const uint32_t firstPart = ringEnd - writeSlot;
    batch.first = ring + writeSlot;
    batch.count = firstPart;
    const float lastBirth = firstPart > 0 ? spawner.Spawn(context, batch) : batch.startTime;
    batch.first = ring;
    batch.count = total - firstPart;
    batch.startTime = lastBirth;
    const float result = spawner.Spawn(context, batch);
    batch.count = total;
    return result;
}

void postDeleteObject(ParticleSpawner* spawner)
{
    if (spawner == nullptr)
        return;
    if (gRenderer == nullptr)
    {
        delete spawner;
        return;
    }
    if (!gRenderer->WriteCall(&deleteObjectCommand, 0, sizeof(spawner)))
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "ParticleSpawner %p could not be deleted", static_cast<void*>(spawner));
        return;
    }
    gRenderer->GetWriter().Put(spawner);
}
