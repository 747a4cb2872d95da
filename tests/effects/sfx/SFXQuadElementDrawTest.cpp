// ctest-labels: thread
// The quad element's draw through the running renderer: it resolves its texture and shaders from a
// kit-made data root, and a draw on the render thread leaves the atlas constants, blend mode, cull
// and depth states of its values on the device.
#include "effects/sfx/SFXQuadElementContext.h"
#include "effects/sfx/SFXQuadElementDefinition.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/ShaderManager.h"
#include "support/ConsoleCapture.h"
#include "support/RenderDataHarness.h"
#include "support/RenderThreadCall.h"
#include "support/SystemTextures.h"
#include "tools/datakit/TextureFileWriter.h"

#include <gtest/gtest.h>

namespace
{
class SFXQuadElementDrawTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataRoot data;
        const std::string white = AddSystemTextures(data);
        ASSERT_FALSE(white.empty());
        data.AddFile("textures", "SFX/glow.texture", white);
        ASSERT_TRUE(m_harness.WriteAndMount(data));
        ASSERT_TRUE(m_harness.Start());
        ASSERT_TRUE(gShaderManager.Init(true));
    }
    void TearDown() override { m_harness.Stop(); }

    // The device state a draw of `quad` with `context` leaves, read on the render thread.
    struct DrawnState
    {
        float frameScale[4] = {};
        float frames[4] = {};
        float blend[4] = {};
        uint32_t srcBlend = 0;
        uint32_t destBlend = 0;
        uint32_t blendEnable = 0;
        uint32_t cull = 0;
        uint32_t depthFunc = 0;
        uint32_t alphaRef = 0;
        size_t draws = 0;
    };
    DrawnState Draw(SFXQuadElementDefinition& quad, SFXQuadElementContext& context)
    {
        DrawnState state;
        RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer& renderer) {
            gpu::GpuDevice* device = renderer.GetDevice();
            const size_t before = device->GetDrawLog().size();
            device->BeginScene();
            quad.Draw(Matrix::ONE, Vector(1, 1, 1, 1), &context, 1, 0, 0);
            device->EndScene();
            state.draws = device->GetDrawLog().size() - before;
            device->GetVertexShaderConstantF(195, state.frameScale, 1);
            device->GetVertexShaderConstantF(196, state.frames, 1);
            device->GetPixelShaderConstantF(0, state.blend, 1);
            device->GetRenderState(gpu::kRsSrcBlend, &state.srcBlend);
            device->GetRenderState(gpu::kRsDestBlend, &state.destBlend);
            device->GetRenderState(gpu::kRsAlphaBlendEnable, &state.blendEnable);
            device->GetRenderState(gpu::kRsCullMode, &state.cull);
            device->GetRenderState(gpu::kRsZFunc, &state.depthFunc);
            device->GetRenderState(gpu::kRsAlphaRef, &state.alphaRef);
        });
        return state;
    }

    ConsoleCapture m_log;
    RenderDataHarness m_harness;
};

TEST_F(SFXQuadElementDrawTest, AtlasFramesAndBlendModesReachTheDevice)
{
    SFXQuadElementDefinition quad;
    const RTTIPropertiesBase* table = quad.GetClassProperties();
    for (const auto& [name, text] : {std::pair{"Texture frames X", "4"}, {"Texture frames Y", "2"},
                                     {"Blending mode", "2"}, {"2-sided", "0"}, {"Depth read", "0"},
                                     {"Alpha reference value", "0.5"}})
        ASSERT_TRUE(table->FindProperty(name)->SetFromText(&quad, text)) << name;
    quad.ResolveResources(true);
    ASSERT_NE(quad.GetVertexShaderResource(), nullptr);
    ASSERT_NE(quad.GetTextureResource(), nullptr);
    SFXQuadElementContext context;
    context.Init(quad, Matrix::ONE, 0, 0);

    // 4 x 2 frames: frame 5 is column 1, row 1, frame 6 column 2, row 1; in atlas units.
    struct Frames
    {
        float curve;
        float frames[4];
    } const rows[] = {{5.25f, {0.25f, 0.5f, 0.5f, 0.5f}}, {6.25f, {0.5f, 0.5f, 0.75f, 0.5f}}};
    DrawnState drawn;
    for (const Frames& row : rows)
    {
        quad.EditFrameCurve().SetConstantValue(Vector(row.curve, 0, 0, 0));
        context.Update(0.0, 0.0f, quad, Matrix::ONE);
        drawn = Draw(quad, context);
        EXPECT_EQ(drawn.draws, 1u);
        for (int i = 0; i < 4; ++i)
            EXPECT_FLOAT_EQ(drawn.frames[i], row.frames[i]) << row.curve << " " << i;
    }
    const float scale[4] = {0.25f, 0.5f, 0.25f, 0.5f};
    for (int i = 0; i < 4; ++i)
        EXPECT_FLOAT_EQ(drawn.frameScale[i], scale[i]) << i;
    EXPECT_FLOAT_EQ(drawn.blend[0], 0.25f);
    EXPECT_EQ(drawn.blendEnable, 1u);
    EXPECT_EQ(drawn.srcBlend, gpu::kBlendOne);
    EXPECT_EQ(drawn.destBlend, gpu::kBlendOne);
    EXPECT_EQ(drawn.cull, gpu::kCullClockwise);
    EXPECT_EQ(drawn.depthFunc, gpu::kCmpAlways);
    EXPECT_EQ(drawn.alphaRef, 127u);

    // One frame: the frame constant is zero; "Alpha" blending, two-sided and depth-tested.
    for (const auto& [name, text] : {std::pair{"Texture frames X", "1"}, {"Texture frames Y", "1"},
                                     {"Blending mode", "1"}, {"2-sided", "1"}, {"Depth read", "1"}})
        ASSERT_TRUE(table->FindProperty(name)->SetFromText(&quad, text)) << name;
    quad.ResolveResources(true);
    context.Update(0.0, 0.0f, quad, Matrix::ONE);
    const DrawnState single = Draw(quad, context);
    EXPECT_EQ(single.draws, 1u);
    for (int i = 0; i < 4; ++i)
        EXPECT_FLOAT_EQ(single.frames[i], 0.0f) << i;
    EXPECT_FLOAT_EQ(single.frameScale[0], 1.0f);
    EXPECT_EQ(single.srcBlend, gpu::kBlendSrcAlpha);
    EXPECT_EQ(single.destBlend, gpu::kBlendInvSrcAlpha);
    EXPECT_EQ(single.cull, gpu::kCullNone);
    EXPECT_EQ(single.depthFunc, gpu::kCmpLessEqual);

    // Without its shaders a quad draws nothing.
    quad.ReleaseResources(0);
    EXPECT_EQ(Draw(quad, context).draws, 0u);
}

TEST_F(SFXQuadElementDrawTest, ARefractingQuadCopiesTheSceneBehindItAndDrawsWithItsOwnShader)
{
    RendererDeviceSettings settings;
    settings.gfxQualityLevel = 2;
    settings.enableRefraction = true;
    NorvexRenderer& renderer = m_harness.GetRenderer();
    renderer.SetDeviceSettings(settings);
    renderer.ApplyDisplaySettings(m_harness.GetWindow(), 320, 240, true, false);
    SFXQuadElementDefinition quad;
    for (const auto& [name, text] : {std::pair{"Refraction power", "0.5"}, {"Refraction granularity", "3"},
                                     {"Refraction level", "2"}, {"Blending mode", "2"}})
        ASSERT_TRUE(quad.GetClassProperties()->FindProperty(name)->SetFromText(&quad, text)) << name;
    quad.ResolveResources(true);
    ASSERT_NE(quad.GetRefractionPixelShaderResource(), nullptr);
    EXPECT_NE(quad.GetRefractionPixelShaderResource(), quad.GetPixelShaderResource()) << "a shader of its own";
    SFXQuadElementContext context;
    context.Init(quad, Matrix::ONE, 0, 0);

    uint32_t behind = 0, blendEnable = 1;
    float power[4] = {};
    size_t draws = 0;
    RunOnRenderThread(renderer, [&](NorvexRenderer& r) {
        const RenderTargetSet& targets = r.GetDeviceManager().GetRenderTargets();
        gpu::GpuSurface* const copy = targets.refractionCopy.GetSurface();
        ASSERT_NE(copy, nullptr);
        gpu::GpuDevice* const device = r.GetDevice();
        r.GetStateCache().UpdateCamera(Matrix::ONE, Matrix::ONE, Matrix::ONE);
        gpu::GpuSurface* frame = nullptr;
        device->GetRenderTarget(0, &frame);
        device->SetRenderTarget(0, targets.sceneColor.GetSurface());
        device->Clear(0, nullptr, gpu::kClearTarget, 0xFFFF0000u, 1.0f, 0);
        device->SetRenderTarget(0, copy);
        device->Clear(0, nullptr, gpu::kClearTarget, 0xFF0000FFu, 1.0f, 0);
        device->SetRenderTarget(0, frame);
        gpu::SafeRelease(frame);
        const size_t before = device->GetDrawLog().size();
        device->BeginScene();
        quad.Draw(Matrix::ONE, Vector(1, 1, 1, 1), &context, 1, 0, 0);
        device->EndScene();
        draws = device->GetDrawLog().size() - before;
        // The quad's box (0.5 by 0.5 from the centre up and right) is copied; the far corner is not.
        behind = copy->ReadPixelArgb(copy->Desc().width * 3 / 4 - 4, copy->Desc().height / 4 + 4) | 0xFF000000u;
        const uint32_t away = copy->ReadPixelArgb(4, copy->Desc().height - 4) | 0xFF000000u;
        EXPECT_EQ(away, 0xFF0000FFu);
        device->GetPixelShaderConstantF(1, power, 1);
        device->GetRenderState(gpu::kRsAlphaBlendEnable, &blendEnable);
    });
    EXPECT_EQ(draws, 1u);
    EXPECT_EQ(behind, 0xFFFF0000u);
    EXPECT_FLOAT_EQ(power[0], 0.5f);
    EXPECT_FLOAT_EQ(power[1], 3.0f);
    EXPECT_EQ(blendEnable, 0u) << "the refraction shader blends by itself";
}
} // namespace
