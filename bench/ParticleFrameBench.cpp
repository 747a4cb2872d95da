// The particle frame on one core: 100,000 live particles in ten systems are moved, killed, spawned
// (ParticlePools::BeginFrame) and expanded into camera-facing quads (ParticleSystemContext::
// FillVertices), beside a plain reference loop over an array of the same records doing the same
// work: the move with gravity and damping, the compaction of the survivors, one new particle per
// dead one, and the four corners with their colour and UV bytes. "x_reference" is reference time /
// our time; "ours_s" is the whole frame (goal: under 3 ms).
#include "PairedRatio.h"

#include "effects/particles/ParticlePools.h"
#include "effects/particles/ParticleRecord.h"
#include "effects/particles/ParticleSystem.h"
#include "effects/particles/ParticleSystemContext.h"
#include "effects/particles/ParticleVertexKernels.h"
#include "platform/os/Clock.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace
{
constexpr int kSystems = 10;
constexpr float kFrame = 1.0f / 60.0f;

void SetText(ParticleSystem& system, const char* name, const char* text)
{
    system.GetClassProperties()->FindProperty(name)->SetFromText(&system, text);
}

// The reference: the same records in one plain array, updated and expanded by straight loops.
struct Reference
{
    std::vector<ParticleRecord> records;
    std::vector<ParticleRecord> next;
    float now = 10.0f;
    uint32_t seed = 1;

    float Random()
    {
        seed = seed * 214013u + 2531011u;
        return float(seed >> 16) / 65536.0f;
    }

    void Frame(std::vector<ParticleVertex>& out)
    {
        now += kFrame;
        const float damping = std::pow(0.9f, kFrame);
        next.clear();
        for (const ParticleRecord& p : records)
        {
            if (p.death <= now)
                continue;
            ParticleRecord q = p;
            q.velocity[1] = (q.velocity[1] - 9.8f * kFrame) * damping;
            q.velocity[0] *= damping;
            q.velocity[2] *= damping;
            for (int a = 0; a < 3; ++a)
                q.position[a] += q.velocity[a] * kFrame;
            next.push_back(q);
        }
        while (next.size() < records.size())
        {
            ParticleRecord q = {};
            q.birth = now;
            q.death = now + 10.0f;
            q.inverseLife = 0.1f;
            q.word = seed;
            for (int a = 0; a < 3; ++a)
            {
                q.position[a] = Random() * 2.0f - 1.0f;
                q.velocity[a] = Random() * 0.2f - 0.1f;
            }
            next.push_back(q);
        }
        records.swap(next);
        const float sizes[4] = {0.0f, 0.1f, 0.1f, 0.1f};
        ParticleVertex* v = out.data();
        for (const ParticleRecord& p : records)
        {
            const float f = (now - p.birth) * p.inverseLife;
            const int i = (f > 0.1f) + (f > 0.9f);
            const float starts[3] = {0.0f, 0.1f, 0.9f};
            const float scales[3] = {10.0f, 1.25f, 10.0f};
            const float t = std::clamp((f - starts[i]) * scales[i], 0.0f, 1.0f);
            const float size = sizes[i] + (sizes[i + 1] - sizes[i]) * t;
            const float half = 0.5f * size;
            const uint32_t blend = uint32_t(t * 255.0f);
            const uint32_t color = uint32_t(i) | blend << 8 | (255 - blend) << 24;
            const float dx[4] = {-half, half, half, -half};
            const float dy[4] = {-half, -half, half, half};
            const uint32_t uv[4] = {0x00000000u, 0x00FF00FFu, 0xFFFFFFFFu, 0xFF00FF00u};
            for (int k = 0; k < 4; ++k, ++v)
            {
                v->position[0] = p.position[0] + dx[k];
                v->position[1] = p.position[1] - dy[k];
                v->position[2] = p.position[2];
                v->color = color;
                v->uv = uv[k];
            }
        }
        benchmark::DoNotOptimize(out.data());
    }
};

void ParticleFrame(benchmark::State& state)
{
    ParticlePoolSettings settings;
    settings.maxParticles = 262144;
    settings.particlesPerSystem = 10922;
    settings.pausing = true;
    gParticlePools.Init(settings);
    gParticleRandom.Seed(7);

    ParticleSystem system;
    SetText(system, "Spawn rate", "1000");
    SetText(system, "Life time", "10");
    SetText(system, "Emitter size", "1 1 1 0");
    SetText(system, "Global gravity", "0 -9.8 0 0");
    SetText(system, "Velocity damping", "0.9");
    std::vector<ParticleSystemContext*> contexts;
    for (int i = 0; i < kSystems; ++i)
    {
        auto* context = new ParticleSystemContext(system, Matrix::ONE, 0);
        context->Activate(nullptr);
        context->Restart();
        contexts.push_back(context);
    }
    uint64_t ticks[3] = {};
    auto advance = [&](float seconds) {
        for (uint64_t& t : ticks)
            t += uint64_t(double(seconds) * double(os::kCounterFrequency));
        const float steps[3] = {seconds, seconds, seconds};
        gParticlePools.BeginFrame(ticks, steps, 3);
        for (ParticleSystemContext* context : contexts)
            context->Draw(Matrix::ONE, Vector(1.0f, 1.0f, 1.0f, 1.0f), 0);
    };
    // Ten seconds fill every system to its cap of 10,000.
    advance(10.0f);
    const ParticleKernelAxes axes = {Vector(1.0f, 0.0f, 0.0f, 0.0f), Vector(0.0f, -1.0f, 0.0f, 0.0f),
                                     Vector(0.0f, 0.0f, -10.0f, 1.0f)};
    std::vector<ParticleVertex> ours(size_t(settings.particlesPerSystem) * kSystems * 4);
    Reference reference;
    reference.records.resize(gParticlePools.GetRingCount());
    for (size_t i = 0; i < reference.records.size(); ++i)
        reference.records[i] = gParticlePools.GetRing()[(gParticlePools.GetRingStart() + i) % settings.maxParticles];
    std::vector<ParticleVertex> theirs(reference.records.size() * 4);

    PairedRatio ratio;
    uint32_t live = 0;
    for (auto _ : state)
    {
        ratio.Measure(
            [&] {
                advance(kFrame);
                ParticleVertex* out = ours.data();
                for (ParticleSystemContext* context : contexts)
                    out += 4 * context->FillVertices(out, axes);
                live = gParticlePools.GetRingCount();
                benchmark::DoNotOptimize(ours.data());
            },
            [&] { reference.Frame(theirs); });
    }
    ratio.Report(state, "x_reference");
    state.counters["live"] = double(live);
    for (ParticleSystemContext* context : contexts)
        context->DestroyOnRenderThread();
    gParticlePools.Destroy();
}
BENCHMARK(ParticleFrame)->Unit(benchmark::kMillisecond);
} // namespace
