// The particle frame update: spawn counts against the rate, cap, visibility ramp and free space, time
// carried over, the ring's one block per frame across wraps, parking, rebasing and the node tables.
#include "effects/particles/ParticleSystemContext.h"
#include "engine/config/ProjectConfig.h"

#include "support/ParticleTestSupport.h"

#include <cmath>
#include <cstring>

namespace
{
using ParticleSystemContextTest = ParticlePoolsFixture;

TEST_F(ParticleSystemContextTest, CountsFollowRateCapAndSpawnFactor)
{
    struct Case
    {
        const char* rate;
        const char* life;
        float frame;
        uint32_t quality;
        uint32_t expected;
    };
    // Restart makes one particle due at once, so the first frame's elapsed time is frame + 1 / rate.
    const Case cases[] = {
        {"10", "1", 0.5f, 3, 6},     // trunc(10 x 0.6)
        {"10", "1", 0.5f, 0, 2},     // quality 0 scales the rate by 0.4: trunc(4 x 0.6)
        {"10", "1", 0.5f, 2, 4},     // x 0.7: trunc(7 x 0.6)
        {"100", "0.2", 0.14f, 3, 15}, // trunc(100 x 0.15)
        {"100", "0.1", 0.5f, 3, 10},  // a long frame spawns one minimum life's worth, also the cap
        {"0.001", "1", 5.0f, 3, 0},   // at or below 0.001 nothing ever emits
        {"0", "1", 5.0f, 3, 0},
    };
    for (const Case& c : cases)
    {
        ParticleSystem system;
        SetParticleProperty(system, "Spawn rate", c.rate);
        SetParticleProperty(system, "Life time", c.life);
        ParticleSystemContext* context = Play(system);
        Frame(c.frame, c.quality);
        EXPECT_EQ(context->GetCount(), c.expected) << "rate " << c.rate << " quality " << c.quality;
        EXPECT_EQ(context->IsEmitting(), std::atof(c.rate) > 0.001) << c.rate;
        TearDown();
        SetUp();
    }
    // A later frame fills only up to the per-system cap.
    TearDown();
    Init(256, 20, false);
    ParticleSystem capped;
    SetParticleProperty(capped, "Spawn rate", "100");
    SetParticleProperty(capped, "Life time", "100");
    ParticleSystemContext* context = Play(capped);
    Frame(0.1f);
    Frame(0.2f);
    EXPECT_EQ(context->GetCount(), 20u);
}

TEST_F(ParticleSystemContextTest, AShortFrameCarriesItsTimeOverAndALongPauseSpawnsOneLifeAtMost)
{
    ParticleSystem system;
    SetParticleProperty(system, "Spawn rate", "10");
    SetParticleProperty(system, "Life time", "100");
    ParticleSystemContext* context = Play(system);
    Frame(0.05f); // 0.15 s due: one particle
    ASSERT_EQ(context->GetCount(), 1u);
    const int64_t lastSpawn = context->GetLastSpawnTime();
    Frame(0.05f); // 0.05 s is half an interval: nothing, and the time stays
    EXPECT_EQ(context->GetCount(), 1u);
    EXPECT_EQ(context->GetLastSpawnTime(), lastSpawn);
    Frame(0.05f);
    EXPECT_EQ(context->GetCount(), 2u);

    ParticleSystem fast;
    SetParticleProperty(fast, "Spawn rate", "100");
    SetParticleProperty(fast, "Life time", "1");
    ParticleSystemContext* paused = Play(fast);
    Frame(0.5f);
    paused->Draw(Matrix::ONE, Vector(1.0f, 1.0f, 1.0f, 1.0f), 0);
    EXPECT_GE(paused->GetCount(), 50u);
    // Ten seconds without a draw: one minimum life (1 s) of spawning, at 30 % past the 8 s ramp;
    // the particles of the first frame have died.
    Frame(10.0f);
    EXPECT_EQ(paused->GetCount(), 30u);
}

TEST_F(ParticleSystemContextTest, TheVisibilityRampRunsFromThreeToEightSecondsAfterTheLastDraw)
{
    Init(4096, 4000, false);
    ParticleSystem system;
    SetParticleProperty(system, "Spawn rate", "300");
    SetParticleProperty(system, "Life time", "100");
    ParticleSystemContext* context = Play(system);
    // Frames of one second without a draw; the share is 0.3 + 0.7 x clamp(1 - (t - 3) x 0.2).
    const float shares[] = {1.0f, 1.0f, 1.0f, 0.86f, 0.72f, 0.58f, 0.44f, 0.3f, 0.3f};
    uint32_t previous = 0;
    for (uint32_t second = 0; second < 9; ++second)
    {
        Frame(1.0f);
        const int32_t spawned = int32_t(context->GetCount() - previous);
        previous = context->GetCount();
        EXPECT_NEAR(spawned, shares[second] * 300.0f, 2.0f) << "second " << second + 1;
    }
}

TEST_F(ParticleSystemContextTest, AFullPoolLimitsSpawningAndNeverOverwritesOtherContexts)
{
    // Pools of no size are refused.
    for (const auto& [max, perSystem] : {std::pair{0u, 10u}, {10u, 0u}})
    {
        ParticlePoolSettings empty;
        empty.maxParticles = max;
        empty.particlesPerSystem = perSystem;
        EXPECT_FALSE(gParticlePools.Init(empty)) << max << " " << perSystem;
        EXPECT_FALSE(gParticlePools.IsInitialised());
    }
    Init(16, 1000, false);
    ParticleSystem system;
    SetParticleProperty(system, "Spawn rate", "1000");
    SetParticleProperty(system, "Life time", "100");
    ParticleSystemContext* first = Play(system);
    ParticleSystemContext* second = Play(system);
    Frame(1.0f);
    // The first takes all but one slot, the second nothing.
    EXPECT_EQ(first->GetCount(), 15u);
    EXPECT_EQ(second->GetCount(), 0u);
    const std::vector<ParticleRecord> kept = Records(*first);
    Frame(0.001f);
    Frame(0.001f);
    EXPECT_EQ(first->GetCount(), 15u);
    EXPECT_EQ(second->GetCount(), 0u);
    EXPECT_EQ(gParticlePools.GetRingCount(), 15u);
    const std::vector<ParticleRecord> after = Records(*first);
    ASSERT_EQ(after.size(), kept.size());
    for (size_t i = 0; i < kept.size(); ++i)
        EXPECT_EQ(after[i].birth, kept[i].birth) << i;
    // The spawn factor falls linearly below 20 % free: 1/16 free gives 5/16.
    EXPECT_FLOAT_EQ(ParticlePools::ComputeSpawnFactor(1, 16, 3), 5.0f / 16.0f);
    EXPECT_FLOAT_EQ(ParticlePools::ComputeSpawnFactor(0, 16, 3), 0.0f);
    EXPECT_FLOAT_EQ(ParticlePools::ComputeSpawnFactor(16, 16, 1), 0.55f);

    // A context that parks keeps its particles' room: the ones updated after it still find no space.
    TearDown();
    Init(16, 1000, true);
    ParticleSystemContext* parked = Play(system, ParticleSystemContext::kFlagMayPark);
    ParticleSystemContext* waiting = Play(system);
    for (int frame = 0; frame < 5; ++frame)
        Frame(0.1f);
    EXPECT_TRUE(parked->IsInParkList());
    EXPECT_EQ(gParticlePools.GetParkCount(), 15u);
    EXPECT_EQ(waiting->GetCount(), 0u);
    // Its records, taken from wherever the ring had reached, come back whole and in birth order.
    parked->Draw(Matrix::ONE, Vector(1.0f, 1.0f, 1.0f, 1.0f), 0);
    Frame(0.0f);
    const std::vector<ParticleRecord> back = Records(*parked);
    ASSERT_EQ(back.size(), 15u);
    for (size_t i = 1; i < back.size(); ++i)
        EXPECT_LT(back[i - 1].birth, back[i].birth) << i;

    // The renderer's start sizes the pools from the project's mobile settings when a PC takes them.
    TearDown();
    gProjectConfig.m_pcUsesMobileSettings = true;
    gProjectConfig.m_particlePausing = false;
    gProjectConfig.m_particleSpawnRateMultiplier = 0.5f;
    const bool made = initParticlePools();
    gProjectConfig.m_pcUsesMobileSettings = false;
    gProjectConfig.m_particlePausing = true;
    gProjectConfig.m_particleSpawnRateMultiplier = 1.0f;
    ASSERT_TRUE(made);
    EXPECT_EQ(gParticlePools.GetMaxParticles(), 8192u);
    EXPECT_EQ(gParticlePools.GetParticlesPerSystem(), 1024u);
    EXPECT_FALSE(gParticlePools.HasParkPool());
    Frame(0.1f);
    EXPECT_FLOAT_EQ(gParticlePools.GetSpawnFactor(), 0.5f);
}

TEST_F(ParticleSystemContextTest, TheRingHoldsOneContiguousBlockPerFrameAcrossWraps)
{
    Init(39, 1000, false); // a size at which spawns straddle the end too
    ParticleSystem system;
    SetParticleProperty(system, "Spawn rate", "40");
    SetParticleProperty(system, "Life time", "0.25");
    ParticleSystemContext* a = Play(system);
    ParticleSystemContext* b = Play(system);
    uint32_t expectedStart = 0;
    bool wrapped = false;
    for (int frame = 0; frame < 30; ++frame)
    {
        const uint32_t start = gParticlePools.GetRingStart();
        const uint32_t count = gParticlePools.GetRingCount();
        Frame(0.1f);
        expectedStart = (start + count) % 39;
        EXPECT_EQ(a->GetRingStart(), expectedStart) << frame;
        EXPECT_EQ(b->GetRingStart(), (a->GetRingStart() + a->GetCount()) % 39) << frame;
        EXPECT_EQ(gParticlePools.GetRingCount(), a->GetCount() + b->GetCount());
        for (ParticleSystemContext* context : {a, b})
        {
            wrapped |= context->GetRingStart() + context->GetCount() > 39;
            // Births follow ring order through the wrap.
            const std::vector<ParticleRecord> records = Records(*context);
            for (size_t i = 1; i < records.size(); ++i)
                EXPECT_LT(records[i - 1].birth, records[i].birth) << frame;
            for (const ParticleRecord& record : records)
                EXPECT_GT(record.death, context->GetNow());
        }
    }
    EXPECT_TRUE(wrapped);
}

TEST_F(ParticleSystemContextTest, ParkedContextsComeBackIntactAndTheParkPoolStaysPacked)
{
    ParticleSystem system;
    SetParticleProperty(system, "Spawn rate", "20");
    SetParticleProperty(system, "Life time", "100");
    ParticleSystemContext* first = Play(system, ParticleSystemContext::kFlagMayPark);
    ParticleSystemContext* second = Play(system, ParticleSystemContext::kFlagMayPark);
    ParticleSystemContext* third = Play(system, ParticleSystemContext::kFlagMayPark);
    ParticleSystemContext* kept = Play(system, 0);
    Frame(0.5f);
    const std::vector<ParticleRecord> secondRecords = Records(*second);
    const std::vector<ParticleRecord> thirdRecords = Records(*third);
    const uint32_t n = uint32_t(secondRecords.size());
    ASSERT_GT(n, 5u);
    ASSERT_EQ(first->GetCount(), n);
    ASSERT_EQ(thirdRecords.size(), n);
    // Activation counts as a draw in frame 0; frames 1 to 3 are the three undrawn frames allowed.
    for (int i = 0; i < 2; ++i)
        Frame(0.0f);
    EXPECT_TRUE(second->IsInUpdateList());
    Frame(0.0f);
    EXPECT_FALSE(second->IsInUpdateList());
    EXPECT_TRUE(second->IsInParkList());
    EXPECT_EQ(second->GetCount(), 0u);
    EXPECT_EQ(second->GetParkCount(), n);
    EXPECT_EQ(second->GetParkStart(), n);
    EXPECT_EQ(gParticlePools.GetParkCount(), 3 * n);
    EXPECT_TRUE(kept->IsInUpdateList());

    // Dropping the first parked context moves the second's records down.
    first->DestroyOnRenderThread();
    m_contexts.erase(m_contexts.begin());
    EXPECT_EQ(second->GetParkStart(), 0u);
    EXPECT_EQ(third->GetParkStart(), n);
    EXPECT_EQ(gParticlePools.GetParkCount(), 2 * n);
    EXPECT_EQ(std::memcmp(gParticlePools.GetPark(), secondRecords.data(), n * sizeof(ParticleRecord)), 0);

    // The last one comes back from its own place in the park pool.
    third->Draw(Matrix::ONE, Vector(1.0f, 1.0f, 1.0f, 1.0f), 0);
    EXPECT_TRUE(third->IsUnparkPending());
    Frame(0.0f);
    EXPECT_FALSE(third->IsInParkList());
    EXPECT_EQ(gParticlePools.GetParkCount(), n);
    const std::vector<ParticleRecord> back = Records(*third);
    ASSERT_EQ(back.size(), thirdRecords.size());
    EXPECT_EQ(std::memcmp(back.data(), thirdRecords.data(), back.size() * sizeof(ParticleRecord)), 0);
    EXPECT_EQ(gParticlePools.GetRingCount(), kept->GetCount() + third->GetCount());
    gParticlePools.Destroy(); // under playing and parked contexts: they are left unlisted and empty
    EXPECT_FALSE(kept->IsInUpdateList() || kept->GetCount() != 0 || third->IsInUpdateList() ||
                 third->GetCount() != 0 || second->IsInParkList() || second->GetParkCount() != 0);
}

TEST_F(ParticleSystemContextTest, RebasingKeepsLifetimesAndAges)
{
    Init(4096, 4000, false);
    ParticleSystem system;
    SetParticleProperty(system, "Spawn rate", "1");
    SetParticleProperty(system, "Life time", "1000");
    SetParticleProperty(system, "Life time variable", "4");
    SetParticleProperty(system, "Initial velocity var", "0 0 0 0");
    ParticleSystemContext* context = Play(system);
    ParticleSystemContext* const next = Play(system); // its records follow the first's in the ring
    Frame(0.5f);
    const int64_t firstBase = context->GetBaseTime();
    const int64_t rebaseAt = context->GetNextRebaseTime();
    EXPECT_GE(rebaseAt - context->GetEmitterTime(), int64_t(119.0 * os::kCounterFrequency));
    EXPECT_LE(rebaseAt - context->GetEmitterTime(), int64_t(181.0 * os::kCounterFrequency));
    std::vector<ParticleRecord> before;
    float nowBefore = 0.0f, nextAge = 0.0f;
    while (context->GetEmitterTime() + int64_t(10 * os::kCounterFrequency) < rebaseAt)
    {
        Frame(10.0f);
        before = Records(*context);
        nowBefore = context->GetNow();
        nextAge = next->GetNow() - Records(*next)[0].birth;
    }
    Frame(10.0f);
    ASSERT_NE(context->GetBaseTime(), firstBase);
    const std::vector<ParticleRecord> after = Records(*context);
    ASSERT_GE(after.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i)
    {
        EXPECT_NEAR(after[i].death - after[i].birth, before[i].death - before[i].birth, 1e-2f) << i;
        EXPECT_NEAR(context->GetNow() - after[i].birth, nowBefore + 10.0f - before[i].birth, 1e-2f) << i;
    }
    EXPECT_NEAR(next->GetNow() - Records(*next)[0].birth, nextAge + 10.0f, 1e-2f) << "the next system is not shifted";
    // The new base lies one life span plus a second before the emitter time: the longest life, 996 + 8.
    EXPECT_NEAR(context->GetNow(), 1001.0f, 11.0f);
    EXPECT_NEAR(context->GetNow(), 1005.0f, 1e-3f);
}

TEST_F(ParticleSystemContextTest, NodeTimesAtTheEndsGiveNoInfiniteSegments)
{
    struct Case
    {
        const char* t1;
        const char* t2;
        float inverse[4];
    };
    // A segment of no length gets 0; the last entry is always 1.
    const Case cases[] = {{"0", "1", {0.0f, 1.0f, 0.0f, 1.0f}},
                          {"0.5", "0.5", {2.0f, 0.0f, 2.0f, 1.0f}},
                          {"0.1", "0.6", {10.0f, 2.0f, 2.5f, 1.0f}}};
    for (const Case& c : cases)
    {
        ParticleSystem system;
        SetParticleProperty(system, "Node 1 time", c.t1);
        SetParticleProperty(system, "Node 2 time", c.t2);
        ParticleSystemContext context(system, Matrix::ONE, 0);
        for (uint32_t s = 0; s < 4; ++s)
            EXPECT_FLOAT_EQ(context.GetInverseSegmentLength(s), c.inverse[s]) << c.t1 << " " << c.t2 << " " << s;
    }
}

TEST_F(ParticleSystemContextTest, AScaledEmitterScalesGravityAndKeepsUnitAxesForItsDraws)
{
    ParticleSystem system;
    SetParticleProperty(system, "Global gravity", "0 -10 0 0");
    Matrix world;
    world.LoadUniformScale(2.0f);
    ParticleSystemContext context(system, world, 0);
    EXPECT_FLOAT_EQ(context.GetAcceleration().y, -20.0f);
    EXPECT_FLOAT_EQ(context.GetNormalizedMatrix().At(1, 1), 1.0f);
}

TEST_F(ParticleSystemContextTest, BoundsArePublishedOnlyAfterTheLastWereRead)
{
    ParticleSystem system;
    SetParticleProperty(system, "Spawn rate", "50");
    SetParticleProperty(system, "Emitter size", "2 0 0 0");
    SetParticleProperty(system, "Initial velocity", "0 0 0 0");
    SetParticleProperty(system, "Initial velocity var", "0 0 0 0");
    Matrix world = Matrix::ONE;
    world.LoadTranslation(100.0f, 0.0f, 0.0f);
    ParticleSystemContext* context = Play(system, 0, true, world);
    BoundingBox4 box;
    EXPECT_FALSE(context->ReadBounds(box));
    Frame(0.5f);
    Frame(0.1f);
    ASSERT_TRUE(context->ReadBounds(box));
    EXPECT_FALSE(context->ReadBounds(box));
    // Emitter-local: the particles sit within +-2 in x around the emitter, plus the extent 0.05.
    EXPECT_LE(box.max.x, 2.06f);
    EXPECT_GE(box.min.x, -2.06f);
    Frame(0.1f);
    BoundingBox4 next;
    EXPECT_TRUE(context->ReadBounds(next));
}

TEST_F(ParticleSystemContextTest, TheEmitterRunsOnTheClockItsFlagsPickTimesItsSpeed)
{
    struct Case
    {
        uint32_t flags;
        float seconds;
    };
    const Case cases[] = {{0, 0.2f}, {ParticleSystemContext::kFlagEngineClock, 0.1f},
                          {ParticleSystemContext::kFlagThirdClock, 0.4f}};
    ParticleSystem system;
    for (const Case& c : cases)
    {
        ParticleSystemContext* context = Play(system, c.flags);
        context->SetSpeedMultiplier(2.0f);
        const int64_t before = context->GetEmitterTime();
        const float steps[3] = {0.1f, 0.2f, 0.4f};
        gParticlePools.BeginFrame(m_ticks, steps, 3);
        const double ran = double(context->GetEmitterTime() - before) / double(os::kCounterFrequency);
        EXPECT_NEAR(ran, 2.0 * c.seconds, 1e-6) << c.flags;
    }
}

TEST_F(ParticleSystemContextTest, NewParticlesHaveFlownTheirAgeAndBounceOffTheGround)
{
    ParticleSystem system;
    SetParticleProperty(system, "Spawn rate", "10");
    SetParticleProperty(system, "Life time", "100");
    SetParticleProperty(system, "Initial velocity", "0 -1 0 0");
    SetParticleProperty(system, "Initial velocity var", "0.5 0 0 0");
    SetParticleProperty(system, "Fake terrain collision", "1");
    SetParticleProperty(system, "Bounce strength", "0.5");
    ParticleSystemContext* context = Play(system);
    Frame(0.35f);
    // 0.45 s due: four particles 0.1125 s apart, the last one born at the end of the frame.
    const std::vector<ParticleRecord> born = Records(*context);
    ASSERT_EQ(born.size(), 4u);
    uint32_t words = 0;
    for (uint32_t k = 0; k < 4; ++k)
    {
        EXPECT_NEAR(born[k].position[1], -0.1125f * float(3 - k), 1e-4f) << k;
        EXPECT_LE(std::fabs(born[k].velocity[0]), 0.5f) << k;
        words |= born[k].word;
    }
    EXPECT_EQ(words & 0xFF00u, 0u) << "without a random start rotation byte 1 stays 0";
    // Below the ground they bounce: up at half their speed, from just above it.
    Frame(0.1f);
    const std::vector<ParticleRecord> moved = Records(*context);
    ASSERT_GE(moved.size(), 4u);
    for (uint32_t k = 0; k < 4; ++k)
    {
        EXPECT_FLOAT_EQ(moved[k].velocity[1], 0.5f) << k;
        EXPECT_GT(moved[k].position[1], 0.0f) << k;
    }
}
} // namespace
