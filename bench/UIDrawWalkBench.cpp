// One UI screen pass of 2,000 visible elements (every twentieth pointer-selectable) on the render
// thread of a renderer whose stand-in device records draws without rasterising: the walk, the quad
// batches and their device calls, and the candidate recording. The reference does the bare work of
// the same frame over plain arrays: one translation per element, four vertices each into a
// 64-quad buffer, one indexed draw per full buffer. "x_reference" is reference time / our time.
#include "PairedRatio.h"

#include "platform/gpu/GpuDevice.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/UIQuadGeometry.h"
#include "ui/render/UIQuadBatch.h"
#include "ui/screens/UIScreen.h"

#include <benchmark/benchmark.h>

#include <functional>
#include <vector>

namespace
{
constexpr int kWalkElements = 2000;

struct PlainQuad
{
    float x, y, width, height;
    Vector color;
};

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

// The frame without the UI: translations, vertices and draws straight to the device.
void PlainFrame(NorvexRenderer& renderer, const std::vector<PlainQuad>& quads, std::vector<UIVertex>& vertices)
{
    gpu::GpuDevice* const device = renderer.GetDevice();
    uint32_t count = 0;
    const auto flush = [&] {
        device->DrawIndexedPrimitiveUP(gpu::kPrimitiveTriangleList, 0, count * 4, count * 2,
                                       UIQuadGeometry::GetIndices(), gpu::kFormatIndex16, vertices.data(),
                                       sizeof(UIVertex));
        count = 0;
    };
    static const float kX[4] = {0, 1, 1, 0};
    static const float kY[4] = {0, 0, 1, 1};
    for (const PlainQuad& q : quads)
    {
        for (uint32_t i = 0; i < 4; ++i)
        {
            UIVertex& v = vertices[count * 4 + i];
            std::copy(&q.color.x, &q.color.x + 4, v.color);
            v.position[0] = q.x + kX[i] * q.width;
            v.position[1] = q.y + kY[i] * q.height;
            v.position[2] = 0.0f;
            std::fill(v.extra, v.extra + 4, 0.0f);
            v.uv[0] = kX[i];
            v.uv[1] = kY[i];
        }
        if (++count == UIQuadBatch::kMaxQuads)
            flush();
    }
    if (count != 0)
        flush();
}

void UIDrawWalk(benchmark::State& state)
{
    gpu::DisplayConfig config = gpu::DefaultDisplayConfig();
    config.desktopWidth = 1280;
    config.desktopHeight = 720;
    gpu::SetDisplayConfig(config);
    NorvexRenderer renderer;
    if (!renderer.Init(nullptr, false))
    {
        state.SkipWithError("no device");
        return;
    }
    UIScreen::SetUISizeOverride(1280.0f, 720.0f);
    UIScreen* screen = new UIScreen;
    screen->SetVisible(true);
    std::vector<PlainQuad> plain;
    for (int i = 0; i < kWalkElements; ++i)
    {
        UIElement* element = new UIElement;
        const float x = float(i % 50) * 25.0f, y = float(i / 50) * 18.0f;
        element->SetPositionXYZ(x, y, 0.0f);
        element->SetSizeXY(20.0f, 14.0f);
        element->SetLinearColorRGBA(1.0f, 0.5f, 0.25f, 1.0f);
        if (i % 20 == 0)
            element->RaiseFlag(UIFLAG_FOCUSABLEWITHMOUSE);
        screen->AddChild(element);
        plain.push_back({x, y, 20.0f, 14.0f, Vector(1.0f, 0.5f, 0.25f, 1.0f)});
    }
    screen->ComputeLayout(1280, 720);
    const UIScreenLayout& layout = screen->GetLayout();
    std::vector<UIVertex> vertices(UIQuadBatch::kMaxVertices);
    RunOnRenderThread(renderer, [&](NorvexRenderer& r) {
        r.GetDevice()->SetRasterising(false);
        r.GetDevice()->SetVertexDeclaration(r.GetDeviceManager().GetUIQuadGeometry().GetQuadDeclaration());
        const uint32_t words0[2] = {0, 0};
        const uint32_t words1[2] = {1280, 720};
        UIScreen::SetRenderMatrices(layout.view, layout.projection, words0, words1, layout.width, layout.height,
                                    layout.scaleX, layout.scaleY, Vector(0.5f, 0.5f, 0.0f, 0.0f));
    });
    PairedRatio ratio;
    for (auto _ : state)
    {
        RunOnRenderThread(renderer, [&](NorvexRenderer& r) {
            r.GetDevice()->BeginScene();
            ratio.Measure([&] { screen->RenderPass(true); }, [&] { PlainFrame(r, plain, vertices); });
            r.GetDevice()->EndScene();
            r.GetDevice()->Present();
        });
        // The main thread takes the candidates, so that the next pass records again.
        screen->UpdateAfterDraw(Vector(0.5f, 0.5f, 0.0f, 1.0f));
    }
    ratio.Report(state, "x_reference");
    screen->Release();
    renderer.SubmitCommands(true);
    renderer.Close();
    UIScreen::SetUISizeOverride(0.0f, 0.0f);
}
BENCHMARK(UIDrawWalk)->Unit(benchmark::kMicrosecond);

// The quad batch alone: 2,000 quads of one state through batch 0, against writing the same vertices
// by hand; neither side draws (no device), so this is the batch's own per-quad cost.
void UIQuadBatchAdd(benchmark::State& state)
{
    UIQuadBatch batch;
    std::vector<Matrix> matrices(kWalkElements, Matrix::ONE);
    for (int i = 0; i < kWalkElements; ++i)
        matrices[size_t(i)].rows[3].Set(float(i % 50), float(i / 50), 0.0f, 1.0f);
    std::vector<UIVertex> vertices(UIQuadBatch::kMaxVertices);
    const Vector color(1.0f, 0.5f, 0.25f, 1.0f), zero(0, 0, 0, 0), uv(1, 1, 0, 0);
    PairedRatio ratio;
    for (auto _ : state)
    {
        ratio.Measure(
            [&] {
                for (const Matrix& m : matrices)
                    batch.AddQuad(m, color, false, zero, uv, zero);
                batch.Flush();
                benchmark::DoNotOptimize(batch.GetVertices());
            },
            [&] {
                uint32_t count = 0;
                for (const Matrix& m : matrices)
                {
                    static const float kX[4] = {0, 1, 1, 0};
                    static const float kY[4] = {0, 0, 1, 1};
                    for (uint32_t i = 0; i < 4; ++i)
                    {
                        UIVertex& v = vertices[count * 4 + i];
                        std::copy(&color.x, &color.x + 4, v.color);
                        v.position[0] = kX[i] * m.rows[0].x + kY[i] * m.rows[1].x + m.rows[3].x;
                        v.position[1] = kX[i] * m.rows[0].y + kY[i] * m.rows[1].y + m.rows[3].y;
                        v.position[2] = kX[i] * m.rows[0].z + kY[i] * m.rows[1].z + m.rows[3].z;
                        std::fill(v.extra, v.extra + 4, 0.0f);
                        v.uv[0] = kX[i];
                        v.uv[1] = kY[i];
                    }
                    count = (count + 1) % UIQuadBatch::kMaxQuads;
                }
                benchmark::DoNotOptimize(vertices.data());
            });
    }
    ratio.Report(state, "x_reference");
}
BENCHMARK(UIQuadBatchAdd)->Unit(benchmark::kMicrosecond);
} // namespace
