// ctest-labels: thread
// The render-state cache on a running renderer: redundant state changes never reach the device (the
// stand-in's per-state call counts), sampler states change only for the flag groups that changed,
// draw wrappers count what they draw, render targets bind and release, and the camera's biased and
// mirrored matrices.
#include "platform/gpu/Gpu.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/RenderTarget.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/SceneParametersWrapper.h"
#include "renderer/jobs/TextureHolder.h"
#include "support/ConsoleCapture.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"

#include <gtest/gtest.h>

namespace
{
class RenderStateCacheTest : public RendererTestBase
{
protected:
    // The frame's statistics so far (render thread idle).
    const gpu::FrameStatistics& Stats() { return m_renderer.GetDevice()->GetFrameStatistics(); }
    uint32_t StateCalls(gpu::RenderState state) { return Stats().renderStateCalls[state]; }
    uint32_t SamplerCalls(gpu::SamplerState state) { return Stats().samplerStateCalls[state]; }
    uint32_t SamplerState(uint32_t stage, uint32_t type)
    {
        uint32_t value = 0;
        m_renderer.GetDevice()->GetSamplerState(stage, type, &value);
        return value;
    }
    uint32_t RenderStateValue(uint32_t state)
    {
        uint32_t value = 0;
        m_renderer.GetDevice()->GetRenderState(state, &value);
        return value;
    }
    // Opens the renderer again on a small desktop whose device lacks what `drop` empties.
    bool ReopenWithout(std::vector<gpu::Format> gpu::DisplayConfig::*drop)
    {
        m_renderer.Close();
        gpu::DisplayConfig config = gpu::DefaultDisplayConfig();
        config.desktopWidth = 320;
        config.desktopHeight = 240;
        (config.*drop).clear();
        gpu::SetDisplayConfig(config);
        return m_renderer.Init(&m_window, false);
    }
};

TEST_F(RenderStateCacheTest, RedundantStateChangesNeverReachTheDevice)
{
    const gpu::FrameStatistics before = Stats();
    RunOnRenderThread(m_renderer, [](NorvexRenderer& r) {
        r.SetBlendMode(9); // what a reset leaves
        r.SetBlendMode(1);
        r.SetBlendMode(1);
        r.SetCullMode(gpu::kCullClockwise);
        r.SetCullMode(gpu::kCullClockwise);
        r.SetAlphaTest(3, 10); // no such mode
        r.SetAlphaTest(1, 10);
        r.SetAlphaTest(1, 10);
        r.SetAlphaTest(1, 20);
        r.SetDepthState(gpu::kCmpLessEqual, true, 0.0f);
        r.SetDepthState(gpu::kCmpLessEqual, true, 0.0f);
        r.DisableStencil(); // already off
        r.SetStencilOps(gpu::kStencilReplace, gpu::kStencilKeep, gpu::kStencilReplace);
        r.SetStencilOps(gpu::kStencilReplace, gpu::kStencilKeep, gpu::kStencilReplace);
        r.SetStencilFunc(gpu::kCmpAlways, 1, 0xFF, 0xFF);
        r.SetStencilFunc(gpu::kCmpAlways, 1, 0xFF, 0xFF);
        r.SetVertexShader(nullptr);
        r.SetVertexShader(nullptr);
    });
    auto delta = [&](gpu::RenderState state) { return StateCalls(state) - before.renderStateCalls[state]; };
    EXPECT_EQ(delta(gpu::kRsAlphaBlendEnable), 1u);
    EXPECT_EQ(delta(gpu::kRsSrcBlend), 1u);
    EXPECT_EQ(delta(gpu::kRsSrcBlendAlpha), 0u) << "separate alpha is off in every row";
    EXPECT_EQ(RenderStateValue(gpu::kRsSrcBlend), gpu::kBlendSrcAlpha);
    EXPECT_EQ(RenderStateValue(gpu::kRsDestBlend), gpu::kBlendInvSrcAlpha);
    EXPECT_EQ(delta(gpu::kRsCullMode), 1u);
    EXPECT_EQ(delta(gpu::kRsAlphaTestEnable), 1u);
    EXPECT_EQ(delta(gpu::kRsAlphaFunc), 1u);
    EXPECT_EQ(RenderStateValue(gpu::kRsAlphaFunc), gpu::kCmpGreater);
    EXPECT_EQ(delta(gpu::kRsAlphaRef), 2u) << "10, then 20";
    EXPECT_EQ(delta(gpu::kRsZFunc), 1u);
    EXPECT_EQ(delta(gpu::kRsZWriteEnable), 0u) << "a reset leaves depth write on";
    EXPECT_EQ(delta(gpu::kRsStencilEnable), 1u);
    EXPECT_EQ(delta(gpu::kRsStencilZFail), 1u);
    EXPECT_EQ(RenderStateValue(gpu::kRsStencilPass), gpu::kStencilReplace) << "the pass operation, not the fail one";
    EXPECT_EQ(delta(gpu::kRsStencilFunc), 1u);
    EXPECT_EQ(delta(gpu::kRsStencilWriteMask), 1u);
    EXPECT_EQ(Stats().vertexShaderCalls - before.vertexShaderCalls, 1u);

    // A device reset forgets the cache: the same values are set again.
    m_renderer.ApplyDisplaySettings(&m_window, 256, 192, false, false);
    EXPECT_EQ(RenderStateValue(gpu::kRsStencilWriteMask), 0u) << "the device agrees with the cache it resets";
    EXPECT_EQ(RenderStateValue(gpu::kRsStencilEnable), 0u);
    EXPECT_EQ(SamplerState(1, gpu::kSsMipFilter), uint32_t(gpu::kFilterPoint));
    const gpu::FrameStatistics afterReset = Stats();
    RunOnRenderThread(m_renderer, [](NorvexRenderer& r) {
        r.SetCullMode(gpu::kCullClockwise);
        r.SetBlendMode(9);
    });
    EXPECT_EQ(StateCalls(gpu::kRsCullMode) - afterReset.renderStateCalls[gpu::kRsCullMode], 1u);
    EXPECT_EQ(StateCalls(gpu::kRsAlphaBlendEnable) - afterReset.renderStateCalls[gpu::kRsAlphaBlendEnable], 0u);
}

// Each alpha-test mode's device values; a reference is only sent while a test is on; depth writes
// follow their flag both ways.
TEST_F(RenderStateCacheTest, AlphaTestModesAndDepthWritesSetTheirValues)
{
    const struct
    {
        uint32_t mode;
        uint32_t reference;
        uint32_t enable;
        uint32_t function; // kept from the step before when the test is off
        uint32_t deviceReference;
    } kSteps[] = {
        {1, 40, 1, gpu::kCmpGreater, 40},
        {2, 40, 1, gpu::kCmpLess, 40},
        {0, 90, 0, gpu::kCmpLess, 40},
        {2, 90, 1, gpu::kCmpLess, 90},
        {1, 90, 1, gpu::kCmpGreater, 90},
    };
    for (const auto& step : kSteps)
    {
        RunOnRenderThread(m_renderer, [&step](NorvexRenderer& r) { r.SetAlphaTest(step.mode, step.reference); });
        EXPECT_EQ(RenderStateValue(gpu::kRsAlphaTestEnable), step.enable) << "mode " << step.mode;
        EXPECT_EQ(RenderStateValue(gpu::kRsAlphaFunc), step.function) << "mode " << step.mode;
        EXPECT_EQ(RenderStateValue(gpu::kRsAlphaRef), step.deviceReference) << "mode " << step.mode;
    }
    for (const bool write : {false, true, false})
    {
        RunOnRenderThread(m_renderer, [write](NorvexRenderer& r) { r.SetDepthState(gpu::kCmpLess, write, 0.0f); });
        EXPECT_EQ(RenderStateValue(gpu::kRsZWriteEnable), uint32_t(write));
        EXPECT_EQ(RenderStateValue(gpu::kRsZFunc), uint32_t(gpu::kCmpLess));
    }
    const gpu::FrameStatistics before = Stats();
    RunOnRenderThread(m_renderer, [](NorvexRenderer& r) { r.SetBlendMode(CachedRenderState::kBlendModeCount); });
    EXPECT_EQ(StateCalls(gpu::kRsAlphaBlendEnable), before.renderStateCalls[gpu::kRsAlphaBlendEnable])
        << "no such blend mode";
}

TEST_F(RenderStateCacheTest, SamplerStatesChangeOnlyForTheFlagGroupsThatChanged)
{
    TextureHolder* holder = nullptr;
    gpu::FrameStatistics before;
    gpu::FrameStatistics sameFlags;
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) {
        holder = new TextureHolder();
        ASSERT_TRUE(holder->Create(r.GetDevice(), 4, 4, 1, 0, gpu::kFormatA8R8G8B8, gpu::kPoolManaged));
        before = r.GetDevice()->GetFrameStatistics();
        r.SetTexture(0, holder, 0);
        r.SetTexture(0, holder, 0);
        sameFlags = r.GetDevice()->GetFrameStatistics();
        r.SetTexture(0, holder, SAMPLER_CLAMP_U);
        r.SetTexture(gpu::kSamplerCount, holder, 0); // no such stage
    });
    EXPECT_EQ(sameFlags.textureCalls - before.textureCalls, 2u);
    EXPECT_EQ(Stats().textureCalls, sameFlags.textureCalls + 1) << "the stage past the last is not bound";
    for (uint32_t state = 0; state < gpu::kSamplerStateCount; ++state)
        EXPECT_EQ(sameFlags.samplerStateCalls[state], before.samplerStateCalls[state]) << "sampler state " << state;
    EXPECT_EQ(SamplerCalls(gpu::kSsAddressU) - sameFlags.samplerStateCalls[gpu::kSsAddressU], 1u);
    EXPECT_EQ(SamplerCalls(gpu::kSsMagFilter) - sameFlags.samplerStateCalls[gpu::kSsMagFilter], 0u);
    EXPECT_EQ(SamplerCalls(gpu::kSsSrgbTexture) - sameFlags.samplerStateCalls[gpu::kSsSrgbTexture], 0u);
    EXPECT_EQ(SamplerState(0, gpu::kSsAddressU), gpu::kAddressClamp);
    EXPECT_EQ(SamplerState(0, gpu::kSsAddressV), gpu::kAddressWrap);
    EXPECT_EQ(m_renderer.GetDevice()->PeekTexture(0), holder->GetTexture());

    RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) {
        r.SetTexture(1, holder, SAMPLER_POINT | SAMPLER_BORDER | SAMPLER_LINEAR_MIP);
    });
    EXPECT_EQ(SamplerState(1, gpu::kSsMagFilter), gpu::kFilterPoint);
    EXPECT_EQ(SamplerState(1, gpu::kSsMipFilter), gpu::kFilterPoint) << "point filtering keeps point mips";
    EXPECT_EQ(SamplerState(1, gpu::kSsAddressU), gpu::kAddressBorder);

    // Scene colour modes 1 and 2 drop sRGB read unless the texture forces it.
    for (const uint32_t mode : {1u, 2u})
    {
        m_renderer.SetSceneColorMode(mode);
        RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) {
            r.SetTexture(2, holder, SAMPLER_SRGB | SAMPLER_FORCE_SRGB);
            r.SetTexture(3, holder, SAMPLER_SRGB);
        });
        EXPECT_EQ(SamplerState(2, gpu::kSsSrgbTexture), 1u) << "mode " << mode;
        EXPECT_EQ(SamplerState(3, gpu::kSsSrgbTexture), 0u) << "mode " << mode;
    }

    RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) {
        for (uint32_t stage = 0; stage < 4; ++stage)
            r.SetTexture(stage, nullptr, 0);
        holder->Release();
        delete holder;
        // A reset puts every stage, the last too, back to the cache's defaults.
        r.GetDevice()->SetSamplerState(gpu::kSamplerCount - 1, gpu::kSsMagFilter, gpu::kFilterPoint);
        r.GetStateCache().Reset();
    });
    EXPECT_EQ(SamplerState(gpu::kSamplerCount - 1, gpu::kSsMagFilter), gpu::kFilterLinear);
}

TEST_F(RenderStateCacheTest, TheSceneSlotFlagBindsTheEnvironmentMapOfTheSetInForce)
{
    TextureHolder* own = nullptr;
    TextureHolder* map = nullptr;
    SceneParametersWrapper scene;
    scene.SetDefaults();
    TextureHolder* bound[4] = {};
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) {
        own = new TextureHolder();
        map = new TextureHolder();
        ASSERT_TRUE(own->Create(r.GetDevice(), 4, 4, 1, 0, gpu::kFormatA8R8G8B8, gpu::kPoolManaged));
        ASSERT_TRUE(map->Create(r.GetDevice(), 2, 2, 1, 0, gpu::kFormatA8R8G8B8, gpu::kPoolManaged));
        // No set in force, then a set without an environment map: the given texture stays.
        r.SetTexture(0, own, SAMPLER_SCENE_SLOT);
        bound[0] = r.GetStateCache().GetCached().holders[0];
        gSceneEnvironment.CreateSets();
        r.SetTexture(1, own, SAMPLER_SCENE_SLOT);
        bound[1] = r.GetStateCache().GetCached().holders[1];
        scene.SetEnvironmentMap(map);
        gSceneEnvironment.StartBlend(&scene, SceneEnvironment::kBlendTemporary, 0, 0.0f);
        r.SetTexture(2, own, SAMPLER_SCENE_SLOT);
        bound[2] = r.GetStateCache().GetCached().holders[2];
        r.SetTexture(3, own, 0);
        bound[3] = r.GetStateCache().GetCached().holders[3];
    });
    EXPECT_EQ(bound[0], own);
    EXPECT_EQ(bound[1], own);
    EXPECT_EQ(bound[2], map) << "the set's environment map replaces the given texture";
    EXPECT_EQ(m_renderer.GetDevice()->PeekTexture(2), map->GetTexture());
    EXPECT_EQ(bound[3], own) << "only with the flag";
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) {
        for (uint32_t stage = 0; stage < 4; ++stage)
            r.SetTexture(stage, nullptr, 0);
        gSceneEnvironment.DeleteSets();
        scene.SetEnvironmentMap(nullptr);
        own->Release();
        map->Release();
        delete own;
        delete map;
    });
}

TEST_F(RenderStateCacheTest, DrawWrappersCountTheFrameAndTargetsBindAndRelease)
{
    const float triangle[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    const uint16_t indices[6] = {0, 1, 2, 2, 1, 0};
    RenderTarget color;
    RenderTarget depth;
    m_renderer.SetFrameTarget(nullptr, 0, 0);
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) {
        ASSERT_TRUE(color.Create(r.GetDevice(), 64, 32, gpu::kFormatA8R8G8B8, gpu::kUsageRenderTarget, false));
        ASSERT_TRUE(depth.Create(r.GetDevice(), 64, 32, gpu::kFormatD24S8, 0, true));
        r.SetViewportRect(0, 0, 32, 16);
        r.SetRenderTargets(&color, nullptr, 1);
        r.GetDevice()->SetDepthStencilSurface(depth.GetSurface());
        r.ClearTargets(gpu::kClearTarget | gpu::kClearDepth, Vector(1.0f, 0.5f, 0.0f, 1.0f), 1.0f, 0);
        r.GetDevice()->SetFVF(gpu::kFvfXyz);
        r.DrawPrimitiveUP(gpu::kPrimitiveTriangleList, 1, triangle, sizeof(triangle[0]));
        r.DrawIndexedPrimitiveUP(gpu::kPrimitiveTriangleList, 0, 3, 2, indices, gpu::kFormatIndex16, triangle,
                                 sizeof(triangle[0]));
    });
    EXPECT_EQ(m_renderer.GetFrameDrawCalls(), 2u);
    EXPECT_EQ(m_renderer.GetFramePrimitives(), 3u);
    const std::vector<gpu::DrawRecord>& log = m_renderer.GetDevice()->GetDrawLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.back().renderTargetIds[0], color.GetSurface()->GetId());
    EXPECT_EQ(log.back().viewport.width, 32u) << "the kept viewport is set again after the target";
    EXPECT_EQ(RenderStateValue(gpu::kRsSrgbWriteEnable), 1u);
    EXPECT_EQ(color.GetSurface()->ReadPixelArgb(3, 3), 0xFFFF8000u) << "127.5 rounds up";
    m_renderer.SetSceneColorMode(1);
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) { r.SetRenderTargets(&color, nullptr, 1); });
    EXPECT_EQ(RenderStateValue(gpu::kRsSrgbWriteEnable), 0u) << "a linear scene writes no sRGB";

    RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) {
        r.SetBackBufferTarget();
        r.GetDevice()->SetDepthStencilSurface(nullptr);
        color.Release();
        depth.Release();
    });
    EXPECT_EQ(color.GetSurface(), nullptr);
    EXPECT_EQ(color.GetHolder(), nullptr);
    m_renderer.SetFrameTarget(nullptr, 0, 0);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetFrameDrawCalls(), 0u) << "selecting the frame's targets clears the counters";

    // A back buffer that takes no sRGB writes keeps sRGB writes and reads off, whatever is asked.
    ASSERT_TRUE(ReopenWithout(&gpu::DisplayConfig::srgbWriteFormats));
    m_renderer.SetSceneColorMode(0);
    m_renderer.SetSRGBWrite(1);
    m_renderer.SetFrameTarget(nullptr, 0, 2);
    RunOnRenderThread(m_renderer, [](NorvexRenderer& r) {
        r.SetBackBufferTarget();
        r.SetTexture(0, nullptr, SAMPLER_SRGB | SAMPLER_FORCE_SRGB);
    });
    EXPECT_EQ(RenderStateValue(gpu::kRsSrgbWriteEnable), 0u);
    EXPECT_EQ(SamplerState(0, gpu::kSsSrgbTexture), 0u);
    EXPECT_TRUE(m_log.Contains("This GPU doesn't support sRGB writes. Switching sRGB off"));
}

TEST_F(RenderStateCacheTest, CameraKeepsBiasedAndMirroredMatrices)
{
    Matrix projection;
    projection.LoadPerspectiveFovLH(60.0f, 1.0f, 1.0f, 100.0f);
    m_renderer.SetCamera(Matrix::ONE, projection, Matrix::ONE);
    m_renderer.SubmitCommands(true);
    EXPECT_FALSE(m_renderer.GetCamera().mirrored);
    EXPECT_FLOAT_EQ(m_renderer.GetViewProjection().At(2, 2), projection.At(2, 2));
    EXPECT_FLOAT_EQ(m_renderer.GetCamera().depthScale, 1.0f) << "the stand-in has depth textures";

    RunOnRenderThread(m_renderer, [](NorvexRenderer& r) { r.SetDepthState(gpu::kCmpLessEqual, true, 0.5f); });
    EXPECT_FLOAT_EQ(m_renderer.GetViewProjection().At(2, 2), projection.At(2, 2) + 0.35f);
    EXPECT_FLOAT_EQ(m_renderer.GetCamera().viewProjection.At(2, 2), projection.At(2, 2)) << "the plain one keeps no bias";

    Matrix mirror;
    mirror.LoadScale(Vector(-1.0f, 1.0f, 1.0f, 1.0f));
    m_renderer.SetCamera(mirror, projection, Matrix::ONE);
    m_renderer.SubmitCommands(true);
    EXPECT_TRUE(m_renderer.GetCamera().mirrored);
    EXPECT_FLOAT_EQ(m_renderer.GetViewProjection().At(2, 2), projection.At(2, 2) + 0.35f) << "the bias stays";
    EXPECT_EQ(NorvexRenderer::GetBlendModeFadeVector(4).x, -1.0f);
    RunOnRenderThread(m_renderer, [](NorvexRenderer& r) { r.SetDepthState(gpu::kCmpLessEqual, true, 0.0f); });
    EXPECT_FLOAT_EQ(m_renderer.GetViewProjection().At(2, 2), projection.At(2, 2)) << "asking for none takes it out";
    RunOnRenderThread(m_renderer, [](NorvexRenderer& r) { r.SetDepthState(gpu::kCmpLessEqual, true, 0.5f); });

    // A device reset forgets the bias: asking for none again takes it out of the matrices.
    m_renderer.ApplyDisplaySettings(&m_window, 256, 192, false, false);
    RunOnRenderThread(m_renderer, [](NorvexRenderer& r) { r.SetDepthState(gpu::kCmpLessEqual, true, 0.0f); });
    EXPECT_FLOAT_EQ(m_renderer.GetViewProjection().At(2, 2), projection.At(2, 2));
    // The third matrix comes after the projection: its x shift grows with w, the view depth.
    Matrix shift = Matrix::ONE;
    shift.rows[3] = Vector(0.5f, 0.0f, 0.0f, 1.0f);
    m_renderer.SetCamera(Matrix::ONE, projection, shift);
    m_renderer.SubmitCommands(true);
    EXPECT_FLOAT_EQ(m_renderer.GetViewProjection().At(2, 0), 0.5f);

    // Without depth textures depth is written as a colour scaled by the far plane's view depth.
    ASSERT_TRUE(ReopenWithout(&gpu::DisplayConfig::depthTextureFormats));
    m_renderer.SetCamera(Matrix::ONE, projection, Matrix::ONE);
    m_renderer.SubmitCommands(true);
    EXPECT_NEAR(m_renderer.GetCamera().depthScale, 0.01f, 1e-6f);
}
} // namespace
