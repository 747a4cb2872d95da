// ctest-labels: thread
// Pixel probes of the renderer on the graphics stand-in's rasteriser: the matrices the shader
// objects upload land geometry where the model matrix puts it, a mirrored model flips the winding the
// cull mode judges, and the rows of the blend table give the colours worked out by hand.
#include "platform/gpu/Gpu.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/PixelShaderObject.h"
#include "renderer/VertexShaderObject.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"
#include "support/ShaderSourceFolder.h"

#include <gtest/gtest.h>

namespace
{
struct Vertex
{
    float x, y, z, w;
    uint32_t color;
    float u, v;
};

const gpu::VertexElement kLayout[] = {{0, 0, gpu::kDeclFloat4, 0, gpu::kDeclUsagePosition, 0},
                                      {0, 16, gpu::kDeclColor, 0, gpu::kDeclUsageColor, 0},
                                      {0, 20, gpu::kDeclFloat2, 0, gpu::kDeclUsageTexCoord, 0},
                                      gpu::kDeclEnd};

class RendererPixelProbeTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        const std::string source = ShaderFolderIncludes::ReadShaderSource("FixedPipelineReplacement.hlsl");
        std::vector<uint8_t> vs = CompileShaderText(source, "vertex", "vs_3_0");
        std::vector<uint8_t> ps = CompileShaderText(source, "pixel", "ps_3_0");
        ASSERT_TRUE(m_vertex->ReadConstantTable(vs.data(), uint32_t(vs.size())));
        m_vertex->SetReady();
        m_pixel->SetReady();
        for (auto [object, code] : {std::pair<ShaderObject*, std::vector<uint8_t>*>{m_vertex, &vs}, {m_pixel, &ps}})
        {
            uint8_t* bytes = new uint8_t[code->size()];
            std::copy(code->begin(), code->end(), bytes);
            ASSERT_TRUE(object->CreateFromBytecode(&bytes, uint32_t(code->size())));
        }
        m_renderer.SubmitCommands(true);
    }
    void TearDown() override
    {
        RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
            renderer.SetVertexShader(nullptr);
            renderer.SetPixelShader(nullptr);
            renderer.GetDevice()->SetVertexDeclaration(nullptr);
            gpu::SafeRelease(m_declaration);
        });
        NorvexRendererObject::PostDeletion(m_vertex, true, false);
        NorvexRendererObject::PostDeletion(m_pixel, true, false);
        m_renderer.SubmitCommands(true);
        RendererTestBase::TearDown();
    }

    // Clears the device's first target to `background` and draws the triangle through the shader
    // objects with the model matrix; answers the target's pixels at the probes.
    std::vector<uint32_t> DrawAndProbe(const Matrix& model, const std::vector<Vertex>& triangle, uint32_t background,
                                       const std::vector<std::pair<uint32_t, uint32_t>>& probes,
                                       const std::function<void(NorvexRenderer&)>& states)
    {
        std::vector<uint32_t> pixels;
        RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
            gpu::GpuDevice* device = renderer.GetDevice();
            if (!m_declaration)
                device->CreateVertexDeclaration(kLayout, &m_declaration);
            device->BeginScene();
            device->Clear(0, nullptr, gpu::kClearTarget, background, 1.0f, 0);
            device->SetRenderState(gpu::kRsZEnable, 0);
            device->SetVertexDeclaration(m_declaration);
            renderer.SetVertexShader(m_vertex);
            renderer.SetPixelShader(m_pixel);
            m_vertex->SetModelMatrix(renderer, model, false);
            states(renderer);
            renderer.DrawPrimitiveUP(gpu::kPrimitiveTriangleList, 1, triangle.data(), sizeof(Vertex));
            device->EndScene();
            gpu::GpuSurface* target = nullptr;
            device->GetRenderTarget(0, &target);
            for (auto [x, y] : probes)
                pixels.push_back(target->ReadPixelArgb(x, y) | 0xFF000000u);
            target->Release();
        });
        return pixels;
    }

    // A clockwise triangle over the top-left quarter of the clip square.
    static std::vector<Vertex> Corner(uint32_t color)
    {
        return {{-1, 1, 0.5f, 1, color, 0, 0}, {0, 1, 0.5f, 1, color, 0, 0}, {-1, 0, 0.5f, 1, color, 0, 0}};
    }

    VertexShaderObject* m_vertex = new VertexShaderObject();
    PixelShaderObject* m_pixel = new PixelShaderObject();
    gpu::GpuVertexDeclaration* m_declaration = nullptr;
};

TEST_F(RendererPixelProbeTest, ModelMatrixMovesTheGeometryItTranslates)
{
    gpu::GpuSurface* target = nullptr;
    ASSERT_EQ(m_renderer.GetDevice()->GetRenderTarget(0, &target), gpu::kOk);
    const uint32_t width = target->Desc().width, height = target->Desc().height;
    target->Release();
    Matrix model = Matrix::ONE;
    model.rows[3].Set(1.0f, -1.0f, 0.0f, 1.0f); // half the target right and down
    const auto none = [](NorvexRenderer& r) { r.SetCullMode(gpu::kCullNone); };
    const std::vector<uint32_t> moved = DrawAndProbe(model, Corner(0xFFFF0000u), 0xFF000000u,
                                                     {{width / 2 + 4, height / 2 + 4}, {4, 4}}, none);
    EXPECT_EQ(moved[0], 0xFFFF0000u) << "the corner lands in the middle";
    EXPECT_EQ(moved[1], 0xFF000000u) << "and leaves the top-left corner";
    const std::vector<uint32_t> still =
        DrawAndProbe(Matrix::ONE, Corner(0xFF00FF00u), 0xFF000000u, {{4, 4}, {width - 4, height - 4}}, none);
    EXPECT_EQ(still[0], 0xFF00FF00u);
    EXPECT_EQ(still[1], 0xFF000000u);
}

TEST_F(RendererPixelProbeTest, MirroredModelTurnsTheWindingTheCullModeJudges)
{
    Matrix mirror = Matrix::ONE;
    mirror.rows[0].Set(-1.0f, 0.0f, 0.0f, 0.0f);
    struct Case
    {
        bool mirrored;
        uint32_t cull;
        bool drawn;
    };
    const Case cases[] = {{false, gpu::kCullCounterClockwise, true}, {false, gpu::kCullClockwise, false},
                          {true, gpu::kCullCounterClockwise, false}, {true, gpu::kCullClockwise, true}};
    for (const Case& c : cases)
    {
        const uint32_t x = c.mirrored ? 300u : 4u; // the mirrored corner is the top-right one
        const std::vector<uint32_t> pixel =
            DrawAndProbe(c.mirrored ? mirror : Matrix::ONE, Corner(0xFFFF0000u), 0xFF000000u, {{x, 4}},
                         [&](NorvexRenderer& r) { r.SetCullMode(c.cull); });
        EXPECT_EQ(pixel[0] == 0xFFFF0000u, c.drawn) << "mirrored " << c.mirrored << ", cull " << c.cull;
    }
}

TEST_F(RendererPixelProbeTest, BlendTableRowsGiveTheHandWorkedColours)
{
    // Source (0x80, 0xFF, 0x40, alpha 0x80) over destination (0x40, 0x80, 0xC0).
    struct Case
    {
        uint32_t mode;
        uint32_t expected;
    };
    const Case cases[] = {
        {0, 0xFF80FF40u},            // opaque
        {1, 0xFF60C080u},            // alpha: (s + d) / 2
        {2, 0xFFC0FFFFu},            // additive, saturated
        {6, 0xFF208030u},            // multiply by the destination
        {7, 0xFF208030u},            // multiply by the source: the same product
        {8, 0xFF408040u},            // minimum
    };
    for (const Case& c : cases)
    {
        const std::vector<uint32_t> pixel =
            DrawAndProbe(Matrix::ONE, Corner(0x8080FF40u), 0xFF4080C0u, {{4, 4}}, [&](NorvexRenderer& r) {
                r.SetCullMode(gpu::kCullNone);
                r.SetBlendMode(c.mode);
            });
        const uint32_t got = pixel[0];
        for (int shift : {16, 8, 0})
            EXPECT_NEAR(double((got >> shift) & 0xFF), double((c.expected >> shift) & 0xFF), 1.0)
                << "blend mode " << c.mode << " channel at bit " << shift;
    }
}
} // namespace
