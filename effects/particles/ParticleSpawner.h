// ParticleSpawner: writes new particle records into the ring pool, deciding each one's life, random
// word, start position and start velocity. Spawners keep no per-emitter state: everything comes from
// the context they are handed. Four built-in kinds exist, one shared instance each (made and
// deleted with the pools), chosen per context by local space and circle velocity; a context may
// also hold a custom spawner of a further subclass, which replaces the built-in choice. Render
// thread only, inside the frame update; postDeleteObject is called on the game thread.
#pragma once

#include "core/containers/SafePointer.h"
#include "core/math/BoundingBox4.h"
#include "core/math/Vector.h"

#include <cstdint>

class ParticleSystemContext;
struct ParticleRecord;

// The generators every spawner draws from: a linear congruential generator L (life times, phases,
// circle velocities and the rebase spread) and three 32-bit states A, B, C (random words, positions,
// velocities). Render thread only.
struct ParticleRandom
{
    uint32_t l = 1;
    uint32_t a = 0x1234567u;
    uint32_t b = 0x89ABCDEu;
    uint32_t c = 0x2468ACEu;

    // Value of L in [0, 1), taken before the step.
    float NextL()
    {
        const float value = float(l >> 16) / 65536.0f;
        l = l * 214013u + 2531011u;
        return value;
    }
    void Seed(uint32_t seed)
    {
        l = seed;
        a = seed ^ 0x1234567u;
        b = seed ^ 0x89ABCDEu;
        c = seed ^ 0x2468ACEu;
    }
};
extern ParticleRandom gParticleRandom;

// What one spawn call writes: n records from `first`, born one interval apart after `startTime`.
// `fraction` and `age` are advanced in place so that a second call continues the first.
struct ParticleSpawnBatch
{
    ParticleRecord* first = nullptr;
    uint32_t count = 0;
    float startTime = 0.0f;      // seconds since the context's base time
    float interval = 0.0f;       // seconds between births
    Vector boxMaximum;           // (size, 1)
    Vector boxMinimum;           // (−size, 1)
    float fractionStep = 0.0f;   // 1 / n of the whole spawn
    float fraction = 0.0f;       // place between the previous and the current matrix: (k + 1) / n
    uint32_t mask = 0xFFFFFFFFu; // all ones with random rotation at start, else byte 1 cleared
    float age = 0.0f;            // age at the end of the spawn period: (n − 1 − k) × interval
};

// Built-in spawner in world space without circle velocity; base of the family.
class ParticleSpawner : public SafePointerRoot
{
public:
    ParticleSpawner() = default;
    ~ParticleSpawner() override = default;
    ParticleSpawner(const ParticleSpawner&) = delete;
    ParticleSpawner& operator=(const ParticleSpawner&) = delete;

    // Writes batch.count records; returns the birth time of the last one (the start time for none).
    virtual float Spawn(const ParticleSystemContext& context, ParticleSpawnBatch& batch);
    // May change the spawn rate (particles per second) before the due count is computed.
    virtual void AdjustSpawnRate(float* spawnRate) { (void)spawnRate; }
    // Receives the context's smoothed local bounds after each update.
    virtual void OnBounds(const BoundingBox4& bounds) { (void)bounds; }

protected:
    template <bool Local, bool Circle>
    static float SpawnKind(const ParticleSystemContext& context, ParticleSpawnBatch& batch);
};

// Emitter-local positions and velocities.
class LocalSpaceParticleSpawner : public ParticleSpawner
{
public:
    float Spawn(const ParticleSystemContext& context, ParticleSpawnBatch& batch) override;
};

// World space with the circle velocity added.
class CircleVelParticleSpawner : public ParticleSpawner
{
public:
    float Spawn(const ParticleSystemContext& context, ParticleSpawnBatch& batch) override;
};

// Emitter-local with the circle velocity added.
class CircleVelLocalSpaceParticleSpawner : public ParticleSpawner
{
public:
    float Spawn(const ParticleSystemContext& context, ParticleSpawnBatch& batch) override;
};

// Writes n records from ring slot `writeSlot`: one spawn call when they fit before `ringEnd`, else two
// (up to the end, then from slot 0 continuing the birth times). Returns the last birth time.
float spawnIntoRing(ParticleSpawner& spawner, const ParticleSystemContext& context, ParticleRecord* ring,
                    uint32_t ringEnd, uint32_t writeSlot, ParticleSpawnBatch& batch);

// Game thread: deletes the spawner on the render thread, behind every command already written
// (at once when no renderer runs).
void postDeleteObject(ParticleSpawner* spawner);
