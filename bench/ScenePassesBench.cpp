// One scene frame of 32,768 entities (mesh boxes and 256 point lights) through the scene passes, on the
// real renderer over the graphics stand-in with rasterising off: the game side collects the visible
// entities from the grid and writes the scene pass options, the gather and every entity's render
// task; the render side draws the shadow map's caster walk, the deferred passes (normals, lights
// with their volumes, compose) and the forward buckets, issuing every device call. The camera looks
// down on a corner of the scene where about a fifth of the entities and every light are; "visible"
// counts what the pass collected, "game_ms" and "render_ms" split the frame between the two sides
// (the game waits for the render thread, so they add up to the frame). The goal is a frame under
// 8 ms of one core for both sides together. No library does this job, so there is no reference.
#include "core/filesystem/FileSystem.h"
#include "core/reflection/RecordStream.h"
#include "platform/gpu/Gpu.h"
#include "renderer/LightmapMapping.h"
#include "renderer/MeshEntityRenderingContext.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/RendererLightWrapper.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/SceneParametersWrapper.h"
#include "renderer/ShaderManager.h"
#include "renderer/resources/ResourceManager.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityManager.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/templates/EntityTemplate.h"
#include "tools/datakit/DataRoot.h"
#include "tools/datakit/MeshTemplateWriter.h"
#include "tools/datakit/ShaderDataWriter.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

namespace
{
// The scene's entity limit: the root, the boxes and the lights together.
constexpr uint32_t kEntities = 32768;
constexpr uint32_t kLights = 256;
constexpr uint32_t kBoxes = kEntities - 1 - kLights;
constexpr float kSceneSize = 2000.0f;
constexpr float kCellSize = 40.0f;
// The corner the camera sees: 900 x 900 of the 2000 x 2000 scene.
constexpr float kViewSize = 900.0f;
constexpr uint32_t kGatherDeferred = 0x40;
constexpr uint32_t kShadowedPass = 0x80000;

const MeshTemplateRenderingData* gBox = nullptr;

// A mesh entity of the shared box, gathered for the deferred passes.
class BoxEntity : public Entity
{
public:
    EntityRenderingContext* CreateRenderingContext() override
    {
        SetRenderFlags(kGatherDeferred);
        return new MeshEntityRenderingContext(*gRenderer, gBox, 0, Vector(1.0f, 1.0f, 1.0f, 1.0f), LightmapMapping());
    }
};

class BoxTemplate : public EntityTemplate
{
public:
    Entity* CreateEntity() override { return new BoxEntity; }
};

// A point light that joins the frame's light list when the pass draws it, as light entities do.
class PointLightEntity : public Entity
{
public:
    ~PointLightEntity() override { NorvexRendererObject::PostDeletion(m_light, true, false); }
    void Place(const Matrix& world, const Vector& color)
    {
        m_light->PostMatrix(world);
        m_light->PostPoint(color, 1.0f, 0.0f, 12.0f, nullptr, Vector(), Vector(1, 1, 1, 1));
    }
    bool RenderWithoutContext(uint32_t) override
    {
        gRenderer->AddLight(m_light);
        ++added;
        return true;
    }
    static uint32_t added; // lights the frame's pass handed to the renderer

private:
    RendererLightWrapper* m_light = new RendererLightWrapper;
};

uint32_t PointLightEntity::added = 0;

class PointLightTemplate : public EntityTemplate
{
public:
    Entity* CreateEntity() override { return new PointLightEntity; }
};

// The box's data loaded as a template's data loads.
std::unique_ptr<MeshTemplateRenderingData> LoadBox()
{
    MeshTemplateSpec spec;
    spec.shape = MeshTemplateSpec::Shape::Box;
    spec.boxSize[0] = spec.boxSize[1] = spec.boxSize[2] = 2.0f;
    spec.deferred = true;
    const std::unique_ptr<MeshTemplate> made = MeshTemplateWriter::MakeTemplate(spec);
    std::vector<uint8_t> record(65536);
    RecordOutput out(record.data(), record.size(), false);
    made->GetRenderingData()->Save(out);
    record.resize(out.Size());
    auto data = std::make_unique<MeshTemplateRenderingData>();
    RecordInput in(record.data(), record.size());
    return data->Load(in, 53, "Box") ? std::move(data) : nullptr;
}

struct Scene
{
    Scene()
    {
        char folder[] = "/tmp/norvex-scenepasses-XXXXXX";
        if (mkdtemp(folder) == nullptr)
            return;
        m_folder = folder;
        DataRoot data;
        if (!AddShaderData(data, nullptr) || !data.Write(m_folder, false))
            return;
        for (const char* name : {"common", "textures", "scenes"})
            if (!gFileSystem.MountDirectory(name, (std::filesystem::path(m_folder) / name).c_str()))
                return;
        gpu::DisplayConfig display = gpu::DefaultDisplayConfig();
        display.desktopWidth = 320;
        display.desktopHeight = 240;
        gpu::SetDisplayConfig(display);
        gpu::SetPresentPacing(false);
        renderer = std::make_unique<NorvexRenderer>();
        RendererDeviceSettings settings;
        settings.shadowMapSize = 1024;
        renderer->SetDeviceSettings(settings);
        if (!renderer->Init(&m_window, false) || !m_resources.Init() || !gShaderManager.Init(true))
            return;
        gSceneEnvironment.Create();
        m_parameters.SetDefaults();
        m_parameters.GetSun().shadowStrength = 0.5f;
        gSceneEnvironment.SetOverrideParameters(&m_parameters);
        gSceneEnvironment.EnableOverride();
        renderer->SubmitCommands(true);
        m_box = LoadBox();
        if (m_box == nullptr)
            return;
        gBox = m_box.get();
        RegisterSceneClasses();
        const BoundingBox4 bounds(Vector(0, -25, 0, 1), Vector(kSceneSize, 200, kSceneSize, 1));
        gEntityManager.Init(bounds, kCellSize);
        renderer->InitSceneCellGrid(bounds, kCellSize);
        m_boxTemplate.SetStaticBoundingBox(m_box->GetBounds());
        m_lightTemplate.SetStaticBoundingBox(BoundingBox4(Vector(-12, -12, -12, 1), Vector(12, 12, 12, 1)));
        Populate();
        renderer->SubmitCommands(true);
        if (gEntityManager.GetLiveEntityCount() != kEntities)
            return;
        // Device calls are what is measured, not the pixels they would fill.
        renderer->GetDevice()->SetRasterising(false);
        m_view.LoadLookAtLH(Vector(kViewSize * 0.5f, 1000.0f, kViewSize * 0.5f - 1.0f, 1.0f),
                            Vector(kViewSize * 0.5f, 0.0f, kViewSize * 0.5f, 1.0f), Vector(0.0f, 0.0f, 1.0f, 0.0f));
        m_projection.LoadPerspectiveFovLH(50.0f, 320.0f / 240.0f, 10.0f, 1500.0f);
        ready = true;
    }
    ~Scene()
    {
        gEntityManager.DestroyScene();
        if (m_box != nullptr)
            NorvexRendererObject::PostDeletion(m_box.release(), true, false);
        if (renderer != nullptr)
        {
            gSceneEnvironment.Close();
            renderer->SubmitCommands(true);
            gShaderManager.Close();
            m_resources.Close();
            renderer->Close();
        }
        gFileSystem.UnmountAll();
        if (!m_folder.empty())
            std::filesystem::remove_all(m_folder);
    }

    // The boxes over the whole scene, the lights over the corner in view.
    void Populate()
    {
        gEntityManager.NewScene();
        std::mt19937 random(5);
        std::uniform_real_distribution<float> scene(0.0f, kSceneSize);
        std::uniform_real_distribution<float> view(0.0f, kViewSize);
        for (uint32_t i = 0; i < kBoxes; ++i)
        {
            Matrix local = Matrix::ONE;
            local.rows[3].Set(scene(random), 0.0f, scene(random), 1.0f);
            gEntityManager.CreateEntity(&m_boxTemplate, nullptr, local, ENTITYCREATION_NOGUIDGENERATION, nullptr);
        }
        for (uint32_t i = 0; i < kLights; ++i)
        {
            Matrix local = Matrix::ONE;
            local.rows[3].Set(view(random), 4.0f, view(random), 1.0f);
            auto* light = static_cast<PointLightEntity*>(gEntityManager.CreateEntity(
                &m_lightTemplate, nullptr, local, ENTITYCREATION_NOGUIDGENERATION, nullptr));
            if (light != nullptr)
                light->Place(local, Vector(float(i & 1), float((i >> 1) & 1), 1.0f, 1.0f));
        }
    }

    // The game side of one frame; the render side runs in the synchronous submit after it.
    void WriteFrame(uint32_t frame)
    {
        renderer->SetVisibleLayers(nullptr, frame);
        renderer->SetFrameTarget(nullptr, 0, 1);
        renderer->SetViewport(gpu::Viewport{0, 0, 320, 240, 0.0f, 1.0f});
        renderer->SetCamera(m_view, m_projection, Matrix::ONE);
        const BoundingBox4 inView(Vector(0, -25, 0, 1), Vector(kViewSize, 200, kViewSize, 1));
        gEntityManager.CollectVisibleEntities(nullptr, inView, 0, 3);
        renderer->SetScenePassOptions(kShadowedPass, 0);
        PointLightEntity::added = 0;
        const Vector black(0.0f, 0.0f, 0.0f, 1.0f);
        gEntityManager.RenderCollected(kShadowedPass, 0, 1, &black, frame);
        visible = uint32_t(gEntityManager.GetVisibleList().Count());
        renderer->UpscaleFinal();
        renderer->Present(nullptr);
        gEntityManager.ClearVisibleLists();
    }

    std::unique_ptr<NorvexRenderer> renderer;
    bool ready = false;
    uint32_t visible = 0;

private:
    std::string m_folder;
    int m_window = 0;
    ResourceManager m_resources;
    SceneParametersWrapper m_parameters; // copied by the environment when its command runs
    std::unique_ptr<MeshTemplateRenderingData> m_box;
    BoxTemplate m_boxTemplate;
    PointLightTemplate m_lightTemplate;
    Matrix m_view, m_projection;
};

double CpuMilliseconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) * 1e-6;
}

// The processor clock of the thread named "Renderer", or the calling thread's when there is none.
// A thread's clock id is made from its id as the C library makes it for its own threads.
clockid_t RenderThreadClock()
{
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
    {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        if (name == "Renderer")
            return clockid_t((~clockid_t(std::stoi(task.path().filename().string())) << 3) | 6);
    }
    return CLOCK_THREAD_CPUTIME_ID;
}

void BM_ScenePassesFrame(benchmark::State& state)
{
    Scene scene;
    if (!scene.ready)
    {
        state.SkipWithError("the scene could not be set up");
        return;
    }
    using Clock = std::chrono::steady_clock;
    const clockid_t renderClock = RenderThreadClock();
    double game = 0.0, render = 0.0, gameCpu = 0.0;
    uint32_t frame = 0;
    const double renderCpuStart = CpuMilliseconds(renderClock);
    for (auto _ : state)
    {
        const auto start = Clock::now();
        const double cpuStart = CpuMilliseconds(CLOCK_THREAD_CPUTIME_ID);
        scene.WriteFrame(++frame);
        gameCpu += CpuMilliseconds(CLOCK_THREAD_CPUTIME_ID) - cpuStart;
        const auto written = Clock::now();
        scene.renderer->SubmitCommands(true);
        game += std::chrono::duration<double, std::milli>(written - start).count();
        render += std::chrono::duration<double, std::milli>(Clock::now() - written).count();
    }
    const double renderCpu = CpuMilliseconds(renderClock) - renderCpuStart;
    state.counters["visible"] = double(scene.visible);
    state.counters["lights"] = double(PointLightEntity::added);
    state.counters["casters"] = double(scene.renderer->GetExecutor().GetShadowCasterCount());
    state.counters["game_ms"] = game / double(std::max<uint32_t>(frame, 1));
    state.counters["render_ms"] = render / double(std::max<uint32_t>(frame, 1));
    state.counters["game_cpu_ms"] = gameCpu / double(std::max<uint32_t>(frame, 1));
    state.counters["render_cpu_ms"] = renderCpu / double(std::max<uint32_t>(frame, 1));
}
// A fixed count: each run builds the 32,768-entity scene once, which takes longer than its frames.
BENCHMARK(BM_ScenePassesFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(150);
} // namespace
