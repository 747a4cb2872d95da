// Characters per frame: 1,000 controllers on a 256 x 256 navigation grid with 10 % of its tiles
// blocked at random, in a scene with 400 box meshes. Half follow paths (each search gets its
// per-frame budget of 2,048 steps; an idle one is sent to a new random target), half are pushed
// by a velocity and collide and slide. One iteration is one frame of all 1,000; the goal is under
// 4 ms on one core. No library does this job, so there is no reference side; "searching" counts
// the controllers whose search spanned the frame.
#include "engine/Game.h"
#include "gameplay/navigation/VerySimpleCharacterController.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/EntityManager.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/templates/EntityTemplate.h"
#include "tools/datakit/MeshTemplateWriter.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace
{
constexpr uint32_t kSide = 256;
constexpr int kCharacters = 1000;
constexpr int kBlocks = 400;
constexpr float kControllerFrame = 1.0f / 60.0f;

struct World
{
    std::vector<std::unique_ptr<MeshTemplate>> meshes;
    EntityTemplate body;
    std::vector<std::unique_ptr<VerySimpleCharacterController>> characters;
    std::mt19937 random{7};

    Vector RandomPassablePoint(const NavigationGrid& grid)
    {
        std::uniform_int_distribution<uint32_t> tile(0, kSide - 1);
        for (;;)
        {
            const uint32_t x = tile(random), y = tile(random);
            if (grid.IsPassable(int32_t(x), int32_t(y)))
                return grid.TileToWorld(x, y);
        }
    }

    void Build()
    {
        RegisterSceneClasses();
        gEntityManager.Init(BoundingBox4(Vector(0, -50, 0, 1), Vector(float(kSide), 50, float(kSide), 1)), 8.0f);
        std::vector<uint8_t> block = {0x9C, 0x0F, 0x34, 0xD8, 1, 0, 0, 0};
        auto u32 = [&block](uint32_t v) {
            for (int i = 0; i < 4; ++i)
                block.push_back(uint8_t(v >> (8 * i)));
        };
        auto f32 = [&u32](float f) {
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            u32(bits);
        };
        u32(kSide);
        u32(kSide);
        f32(0.5f), f32(0.0f), f32(0.5f), f32(1.0f), f32(1.0f);
        std::bernoulli_distribution blocked(0.1);
        for (uint32_t i = 0; i < kSide * kSide; ++i)
            block.push_back(blocked(random) ? 3 : 1);
        auto* grid = new NavigationGrid;
        grid->Load(block.data(), block.size(), true);
        gEntityManager.SetNavigationGrid(grid);

        std::uniform_real_distribution<float> place(4.0f, float(kSide) - 4.0f);
        for (int i = 0; i < kBlocks; ++i)
        {
            meshes.push_back(MeshTemplateWriter::MakeTemplate(MeshTemplateSpec{}));
            MeshTemplate& meshTemplate = *meshes.back();
            const RTTIProperty* type = meshTemplate.GetClassProperties()->FindPropertyInClassChain("Player collision type");
            type->SetFromText(&meshTemplate, "1");
            meshTemplate.RecomputeCollisionBox();
            meshTemplate.SetStaticBoundingBox(BoundingBox4(Vector(-1, -1, -1, 1), Vector(1, 1, 1, 1)));
            Matrix at = Matrix::ONE;
            at.rows[3].Set(place(random), 0.0f, place(random), 1.0f);
            gEntityManager.CreateEntity(&meshTemplate, nullptr, at, 0, nullptr);
        }
        body.SetStaticBoundingBox(BoundingBox4(Vector(-0.4f, 0, -0.4f, 1), Vector(0.4f, 0.8f, 0.4f, 1)));
        for (int i = 0; i < kCharacters; ++i)
        {
            Matrix at = Matrix::ONE;
            at.rows[3] = RandomPassablePoint(*grid);
            Entity* entity = gEntityManager.CreateEntity(&body, nullptr, at, 0, nullptr);
            characters.push_back(std::make_unique<VerySimpleCharacterController>(entity, 0.4f));
            VerySimpleCharacterController& c = *characters.back();
            c.InitPathfinder();
            c.SetPathMovementVelocity(4.0f);
        }
    }

    void Frame(int& searching)
    {
        gGame.GetSmoothGameTimer().Tick(kControllerFrame);
        gGame.GetSmoothGameplayTimer().Tick(kControllerFrame);
        const NavigationGrid& grid = *gEntityManager.GetNavigationGrid();
        std::uniform_real_distribution<float> turn(-1.0f, 1.0f);
        searching = 0;
        for (int i = 0; i < kCharacters; ++i)
        {
            VerySimpleCharacterController& c = *characters[size_t(i)];
            if (i % 2 == 0)
            {
                if (c.IsIdle())
                    c.MoveToPoint(RandomPassablePoint(grid), 400.0f);
                c.Tick();
                searching += c.GetPathState() == VerySimpleCharacterController::PATH_SEARCHING ? 1 : 0;
            }
            else
                c.Move(Vector(3.0f * turn(random), 0.0f, 3.0f * turn(random), 0.0f));
        }
    }
};

void BM_CharactersPerFrame(benchmark::State& state)
{
    World world;
    world.Build();
    int searching = 0;
    for (int warm = 0; warm < 30; ++warm)
        world.Frame(searching);
    int totalSearching = 0;
    for (auto _ : state)
    {
        world.Frame(searching);
        totalSearching += searching;
    }
    state.counters["searching"] = benchmark::Counter(double(totalSearching), benchmark::Counter::kAvgIterations);
    world.characters.clear();
    gEntityManager.DestroyScene();
    gEntityManager.SetNavigationGrid(nullptr);
}
BENCHMARK(BM_CharactersPerFrame)->Unit(benchmark::kMillisecond);
} // namespace
