// The scene model's hot paths over a full scene of 32,768 entities: creating and destroying them,
// moving every entity one step (world matrix, world box, grid cells) and gathering the visible
// entities of a frustum. Each is paired with a reference doing the same job over plain arrays, the
// two sides in turn in each iteration: the move beside a plain loop doing the same matrix products
// and box transforms ("time_ratio", our time over the loop's: the goal is at most 2), the gather
// beside a brute-force frustum test of every world box in a flat array ("speed_ratio", the
// reference's time over ours: the goal is at least 2). Both pairs are timed in the processor time of
// the benchmark's thread, so that a busy machine's preemptions fall on neither side.
#include "PairedRatio.h"

#include "core/math/BoundingBox4.h"
#include "core/math/Matrix.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityManager.h"
#include "scene/entities/SceneEntity.h"
#include "scene/templates/EntityTemplate.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace
{
constexpr float kSceneSize = 2000.0f;
constexpr float kCellSize = 20.0f;
// The root counts as one of the live entities.
constexpr uint32_t kEntities = kMaxEntities - 1;

struct Scene
{
    Scene()
    {
        RegisterSceneClasses();
        gEntityManager.Init(BoundingBox4(Vector(0, -100, 0, 1), Vector(kSceneSize, 200, kSceneSize, 1)), kCellSize);
        entityTemplate.SetStaticBoundingBox(BoundingBox4(Vector(-1, 0, -1, 1), Vector(1, 2, 1, 1)));
    }
    ~Scene() { gEntityManager.DestroyScene(); }

    void Populate()
    {
        std::mt19937 random(7);
        std::uniform_real_distribution<float> place(0.0f, kSceneSize);
        entities.clear();
        for (uint32_t i = 0; i < kEntities; ++i)
        {
            Matrix local = Matrix::ONE;
            local.rows[3].Set(place(random), 0.0f, place(random), 1.0f);
            entities.push_back(gEntityManager.CreateEntity(&entityTemplate, nullptr, local,
                                                           ENTITYCREATION_NOGUIDGENERATION, nullptr));
        }
    }

    EntityTemplate entityTemplate;
    std::vector<Entity*> entities;
};

// Six inward planes (a, b, c, d) of a view-projection matrix, rows as vectors.
void FrustumPlanes(const Matrix& m, Vector* planes)
{
    auto column = [&m](int c) { return Vector(m.At(0, c), m.At(1, c), m.At(2, c), m.At(3, c)); };
    const Vector c0 = column(0), c1 = column(1), c2 = column(2), c3 = column(3);
    planes[0].Add(c3, c0);
    planes[1].Sub(c3, c0);
    planes[2].Add(c3, c1);
    planes[3].Sub(c3, c1);
    planes[4] = c2;
    planes[5].Sub(c3, c2);
}

void BM_CreateAndDestroy32768(benchmark::State& state)
{
    Scene scene;
    for (auto _ : state)
    {
        scene.Populate();
        // Newest first, as scene teardown and script clean-ups mostly go.
        for (auto entity = scene.entities.rbegin(); entity != scene.entities.rend(); ++entity)
            (*entity)->DeleteMe();
    }
    state.counters["per_entity_ns"] =
        benchmark::Counter(double(kEntities) * double(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CreateAndDestroy32768)->Unit(benchmark::kMillisecond);

// The plain-array side of the move: the same matrix products and box transforms.
struct PlainScene
{
    PlainScene()
    {
        std::mt19937 random(7);
        std::uniform_real_distribution<float> place(0.0f, kSceneSize);
        locals.assign(kEntities, Matrix::ONE);
        worlds.resize(kEntities);
        boxes.resize(kEntities);
        for (Matrix& local : locals)
            local.rows[3].Set(place(random), 0.0f, place(random), 1.0f);
    }
    void Move(float step)
    {
        const BoundingBox4 box(Vector(-1, 0, -1, 1), Vector(1, 2, 1, 1));
        const Matrix parent = Matrix::ONE;
        for (uint32_t i = 0; i < kEntities; ++i)
        {
            locals[i].rows[3].x += step;
            worlds[i].Mul(parent, locals[i]);
            boxes[i].Transform3D(box, worlds[i]);
        }
        benchmark::DoNotOptimize(boxes.data());
    }
    std::vector<Matrix> locals, worlds;
    std::vector<BoundingBox4> boxes;
};

void MoveScene(Scene& scene, float step)
{
    for (Entity* entity : scene.entities)
    {
        Vector position = entity->GetLocalPosition();
        position.x += step;
        entity->SetLocalPosition(position);
    }
}

void BM_MoveAllVersusPlainLoop(benchmark::State& state)
{
    Scene scene;
    scene.Populate();
    PlainScene plain;
    PairedRatio ratio(PairedRatio::Timing::ThreadCpu);
    float step = 0.25f;
    for (auto _ : state)
    {
        ratio.Measure([&] { MoveScene(scene, step); }, [&] { plain.Move(step); });
        step = -step;
    }
    ratio.Report(state, "speed_ratio");
    state.counters["time_ratio"] = ratio.TimeRatio();
    state.counters["per_entity_ns"] = ratio.MedianOurs() * 1e9 / kEntities;
}
BENCHMARK(BM_MoveAllVersusPlainLoop)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GatherVersusBruteForce(benchmark::State& state)
{
    Scene scene;
    scene.Populate();
    Matrix view, projection, viewProjection;
    view.LoadLookAtLH(Vector(1000, 120, 700, 1), Vector(1000, 0, 1000, 1), Vector(0, 1, 0, 0));
    projection.LoadPerspectiveFovLH(60.0f, 16.0f / 9.0f, 1.0f, 600.0f);
    viewProjection.Mul(projection, view);
    Vector planes[6];
    FrustumPlanes(viewProjection, planes);
    VisibleEntityGatherOptions options;
    options.frustumPlanes = planes;
    options.frustumBox = BoundingBox4(Vector(400, -100, 600, 1), Vector(1600, 200, 1400, 1));
    // The reference: every world box in one flat array, each tested against the frustum.
    std::vector<BoundingBox4> boxes;
    std::vector<Entity*> owners;
    for (Entity* entity : scene.entities)
    {
        boxes.push_back(entity->GetWorldBoundingBox());
        owners.push_back(entity);
    }
    std::vector<Entity*> bruteForce;
    bruteForce.reserve(owners.size());
    PairedRatio ratio(PairedRatio::Timing::ThreadCpu);
    for (auto _ : state)
        ratio.Measure(
            [&] {
                gEntityManager.ClearVisibleLists();
                gEntityManager.GatherVisibleEntities(options);
            },
            [&] {
                bruteForce.clear();
                for (size_t i = 0; i < boxes.size(); ++i)
                    if (boxes[i].IntersectsFrustum(planes))
                        bruteForce.push_back(owners[i]);
                benchmark::DoNotOptimize(bruteForce.data());
            });
    state.counters["visible"] = double(gEntityManager.GetVisibleList().Count());
    state.counters["brute_force_visible"] = double(bruteForce.size());
    gEntityManager.ClearVisibleLists();
    ratio.Report(state, "speed_ratio");
}
BENCHMARK(BM_GatherVersusBruteForce)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace
