// The desktop post-processing chain at 1920x1080 on the render thread of a renderer whose stand-in
// device records draws without rasterising: every pass on (glow and its two blurs, luminance,
// composite, FXAA, RGB shift, two zoom-blur passes), so this is the chain's own command cost. The
// reference issues the same fourteen draws straight to the device, each with a target, its source
// texture, one constant register and the full-screen quad: what any chain of these passes costs on
// this device at least. "x_reference" is reference time / our time; the goal is under 0.2 ms.
#include "PairedRatio.h"

#include "core/filesystem/FileSystem.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/PostprocessManager.h"
#include "renderer/RenderTargetSet.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/SceneParametersWrapper.h"
#include "renderer/ShaderManager.h"
#include "renderer/ShaderObject.h"
#include "renderer/jobs/TextureHolder.h"
#include "renderer/resources/ResourceManager.h"
#include "tools/datakit/DataRoot.h"
#include "tools/datakit/ShaderDataWriter.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <functional>
#include <unistd.h>

namespace
{
constexpr uint32_t kDraws = 14;

void RunOnRenderThread(NorvexRenderer& renderer, const std::function<void(NorvexRenderer&)>& body)
{
    const std::function<void(NorvexRenderer&)>* const pointer = &body;
    const RenderCallFunction call = [](NorvexRenderer& r, uint32_t, CommandRingBuffer& reader) {
        const std::function<void(NorvexRenderer&)>* function = nullptr;
        reader.Read(&function, sizeof(function));
        (*function)(r);
    };
    if (renderer.WriteCall(call, 0, sizeof(pointer)))
        renderer.GetWriter().Put(pointer);
    renderer.SubmitCommands(true);
}

// The chain's draws without the chain: alternate ping-pong targets, one texture, one register.
void PlainPasses(NorvexRenderer& renderer, const ShaderPair& pair)
{
    gpu::GpuDevice* const device = renderer.GetDevice();
    const RenderTargetSet& targets = renderer.GetDeviceManager().GetRenderTargets();
    const SharedGeometry::Buffers& quad =
        renderer.GetDeviceManager().GetSharedGeometry().Get(SharedGeometry::MESH_FULL_SCREEN_QUAD);
    const float constant[4] = {1.0f, 1.0f, 0.5f, 0.5f};
    for (uint32_t i = 0; i < kDraws; ++i)
    {
        device->SetRenderTarget(0, targets.pingPong[i & 1].GetSurface());
        device->SetTexture(0, targets.pingPong[(i + 1) & 1].GetHolder()->GetTexture());
        device->SetVertexShader(static_cast<gpu::GpuVertexShader*>(pair.m_vertexObject->GetDeviceShader()));
        device->SetPixelShader(static_cast<gpu::GpuPixelShader*>(pair.m_pixelObject->GetDeviceShader()));
        device->SetPixelShaderConstantF(0, constant, 1);
        device->SetFVF(gpu::kFvfXyz | gpu::kFvfTex1);
        device->SetStreamSource(0, quad.vertices, 0, 20);
        device->DrawPrimitive(gpu::kPrimitiveTriangleFan, 0, 2);
    }
    device->SetTexture(0, nullptr);
}

void PostprocessChain(benchmark::State& state)
{
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("norvex-post-bench-" + std::to_string(getpid()));
    DataRoot data;
    if (!AddShaderData(data, nullptr) || !data.Write(root.string(), false) ||
        !gFileSystem.MountDirectory("common", (root / "common").c_str()))
    {
        state.SkipWithError("no shader data");
        return;
    }
    gpu::DisplayConfig config = gpu::DefaultDisplayConfig();
    config.desktopWidth = 1920;
    config.desktopHeight = 1080;
    gpu::SetDisplayConfig(config);
    NorvexRenderer renderer;
    ResourceManager manager;
    if (!renderer.Init(nullptr, false) || !manager.Init() || !gShaderManager.Init(true))
    {
        state.SkipWithError("no renderer");
        return;
    }
    gPostprocessManager.InitPostProcessChain("");
    // Every pass of the chain runs: FXAA, a shift from the curve, zoom blur and local contrast.
    SceneParametersWrapper scene;
    scene.SetDefaults();
    SceneShadingParameters& shading = scene.GetShading();
    shading.fxaaEnabled = 1;
    shading.zoomBlurStrength = 1.0f;
    shading.localContrast = 1.5f;
    for (float& entry : shading.rgbShift)
        entry = 1.0f;
    gSceneEnvironment.Create();
    gSceneEnvironment.SetOverrideParameters(&scene);
    gSceneEnvironment.EnableOverride();
    renderer.SetFrameTarget(nullptr, 0, 1);
    renderer.SubmitCommands(true);
    const ShaderPair& plain = gPostprocessManager.GetPassSlot(PostprocessManager::PASS_RGB_SHIFT);
    PairedRatio ratio(PairedRatio::Timing::ThreadCpu);
    for (auto _ : state)
    {
        RunOnRenderThread(renderer, [&](NorvexRenderer& r) {
            r.GetDevice()->SetRasterising(false);
            for (int i = 0; i < 16; ++i)
                ratio.Measure([&] { gPostprocessManager.Run(r, 5); }, [&] { PlainPasses(r, plain); });
            // A present empties the device's draw log, which would otherwise grow without end.
            r.GetDevice()->EndScene();
            r.GetDevice()->Present();
            r.GetDevice()->BeginScene();
            r.GetDevice()->SetRasterising(true);
        });
    }
    ratio.Report(state, "x_reference");
    gPostprocessManager.ReleaseShaders();
    gSceneEnvironment.Close();
    renderer.UpscaleFinal();
    renderer.SubmitCommands(true);
    gShaderManager.Close();
    manager.Close();
    renderer.Close();
    gFileSystem.UnmountAll();
    std::filesystem::remove_all(root);
}
BENCHMARK(PostprocessChain)->Unit(benchmark::kMicrosecond);
} // namespace
