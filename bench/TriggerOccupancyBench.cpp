// Trigger occupancy per frame: 1,000 entities that activate triggers walk about a scene with 100
// box triggers, and the occupancy update (TriggerOccupancy::ProcessPendingEntities) recomputes the
// triggers of every moved entity, with their enters and exits. Beside it, the reference: a plain
// loop testing every entity's position against every trigger's box in the trigger's space (what the
// grid spares). Only the updates are timed, not the moves that queue them. Counters: "ratio" (the
// reference's time over ours: above 1 means ours is faster), the median times of both sides in
// seconds and the enters per frame. The goal: under 1 ms per frame on one core.
#include "PairedRatio.h"

#include "core/math/BoundingBox4.h"
#include "core/math/Matrix.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityGameplayDelegate.h"
#include "scene/entities/EntityManager.h"
#include "scene/kinds/TriggerEntity.h"
#include "scene/kinds/TriggerOccupancy.h"
#include "scene/kinds/TriggerTemplate.h"
#include "scene/templates/EntityTemplate.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace
{
constexpr float kTriggerSceneSize = 1000.0f;
constexpr float kTriggerCellSize = 20.0f;
constexpr uint32_t kUnits = 1000;
constexpr uint32_t kTriggers = 100;
constexpr float kTriggerHalfSize = 15.0f;

class CountingDelegate : public EntityGameplayDelegate
{
public:
    void OnTriggerEnter(Entity*, Entity*) override { ++enters; }
    uint32_t enters = 0;
};

struct TriggerScene
{
    TriggerScene()
    {
        RegisterSceneClasses();
        gEntityManager.Init(BoundingBox4(Vector(0, -100, 0, 1), Vector(kTriggerSceneSize, 200, kTriggerSceneSize, 1)), kTriggerCellSize);
        unitTemplate.SetStaticBoundingBox(BoundingBox4(Vector(-0.5f, 0, -0.5f, 1), Vector(0.5f, 2, 0.5f, 1)));
        unitTemplate.GetClassProperties()->FindPropertyInClassChain("Activates triggers")->SetFromText(&unitTemplate, "1");
        triggerTemplate.SetTypeId(ENTITY_TRIGGER);
        triggerTemplate.SetStaticBoundingBox(BoundingBox4(Vector(-kTriggerHalfSize, -5, -kTriggerHalfSize, 1),
                                                          Vector(kTriggerHalfSize, 5, kTriggerHalfSize, 1)));
        std::mt19937 random(11);
        std::uniform_real_distribution<float> place(50.0f, kTriggerSceneSize - 50.0f);
        std::uniform_real_distribution<float> turn(0.0f, 90.0f);
        for (uint32_t i = 0; i < kTriggers; ++i)
        {
            Matrix local;
            local.LoadComplexTransformation(Vector(place(random), 0, place(random), 1), Vector(0, turn(random), 0, 0),
                                            Vector(1, 1, 1, 1));
            auto* trigger = static_cast<TriggerEntity*>(
                gEntityManager.CreateEntity(&triggerTemplate, nullptr, local, ENTITYCREATION_NOGUIDGENERATION, nullptr));
            trigger->SetGameplayDelegate(&delegate, false);
            triggers.push_back(trigger);
        }
        for (uint32_t i = 0; i < kUnits; ++i)
        {
            Matrix local = Matrix::ONE;
            local.rows[3].Set(place(random), 0.0f, place(random), 1.0f);
            Entity* unit =
                gEntityManager.CreateEntity(&unitTemplate, nullptr, local, ENTITYCREATION_NOGUIDGENERATION, nullptr);
            unit->PostCreateInit();
            units.push_back(unit);
        }
        TriggerOccupancy::ProcessPendingEntities();
    }
    ~TriggerScene()
    {
        TriggerOccupancy::ClearPendingEntities();
        gEntityManager.DestroyScene();
    }

    // Every unit takes one step of a random walk (kept inside the scene).
    void MoveAll()
    {
        std::uniform_real_distribution<float> step(-1.5f, 1.5f);
        for (Entity* unit : units)
        {
            Vector position = unit->GetLocalPosition();
            position.x = std::clamp(position.x + step(random), 1.0f, kTriggerSceneSize - 1.0f);
            position.z = std::clamp(position.z + step(random), 1.0f, kTriggerSceneSize - 1.0f);
            unit->SetLocalPosition(position);
        }
    }

    EntityTemplate unitTemplate;
    TriggerTemplate triggerTemplate;
    CountingDelegate delegate;
    std::vector<TriggerEntity*> triggers;
    std::vector<Entity*> units;
    std::mt19937 random{5};
};

void BM_TriggerOccupancyPerFrame(benchmark::State& state)
{
    TriggerScene scene;
    // The reference's data: each trigger's inverse matrix and box, each unit's position.
    std::vector<Matrix> inverses;
    for (TriggerEntity* trigger : scene.triggers)
        inverses.push_back(trigger->GetInversedGlobalLocationMatrix());
    const BoundingBox4 box = scene.triggerTemplate.GetStaticBoundingBox();
    std::vector<Vector> positions(kUnits);
    PairedRatio ratio;
    uint32_t frames = 0;
    for (auto _ : state)
    {
        scene.MoveAll();
        for (uint32_t i = 0; i < kUnits; ++i)
            positions[i] = scene.units[i]->GetGlobalPosition();
        uint32_t insideCount = 0;
        ratio.Measure([] { TriggerOccupancy::ProcessPendingEntities(); },
                      [&] {
                          for (const Vector& position : positions)
                              for (const Matrix& inverse : inverses)
                              {
                                  Vector local = position;
                                  local.Transform3D(inverse);
                                  insideCount += box.Inside3D(local) ? 1u : 0u;
                              }
                          benchmark::DoNotOptimize(insideCount);
                      });
        ++frames;
    }
    ratio.Report(state, "ratio");
    state.counters["enters_per_frame"] = frames != 0 ? double(scene.delegate.enters) / frames : 0.0;
}
BENCHMARK(BM_TriggerOccupancyPerFrame)->Unit(benchmark::kMillisecond)->Iterations(500);
} // namespace
