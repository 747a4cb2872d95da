// Line of sight over a full scene of 32,768 entities: mesh entities with box collision, queried
// with random sight lines of up to 300 units at unit height. Measured beside a plain pass that
// tests every entity's world box against the segment and keeps the nearest ("reference"); the
// counter "queries_per_s" gives our query rate.
#include "PairedRatio.h"

#include "core/math/BoundingBox4.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityManager.h"
#include "scene/kinds/MeshEntity.h"
#include "scene/kinds/MeshTemplate.h"
#include "tools/datakit/MeshTemplateWriter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace
{
constexpr float kSceneSize = 2000.0f;
constexpr float kCellSize = 20.0f;
// The root counts as one of the live entities.
constexpr uint32_t kEntities = kMaxEntities - 1;
constexpr int kQueriesPerBatch = 64;

struct Segment
{
    Vector start;
    Vector end;
};

struct Scene
{
    Scene()
    {
        RegisterSceneClasses();
        gEntityManager.Init(BoundingBox4(Vector(0, -100, 0, 1), Vector(kSceneSize, 200, kSceneSize, 1)), kCellSize);
        meshTemplate = MeshTemplateWriter::MakeTemplate(MeshTemplateSpec());
        const RTTIProperty* rough = meshTemplate->GetClassProperties()->FindPropertyInClassChain("Rough LOS collision type");
        rough->SetFromText(meshTemplate.get(), "1");
        meshTemplate->SetStaticBoundingBox(BoundingBox4(Vector(-1, -1, -1, 1), Vector(1, 1, 1, 1)));
        std::mt19937 random(7);
        std::uniform_real_distribution<float> place(0.0f, kSceneSize);
        for (uint32_t i = 0; i < kEntities; ++i)
        {
            Matrix local = Matrix::ONE;
            local.rows[3].Set(place(random), 0.0f, place(random), 1.0f);
            entities.push_back(gEntityManager.CreateEntity(meshTemplate.get(), nullptr, local,
                                                           ENTITYCREATION_NOGUIDGENERATION, nullptr));
        }
        std::uniform_real_distribution<float> angle(0.0f, 6.2831853f), reach(20.0f, 300.0f);
        for (int i = 0; i < 4096; ++i)
        {
            Segment segment;
            segment.start.Set(place(random), 1.0f, place(random), 1.0f);
            const float a = angle(random), r = reach(random);
            segment.end.Set(std::fmin(std::fmax(segment.start.x + r * std::cos(a), 1.0f), kSceneSize - 1.0f), 1.0f,
                            std::fmin(std::fmax(segment.start.z + r * std::sin(a), 1.0f), kSceneSize - 1.0f), 1.0f);
            segments.push_back(segment);
        }
    }
    ~Scene() { gEntityManager.DestroyScene(); }

    // The nearest entity whose world box the segment enters, by testing them all.
    Entity* BruteForce(const Segment& segment) const
    {
        Vector d;
        d.Sub(segment.end, segment.start);
        float nearest = 2.0f;
        Entity* best = nullptr;
        for (Entity* entity : entities)
        {
            Vector hit;
            if (!entity->GetWorldBoundingBox().CollidesWithSegment3D(segment.start, segment.end, hit))
                continue;
            hit.Sub(segment.start);
            const float fraction = hit.Dot3(d);
            if (fraction < nearest * d.Dot3(d))
            {
                nearest = fraction / d.Dot3(d);
                best = entity;
            }
        }
        return best;
    }

    std::unique_ptr<MeshTemplate> meshTemplate;
    std::vector<Entity*> entities;
    std::vector<Segment> segments;
};

void BM_LineOfSight(benchmark::State& state)
{
    Scene scene;
    PairedRatio ratio;
    size_t next = 0;
    int64_t queries = 0;
    uint32_t blocked = 0;
    for (auto _ : state)
    {
        const size_t first = next;
        next = (next + kQueriesPerBatch) % scene.segments.size();
        ratio.Measure(
            [&] {
                for (int i = 0; i < kQueriesPerBatch; ++i)
                {
                    const Segment& segment = scene.segments[first + size_t(i)];
                    LOSResult result;
                    blocked += gEntityManager.LOS(segment.start, segment.end, 0, result, 0, nullptr, nullptr) ? 0 : 1;
                }
            },
            [&] {
                for (int i = 0; i < kQueriesPerBatch; ++i)
                    benchmark::DoNotOptimize(scene.BruteForce(scene.segments[first + size_t(i)]));
            });
        queries += kQueriesPerBatch;
    }
    ratio.Report(state, "ratio");
    state.counters["queries_per_s"] = ratio.MedianOurs() > 0.0 ? kQueriesPerBatch / ratio.MedianOurs() : 0.0;
    state.counters["blocked_share"] = queries != 0 ? double(blocked) / double(queries) : 0.0;
}
BENCHMARK(BM_LineOfSight)->Unit(benchmark::kMillisecond)->Iterations(64);
} // namespace
