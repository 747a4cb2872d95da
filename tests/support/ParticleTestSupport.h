// Particle pools of a chosen size with a seeded generator and a manual frame clock, driven on the
// test's own thread as the render thread would, without a renderer.
#pragma once

#include "effects/particles/ParticlePools.h"
#include "effects/particles/ParticleSystem.h"
#include "effects/particles/ParticleSystemContext.h"
#include "platform/os/Clock.h"

#include <gtest/gtest.h>

#include <vector>

class ParticlePoolsFixture : public ::testing::Test
{
protected:
    void SetUp() override { Init(256, 1000, true); }
    void TearDown() override
    {
        for (ParticleSystemContext* context : m_contexts)
            context->DestroyOnRenderThread();
        m_contexts.clear();
        gParticlePools.Destroy();
    }

    void Init(uint32_t max, uint32_t perSystem, bool pausing)
    {
        ParticlePoolSettings settings;
        settings.maxParticles = max;
        settings.particlesPerSystem = perSystem;
        settings.pausing = pausing;
        ASSERT_TRUE(gParticlePools.Init(settings));
        gParticleRandom.Seed(12345);
    }

    // An activated, restarted context (flags as given) that the fixture destroys.
    ParticleSystemContext* Play(const ParticleSystem& system, uint32_t flags = 0, bool restart = true,
                                const Matrix& world = Matrix::ONE)
    {
        auto* context = new ParticleSystemContext(system, world, flags);
        context->Activate(nullptr);
        if (restart)
            context->Restart();
        m_contexts.push_back(context);
        return context;
    }

    // One frame of `seconds` on all three clocks.
    void Frame(float seconds, uint32_t quality = 3)
    {
        const int64_t step = int64_t(double(seconds) * double(os::kCounterFrequency));
        for (uint64_t& ticks : m_ticks)
            ticks += uint64_t(step);
        const float steps[3] = {seconds, seconds, seconds};
        gParticlePools.BeginFrame(m_ticks, steps, quality);
    }

    // Records of a context in ring order.
    static std::vector<ParticleRecord> Records(const ParticleSystemContext& context)
    {
        std::vector<ParticleRecord> out;
        for (uint32_t i = 0; i < context.GetCount(); ++i)
            out.push_back(gParticlePools.GetRing()[(context.GetRingStart() + i) % gParticlePools.GetMaxParticles()]);
        return out;
    }

    uint64_t m_ticks[3] = {1000000000, 1000000000, 1000000000};
    std::vector<ParticleSystemContext*> m_contexts;
};

// Sets a property of the definition from its text form.
inline void SetParticleProperty(ParticleSystem& system, const char* name, const char* text)
{
    const RTTIProperty* property = system.GetClassProperties()->FindProperty(name);
    ASSERT_NE(property, nullptr) << name;
    ASSERT_TRUE(property->SetFromText(&system, text)) << name << " = " << text;
}
