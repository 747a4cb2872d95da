// The scene model's hot paths over a full scene of 32,768 entities: creating and destroying them,
// moving every entity one step (world matrix, world box, grid cells) and gathering the visible
// entities of a frustum. The move is measured beside a plain loop doing the same matrix products
// and box transforms with nothing else ("reference"); the counter "per_entity_ns" gives the cost
// of one entity. The goal: one move of the whole scene plus one gather under 4 ms on one core.
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

void BM_MoveAllOneStep(benchmark::State& state)
{
    Scene scene;
    scene.Populate();
    float step = 0.25f;
    for (auto _ : state)
    {
        for (Entity* entity : scene.entities)
        {
            Vector position = entity->GetLocalPosition();
            position.x += step;
            entity->SetLocalPosition(position);
        }
        step = -step;
    }
    state.counters["per_entity_ns"] =
        benchmark::Counter(double(kEntities) * double(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MoveAllOneStep)->Unit(benchmark::kMillisecond);

// The same matrix products and box transforms in a plain loop over plain arrays.
void BM_MoveAllReference(benchmark::State& state)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> place(0.0f, kSceneSize);
    std::vector<Matrix> locals(kEntities, Matrix::ONE), worlds(kEntities);
    std::vector<BoundingBox4> boxes(kEntities);
    for (Matrix& local : locals)
        local.rows[3].Set(place(random), 0.0f, place(random), 1.0f);
    const BoundingBox4 box(Vector(-1, 0, -1, 1), Vector(1, 2, 1, 1));
    const Matrix parent = Matrix::ONE;
    float step = 0.25f;
    for (auto _ : state)
    {
        for (uint32_t i = 0; i < kEntities; ++i)
        {
            locals[i].rows[3].x += step;
            worlds[i].Mul(parent, locals[i]);
            boxes[i].Transform3D(box, worlds[i]);
        }
        step = -step;
        benchmark::DoNotOptimize(boxes.data());
    }
    state.counters["per_entity_ns"] =
        benchmark::Counter(double(kEntities) * double(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MoveAllReference)->Unit(benchmark::kMillisecond);

void BM_GatherVisible(benchmark::State& state)
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
    size_t gathered = 0;
    for (auto _ : state)
    {
        gEntityManager.ClearVisibleLists();
        gEntityManager.GatherVisibleEntities(options);
        gathered = size_t(gEntityManager.GetVisibleList().Count());
    }
    gEntityManager.ClearVisibleLists();
    state.counters["visible"] = double(gathered);
}
BENCHMARK(BM_GatherVisible)->Unit(benchmark::kMillisecond);
} // namespace
