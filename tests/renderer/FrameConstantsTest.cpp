// ctest-labels: thread
// The textures and registers a camera change leaves for every shader: the shared noise, the
// refraction copy, the depth and, on the mobile platform modes, the lighting cube; the corner rays.
// The lit mesh shader's options read the registers the renderer fills. The frame clocks reset from
// now and pause.
#include "effects/particles/ParticlePools.h"
#include "platform/gpu/Gpu.h"
#include "platform/os/Clock.h"
#include "renderer/FrameClock.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/RenderTargetSet.h"
#include "renderer/ShaderManager.h"
#include "renderer/jobs/TextureHolder.h"
#include "renderer/resources/ResourceTexture.h"
#include "support/RenderDataHarness.h"
#include "support/RenderThreadCall.h"
#include "support/ShaderSourceFolder.h"
#include "support/SystemTextures.h"
#include "tools/datakit/DataRoot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace
{
gpu::GpuBaseTexture* TextureOf(TextureHolder* holder)
{
    return holder != nullptr ? holder->GetTexture() : nullptr;
}

class FrameConstantsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataRoot data;
        ASSERT_FALSE(AddSystemTextures(data).empty());
        ASSERT_TRUE(m_harness.StartWithShaders(data));
    }
    void TearDown() override { m_harness.Stop(); }

    void Apply(bool refraction, uint32_t colorMode)
    {
        NorvexRenderer& renderer = m_harness.GetRenderer();
        RendererDeviceSettings settings;
        settings.gfxQualityLevel = 2;
        settings.enableRefraction = refraction;
        renderer.SetDeviceSettings(settings);
        renderer.ApplyDisplaySettings(m_harness.GetWindow(), 320, 240, true, false);
        renderer.SetSceneColorMode(colorMode);
        // A frame's end unbinds every sampler: what is bound afterwards came from the camera.
        renderer.UpscaleFinal();
        Matrix projection;
        ASSERT_TRUE(projection.LoadPerspectiveFovLH(90.0f, 2.0f, 1.0f, 100.0f));
        renderer.SetCamera(Matrix::ONE, projection, Matrix::ONE);
        renderer.SubmitCommands(true);
    }

    gpu::GpuDevice& Device() { return *m_harness.GetRenderer().GetDevice(); }
    const RenderTargetSet& Targets() { return m_harness.GetRenderer().GetDeviceManager().GetRenderTargets(); }

    RenderDataHarness m_harness;
};
} // namespace

TEST_F(FrameConstantsTest, CameraBindsNoiseRefractionCopyAndDepth)
{
    Apply(true, 0);
    const auto* noise = static_cast<const ResourceTexture*>(gShaderManager.GetSystemTexture(0).resource);
    ASSERT_NE(noise, nullptr);
    ASSERT_NE(TextureOf(noise->GetTextureHolder()), nullptr);
    EXPECT_EQ(Device().PeekTexture(8), TextureOf(noise->GetTextureHolder()));
    uint32_t address = 0;
    Device().GetSamplerState(8, gpu::kSsAddressU, &address);
    EXPECT_EQ(address, gpu::kAddressWrap) << "the noise repeats";

    ASSERT_NE(TextureOf(Targets().refractionCopy.GetHolder()), nullptr);
    EXPECT_EQ(Device().PeekTexture(9), TextureOf(Targets().refractionCopy.GetHolder()));
    for (uint32_t type : {gpu::kSsAddressU, gpu::kSsAddressV})
    {
        Device().GetSamplerState(9, type, &address);
        EXPECT_EQ(address, gpu::kAddressClamp) << "the screen copy never wraps";
    }
    EXPECT_NE(Device().PeekTexture(10), nullptr);
    EXPECT_EQ(Device().PeekTexture(11), nullptr) << "mode 0 leaves the lighting cube to the draws that ask";
}

TEST_F(FrameConstantsTest, MobileModesBindTheLightingCubeAndNoCopyWithoutRefraction)
{
    for (uint32_t mode : {1u, 2u})
    {
        Apply(false, mode);
        EXPECT_EQ(Device().PeekTexture(9), nullptr) << "no refraction copy exists";
        ASSERT_NE(TextureOf(Targets().lightingCube), nullptr);
        EXPECT_EQ(Device().PeekTexture(11), TextureOf(Targets().lightingCube)) << mode;
    }
}

TEST_F(FrameConstantsTest, CornerRaysAtDepthOne)
{
    Apply(false, 0);
    // 90 degrees high at aspect 2: the top-left corner's ray is (-2, 1, 1), the bottom-right's (2, -1, 1).
    float rays[8] = {};
    ASSERT_EQ(Device().GetPixelShaderConstantF(221, rays, 2), gpu::kOk);
    const float expected[8] = {-2.0f, 1.0f, 1.0f, 0.0f, 2.0f, -1.0f, 1.0f, 0.0f};
    for (int i = 0; i < 8; ++i)
        EXPECT_NEAR(rays[i], expected[i], 1e-5f) << i;
    // Register 218 starts with half a pixel across the render width.
    float mapping[4] = {};
    ASSERT_EQ(Device().GetPixelShaderConstantF(218, mapping, 1), gpu::kOk);
    EXPECT_FLOAT_EQ(mapping[0], 0.5f / float(m_harness.GetRenderer().GetRenderWidth()));
    // Register 248: the depth scale (1 / far), then one over the effect softness distance in its units.
    float depth[4] = {};
    ASSERT_EQ(Device().GetVertexShaderConstantF(248, depth, 1), gpu::kOk);
    EXPECT_NEAR(depth[0] * depth[2] * RendererDeviceSettings().effectSoftnessDistance, 1.0f, 1e-4f);
    // Register 247: the engine and game clocks in seconds, as the next camera finds them.
    FrameClock clocks[3];
    clocks[0].accumulatedCounter = 2 * os::kCounterFrequency;
    clocks[1].accumulatedCounter = 3 * os::kCounterFrequency;
    m_harness.GetRenderer().SetFrameTimes(clocks[0], clocks[1], clocks[2], 0);
    m_harness.GetRenderer().SetCamera(Matrix::ONE, Matrix::ONE, Matrix::ONE);
    m_harness.GetRenderer().SubmitCommands(true);
    ASSERT_EQ(Device().GetVertexShaderConstantF(247, depth, 1), gpu::kOk);
    EXPECT_EQ(depth[0], 2.0f);
    EXPECT_EQ(depth[1], 3.0f);
    // Sent while scene rendering is blocked, the clocks start no particle frame.
    NorvexRenderer& renderer = m_harness.GetRenderer();
    uint32_t frames[3] = {};
    for (uint32_t command = 0; command < 3; ++command)
    {
        RunOnRenderThread(renderer, [&](NorvexRenderer&) { frames[command] = gParticlePools.GetFrame(); });
        renderer.SetFrameTimes(clocks[0], clocks[1], clocks[2], command == 0 ? kFrameTimesSceneBlocked : 0);
        renderer.SubmitCommands(true);
    }
    EXPECT_EQ(frames[1] - frames[0], 0u);
    EXPECT_EQ(frames[2] - frames[1], 1u);
}

TEST(FrameCornerRaysTest, OffCentreProjectionAndADegenerateOne)
{
    // Left -1, right 3, bottom -1, top 1 at the near plane 1: the rays keep the offset.
    Matrix projection;
    projection.LoadPerspectiveOffCenterLH(-1.0f, 3.0f, -1.0f, 1.0f, 1.0f, 50.0f);
    Matrix inverse = projection;
    ASSERT_TRUE(inverse.Inverse());
    Vector rays[2];
    NorvexRenderer::ComputeCornerRays(inverse, rays);
    EXPECT_NEAR(rays[0].x, -1.0f, 1e-4f);
    EXPECT_NEAR(rays[0].y, 1.0f, 1e-4f);
    EXPECT_NEAR(rays[1].x, 3.0f, 1e-4f);
    EXPECT_NEAR(rays[1].y, -1.0f, 1e-4f);
    EXPECT_EQ(rays[1].z, 1.0f);
    EXPECT_EQ(rays[1].w, 0.0f);

    // A matrix that sends every corner to depth 0 gives the straight-ahead ray, never infinity.
    Matrix flat = Matrix::ONE;
    flat.rows[2].z = 0.0f;
    NorvexRenderer::ComputeCornerRays(flat, rays);
    EXPECT_EQ(rays[0].x, 0.0f);
    EXPECT_EQ(rays[0].z, 1.0f);
}

// The lit mesh shader reads what the renderer fills: the mobile options the per-vertex sun and the
// specular light, the refraction option the noise and the screen copy, the shadow option the map.
TEST(MeshShaderRegistersTest, OptionsReadTheRegistersAndSamplersTheRendererFills)
{
    const std::string source = ShaderFolderIncludes::ReadShaderSource("MeshSolid.hlsl");
    ASSERT_FALSE(source.empty());
    struct Expected
    {
        const char* entry;
        const char* profile;
        std::vector<std::string> options;
        const char* name;
        uint32_t registerIndex; // ~0u: not read
    };
    const Expected rows[] = {
        {"vertex", "vs_3_0", {"VERTEX_LIGHTING"}, "VertexSunDirection", 201},
        {"vertex", "vs_3_0", {"VERTEX_LIGHTING"}, "VertexSecondaryColor", 203},
        {"pixel", "ps_3_0", {"VERTEX_LIGHTING"}, "SunDirection", ~0u},
        {"pixel", "ps_3_0", {}, "SunDirection", 200},
        {"vertex", "vs_3_0", {"SPECULAR"}, "CameraPosition", 242},
        {"pixel", "ps_3_0", {"SPECULAR"}, "SpecularDirection", 190},
        {"pixel", "ps_3_0", {"SPECULAR"}, "SpecularVector", 191},
        {"pixel", "ps_3_0", {"SPECULAR"}, "SpecularColor", 192},
        {"pixel", "ps_3_0", {}, "SpecularColor", ~0u},
        {"pixel", "ps_3_0", {"REFRACTION"}, "GlobalTexture", 8},
        {"pixel", "ps_3_0", {"REFRACTION"}, "FrameTexture", 9},
        {"pixel", "ps_3_0", {"REFRACTION"}, "ScreenToView", 223},
        {"pixel", "ps_3_0", {}, "FrameTexture", ~0u},
        {"vertex", "vs_3_0", {"SHADOWMAP"}, "ShadowMatrix", 222},
        {"pixel", "ps_3_0", {"SHADOWMAP"}, "ShadowMap", 5},
        {"pixel", "ps_3_0", {}, "ShadowMap", ~0u},
    };
    for (const Expected& row : rows)
    {
        const std::vector<uint8_t> code = CompileShaderText(source, row.entry, row.profile, row.options);
        ASSERT_FALSE(code.empty()) << row.name;
        gpu::ShaderConstantTable* table = nullptr;
        ASSERT_EQ(gpu::GetShaderConstantTable(code.data(), code.size(), &table), gpu::kOk);
        const gpu::ShaderConstant* constant = table->FindConstant(row.name);
        const uint32_t found = constant != nullptr ? constant->registerIndex : ~0u;
        EXPECT_EQ(found, row.registerIndex) << row.name << " " << row.entry;
        table->Release();
    }
}

TEST(FrameClockTest, ResetStartsFromNowAndPausedTicksAccumulateNothing)
{
    os::EnableManualCounter(5 * os::kCounterFrequency);
    FrameClock clock;
    clock.stepCount = 7;
    clock.lastStepSeconds = 9.0f;
    clock.Reset();
    EXPECT_EQ(clock.lastCounter, uint64_t(5 * os::kCounterFrequency));
    EXPECT_EQ(clock.accumulatedCounter, uint64_t(5 * os::kCounterFrequency));
    EXPECT_EQ(clock.lastStepSeconds, 0.0f);

    os::AdvanceManualCounter(os::kCounterFrequency / 4);
    clock.Tick(false);
    EXPECT_EQ(clock.accumulatedCounter, uint64_t(5 * os::kCounterFrequency + os::kCounterFrequency / 4));
    EXPECT_EQ(clock.lastStepSeconds, 0.25f);
    EXPECT_EQ(clock.stepCount, 8u);

    // A paused tick still takes the new time, so the step after it measures only its own span.
    os::AdvanceManualCounter(os::kCounterFrequency);
    clock.Tick(true);
    EXPECT_EQ(clock.lastStepSeconds, 0.0f);
    EXPECT_EQ(clock.stepCount, 8u);
    EXPECT_EQ(clock.accumulatedCounter, uint64_t(5 * os::kCounterFrequency + os::kCounterFrequency / 4));
    os::AdvanceManualCounter(os::kCounterFrequency / 2);
    clock.Tick(false);
    EXPECT_EQ(clock.lastStepSeconds, 0.5f);
    EXPECT_EQ(clock.accumulatedCounter, uint64_t(5 * os::kCounterFrequency + 3 * os::kCounterFrequency / 4));
    os::DisableManualCounter();
}
