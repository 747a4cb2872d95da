// Building and tearing down scenes as they grow.
//
// "SceneLoadVersusCode": loading a binary scene of 10,000 entities from a container data root
// (read, parse, create the entities, set their properties) beside creating the same entities by
// code (template, matrix, name, GUID), the two sides in turn in each iteration; "time_ratio" is
// the median of load time / creation time per pair. "SceneGrowth/N": the load and the teardown
// (a new scene) of N entities, per entity in microseconds. "SceneGrowthRatio": the per-entity
// cost at 32,000 over that at 4,000, both sizes measured in turn, for the load and the teardown:
// 1 means the cost of an entity does not grow with the scene. Times are the processor time of the
// benchmark's thread. The data is made at start in a temporary folder and removed at exit.
#include "PairedRatio.h"

#include "core/filesystem/FileSystem.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityManager.h"
#include "scene/templates/BinarySceneReader.h"
#include "scene/templates/EntityTemplate.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateManager.h"
#include "tools/datakit/ContainerWriter.h"
#include "tools/datakit/SceneWriter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr uint32_t kVersusCodeEntities = 10000;
constexpr uint32_t kGrowthSizes[] = {1000, 4000, 16000, 32000};
// Everything here runs on the benchmark's thread: its processor time leaves out preemptions.
constexpr PairedRatio::Timing kTiming = PairedRatio::Timing::ThreadCpu;

// What the code side creates: the same template, place, name and GUID as each stored entity.
struct EntityPlan
{
    Matrix local;
    std::string name;
    SimpleGUID guid;
};

class SceneFiles
{
public:
    SceneFiles()
    {
        RegisterSceneClasses();
        gEntityManager.Init(BoundingBox4(Vector(0.0f, -50.0f, 0.0f, 1.0f), Vector(2000.0f, 50.0f, 2000.0f, 1.0f)),
                            20.0f);
        gEntityManager.NewScene();
        SimpleGUID guid;
        guid.bytes[15] = 0x42;
        EntityTemplateStub* stub = new EntityTemplateStub;
        stub->SetFileName("bench");
        stub->SetGUID(guid);
        gTemplateManager.RegisterStub(stub);
        m_template = new EntityTemplate;
        m_template->SetStaticBoundingBox(BoundingBox4(Vector(-1, 0, -1, 1), Vector(1, 2, 1, 1)));
        stub->SetTemplate(m_template);
        m_templateGUID = guid;

        std::string pattern = (std::filesystem::temp_directory_path() / "norvex-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            return;
        m_folder = pattern;
        ContainerWriter container(0);
        bool written = true;
        for (uint32_t count : {kVersusCodeEntities, kGrowthSizes[0], kGrowthSizes[1], kGrowthSizes[2], kGrowthSizes[3]})
            written = written && container.Add(SceneName(count) + ".BinaryScene", Build(count));
        m_ready = written && container.Write(m_folder + "/scenes.dat") &&
                  gFileSystem.MountContainer("scenes", (m_folder + "/scenes.dat").c_str(), 0, 0x5BD1E995u, 0);
    }

    ~SceneFiles()
    {
        gEntityManager.DestroyScene();
        gTemplateManager.Clear();
        gFileSystem.UnmountAll();
        std::error_code error;
        if (!m_folder.empty())
            std::filesystem::remove_all(m_folder, error);
    }

    bool IsReady() const { return m_ready; }

    // Seconds to load the stored scene of `count` entities; negative when it did not load.
    double Load(uint32_t count) const
    {
        const std::string name = SceneName(count);
        bool loaded = false;
        const double seconds = PairedRatio::Time(
            [&] {
                loaded = BinarySceneReader::LoadBinarySceneFile(name.c_str(), "scenes",
                                                                BinarySceneReader::kApplyNavigationGrid, 0,
                                                                BinarySceneReader::kAllVariations);
            },
            kTiming);
        return loaded && gEntityManager.GetLiveEntityCount() == count + 1 ? seconds : -1.0;
    }

    // Seconds to create the same entities by code.
    double CreateByCode(uint32_t count) const
    {
        const std::vector<EntityPlan>& plans = m_plans.at(count);
        return PairedRatio::Time(
            [&] {
                for (const EntityPlan& plan : plans)
                {
                    Entity* entity = gEntityManager.CreateEntity(m_template, nullptr, plan.local,
                                                                 ENTITYCREATION_NOGUIDGENERATION, nullptr);
                    entity->SetName(plan.name.c_str());
                    entity->SetGUID(plan.guid);
                }
            },
            kTiming);
    }

    // Seconds to tear the current scene down.
    static double TearDown()
    {
        return PairedRatio::Time([] { gEntityManager.NewScene(); }, kTiming);
    }

private:
    static std::string SceneName(uint32_t count) { return "Bench" + std::to_string(count); }

    // The stored scene of `count` entities: named, each with its own GUID, on a grid of places.
    std::vector<uint8_t> Build(uint32_t count)
    {
        gEntityManager.NewScene();
        SceneFileContents contents;
        std::vector<EntityPlan>& plans = m_plans[count];
        for (uint32_t i = 0; i < count; ++i)
        {
            Matrix local = Matrix::ONE;
            local.rows[3].Set(float(i % 181) * 11.0f, 0.0f, float(i / 181) * 11.0f, 1.0f);
            Entity* entity = gEntityManager.CreateEntity(m_template, nullptr, local, 0, nullptr);
            char name[32];
            std::snprintf(name, sizeof(name), "Entity%u", i);
            entity->SetName(name);
            contents.entities.push_back({entity, m_templateGUID, 0xFFFFFFFFu});
            plans.push_back({local, name, entity->GetGUID()});
        }
        std::vector<uint8_t> bytes = SceneWriter::BuildBinaryScene(contents);
        gEntityManager.NewScene();
        return bytes;
    }

    std::string m_folder;
    EntityTemplate* m_template = nullptr;
    SimpleGUID m_templateGUID;
    std::map<uint32_t, std::vector<EntityPlan>> m_plans;
    bool m_ready = false;
};

SceneFiles& Files()
{
    static SceneFiles files;
    return files;
}

void SceneLoadVersusCode(benchmark::State& state)
{
    SceneFiles& files = Files();
    if (!files.IsReady())
    {
        state.SkipWithError("scene data could not be made");
        return;
    }
    PairedRatio ratio;
    for (auto _ : state)
    {
        const bool loadFirst = (ratio.Count() & 1u) == 0;
        double load = 0.0;
        double code = 0.0;
        for (int side = 0; side < 2; ++side)
        {
            if ((side == 0) == loadFirst)
                load = files.Load(kVersusCodeEntities);
            else
                code = files.CreateByCode(kVersusCodeEntities);
            SceneFiles::TearDown();
        }
        if (load < 0.0)
        {
            state.SkipWithError("the scene did not load");
            return;
        }
        ratio.Add(load, code);
    }
    ratio.Report(state, "speed_ratio");
    state.counters["time_ratio"] = ratio.TimeRatio();
}
BENCHMARK(SceneLoadVersusCode)->Unit(benchmark::kMillisecond)->UseRealTime();

void SceneGrowth(benchmark::State& state)
{
    SceneFiles& files = Files();
    const uint32_t count = uint32_t(state.range(0));
    if (!files.IsReady())
    {
        state.SkipWithError("scene data could not be made");
        return;
    }
    std::vector<double> loads;
    std::vector<double> teardowns;
    for (auto _ : state)
    {
        const double load = files.Load(count);
        teardowns.push_back(SceneFiles::TearDown());
        if (load < 0.0)
        {
            state.SkipWithError("the scene did not load");
            return;
        }
        loads.push_back(load);
    }
    state.counters["load_us_per_entity"] = PairedRatio::MedianOf(loads) * 1e6 / count;
    state.counters["teardown_us_per_entity"] = PairedRatio::MedianOf(teardowns) * 1e6 / count;
}
BENCHMARK(SceneGrowth)
    ->Arg(kGrowthSizes[0])
    ->Arg(kGrowthSizes[1])
    ->Arg(kGrowthSizes[2])
    ->Arg(kGrowthSizes[3])
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void SceneGrowthRatio(benchmark::State& state)
{
    SceneFiles& files = Files();
    if (!files.IsReady())
    {
        state.SkipWithError("scene data could not be made");
        return;
    }
    constexpr uint32_t kSmall = kGrowthSizes[1];
    constexpr uint32_t kLarge = kGrowthSizes[3];
    // Per-entity times: "ours" the large scene, the reference the small one.
    PairedRatio load;
    PairedRatio teardown;
    for (auto _ : state)
    {
        const double smallLoad = files.Load(kSmall);
        const double smallTeardown = SceneFiles::TearDown();
        const double largeLoad = files.Load(kLarge);
        const double largeTeardown = SceneFiles::TearDown();
        if (smallLoad < 0.0 || largeLoad < 0.0)
        {
            state.SkipWithError("the scene did not load");
            return;
        }
        load.Add(largeLoad / kLarge, smallLoad / kSmall);
        teardown.Add(largeTeardown / kLarge, smallTeardown / kSmall);
    }
    state.counters["load_growth"] = load.TimeRatio();
    state.counters["teardown_growth"] = teardown.TimeRatio();
}
BENCHMARK(SceneGrowthRatio)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace
