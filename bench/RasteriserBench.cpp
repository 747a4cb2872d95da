// The graphics stand-in's software rasteriser: pixels per second filling a 1280x720 back buffer
// with textured triangles (the engine's vertex-colour family with its texture switch, a 256x256
// texture, linear filtering); a full-screen textured pass at 1280x720 (a 640x360 texture stretched
// over the target with bilinear filtering, as the post-processing passes draw) beside pixman doing
// the same composite; and one frame of the game over a scene on the real renderer with rasterising
// on and off, as the demo runs it.
#include "engine/Game.h"
#include "engine/EngineTimer.h"
#include "engine/scripting/GameDelegate.h"
#include "platform/gpu/Gpu.h"
#include "renderer/NorvexRenderer.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/EntityManager.h"
#include "scene/templates/EntityTemplate.h"
#include "tools/datakit/ShaderDataWriter.h"

#include "PairedRatio.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

namespace
{
struct Vertex
{
    float x, y, z, w;
    uint32_t color;
    float u, v;
};

std::string ReadSource(const std::string& name)
{
    std::ifstream file(std::string(GetShaderSourceFolder()) + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

class FolderIncludes : public gpu::ShaderIncludeHandler
{
public:
    gpu::Result Open(gpu::IncludeType, const char* name, const void*, const void** data, uint32_t* bytes) override
    {
        std::string& text = m_files[name];
        text = ReadSource(name);
        *data = text.data();
        *bytes = uint32_t(text.size());
        return text.empty() ? gpu::kErrNotAvailable : gpu::kOk;
    }
    void Close(const void*) override {}

private:
    std::map<std::string, std::string> m_files;
};

template <typename Shader, typename Create>
Shader* CompileFamily(const char* entry, const char* profile, Create create)
{
    const std::string source = ReadSource("FixedPipelineReplacement.hlsl");
    const gpu::ShaderMacro macros[] = {{"TEXTURE", "1"}, {nullptr, nullptr}};
    FolderIncludes includes;
    gpu::GpuBlob* code = nullptr;
    if (gpu::CompileShader(source.data(), source.size(), "bench", macros, &includes, entry, profile, 0, &code, nullptr,
                           nullptr) != gpu::kOk)
        return nullptr;
    Shader* shader = nullptr;
    create(code->GetBufferPointer(), code->GetBufferSize(), &shader);
    code->Release();
    return shader;
}

// A 1280x720 device drawing with the texture family, and its declaration and shaders.
struct TexturedFamilyDevice
{
    explicit TexturedFamilyDevice(bool depth)
    {
        gpu::SetPresentPacing(false);
        factory = gpu::CreateFactory(gpu::kSdkVersion);
        gpu::PresentParameters params = {};
        params.backBufferWidth = 1280;
        params.backBufferHeight = 720;
        params.windowed = 1;
        params.swapEffect = gpu::kSwapEffectDiscard;
        params.enableAutoDepthStencil = depth ? 1 : 0;
        params.autoDepthStencilFormat = gpu::kFormatD24S8;
        factory->CreateDevice(0, gpu::kDeviceTypeHal, nullptr, 0x54, &params, &device);
        const gpu::VertexElement layout[] = {{0, 0, gpu::kDeclFloat4, 0, gpu::kDeclUsagePosition, 0},
                                             {0, 16, gpu::kDeclColor, 0, gpu::kDeclUsageColor, 0},
                                             {0, 20, gpu::kDeclFloat2, 0, gpu::kDeclUsageTexCoord, 0},
                                             gpu::kDeclEnd};
        device->CreateVertexDeclaration(layout, &declaration);
        vs = CompileFamily<gpu::GpuVertexShader>("vertex", "vs_3_0", [&](const void* c, size_t n, auto** s) {
            device->CreateVertexShader(c, n, s);
        });
        ps = CompileFamily<gpu::GpuPixelShader>("pixel", "ps_3_0", [&](const void* c, size_t n, auto** s) {
            device->CreatePixelShader(c, n, s);
        });
    }
    ~TexturedFamilyDevice()
    {
        device->SetTexture(0, nullptr);
        device->SetVertexShader(nullptr);
        device->SetPixelShader(nullptr);
        device->SetVertexDeclaration(nullptr);
        if (vs)
            vs->Release();
        if (ps)
            ps->Release();
        declaration->Release();
        device->Release();
        factory->Release();
    }
    bool HasPrograms() const { return vs && vs->Program() && ps && ps->Program(); }
    // Binds the family with the texture, linear filtering, no culling and an identity transform.
    void Bind(gpu::GpuTexture* texture)
    {
        device->SetVertexDeclaration(declaration);
        device->SetVertexShader(vs);
        device->SetPixelShader(ps);
        device->SetTexture(0, texture);
        device->SetSamplerState(0, gpu::kSsMagFilter, gpu::kFilterLinear);
        device->SetSamplerState(0, gpu::kSsMinFilter, gpu::kFilterLinear);
        device->SetRenderState(gpu::kRsCullMode, gpu::kCullNone);
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        for (const gpu::ShaderConstant& c : vs->Code().constants)
            if (c.name == "ModelViewProjMatrix")
                device->SetVertexShaderConstantF(c.registerIndex, identity, 4);
    }

    gpu::GpuFactory* factory = nullptr;
    gpu::GpuDevice* device = nullptr;
    gpu::GpuVertexDeclaration* declaration = nullptr;
    gpu::GpuVertexShader* vs = nullptr;
    gpu::GpuPixelShader* ps = nullptr;
};

void BM_FillTexturedTriangles(benchmark::State& state)
{
    TexturedFamilyDevice family(true);
    gpu::GpuDevice* device = family.device;
    gpu::GpuTexture* texture = nullptr;
    device->CreateTexture(256, 256, 1, 0, gpu::kFormatA8R8G8B8, gpu::kPoolManaged, &texture);
    gpu::LockedRect locked;
    texture->LockRect(0, &locked, nullptr, 0);
    for (uint32_t y = 0; y < 256; ++y)
        for (uint32_t x = 0; x < 256; ++x)
        {
            const uint32_t argb = 0xFF000000u | x << 16 | y << 8 | ((x ^ y) & 0xFF);
            memcpy(static_cast<uint8_t*>(locked.bits) + y * locked.pitch + x * 4, &argb, 4);
        }
    texture->UnlockRect(0);
    if (!family.HasPrograms())
    {
        texture->Release();
        state.SkipWithError("the texture family has no program");
        return;
    }
    family.Bind(texture);
    // A grid of 16x9 cells, two triangles each, covering the target once.
    std::vector<Vertex> vertices;
    for (uint32_t cy = 0; cy < 9; ++cy)
        for (uint32_t cx = 0; cx < 16; ++cx)
        {
            const float x0 = cx / 8.0f - 1.0f, x1 = (cx + 1) / 8.0f - 1.0f;
            const float y0 = 1.0f - cy / 4.5f, y1 = 1.0f - (cy + 1) / 4.5f;
            const Vertex a = {x0, y0, 0.5f, 1, 0xFFFFFFFFu, 0, 0}, b = {x1, y0, 0.5f, 1, 0xFFFFFFFFu, 1, 0};
            const Vertex c = {x0, y1, 0.5f, 1, 0xFFFFFFFFu, 0, 1}, d = {x1, y1, 0.5f, 1, 0xFFFFFFFFu, 1, 1};
            vertices.insert(vertices.end(), {a, b, c, c, b, d});
        }
    device->BeginScene();
    uint64_t pixels = 0;
    for (auto _ : state)
    {
        device->Clear(0, nullptr, gpu::kClearTarget | gpu::kClearDepth, 0, 1.0f, 0);
        device->DrawPrimitiveUP(gpu::kPrimitiveTriangleList, uint32_t(vertices.size() / 3), vertices.data(),
                                sizeof(Vertex));
        pixels += device->GetDrawLog().back().pixelsWritten;
        device->EndScene();
        device->Present();
        device->BeginScene();
    }
    device->EndScene();
    state.SetItemsProcessed(int64_t(pixels));
    state.counters["pixels"] = double(pixels) / double(state.iterations());
    device->SetTexture(0, nullptr);
    texture->Release();
}
BENCHMARK(BM_FillTexturedTriangles)->Unit(benchmark::kMillisecond);

// A 640x360 texture over the whole 1280x720 target, bilinear, no blending: through the stand-in's
// device (a fan of two triangles, the texture family) and through pixman (a scaled source composite).
// "speed" is pixman's time over ours per pass, from paired runs.
void BM_FullScreenTexturedPass(benchmark::State& state)
{
    TexturedFamilyDevice family(false);
    gpu::GpuDevice* device = family.device;
    if (!family.HasPrograms())
    {
        state.SkipWithError("the texture family has no program");
        return;
    }
    constexpr uint32_t kWidth = 640, kHeight = 360;
    std::vector<uint32_t> source(kWidth * kHeight);
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x)
            source[y * kWidth + x] = 0xFF000000u | (x & 0xFF) << 16 | (y & 0xFF) << 8 | ((x ^ y) & 0xFF);
    gpu::GpuTexture* texture = nullptr;
    device->CreateTexture(kWidth, kHeight, 1, 0, gpu::kFormatA8R8G8B8, gpu::kPoolManaged, &texture);
    gpu::LockedRect locked;
    texture->LockRect(0, &locked, nullptr, 0);
    for (uint32_t y = 0; y < kHeight; ++y)
        memcpy(static_cast<uint8_t*>(locked.bits) + y * locked.pitch, &source[y * kWidth], kWidth * 4);
    texture->UnlockRect(0);
    family.Bind(texture);
    device->SetSamplerState(0, gpu::kSsAddressU, gpu::kAddressClamp);
    device->SetSamplerState(0, gpu::kSsAddressV, gpu::kAddressClamp);
    device->SetRenderState(gpu::kRsZEnable, 0);
    const Vertex quad[4] = {{-1, 1, 0.5f, 1, 0xFFFFFFFFu, 0, 0},
                            {1, 1, 0.5f, 1, 0xFFFFFFFFu, 1, 0},
                            {1, -1, 0.5f, 1, 0xFFFFFFFFu, 1, 1},
                            {-1, -1, 0.5f, 1, 0xFFFFFFFFu, 0, 1}};

    // pixman: the same texels scaled by two into an opaque 1280x720 image.
    std::vector<uint32_t> target(1280 * 720);
    pixman_image_t* from = pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight, source.data(), kWidth * 4);
    pixman_image_t* to = pixman_image_create_bits(PIXMAN_x8r8g8b8, 1280, 720, target.data(), 1280 * 4);
    pixman_transform_t scale;
    pixman_transform_init_scale(&scale, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
    pixman_image_set_transform(from, &scale);
    pixman_image_set_filter(from, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_set_repeat(from, PIXMAN_REPEAT_PAD);

    PairedRatio ratio(PairedRatio::Timing::ThreadCpu);
    uint64_t pixels = 0;
    device->BeginScene();
    for (auto _ : state)
        ratio.Measure(
            [&] {
                device->DrawPrimitiveUP(gpu::kPrimitiveTriangleFan, 2, quad, sizeof(Vertex));
                pixels += device->GetDrawLog().back().pixelsWritten;
            },
            [&] {
                pixman_image_composite32(PIXMAN_OP_SRC, from, nullptr, to, 0, 0, 0, 0, 0, 0, 1280, 720);
                benchmark::DoNotOptimize(target.data());
            });
    device->EndScene();
    ratio.Report(state, "speed");
    state.counters["pixels"] = double(pixels) / double(state.iterations());
    pixman_image_unref(from);
    pixman_image_unref(to);
    device->SetTexture(0, nullptr);
    texture->Release();
}
BENCHMARK(BM_FullScreenTexturedPass)->Unit(benchmark::kMillisecond);

// The delegate of a running game.
class BenchDelegate : public GameDelegate
{
public:
    bool IsGameRunning() override { return true; }
};

// One game frame at the demo's 1280x720 over 64 entities, rasterising on (1) or off (0).
void BM_GameFrame(benchmark::State& state)
{
    gpu::DisplayConfig display = gpu::DefaultDisplayConfig();
    gpu::SetDisplayConfig(display);
    gpu::SetPresentPacing(false);
    auto renderer = std::make_unique<NorvexRenderer>();
    int window = 0;
    if (!renderer->Init(&window, false))
    {
        state.SkipWithError("no renderer");
        return;
    }
    RegisterSceneClasses();
    gEntityManager.Init(BoundingBox4(Vector(0, -25, 0, 1), Vector(400, 200, 400, 1)), 40.0f);
    EntityTemplate entityTemplate;
    entityTemplate.SetStaticBoundingBox(BoundingBox4(Vector(-1, 0, -1, 1), Vector(1, 2, 1, 1)));
    for (uint32_t i = 0; i < 64; ++i)
    {
        Matrix local = Matrix::ONE;
        local.rows[3].Set(float(i % 8) * 40.0f + 20.0f, 0.0f, float(i / 8) * 40.0f + 20.0f, 1.0f);
        gEntityManager.CreateEntity(&entityTemplate, nullptr, local, 0, nullptr);
    }
    // Set before the first frame, while the render thread has nothing to draw.
    renderer->GetDevice()->SetRasterising(state.range(0) != 0);
    BenchDelegate delegate;
    gEngineTimer.Reset();
    gGame.Init(&window, 1280, 720, &delegate, nullptr, 0);
    for (auto _ : state)
    {
        gGame.Update(true);
        benchmark::DoNotOptimize(gGame.Render(false));
    }
    renderer->GetDevice()->SetRasterising(true);
    gGame.Close();
    gEntityManager.DestroyScene();
    renderer->Close();
}
BENCHMARK(BM_GameFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
} // namespace
