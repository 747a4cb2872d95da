// One whole game frame, Game::Update then Game::Render, over scenes of 1,000 to 32,768 live
// entities on the real renderer (graphics stand-in): clocks, the engine update, ticks and input,
// the visible-entity gather and every render pass, the UI stack, the profiler and the present,
// with the render thread executing what the frame wrote. The camera hangs over the middle of the
// scene looking down, high enough to see all of it, so every entity is gathered and rendered:
// "visible" counts what the scene pass really took. "fps" is frames per second of wall-clock
// time; the goal is a whole frame under 8 ms of one core at 32,768 entities. No library does
// this job, so there is no reference side.
#include "core/math/Quaternion.h"
#include "engine/Game.h"
#include "engine/EngineTimer.h"
#include "engine/scripting/GameDelegate.h"
#include "platform/gpu/Gpu.h"
#include "renderer/NorvexRenderer.h"
#include "scene/cameras/GameCameraController.h"
#include "scene/cameras/NXBaseCameraSubcontroller.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityManager.h"
#include "scene/templates/EntityTemplate.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

namespace
{
constexpr float kFrameSceneSize = 2000.0f;
constexpr float kFrameCellSize = 40.0f;
// Above the middle: a 50 degree view at this height covers the scene's 2000 units (and more).
constexpr float kCameraHeight = 2600.0f;
constexpr float kCameraFOV = 50.0f;

// The delegate of a running game: every tick is a fixed one and nothing vetoes a frame.
class BenchDelegate : public GameDelegate
{
public:
    bool IsGameRunning() override { return true; }
    // The scene pass's visible list is complete when this hook runs.
    void OnBeforeSceneRender(uint32_t, uint32_t) override { visible = gEntityManager.GetVisibleList().Count(); }
    int32_t visible = 0;
};

struct Frame
{
    Frame()
    {
        gpu::DisplayConfig display = gpu::DefaultDisplayConfig();
        display.desktopWidth = 320;
        display.desktopHeight = 240;
        gpu::SetDisplayConfig(display);
        // The frame is measured, not the display's 60 Hz.
        gpu::SetPresentPacing(false);
        renderer = std::make_unique<NorvexRenderer>();
        ready = renderer->Init(&window, false);
        RegisterSceneClasses();
        gEntityManager.Init(BoundingBox4(Vector(0, -25, 0, 1), Vector(kFrameSceneSize, 200, kFrameSceneSize, 1)), kFrameCellSize);
        entityTemplate.SetStaticBoundingBox(BoundingBox4(Vector(-1, 0, -1, 1), Vector(1, 2, 1, 1)));
        gEngineTimer.Reset();
        gGame.Init(&window, 320, 240, &delegate, nullptr, 0);
        // The controller takes its view from the current sub-controller every frame.
        GameCameraController* camera = gGame.GetCameraController();
        NXBaseCameraSubcontroller* overhead = camera->AddNewSubcontroller(GameCameraController::SUBCONTROLLER_BASE);
        overhead->SetPosition(Vector(kFrameSceneSize * 0.5f, kCameraHeight, kFrameSceneSize * 0.5f, 1.0f));
        Quaternion down;
        down.LoadXRotation(90.0f);
        overhead->SetRotation(down);
        overhead->SetFOV(kCameraFOV);
        camera->SetCurrentSubcontroller(overhead, 0.0f, 0);
        camera->SetClipPlanes(10.0f, kCameraHeight + 500.0f);
    }
    ~Frame()
    {
        gGame.Close();
        gEntityManager.DestroyScene();
        renderer->Close();
        renderer.reset();
    }

    // A new scene of `count` entities spread over the scene, every one visible.
    void Populate(uint32_t count)
    {
        gEntityManager.NewScene();
        std::mt19937 random(11);
        std::uniform_real_distribution<float> place(0.0f, kFrameSceneSize);
        for (uint32_t i = 0; i < count; ++i)
        {
            Matrix local = Matrix::ONE;
            local.rows[3].Set(place(random), 0.0f, place(random), 1.0f);
            gEntityManager.CreateEntity(&entityTemplate, nullptr, local, ENTITYCREATION_NOGUIDGENERATION, nullptr);
        }
    }

    int window = 0;
    bool ready = false;
    std::unique_ptr<NorvexRenderer> renderer;
    EntityTemplate entityTemplate;
    BenchDelegate delegate;
};

Frame& TheFrame()
{
    static Frame frame;
    return frame;
}

void BM_GameFrame(benchmark::State& state)
{
    Frame& frame = TheFrame();
    if (!frame.ready)
    {
        state.SkipWithError("the renderer did not start");
        return;
    }
    // The root counts as one of the live entities.
    const uint32_t entities = uint32_t(state.range(0));
    frame.Populate(entities - 1);
    if (gEntityManager.GetLiveEntityCount() != entities)
    {
        state.SkipWithError("the scene could not be filled");
        return;
    }
    for (auto _ : state)
    {
        gGame.Update(true);
        benchmark::DoNotOptimize(gGame.Render(false));
    }
    frame.renderer->SubmitCommands(true);
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["visible"] = double(frame.delegate.visible);
}
BENCHMARK(BM_GameFrame)->Arg(1000)->Arg(4000)->Arg(16000)->Arg(32768)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace
