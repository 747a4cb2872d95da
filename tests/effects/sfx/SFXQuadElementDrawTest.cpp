// ctest-labels: thread
// The quad element's draw through the running renderer: it resolves its texture and shaders from a
// kit-made data root, and a draw on the render thread leaves the atlas constants, blend mode, cull
// and depth states of its values on the device; pixel probes find a refracting quad showing the
// screen behind it bent by its texture, and a soft quad fading as it nears the scene's depth. A
// light's mask texture comes from the same data root.
#include "effects/sfx/SFXLightElementContext.h"
#include "effects/sfx/SFXLightElementDefinition.h"
#include "effects/sfx/SFXQuadElementContext.h"
#include "effects/sfx/SFXQuadElementDefinition.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/RendererLightWrapper.h"
#include "renderer/ShaderManager.h"
#include "renderer/resources/ResourceTexture.h"
#include "support/ConsoleCapture.h"
#include "support/RenderDataHarness.h"
#include "support/RenderThreadCall.h"
#include "support/SystemTextures.h"
#include "tools/datakit/TextureFileWriter.h"

#include <gtest/gtest.h>

#include <functional>

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
        // Opaque-half red: its red bends the screen behind a refracting quad fully along +u, its
        // green of 0 fully along -v.
        TextureFileSpec bend;
        bend.width = bend.height = 4;
        bend.texel = [](uint32_t, uint32_t, uint32_t, uint32_t) { return 0x80FF0000u; };
        std::string bendFile;
        ASSERT_TRUE(BuildTextureFile(bend, bendFile));
        data.AddFile("textures", "SFX/bend.texture", bendFile);
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

    // The frame target's pixel at (x, y) after `draw` ran on the render thread between clears of
    // the frame target to black.
    uint32_t DrawAndProbe(const std::function<void(NorvexRenderer&)>& draw, uint32_t x, uint32_t y)
    {
        uint32_t pixel = 0;
        RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer& r) {
            gpu::GpuDevice* const device = r.GetDevice();
            device->SetRenderState(gpu::kRsSrgbWriteEnable, 0);
            device->BeginScene();
            device->Clear(0, nullptr, gpu::kClearTarget, 0xFF000000u, 1.0f, 0);
            draw(r);
            device->EndScene();
            gpu::GpuSurface* frame = nullptr;
            device->GetRenderTarget(0, &frame);
            pixel = frame->ReadPixelArgb(x, y) & 0xFFFFFFu;
            gpu::SafeRelease(frame);
        });
        return pixel;
    }
    void Set(SFXQuadElementDefinition& quad, std::initializer_list<std::pair<const char*, const char*>> values)
    {
        for (const auto& [name, text] : values)
            ASSERT_TRUE(quad.GetClassProperties()->FindProperty(name)->SetFromText(&quad, text)) << name;
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
    quad.SetResourceFlags(RESOURCE_FLAG_KEEP_DATA);
    EXPECT_NE(quad.GetTextureResource()->GetFlags() & RESOURCE_FLAG_KEEP_DATA, 0u);
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

    // Below its level a refracting quad draws as a plain one, or not at all when it does not blend.
    ASSERT_TRUE(quad.GetClassProperties()->FindProperty("Refraction level")->SetFromText(&quad, "3"));
    for (const auto& [blending, expected] : {std::pair{"2", 1u}, {"0", 0u}})
    {
        ASSERT_TRUE(quad.GetClassProperties()->FindProperty("Blending mode")->SetFromText(&quad, blending));
        RunOnRenderThread(renderer, [&](NorvexRenderer& r) {
            gpu::GpuDevice* const device = r.GetDevice();
            const size_t before = device->GetDrawLog().size();
            device->BeginScene();
            quad.Draw(Matrix::ONE, Vector(1, 1, 1, 1), &context, 1, 0, 0);
            device->EndScene();
            draws = device->GetDrawLog().size() - before;
        });
        EXPECT_EQ(draws, expected) << blending;
    }
}

// The quad covers the middle half of the 320 x 240 frame (x 80 to 240, y 60 to 180); the scene behind
// it is red left of x 160 and blue from there. Power 1 bends by 0.05 of the width: 16 pixels to the
// right, so x 150 shows the blue of x 166 and x 130 the red of x 146.
TEST_F(SFXQuadElementDrawTest, ARefractingQuadShowsTheScreenBehindItBentByItsTexture)
{
    RendererDeviceSettings settings;
    settings.gfxQualityLevel = 2;
    settings.enableRefraction = true;
    NorvexRenderer& renderer = m_harness.GetRenderer();
    renderer.SetDeviceSettings(settings);
    renderer.ApplyDisplaySettings(m_harness.GetWindow(), 320, 240, true, false);
    const struct
    {
        const char* blending;
        uint32_t at150, at130;
    } rows[] = {
        {"0", 0x0000FFu, 0xFF0000u},  // "None": only the screen behind
        {"1", 0x80007Fu, 0xFF0000u},  // "Alpha": half the quad's red over it
        {"2", 0xFF00FFu, 0xFF0000u},  // "Add": all the red added
    };
    // The camera change binds the refraction copy as the frame texture.
    renderer.SetCamera(Matrix::ONE, Matrix::ONE, Matrix::ONE);
    renderer.SubmitCommands(true);
    for (const auto& row : rows)
    {
        SFXQuadElementDefinition quad;
        Set(quad, {{"Texture file name", "SFX/bend.dds"}, {"Refraction power", "1"}, {"Refraction granularity", "1"},
                   {"Refraction level", "2"}, {"Blending mode", row.blending}, {"2-sided", "1"}, {"Depth read", "0"}});
        quad.ResolveResources(true);
        SFXQuadElementContext context;
        context.Init(quad, Matrix::ONE, 0, 0);
        uint32_t at130 = 0;
        const uint32_t at150 = DrawAndProbe(
            [&](NorvexRenderer& r) {
                gpu::GpuDevice* const device = r.GetDevice();
                gpu::GpuSurface* frame = nullptr;
                device->GetRenderTarget(0, &frame);
                device->SetRenderTarget(0, r.GetDeviceManager().GetRenderTargets().sceneColor.GetSurface());
                const gpu::Rect left = {0, 0, 160, 240}, right = {160, 0, 320, 240};
                device->Clear(1, &left, gpu::kClearTarget, 0xFFFF0000u, 1.0f, 0);
                device->Clear(1, &right, gpu::kClearTarget, 0xFF0000FFu, 1.0f, 0);
                device->SetRenderTarget(0, frame);
                quad.Draw(Matrix::ONE, Vector(1, 1, 1, 1), &context, 1, 0, 0);
                at130 = frame->ReadPixelArgb(130, 120) & 0xFFFFFFu;
                gpu::SafeRelease(frame);
            },
            150, 120);
        EXPECT_EQ(at150, row.at150) << "blending " << row.blending;
        EXPECT_EQ(at130, row.at130) << "blending " << row.blending;
        quad.ReleaseResources(0);
    }
}

// A soft quad 10 in front of the camera over a scene whose depth lies 1.25 behind it keeps half
// its alpha (the softness distance is 2.5), all of it 10 behind, none when the scene is in front.
TEST_F(SFXQuadElementDrawTest, ASoftQuadFadesAsItNearsTheScenesDepth)
{
    NorvexRenderer& renderer = m_harness.GetRenderer();
    renderer.ApplyDisplaySettings(m_harness.GetWindow(), 320, 240, true, false);
    Matrix projection;
    ASSERT_TRUE(projection.LoadPerspectiveFovLH(90.0f, 320.0f / 240.0f, 1.0f, 100.0f));
    renderer.SetCamera(Matrix::ONE, projection, Matrix::ONE);
    renderer.SubmitCommands(true);
    SFXQuadElementDefinition quad;
    Set(quad, {{"Texture file name", "SFX/glow.dds"}, {"Softness", "1"}, {"Blending mode", "3"}, {"2-sided", "1"},
               {"Depth read", "0"}});
    quad.ResolveResources(true);
    SFXQuadElementContext context;
    context.Init(quad, Matrix::ONE, 0, 0);
    // Eight units across, centred 10 ahead.
    Matrix placed = Matrix::ONE;
    placed.rows[0] = Vector(8.0f, 0.0f, 0.0f, 0.0f);
    placed.rows[1] = Vector(0.0f, 8.0f, 0.0f, 0.0f);
    placed.rows[3] = Vector(0.0f, 0.0f, 10.0f, 1.0f);
    // The last rows' draw colours reach the picture: one halves green, the other the whole quad by its alpha.
    const struct
    {
        float scene;
        int grey;
        Vector color;
    } rows[] = {{11.25f, 128, Vector(1, 1, 1, 1)},
                {20.0f, 255, Vector(1, 1, 1, 1)},
                {9.0f, 0, Vector(1, 1, 1, 1)},
                {20.0f, 128, Vector(1.0f, 0.5f, 0.25f, 1.0f)},
                {20.0f, 128, Vector(1.0f, 1.0f, 1.0f, 0.5f)}};
    for (const auto& row : rows)
    {
        Vector behind(0.0f, 0.0f, row.scene, 1.0f);
        behind.Transform(projection);
        const uint32_t centre = DrawAndProbe(
            [&](NorvexRenderer& r) {
                ASSERT_TRUE(r.HasDepthTextureSupport());
                gpu::GpuDevice* const device = r.GetDevice();
                gpu::GpuSurface* depth = nullptr;
                device->GetDepthStencilSurface(&depth);
                device->SetDepthStencilSurface(r.GetDeviceManager().GetRenderTargets().sceneDepth.GetSurface());
                device->Clear(0, nullptr, gpu::kClearDepth, 0, behind.z / behind.w, 0);
                device->SetDepthStencilSurface(depth);
                gpu::SafeRelease(depth);
                quad.Draw(placed, row.color, &context, 1, 0, 0);
            },
            160, 120);
        EXPECT_NEAR(int(centre >> 8 & 0xFF), row.grey, 1) << "scene at " << row.scene;
        EXPECT_NEAR(int(centre >> 16 & 0xFF), int(row.grey / row.color.y), 1) << "red, scene at " << row.scene;
    }
    quad.ReleaseResources(0);
}

TEST_F(SFXQuadElementDrawTest, ALightsMaskTextureIsLoadedFlaggedAndSubmittedWithTheLight)
{
    SFXSpotLightElementDefinition light;
    ASSERT_TRUE(light.GetClassProperties()->FindProperty("Mask texture")->SetFromText(&light, "SFX/glow.dds"));
    light.ResolveResources(true);
    ASSERT_NE(light.GetMaskResource(), nullptr);
    ASSERT_NE(light.GetMaskHandle(), nullptr);
    light.SetResourceFlags(RESOURCE_FLAG_KEEP_DATA);
    EXPECT_NE(light.GetMaskResource()->GetFlags() & RESOURCE_FLAG_KEEP_DATA, 0u);
    SFXLightElementContext context;
    context.Init(light, Matrix::ONE, 0, 0);
    context.Update(0.0, 0.1f, light, Matrix::ONE);
    RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer&) {
        light.Draw(Matrix::ONE, Vector(1, 1, 1, 1), &context, SFXLightElementBase::kLightPassBits, 0, 0);
    });
    EXPECT_EQ(context.GetLight().GetData().GetMask(), light.GetMaskHandle());
    // Releasing gives back the light's reference on the texture.
    Resource* const mask = light.GetMaskResource();
    mask->AddRef();
    const int32_t held = mask->GetReferenceCount();
    light.ReleaseResources(0);
    EXPECT_EQ(light.GetMaskResource(), nullptr);
    EXPECT_EQ(light.GetMaskHandle(), nullptr);
    EXPECT_EQ(mask->GetReferenceCount(), held - 1);
    {
        SFXSpotLightElementDefinition gone;
        ASSERT_TRUE(gone.GetClassProperties()->FindProperty("Mask texture")->SetFromText(&gone, "SFX/glow.dds"));
        gone.ResolveResources(true);
        ASSERT_EQ(gone.GetMaskResource(), mask);
    }
    EXPECT_EQ(mask->GetReferenceCount(), held - 1) << "a destroyed light gives its reference back too";
    mask->Release();
    // Resolved without loading, the mask is only queued.
    SFXPointLightElementDefinition queued;
    ASSERT_TRUE(queued.GetClassProperties()->FindProperty("Mask texture")->SetFromText(&queued, "SFX/bend.dds"));
    queued.ResolveResources(false);
    ASSERT_NE(queued.GetMaskResource(), nullptr);
    EXPECT_NE(queued.GetMaskResource()->GetState(), uint32_t(RESOURCE_STATE_NOT_LOADED));
    // Its device texture is read only once the load has completed, and then reaches the light.
    queued.GetMaskResource()->WaitUntilLoaded(false);
    const TextureHolder* const loaded = static_cast<ResourceTexture*>(queued.GetMaskResource())->GetTextureHolder();
    ASSERT_NE(loaded, nullptr);
    SFXLightElementContext queuedContext;
    queuedContext.Init(queued, Matrix::ONE, 0, 0);
    queuedContext.Update(0.0, 0.1f, queued, Matrix::ONE);
    RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer&) {
        queued.Draw(Matrix::ONE, Vector(1, 1, 1, 1), &queuedContext, SFXLightElementBase::kLightPassBits, 0, 0);
    });
    EXPECT_EQ(queuedContext.GetLight().GetData().GetMask(), loaded);
    queued.ReleaseResources(0);
}
} // namespace
