// Loading a binary scene of 10,000 entities from a container data root (read, parse, create the
// entities) beside reading the same bytes with fread. Items per second are entities; the data is made
// at start in a temporary folder and removed at exit.
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
#include <string>
#include <vector>

namespace
{
constexpr uint32_t kEntities = 10000;

struct SceneData
{
    std::string folder;
    std::vector<uint8_t> bytes;
    bool ready = false;

    SceneData()
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
        EntityTemplate* entityTemplate = new EntityTemplate;
        stub->SetTemplate(entityTemplate);
        SceneFileContents contents;
        for (uint32_t i = 0; i < kEntities; ++i)
        {
            Matrix local = Matrix::ONE;
            local.rows[3].Set(float(i % 100) * 19.0f, 0.0f, float(i / 100) * 19.0f, 1.0f);
            Entity* entity = gEntityManager.CreateEntity(entityTemplate, nullptr, local, 0, nullptr);
            char name[32];
            std::snprintf(name, sizeof(name), "Entity%u", i);
            entity->SetName(name);
            contents.entities.push_back({entity, guid, 0xFFFFFFFFu});
        }
        bytes = SceneWriter::BuildBinaryScene(contents);
        gEntityManager.NewScene();

        std::string pattern = (std::filesystem::temp_directory_path() / "norvex-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            return;
        folder = pattern;
        ContainerWriter container(0);
        if (!container.Add("Bench.BinaryScene", bytes) || !container.Write(folder + "/scenes.dat"))
            return;
        FILE* plain = std::fopen((folder + "/plain.bin").c_str(), "wb");
        if (plain == nullptr || std::fwrite(bytes.data(), bytes.size(), 1, plain) != 1)
            return;
        std::fclose(plain);
        ready = gFileSystem.MountContainer("scenes", (folder + "/scenes.dat").c_str(), 0, 0x5BD1E995u, 0);
    }

    ~SceneData()
    {
        gEntityManager.DestroyScene();
        gTemplateManager.Clear();
        gFileSystem.UnmountAll();
        std::error_code error;
        if (!folder.empty())
            std::filesystem::remove_all(folder, error);
    }
};

SceneData& Data()
{
    static SceneData data;
    return data;
}

void SceneLoadFromContainer(benchmark::State& state)
{
    SceneData& data = Data();
    if (!data.ready)
    {
        state.SkipWithError("scene data could not be made");
        return;
    }
    for (auto _ : state)
    {
        if (!BinarySceneReader::LoadBinarySceneFile("Bench", "scenes", BinarySceneReader::kApplyNavigationGrid, 0,
                                                    BinarySceneReader::kAllVariations))
            state.SkipWithError("the scene did not load");
        state.PauseTiming();
        gEntityManager.NewScene();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kEntities);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.bytes.size()));
}
BENCHMARK(SceneLoadFromContainer)->Unit(benchmark::kMillisecond);

void SceneBytesWithFread(benchmark::State& state)
{
    SceneData& data = Data();
    std::vector<uint8_t> buffer(data.bytes.size());
    for (auto _ : state)
    {
        FILE* file = std::fopen((data.folder + "/plain.bin").c_str(), "rb");
        if (file == nullptr || std::fread(buffer.data(), 1, buffer.size(), file) != buffer.size())
            state.SkipWithError("fread failed");
        if (file != nullptr)
            std::fclose(file);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kEntities);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.bytes.size()));
}
BENCHMARK(SceneBytesWithFread)->Unit(benchmark::kMillisecond);
} // namespace
