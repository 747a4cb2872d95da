// The line-of-sight segment walk: 256 random segments of up to 200 units across a 2,000 x 2,000
// scene of 20-unit cells holding 8,192 small rotated entities (PathGrid::CheckLineOfSight). Beside
// it, the reference: testing the segment against every entity's box in the entity's space (what the
// walk spares). Counters: "ratio" (the reference's time over ours: above 1 means ours is faster),
// the median times of both sides in seconds, and "queries_per_s" for ours.
#include "PairedRatio.h"

#include "core/math/BoundingBox4.h"
#include "core/math/Matrix.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityManager.h"
#include "scene/templates/EntityTemplate.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

namespace
{
constexpr float kSightSceneSize = 2000.0f;
constexpr uint32_t kSightEntities = 8192;
constexpr int kSegments = 256;

void BM_LineOfSightWalk(benchmark::State& state)
{
    RegisterSceneClasses();
    gEntityManager.Init(BoundingBox4(Vector(0, -100, 0, 1), Vector(kSightSceneSize, 200, kSightSceneSize, 1)), 20.0f);
    EntityTemplate shape;
    shape.SetStaticBoundingBox(BoundingBox4(Vector(-2, 0, -1, 1), Vector(2, 3, 1, 1)));
    std::mt19937 random(8);
    std::uniform_real_distribution<float> place(1.0f, kSightSceneSize - 1.0f);
    std::uniform_real_distribution<float> turn(0.0f, 360.0f);
    std::vector<Entity*> entities;
    for (uint32_t i = 0; i < kSightEntities; ++i)
    {
        Matrix local;
        local.LoadComplexTransformation(Vector(place(random), 0, place(random), 1), Vector(0, turn(random), 0, 0),
                                        Vector(1, 1, 1, 1));
        entities.push_back(gEntityManager.CreateEntity(&shape, nullptr, local, ENTITYCREATION_NOGUIDGENERATION, nullptr));
    }
    std::uniform_real_distribution<float> reach(-100.0f, 100.0f);
    std::vector<std::pair<Vector, Vector>> segments;
    while (segments.size() < kSegments)
    {
        const Vector start(place(random), 1.0f, place(random), 1.0f);
        const Vector end(std::clamp(start.x + reach(random), 1.0f, kSightSceneSize - 1.0f), 1.5f,
                         std::clamp(start.z + reach(random), 1.0f, kSightSceneSize - 1.0f), 1.0f);
        segments.push_back({start, end});
    }
    std::vector<PathGridSegmentHit> hits(32768);
    PathGrid& grid = gEntityManager.GetPathGrid();
    PairedRatio ratio;
    int32_t found = 0;
    for (auto _ : state)
    {
        ratio.Measure(
            [&] {
                for (const auto& [start, end] : segments)
                    found += grid.CheckLineOfSight(start, end, hits.data(), int32_t(hits.size()));
                benchmark::DoNotOptimize(found);
            },
            [&] {
                for (const auto& [start, end] : segments)
                    for (Entity* e : entities)
                    {
                        Vector p0 = start;
                        p0.Transform3D(e->GetInversedGlobalLocationMatrix());
                        Vector p1 = end;
                        p1.Transform3D(e->GetInversedGlobalLocationMatrix());
                        Vector hit;
                        found += e->GetLocalBoundingBox().CollidesWithSegment3D(p0, p1, hit) ? 1 : 0;
                    }
                benchmark::DoNotOptimize(found);
            });
    }
    ratio.Report(state, "ratio");
    state.counters["queries_per_s"] = ratio.MedianOurs() > 0.0 ? kSegments / ratio.MedianOurs() : 0.0;
    gEntityManager.DestroyScene();
}
BENCHMARK(BM_LineOfSightWalk)->Unit(benchmark::kMillisecond)->Iterations(30);
} // namespace
