// Spawners: what one spawn writes (lives, words, positions, velocities), a spawn across the end of
// the ring, still and moving emitters, and the kind chosen per definition.
#include "effects/particles/ParticleSpawner.h"

#include "effects/particles/ParticleRecord.h"
#include "support/ParticleTestSupport.h"

namespace
{
class ParticleSpawnerTest : public ParticlePoolsFixture
{
protected:
    ParticleSpawnBatch Batch(uint32_t n, float start, float interval, float size)
    {
        ParticleSpawnBatch batch;
        batch.count = n;
        batch.startTime = start;
        batch.interval = interval;
        batch.boxMaximum.Set(size, size, size, 1.0f);
        batch.boxMinimum.Set(-size, -size, -size, 1.0f);
        batch.fractionStep = n > 0 ? 1.0f / float(n) : 0.0f;
        batch.fraction = batch.fractionStep;
        batch.mask = 0xFFFF00FFu;
        batch.age = n > 0 ? float(n - 1) * interval : 0.0f;
        return batch;
    }

    ParticleSystem m_system;
};

TEST_F(ParticleSpawnerTest, NothingIsWrittenForNoParticles)
{
    ParticleSystemContext* context = Play(m_system, 0, false);
    ParticleRecord ring[4];
    std::memset(ring, 0xAB, sizeof(ring));
    ParticleSpawnBatch batch = Batch(0, 2.5f, 0.1f, 1.0f);
    EXPECT_EQ(spawnIntoRing(context->SelectSpawner(), *context, ring, 4, 3, batch), 2.5f);
    for (const ParticleRecord& record : ring)
        EXPECT_EQ(record.word, 0xABABABABu);
}

TEST_F(ParticleSpawnerTest, ASpawnAcrossTheRingEndContinuesBirthsAndAges)
{
    SetParticleProperty(m_system, "Life time", "2");
    SetParticleProperty(m_system, "Initial velocity", "0 0 0 0");
    SetParticleProperty(m_system, "Initial velocity var", "0 0 0 0");
    SetParticleProperty(m_system, "Global gravity", "2 -1 3 0");
    ParticleSystemContext* context = Play(m_system, 0, false);
    ParticleRecord ring[8] = {};
    ParticleSpawnBatch batch = Batch(5, 1.0f, 0.1f, 0.0f);
    const float last = spawnIntoRing(context->SelectSpawner(), *context, ring, 8, 6, batch);
    EXPECT_FLOAT_EQ(last, 1.5f);
    const uint32_t slots[] = {6, 7, 0, 1, 2};
    for (uint32_t k = 0; k < 5; ++k)
    {
        const ParticleRecord& record = ring[slots[k]];
        EXPECT_NEAR(record.birth, 1.0f + 0.1f * float(k + 1), 1e-5f) << k;
        EXPECT_NEAR(record.death - record.birth, 2.0f, 1e-5f) << k;
        EXPECT_NEAR(record.inverseLife, 0.5f, 1e-6f) << k;
        // Each has flown its age under gravity g at the end of the period: p = g age^2 / 2, v = g age.
        const float age = 0.1f * float(4 - k);
        const float g[] = {2.0f, -1.0f, 3.0f};
        for (int axis = 0; axis < 3; ++axis)
        {
            EXPECT_NEAR(record.position[axis], 0.5f * g[axis] * age * age, 1e-5f) << k << " axis " << axis;
            EXPECT_NEAR(record.velocity[axis], g[axis] * age, 1e-5f) << k << " axis " << axis;
        }
        // Without random rotation byte 1 of the word is 0.
        EXPECT_EQ(record.word & 0xFF00u, 0u) << k;
    }
    EXPECT_EQ(ring[3].birth, 0.0f);
    EXPECT_NEAR(batch.age, -0.1f, 1e-5f);
    EXPECT_NEAR(batch.fraction, 1.2f, 1e-5f);
}

TEST_F(ParticleSpawnerTest, AStillEmitterFillsItsBoxAndAMovingOneSpreadsAlongItsPath)
{
    SetParticleProperty(m_system, "Initial velocity", "0 0 0 0");
    SetParticleProperty(m_system, "Initial velocity var", "1 1 1 0");
    Matrix world = Matrix::ONE;
    world.LoadTranslation(50.0f, 0.0f, 0.0f);
    ParticleSystemContext* still = Play(m_system, 0, false, world);
    ParticleRecord ring[64] = {};
    Vector low(1e9f, 1e9f, 1e9f, 0.0f), high(-1e9f, -1e9f, -1e9f, 0.0f);
    ParticleSpawnBatch batch = Batch(64, 0.0f, 0.0f, 2.0f); // all born at once: none has moved yet
    batch.first = ring;
    still->SelectSpawner().Spawn(*still, batch);
    int crossed = 0; // x and y on opposite sides of the centre, for both the place and the velocity
    for (const ParticleRecord& record : ring)
    {
        crossed += (record.position[0] > 50.0f) != (record.position[1] > 0.0f) &&
                   (record.velocity[0] > 0.0f) != (record.velocity[1] > 0.0f);
        low.Min(Vector(record.position[0], record.position[1], record.position[2], 0.0f));
        high.Max(Vector(record.position[0], record.position[1], record.position[2], 0.0f));
    }
    EXPECT_GE(low.x, 48.0f);
    EXPECT_LE(high.x, 52.0f);
    EXPECT_GE(low.y, -2.0f);
    EXPECT_LE(high.z, 2.0f);
    // The box is covered, not a corner of it.
    EXPECT_LT(low.x, 49.0f);
    EXPECT_GT(high.x, 51.0f);
    EXPECT_GT(crossed, 4) << "the axes are drawn independently";

    // Moving from x = 0 to x = 50 with a point emitter: the k-th particle sits at 50 (k + 1) / n.
    SetParticleProperty(m_system, "Initial velocity var", "0 0 0 0");
    ParticleSystemContext* moving = Play(m_system, 0, false);
    moving->SetMatrix(world);
    batch = Batch(10, 0.0f, 0.01f, 0.0f);
    batch.first = ring;
    moving->SelectSpawner().Spawn(*moving, batch);
    for (uint32_t k = 0; k < 10; ++k)
        EXPECT_NEAR(ring[k].position[0], 50.0f * float(k + 1) / 10.0f, 1e-3f) << k;
    // A flattened emitter has no inverse: its local space falls back to the identity.
    Matrix flat = world;
    flat.rows[1] = Vector(0.0f, 0.0f, 0.0f, 0.0f);
    moving->SetMatrix(flat);
    EXPECT_TRUE(moving->GetInverseMatrix().Equals(Matrix::ONE));
}

TEST_F(ParticleSpawnerTest, TheKindFollowsLocalSpaceAndCircleVelocity)
{
    struct Case
    {
        const char* local;
        const char* circle;
        uint32_t kind;
    };
    const Case cases[] = {{"0", "0", 0}, {"1", "0", 1}, {"0", "1", 2}, {"1", "1", 3}};
    for (const Case& c : cases)
    {
        ParticleSystem system;
        SetParticleProperty(system, "Local space", c.local);
        SetParticleProperty(system, "Circle velocity enabled", c.circle);
        ParticleSystemContext* context = Play(system, 0, false);
        EXPECT_EQ(&context->SelectSpawner(), &gParticlePools.GetSpawner(c.kind & 1, c.kind & 2)) << c.kind;
    }
    ParticleSystemContext* custom = Play(m_system, 0, false);
    LocalSpaceParticleSpawner own;
    custom->SetCustomSpawner(&own);
    EXPECT_EQ(&custom->SelectSpawner(), &own);
    // Without a renderer a spawner handed back is deleted at once.
    auto* handed = new LocalSpaceParticleSpawner;
    SafePointer<ParticleSpawner> watched(handed);
    postDeleteObject(handed);
    EXPECT_FALSE(watched);
}

TEST_F(ParticleSpawnerTest, CircleVelocityWithNoYawRangeTiltsLocalZWithinThePitchRange)
{
    SetParticleProperty(m_system, "Local space", "1");
    SetParticleProperty(m_system, "Circle velocity enabled", "1");
    SetParticleProperty(m_system, "Circle velocity yaw range", "0");
    SetParticleProperty(m_system, "Circle velocity var", "0");
    SetParticleProperty(m_system, "Circle velocity const", "3");
    SetParticleProperty(m_system, "Initial velocity", "0 0 0 0");
    SetParticleProperty(m_system, "Initial velocity var", "0 0 0 0");
    // Pitch range and the largest |y| of a speed-3 velocity it allows.
    for (const auto& [range, maxY] : {std::pair{"0", 0.0f}, std::pair{"30", 1.5f}})
    {
        SetParticleProperty(m_system, "Circle velocity pitch range", range);
        ParticleSystemContext* context = Play(m_system, 0, false);
        ParticleRecord ring[8] = {};
        ParticleSpawnBatch batch = Batch(8, 0.0f, 0.1f, 0.0f);
        batch.first = ring;
        context->SelectSpawner().Spawn(*context, batch);
        for (const ParticleRecord& record : ring)
        {
            EXPECT_NEAR(record.velocity[0], 0.0f, 1e-5f) << range;
            EXPECT_LE(std::fabs(record.velocity[1]), maxY + 1e-5f) << range;
            EXPECT_NEAR(std::hypot(record.velocity[1], record.velocity[2]), 3.0f, 1e-4f) << range;
            EXPECT_GT(record.velocity[2], 0.0f) << range;
        }
    }
}
} // namespace
