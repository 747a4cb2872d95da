// ctest-labels: thread
// Gathered scene rendering on a running renderer with the project's shaders: a ground slab and a
// cube of deferred material, a point light and the scene's sun. The draw log holds the shadow map,
// the three deferred passes, the light volume and the forward bucket in that order; pixel probes
// find the sun's light where nothing hides it, half of it in the cube's shadow and the point
// light's red near the light, cut where its mask texture is black, and the same pixels when the
// scene is drawn with two or four samples; a face towards the sun keeps all of its light however
// small the map's biases, and no device object outlives the renderer. Every draw of whole frames,
// with their states and constants, matches a stored copy.
#include "core/reflection/RecordStream.h"
#include "engine/config/ProjectConfig.h"
#include "engine/scripting/GameDelegate.h"
#include "platform/gpu/Gpu.h"
#include "renderer/MeshEntityRenderingContext.h"
#include "renderer/MeshFakeShadowDefinition.h"
#include "renderer/MeshRenderSharedBuffers.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "renderer/OutlineRenderer.h"
#include "renderer/PostprocessManager.h"
#include "renderer/RendererLightWrapper.h"
#include "renderer/RendererObjectHandle.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/ShaderManager.h"
#include "renderer/jobs/TextureHolder.h"
#include "scene/kinds/MeshTemplate.h"
#include "support/ConsoleCapture.h"
#include "support/DrawLogText.h"
#include "support/GoldenText.h"
#include "support/MaskTexture.h"
#include "support/RenderDataHarness.h"
#include "support/RenderProbes.h"
#include "support/RenderThreadCall.h"
#include "support/SystemTextures.h"
#include "tools/datakit/MeshTemplateWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace
{
constexpr uint32_t kShadowMapSize = 256;

class GatheredSceneTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataRoot data;
        // The blob shadow sprite: opaque white, so a quad darkens by its full strength.
        const std::string white = AddSystemTextures(data);
        ASSERT_FALSE(white.empty());
        data.AddFile("textures", "iPhone/System/Shadow_Dynamic_$lxy.texture", white);
        ASSERT_TRUE(m_harness.WriteAndMount(data));
        m_harness.GetRenderer().SetDeviceSettings(Settings(0));
        ASSERT_TRUE(m_harness.Start());
        ASSERT_TRUE(gShaderManager.Init(true));
        // The scene's set: the default sun (down at 45 degrees towards +z), shadows at half.
        gSceneEnvironment.Create();
        m_scene.SetDefaults();
        m_scene.GetSun().shadowStrength = 0.5f;
        gSceneEnvironment.SetOverrideParameters(&m_scene);
        gSceneEnvironment.EnableOverride();
        // Handed over before the loads below wait on their renderer jobs.
        m_harness.GetRenderer().SubmitCommands(true);
        m_slab = Box(40.0f, 1.0f, true);
        m_cube = Box(2.0f, 2.0f, true);
        m_forward = Box(1.0f, 1.0f, false);
        ASSERT_TRUE(m_slab && m_cube && m_forward);
    }
    void TearDown() override
    {
        NorvexRenderer& renderer = m_harness.GetRenderer();
        for (MeshEntityRenderingContext* context : m_contexts)
            context->Release();
        if (m_light != nullptr)
            NorvexRendererObject::PostDeletion(m_light, true, false);
        for (auto* data : {&m_slab, &m_cube, &m_forward})
            if (*data)
                NorvexRendererObject::PostDeletion(data->release(), true, false);
        // The set's texture references go back on the render thread, before the device closes.
        RunOnRenderThread(renderer, [&](NorvexRenderer&) { m_scene.SetCloudTexture(nullptr); });
        gSceneEnvironment.Close();
        renderer.SubmitCommands(true);
        m_harness.Stop();
        EXPECT_EQ(gpu::LiveObjectTotal(), 0u) << "closing must leave no device object alive";
    }

    static RendererDeviceSettings Settings(uint32_t msaaMode)
    {
        RendererDeviceSettings settings;
        settings.shadowMapSize = kShadowMapSize;
        settings.enableShadowMapFiltering = false;
        // Biases for a map of 2048 texels, scaled up eight times for this one: small enough to
        // keep the cube's shadow on the ground.
        settings.depthBias = 0.0001f;
        settings.slopeDepthBias = 0.0002f;
        settings.msaaMode = msaaMode;
        return settings;
    }

    // A box standing on y = 0 (edge by height), of deferred or forward material, loaded as a
    // template's data loads.
    std::unique_ptr<MeshTemplateRenderingData> Box(float edge, float height, bool deferred)
    {
        MeshTemplateSpec spec;
        spec.shape = MeshTemplateSpec::Shape::Box;
        spec.boxSize[0] = spec.boxSize[2] = edge;
        spec.boxSize[1] = height;
        spec.deferred = deferred;
        const std::unique_ptr<MeshTemplate> made = MeshTemplateWriter::MakeTemplate(spec);
        std::vector<uint8_t> record(65536);
        RecordOutput out(record.data(), record.size(), false);
        made->GetRenderingData()->Save(out);
        record.resize(out.Size());
        auto data = std::make_unique<MeshTemplateRenderingData>();
        RecordInput in(record.data(), record.size());
        return data->Load(in, 53, deferred ? "Deferred" : "Forward") ? std::move(data) : nullptr;
    }

    MeshEntityRenderingContext* Place(const MeshTemplateRenderingData* data, const Vector& at)
    {
        auto* context = new MeshEntityRenderingContext(m_harness.GetRenderer(), data, 0, Vector(1.0f, 1.0f, 1.0f, 1.0f),
                                                       LightmapMapping());
        Matrix world = Matrix::ONE;
        world.rows[3] = at;
        context->SetTransformAndBounds(world, world, false, data->GetBounds());
        m_contexts.push_back(context);
        return context;
    }

    // The draw steps of the last frame, each once in the order they first drew.
    std::vector<std::string> Steps()
    {
        const RenderTargetSet& targets = m_harness.GetRenderer().GetDeviceManager().GetRenderTargets();
        const uint64_t shadowMap = targets.shadowMap.GetSurface()->GetId();
        const uint64_t normals = targets.GetNormals().GetSurface()->GetId();
        const uint64_t light = targets.GetLightAccumulation(false).GetSurface()->GetId();
        const uint64_t scene = targets.sceneColor.GetSurface()->GetId();
        std::vector<std::string> steps;
        for (const gpu::DrawRecord& draw : m_harness.GetRenderer().GetDevice()->GetLastFrameDrawLog())
        {
            const char* step = draw.depthStencilId == shadowMap                              ? "shadow"
                               : draw.renderTargetIds[0] == normals                          ? "normals"
                               : draw.renderTargetIds[0] == light && draw.fvf != gpu::kFvfXyz ? "quad"
                               : draw.renderTargetIds[0] == light                            ? "volume"
                               : draw.renderTargetIds[0] == scene && draw.renderStates[gpu::kRsStencilEnable] == 0
                                   ? "compose"
                                   : "forward";
            EXPECT_FALSE(draw.withoutProgram) << step;
            if (steps.empty() || steps.back() != step)
                steps.push_back(step);
            if (std::string(step) == "volume")
            {
                // Depth-tested from outside the sphere; from inside only its far side shows, drawn whatever
                // lies in front. No depth writes, added to what is there.
                EXPECT_EQ(draw.renderStates[gpu::kRsZFunc], m_eyeInLight ? gpu::kCmpAlways : gpu::kCmpLessEqual);
                EXPECT_EQ(draw.renderStates[gpu::kRsCullMode],
                          m_eyeInLight ? gpu::kCullClockwise : gpu::kCullCounterClockwise);
                EXPECT_EQ(draw.renderStates[gpu::kRsZWriteEnable], 0u);
                EXPECT_EQ(draw.renderStates[gpu::kRsDestBlend], 2u);
                EXPECT_EQ(draw.renderStates[gpu::kRsStencilFunc], gpu::kCmpEqual) << "deferred pixels only";
            }
            if (std::string(step) == "normals")
            {
                EXPECT_EQ(draw.renderStates[gpu::kRsStencilWriteMask], 1u);
            }
        }
        return steps;
    }

    // One frame: the camera at m_eye (high behind the scene unless moved) looking at the origin, the
    // shadow map, the gathered tasks, then the scene copied to the back buffer.
    // With blob shadow definitions for the cube and the forward box, the frame asks for fake shadows.
    void RenderFrame(const MeshFakeShadowDefinition* cubeShadow = nullptr,
                     const MeshFakeShadowDefinition* forwardShadow = nullptr)
    {
        NorvexRenderer& renderer = m_harness.GetRenderer();
        renderer.InitSceneCellGrid(m_sceneBox, 10.0f);
        MeshEntityRenderingContext* slab = Place(m_slab.get(), Vector(0.0f, -1.0f, 0.0f, 1.0f));
        Place(m_cube.get(), Vector(0.0f, 0.0f, 0.0f, 1.0f));
        MeshEntityRenderingContext* forward = Place(m_forward.get(), Vector(8.0f, 0.0f, 0.0f, 1.0f));
        const bool fakeShadows = cubeShadow != nullptr || forwardShadow != nullptr;
        if (fakeShadows)
        {
            m_contexts[1]->SetFakeShadowDefinition(cubeShadow);
            forward->SetFakeShadowDefinition(forwardShadow);
        }
        if (m_light != nullptr)
            NorvexRendererObject::PostDeletion(m_light, true, false);
        m_light = new RendererLightWrapper;
        Matrix lightAt = Matrix::ONE;
        lightAt.rows[3] = Vector(-6.0f, 1.0f, 0.0f, 1.0f);
        if (m_spotWidth > 0.0f)
        {
            // Straight down, its x along the world's.
            lightAt.rows[1] = Vector(0.0f, 0.0f, 1.0f, 0.0f);
            lightAt.rows[2] = Vector(0.0f, -1.0f, 0.0f, 0.0f);
        }
        m_light->PostMatrix(lightAt);
        if (m_spotWidth > 0.0f)
            m_light->PostSpot(Vector(1.0f, 0.0f, 0.0f, 1.0f), 1.0f, 0.0f, 3.0f, m_spotWidth, 0.0f, m_pointMask, Vector(),
                              Vector(1, 1, 1, 1));
        else
            m_light->PostPoint(Vector(1.0f, 0.0f, 0.0f, 1.0f), 1.0f, 0.0f, 3.0f, m_pointMask, Vector(),
                               Vector(1, 1, 1, 1));

        renderer.SetFrameTarget(nullptr, 1, 1); // multisampled, as the game asks, when the targets exist
        renderer.SetViewport(gpu::Viewport{0, 0, 320, 240, 0.0f, 1.0f});
        m_view.LoadLookAtLH(m_eye, Vector(0.0f, 0.0f, 0.0f, 1.0f), Vector(0.0f, 1.0f, 0.0f, 0.0f));
        m_projection.LoadPerspectiveFovLH(45.0f, 320.0f / 240.0f, 1.0f, 200.0f);
        renderer.SetCamera(m_view, m_projection, Matrix::ONE);
        renderer.SetScenePassOptions(0x80000, 0);
        if (fakeShadows)
            renderer.SubmitFakeShadows();
        renderer.BeginGather();
        renderer.AddRenderTask(m_contexts[0], 0x40);
        renderer.AddRenderTask(m_contexts[1], m_cubeTask);
        renderer.AddRenderTask(forward, 0x20);
        renderer.AddLight(m_light);
        renderer.RenderGathered(m_passFlags, 1, nullptr);
        renderer.PostProcess(m_postFlags);
        if ((m_cubeTask & 0x200) != 0)
            renderer.RenderOutlines();
        renderer.UpscaleFinal();
        renderer.Present(nullptr);
        renderer.SubmitCommands(true);
        (void)slab;
    }

    // The back buffer's pixel where a world point lands.
    uint32_t Probe(const Vector& world)
    {
        return ProbeBackBuffer(m_harness.GetRenderer(),
                               WorldPointPixel(m_projection, m_view, world, 320.0f, 240.0f));
    }
    // The fake shadow target's pixel where a world point lands (the target is a quarter of the frame).
    uint32_t ProbeFakeShadow(const Vector& world)
    {
        const auto [x, y] = WorldPointPixel(m_projection, m_view, world, 80.0f, 60.0f);
        uint32_t pixel = 0;
        RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer& renderer) {
            pixel = renderer.GetDeviceManager().GetRenderTargets().fakeShadow.GetSurface()->ReadPixelArgb(x, y);
        });
        return pixel;
    }
    static int Channel(uint32_t argb, int shift) { return int((argb >> shift) & 0xFF); }

    // The last frame's draws into the occlusion targets and the second light target, in order,
    // then whatever drew after them up to "Compose".
    std::vector<std::string> OcclusionSteps()
    {
        const RenderTargetSet& t = m_harness.GetRenderer().GetDeviceManager().GetRenderTargets();
        std::vector<std::string> steps;
        for (const gpu::DrawRecord& draw : m_harness.GetRenderer().GetDevice()->GetLastFrameDrawLog())
        {
            const uint64_t id = draw.renderTargetIds[0];
            const char* step = id == t.ambientOcclusion[0].GetSurface()->GetId()   ? "prepare"
                               : id == t.ambientOcclusion[1].GetSurface()->GetId() ? "blur"
                               : id == t.auxiliary.GetSurface()->GetId()           ? "occluded"
                               : id == t.GetNormals().GetSurface()->GetId()        ? "normals"
                               : id == t.GetLightAccumulation(false).GetSurface()->GetId() ? "light"
                               : id == t.sceneColor.GetSurface()->GetId()          ? "scene"
                                                                                   : nullptr;
            if (step != nullptr && (steps.empty() || steps.back() != step))
                steps.push_back(step);
        }
        return steps;
    }
    // The normals target's pixel where a world point lands.
    uint32_t ProbeNormals(const Vector& world)
    {
        const auto [x, y] = WorldPointPixel(m_projection, m_view, world, 320.0f, 240.0f);
        uint32_t pixel = 0;
        RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer& renderer) {
            pixel = renderer.GetDeviceManager().GetRenderTargets().GetNormals().GetSurface()->ReadPixelArgb(x, y);
        });
        return pixel;
    }

    ConsoleCapture m_log;
    RenderDataHarness m_harness;
    std::unique_ptr<MeshTemplateRenderingData> m_slab, m_cube, m_forward;
    std::vector<MeshEntityRenderingContext*> m_contexts;
    RendererLightWrapper* m_light = nullptr;
    TextureHolder* m_pointMask = nullptr;
    float m_spotWidth = 0.0f; // a spot of this width in place of the point light when above 0
    SceneParametersWrapper m_scene; // copied by the environment when its command runs
    Matrix m_view, m_projection;
    Vector m_eye = Vector(0.0f, 40.0f, -10.0f, 1.0f);
    bool m_eyeInLight = false; // m_eye inside the point light's sphere
    uint32_t m_postFlags = 0;
    uint32_t m_passFlags = 0x80000; // the gathered pass's flags
    uint32_t m_cubeTask = 0x40;     // with 0x200 the cube is outlined and the frame draws outlines
    BoundingBox4 m_sceneBox = BoundingBox4(Vector(-50, -10, -50, 1), Vector(50, 50, 50, 1));
};
} // namespace

TEST_F(GatheredSceneTest, TheFrameDrawsShadowDeferredPassesVolumesAndBucketsInOrder)
{
    // The game's hooks: around the scene passes, and after the normals and after the compose.
    struct PassHooks : GameDelegate
    {
        std::string calls;
        void OnBeforeScenePasses() override { calls += "before;"; }
        void OnAfterNormalsPass() override { calls += "normals;"; }
        void OnAfterComposePass() override { calls += "compose;"; }
        void OnAfterScenePasses() override { calls += "after;"; }
    } hooks;
    m_harness.GetRenderer().SetGameDelegate(&hooks);
    RenderFrame();
    m_harness.GetRenderer().SetGameDelegate(nullptr);
    EXPECT_EQ(hooks.calls, "before;normals;compose;after;");
    EXPECT_EQ(Steps(), (std::vector<std::string>{"shadow", "normals", "quad", "volume", "compose", "forward"}));
    EXPECT_EQ(m_harness.GetRenderer().GetExecutor().GetShadowCasterCount(), 3u) << "each caster once";
    // The scene constants: pixel register 220 the fog colour with one minus its alpha; vertex
    // register 249 (0, 1, 0, 0) only in a pass with flag bit 10.
    m_scene.GetShading().fogColor = Vector(0.5f, 0.25f, 1.0f, 0.75f);
    gSceneEnvironment.SetOverrideParameters(&m_scene);
    for (const uint32_t bit10 : {0u, 0x400u})
    {
        const float poison[4] = {9.0f, 9.0f, 9.0f, 9.0f};
        RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer& r) { r.SetVertexShaderConstants(249, poison, 1); });
        m_passFlags = 0x80000 | bit10;
        RenderFrame();
        float vertex249[4] = {}, pixel220[4] = {};
        m_harness.GetRenderer().GetDevice()->GetVertexShaderConstantF(249, vertex249, 1);
        m_harness.GetRenderer().GetDevice()->GetPixelShaderConstantF(220, pixel220, 1);
        const std::vector<float> up = {0.0f, 1.0f, 0.0f, 0.0f};
        EXPECT_EQ(std::vector<float>(vertex249, vertex249 + 4), bit10 != 0 ? up : std::vector<float>(poison, poison + 4));
        EXPECT_EQ(std::vector<float>(pixel220, pixel220 + 4), (std::vector<float>{0.5f, 0.25f, 1.0f, 0.25f}));
    }
    m_passFlags = 0x80000;

    m_eye = Vector(-6.0f, 2.5f, -1.5f, 1.0f);
    m_eyeInLight = true;
    RenderFrame();
    EXPECT_EQ(Steps(), (std::vector<std::string>{"shadow", "normals", "quad", "volume", "compose", "forward"}));
}

TEST_F(GatheredSceneTest, TheMobileModesSkipTheLighting)
{
    gProjectConfig.m_visualizationMode = ProjectConfig::VISUALIZATION_IPHONE;
    RenderFrame();
    gProjectConfig.m_visualizationMode = ProjectConfig::VISUALIZATION_PC;
    EXPECT_EQ(Steps(), (std::vector<std::string>{"shadow", "normals", "compose", "forward"}));
}

// A sun shadow at the strength floor still draws its map, but the lighting quad reads it only above.
TEST_F(GatheredSceneTest, TheLightingReadsTheShadowMapOnlyAboveTheStrengthFloor)
{
    for (const float strength : {0.001f, 0.002f})
    {
        m_scene.GetSun().shadowStrength = strength;
        gSceneEnvironment.SetOverrideParameters(&m_scene);
        RenderFrame();
        NorvexRenderer& renderer = m_harness.GetRenderer();
        const uint64_t light = renderer.GetDeviceManager().GetRenderTargets().GetLightAccumulation(false).GetSurface()->GetId();
        const auto& log = renderer.GetDevice()->GetLastFrameDrawLog();
        const auto quad = std::find_if(log.begin(), log.end(), [&](const gpu::DrawRecord& draw) {
            return draw.renderTargetIds[0] == light && draw.fvf != gpu::kFvfXyz;
        });
        ASSERT_NE(quad, log.end());
        EXPECT_EQ(quad->textureIds[12] != 0, strength > 0.001f) << strength;
    }
}

TEST_F(GatheredSceneTest, ProbesFindSunShadowAndPointLightWhereTheyFall)
{
    m_scene.GetSun().shadowStrength = 0.75f;
    m_scene.GetSun().sideColor = Vector(0.1f, 0.2f, 0.0f, 0.5f);
    gSceneEnvironment.SetOverrideParameters(&m_scene);
    RenderFrame();
    // The lighting quad takes a quarter of the ambient colour with the colour's own fourth component.
    const std::vector<gpu::DrawRecord>& log = m_harness.GetRenderer().GetDevice()->GetLastFrameDrawLog();
    const auto quad = std::find_if(log.begin(), log.end(), [](const gpu::DrawRecord& d) { return d.PixelConstant(20); });
    ASSERT_NE(quad, log.end());
    EXPECT_EQ(std::vector<float>(quad->PixelConstant(20), quad->PixelConstant(20) + 4),
              (std::vector<float>{0.025f, 0.05f, 0.0f, 0.5f}));
    // The sun travels down at 45 degrees towards +z: the open ground takes cos 45 of it, the
    // ground behind the cube keeps 1 - 0.75 of that, the ground under the point light adds red.
    // The side colour lights every pixel by itself, shadowed or not.
    const int sun = int(std::lround(255.0 * std::sqrt(0.5)));
    const uint32_t open = Probe(Vector(-3.0f, 0.0f, -3.0f, 1.0f));
    const uint32_t shaded = Probe(Vector(0.0f, 0.0f, 2.0f, 1.0f));
    const uint32_t red = Probe(Vector(-6.0f, 0.0f, 0.0f, 1.0f));
    EXPECT_NEAR(Channel(open, 8), sun + 51, 6);
    EXPECT_NEAR(Channel(open, 16), sun + 26, 6);
    EXPECT_NEAR(Channel(shaded, 8), sun / 4 + 51, 6);
    EXPECT_EQ(Channel(red, 16), 255) << "the point light saturates red";
    EXPECT_NEAR(Channel(red, 8), sun + 51, 6) << "and adds no green";
}

// A surface facing the sun keeps all of its light however small the map's own biases are, and the
// ground behind the cube keeps the cube's shadow. The cube's face towards the sun (down at 45
// degrees towards +z), seen from low in front, takes cos 45 of it everywhere, like the open ground;
// seen from above, the ground the cube hides from the sun keeps half of that.
TEST_F(GatheredSceneTest, FacesTowardsTheSunAreFullyLitWhileTheCubesShadowStays)
{
    const int sun = int(std::lround(255.0 * std::sqrt(0.5)));
    for (const float bias : {0.0001f, 0.0f})
    {
        SCOPED_TRACE(bias);
        RendererDeviceSettings settings = Settings(0);
        settings.depthBias = bias;
        settings.slopeDepthBias = bias * 2.0f;
        m_harness.GetRenderer().SetDeviceSettings(settings);
        m_harness.GetRenderer().ApplyDisplaySettings(m_harness.GetWindow(), 320, 240, true, false);
        m_eye = Vector(3.0f, 4.0f, -14.0f, 1.0f);
        RenderFrame();
        for (float y = 0.1f; y < 2.0f; y += 0.2f)
            for (float x = -0.9f; x < 1.0f; x += 0.2f)
                EXPECT_NEAR(Channel(Probe(Vector(x, y, -1.0f, 1.0f)), 8), sun, 6) << "face at " << x << ", " << y;
        m_eye = Vector(0.0f, 40.0f, -10.0f, 1.0f);
        RenderFrame();
        // The spots stay inside the shadow by more than the texel its lookup may move.
        for (float z = 1.5f; z < 2.3f; z += 0.25f)
            for (float x = -0.5f; x < 0.6f; x += 0.25f)
                EXPECT_NEAR(Channel(Probe(Vector(x, 0.0f, z, 1.0f)), 8), sun / 2, 6) << "ground at " << x << ", " << z;
    }
}

TEST_F(GatheredSceneTest, AMultisampledSceneKeepsItsShadowAndLights)
{
    // Open ground, the cube's shadow, the point light's red, the cube's top, the forward box.
    const Vector points[] = {Vector(-3.0f, 0.0f, -3.0f, 1.0f), Vector(0.0f, 0.0f, 2.0f, 1.0f),
                             Vector(-6.0f, 0.0f, 0.0f, 1.0f), Vector(0.0f, 2.0f, 0.0f, 1.0f),
                             Vector(8.0f, 1.0f, 0.0f, 1.0f)};
    std::vector<uint32_t> pixels[3];
    for (const uint32_t msaa : {0u, 1u, 2u})
    {
        m_harness.GetRenderer().SetDeviceSettings(Settings(msaa));
        m_harness.GetRenderer().ApplyDisplaySettings(m_harness.GetWindow(), 320, 240, true, false);
        RenderFrame();
        RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer& r) {
            EXPECT_EQ(r.GetDeviceManager().GetRenderTargets().multisampledColor != nullptr, msaa != 0);
        });
        for (const Vector& point : points)
            pixels[msaa].push_back(Probe(point));
    }
    EXPECT_LT(Channel(pixels[0][1], 8), Channel(pixels[0][0], 8) - 40) << "the shadow";
    EXPECT_GT(Channel(pixels[0][2], 16), Channel(pixels[0][2], 8) + 40) << "the red light";
    EXPECT_EQ(pixels[1], pixels[0]) << "two samples";
    EXPECT_EQ(pixels[2], pixels[0]) << "four samples";
}

TEST_F(GatheredSceneTest, APointLightsMaskCutsItsLightWhereTheMaskIsBlack)
{
    NorvexRenderer& renderer = m_harness.GetRenderer();
    m_pointMask = MakeLeftHalfMask(renderer);
    ASSERT_NE(m_pointMask, nullptr);
    // A point light's mask takes the light-space x of the ground point (repeating each unit): a
    // quarter unit along +x from the light is in its white half, a quarter unit along -x in its
    // black half. A spot 45 degrees wide, one unit above the ground, projects it over its cone
    // centred on its axis: half a unit along -x lands a quarter across the mask (white), half a
    // unit along +x three quarters across (black).
    for (const float width : {0.0f, 45.0f})
    {
        m_spotWidth = width;
        RenderFrame();
        const int sun = int(std::lround(255.0 * std::sqrt(0.5)));
        const float side = width > 0.0f ? -0.5f : 0.25f;
        const uint32_t white = Probe(Vector(-6.0f + side, 0.0f, 0.0f, 1.0f));
        const uint32_t black = Probe(Vector(-6.0f - side, 0.0f, 0.0f, 1.0f));
        EXPECT_EQ(Channel(white, 16), 255) << "the light where the mask is white, width " << width;
        EXPECT_NEAR(Channel(black, 16), sun, 6) << "only the sun where it is black, width " << width;
    }
    NorvexRendererObject::PostDeletion(m_light, true, false);
    m_light = nullptr;
    renderer.SubmitCommands(true);
    DropMask(renderer, m_pointMask);
}

TEST_F(GatheredSceneTest, BlobShadowsDarkenTheFakeShadowTargetWhereTheyFall)
{
    // The cube's blob (list A) is a 2 x 2 quad pushed 2 along +z by the sun from a pivot 2 high; the
    // forward box's (list B) lies under it at x = 8 and darkens red alone. Strength 1 x 0.5 x 1.
    m_scene.GetSun().fakeShadowStrength = 1.0f;
    gSceneEnvironment.SetOverrideParameters(&m_scene);
    MeshFakeShadowDefinition body, red;
    body.m_bodyScaleOffset = Vector(2.0f, 2.0f, 0.5f, 0.5f);
    body.m_bodyMapping = Vector(0.0f, 0.0f, 1.0f, 1.0f);
    red = body;
    red.m_bodyPivotY = 0.0f;
    red.m_bufferSelect = 1;
    // Blob shadows are drawn in scene colour modes 1 and 2 only.
    m_harness.GetRenderer().SetSceneColorMode(1);
    // The cube's top edge towards the blob stands over it on the screen, in front of it.
    const Vector ground(0.0f, 0.0f, 2.0f, 1.0f), top(0.0f, 2.0f, 0.9f, 1.0f);
    RenderFrame();
    const uint32_t bare = Probe(ground), bareTop = Probe(top);
    // The game's hook after "Compose" binds another target: the composition binds the scene's again.
    struct Elsewhere : GameDelegate
    {
        NorvexRenderer* r = nullptr;
        void OnAfterComposePass() override
        {
            r->GetStateCache().SetRenderTargets(&r->GetDeviceManager().GetRenderTargets().auxiliary, nullptr, 0);
        }
    } elsewhere;
    elsewhere.r = &m_harness.GetRenderer();
    m_harness.GetRenderer().SetGameDelegate(&elsewhere);
    RenderFrame(&body, &red);
    m_harness.GetRenderer().SetGameDelegate(nullptr);
    const uint32_t darkened = Probe(ground);
    const uint32_t blob = ProbeFakeShadow(Vector(0.0f, 0.0f, 2.0f, 1.0f));
    const uint32_t behind = ProbeFakeShadow(Vector(0.0f, 0.0f, -1.5f, 1.0f));
    const uint32_t redOnly = ProbeFakeShadow(Vector(8.0f, 0.0f, 0.0f, 1.0f));
    EXPECT_NEAR(Channel(blob, 8), 128, 2);
    EXPECT_NEAR(Channel(blob, 16), 128, 2);
    EXPECT_EQ(behind & 0xFFFFFFu, 0xFFFFFFu) << "the quad moved away from the sun";
    EXPECT_NEAR(Channel(redOnly, 16), 128, 2);
    EXPECT_EQ(Channel(redOnly, 8), 255) << "list B writes red only";
    // The composition halves the frame's colour where the blob falls, but not on the caster.
    EXPECT_GT(Channel(bare, 8), 40);
    EXPECT_NEAR(Channel(darkened, 8), Channel(bare, 8) / 2, 3);
    EXPECT_NEAR(Channel(darkened, 16), Channel(bare, 16) / 2, 3);
    EXPECT_EQ(ProbeFakeShadow(top) & 0xFFu, Channel(blob, 0)) << "the top stands over the blob";
    EXPECT_EQ(Probe(top), bareTop);
    // The pass drew both lists with the blend that keeps the darker value and emptied them.
    int fakeDraws = 0;
    const uint64_t target = m_harness.GetRenderer().GetDeviceManager().GetRenderTargets().fakeShadow.GetSurface()->GetId();
    for (const gpu::DrawRecord& draw : m_harness.GetRenderer().GetDevice()->GetLastFrameDrawLog())
        if (draw.renderTargetIds[0] == target)
        {
            ++fakeDraws;
            EXPECT_EQ(draw.renderStates[gpu::kRsBlendOp], gpu::kBlendOpMin);
            EXPECT_EQ(draw.renderStates[gpu::kRsZFunc], gpu::kCmpAlways);
            EXPECT_EQ(draw.renderStates[gpu::kRsCullMode], gpu::kCullNone);
            EXPECT_EQ(draw.primitiveCount, 2u);
        }
    EXPECT_EQ(fakeDraws, 2);
    const RenderTargetSet& targets = m_harness.GetRenderer().GetDeviceManager().GetRenderTargets();
    const uint64_t scene = targets.sceneColor.GetSurface()->GetId();
    const uint64_t shadows = targets.fakeShadow.GetHolder()->GetTexture()->GetId();
    const std::vector<gpu::DrawRecord>& log = m_harness.GetRenderer().GetDevice()->GetLastFrameDrawLog();
    const auto composition = std::find_if(log.begin(), log.end(), [&](const gpu::DrawRecord& d) {
        return d.renderTargetIds[0] == scene && d.textureIds[0] == shadows;
    });
    ASSERT_NE(composition, log.end());
    EXPECT_EQ(composition->renderStates[gpu::kRsSrcBlend], gpu::kBlendDestColor) << "multiplies the frame";
    EXPECT_EQ(composition->renderStates[gpu::kRsDestBlend], gpu::kBlendZero);
    RunOnRenderThread(m_harness.GetRenderer(), [](NorvexRenderer& renderer) {
        EXPECT_EQ(gMeshRenderSharedBuffers.GetQuadCount(MeshRenderSharedBuffers::kBufferA), 0u);
        // The pass puts back the depth-stencil surface it found.
        gpu::GpuSurface* const depth = renderer.GetDeviceManager().GetRenderTargets().sceneDepth.GetSurface();
        ASSERT_NE(depth, nullptr);
        renderer.GetDevice()->SetDepthStencilSurface(depth);
        MeshEntityRenderingContext::FlushFakeShadows(renderer, nullptr, 0);
        gpu::GpuSurface* bound = nullptr;
        renderer.GetDevice()->GetDepthStencilSurface(&bound);
        EXPECT_EQ(bound, depth);
        gpu::SafeRelease(bound);
    });

    // The cube outlined as hostile: its tiles reach over its blob, which leaves the side masks alone.
    NorvexRenderer& renderer = m_harness.GetRenderer();
    gOutlineRenderer.LoadShaders();
    DeviceParams params = renderer.GetDeviceManager().GetDeviceParams();
    params.outlinesEnabled = 1;
    renderer.GetDeviceManager().SetDeviceParams(params);
    renderer.SetPassMask(0xFFFFFFFFu);
    m_cube->EditPreset(0).materials[0].channel = 1, m_cube->EditPreset(0).channelMask = 2, m_cubeTask = 0x240;
    std::vector<uint8_t> masks[2];
    for (const int blobs : {0, 1})
    {
        RenderFrame(blobs != 0 ? &body : nullptr);
        RunOnRenderThread(renderer, [&](NorvexRenderer& r) {
            const gpu::GpuSurface* mask = r.GetDeviceManager().GetRenderTargets().pingPong[1].GetSurface();
            masks[blobs].assign(mask->Bits(), mask->Bits() + mask->Pitch() * mask->Desc().height);
        });
    }
    EXPECT_GT(std::count(masks[0].begin(), masks[0].end(), 0xFF), 0) << "the cube's hostile mask";
    EXPECT_EQ(masks[1], masks[0]);
    gOutlineRenderer.ReleaseShaders();

    // The set's cloud texture under the blobs, in one draw of the two tiles of the rectangle (x 0 to
    // 90, z -30 to 60) that the camera sees; its u is the world's x: white, then black, each unit.
    TextureHolder* const clouds = MakeLeftHalfMask(renderer);
    RunOnRenderThread(renderer, [&](NorvexRenderer&) { m_scene.SetCloudTexture(clouds); });
    gSceneEnvironment.SetOverrideParameters(&m_scene);
    m_eye = Vector(0.0f, 8.0f, -8.0f, 1.0f);
    m_sceneBox = BoundingBox4(Vector(0, -10, -30, 1), Vector(90, 50, 60, 1));
    RenderFrame(&body, &red);
    EXPECT_EQ(ProbeFakeShadow(Vector(2.25f, 0.0f, -2.0f, 1.0f)), 0xFFFFFFFFu);
    EXPECT_EQ(ProbeFakeShadow(Vector(2.75f, 0.0f, -2.0f, 1.0f)), 0xFF000000u);
    // Just past the tiles' edge at z = 0, the next tile's second triangle, nearer its own edge than its diagonal.
    EXPECT_EQ(ProbeFakeShadow(Vector(2.25f, 0.0f, 1.0f, 1.0f)), 0xFFFFFFFFu);
    EXPECT_EQ(ProbeFakeShadow(Vector(2.75f, 0.0f, 1.0f, 1.0f)), 0xFF000000u);
    EXPECT_EQ(ProbeFakeShadow(Vector(-2.25f, 0.0f, -2.0f, 1.0f)), 0xFFFFFFFFu) << "off the rectangle";
    const std::vector<gpu::DrawRecord>& frame = renderer.GetDevice()->GetLastFrameDrawLog();
    const auto tiles = std::find_if(frame.begin(), frame.end(), [&](const gpu::DrawRecord& d) {
        return d.renderTargetIds[0] == target && d.textureIds[0] == clouds->GetTexture()->GetId();
    });
    ASSERT_NE(tiles, frame.end());
    EXPECT_EQ(tiles->primitiveCount, 4u) << "two tiles of nine";
    DropMask(renderer, clouds);

    // A frame that does not ask draws no blob shadows, and neither does scene colour mode 0.
    RenderFrame();
    for (const gpu::DrawRecord& draw : m_harness.GetRenderer().GetDevice()->GetLastFrameDrawLog())
        EXPECT_NE(draw.renderTargetIds[0], target);
    m_harness.GetRenderer().SetSceneColorMode(0);
    RenderFrame(&body, &red);
    for (const gpu::DrawRecord& draw : m_harness.GetRenderer().GetDevice()->GetLastFrameDrawLog())
        EXPECT_NE(draw.renderTargetIds[0], target);
}

TEST_F(GatheredSceneTest, AmbientOcclusionRunsBetweenLightingAndComposeWhenTheSceneHasIt)
{
    gPostprocessManager.InitPostProcessChain("");
    const Vector ground(-3.0f, 0.0f, -3.0f, 1.0f), cubeTop(0.0f, 2.0f, 0.0f, 1.0f);
    const Vector foot(-1.2f, 0.0f, 0.0f, 1.0f); // the ground beside the cube's wall
    RenderFrame();
    EXPECT_EQ(OcclusionSteps(), (std::vector<std::string>{"normals", "light", "scene"})) << "intensity 0: no step";
    const uint32_t plainFoot = Probe(foot), plainGround = Probe(ground);
    const uint32_t normalsGround = ProbeNormals(ground), normalsTop = ProbeNormals(cubeTop);

    m_scene.GetShading().ssaoIntensity = 40.0f;
    gSceneEnvironment.SetOverrideParameters(&m_scene);
    RenderFrame();
    EXPECT_EQ(OcclusionSteps(),
              (std::vector<std::string>{"normals", "light", "prepare", "blur", "occluded", "scene"}));
    const RenderTargetSet& t = m_harness.GetRenderer().GetDeviceManager().GetRenderTargets();
    auto texture = [](const RenderTarget& target) { return target.GetHolder()->GetTexture()->GetId(); };
    for (const gpu::DrawRecord& draw : m_harness.GetRenderer().GetDevice()->GetLastFrameDrawLog())
        if (draw.renderTargetIds[0] == t.sceneColor.GetSurface()->GetId() && draw.renderStates[gpu::kRsStencilEnable] == 0)
        {
            EXPECT_EQ(draw.textureIds[6], texture(t.GetNormals())) << "Compose still reads the normals";
            EXPECT_EQ(draw.textureIds[7], texture(t.auxiliary)) << "and the occluded light";
            break;
        }
    // The normals are what the plain frame left; the open ground keeps its light, the foot of the
    // wall loses some.
    EXPECT_EQ(ProbeNormals(ground), normalsGround);
    EXPECT_EQ(ProbeNormals(cubeTop), normalsTop);
    EXPECT_NEAR(Channel(Probe(ground), 8), Channel(plainGround, 8), 2);
    EXPECT_LT(Channel(Probe(foot), 8), Channel(plainFoot, 8) - 8);

    // Below the quality that has the occlusion targets, or on the mobile modes: no step.
    DeviceParams params = m_harness.GetRenderer().GetDeviceManager().GetDeviceParams();
    params.qualityLevel = 2;
    m_harness.GetRenderer().GetDeviceManager().SetDeviceParams(params);
    RenderFrame();
    EXPECT_EQ(OcclusionSteps(), (std::vector<std::string>{"normals", "light", "scene"}));
    params.qualityLevel = 3;
    m_harness.GetRenderer().GetDeviceManager().SetDeviceParams(params);
    gProjectConfig.m_visualizationMode = ProjectConfig::VISUALIZATION_IPHONE;
    RenderFrame();
    gProjectConfig.m_visualizationMode = ProjectConfig::VISUALIZATION_PC;
    EXPECT_EQ(OcclusionSteps(), (std::vector<std::string>{"normals", "scene"}));
    gPostprocessManager.ReleaseShaders();
}

TEST_F(GatheredSceneTest, TheScenesCloudTextureIsThrownOverTheSunsLight)
{
    // Two texels, black then white, repeated. Without scene updates the cloud texture matrix is the
    // identity: the ground's world x is u, so the texels alternate every half unit along x.
    auto* clouds = new TextureHolder; // this test's reference
    RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer& renderer) {
        gpu::GpuTexture* texture = nullptr;
        ASSERT_EQ(renderer.GetDevice()->CreateTexture(2, 1, 1, 0, gpu::kFormatA8R8G8B8, gpu::kPoolManaged, &texture),
                  gpu::kOk);
        gpu::LockedRect locked = {};
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), gpu::kOk);
        const uint32_t texels[2] = {0xFF000000u, 0xFFFFFFFFu};
        std::memcpy(locked.bits, texels, sizeof(texels));
        texture->UnlockRect(0);
        clouds->SetTexture(texture);
        m_scene.SetCloudTexture(clouds);
    });
    gSceneEnvironment.SetOverrideParameters(&m_scene);
    RenderFrame();
    const int sun = int(std::lround(255.0 * std::sqrt(0.5)));
    // u = 0.25 and 0.75: the middles of the black and the white texel; the scene has no ambient.
    EXPECT_LE(Channel(Probe(Vector(-2.75f, 0.0f, -3.0f, 1.0f)), 8), sun / 3);
    EXPECT_GE(Channel(Probe(Vector(-2.25f, 0.0f, -3.0f, 1.0f)), 8), sun * 2 / 3) << "the texels blend across the probe";
    const RenderTargetSet& t = m_harness.GetRenderer().GetDeviceManager().GetRenderTargets();
    bool quad = false;
    for (const gpu::DrawRecord& draw : m_harness.GetRenderer().GetDevice()->GetLastFrameDrawLog())
        if (draw.renderTargetIds[0] == t.GetLightAccumulation(false).GetSurface()->GetId() && draw.fvf != gpu::kFvfXyz)
        {
            quad = true;
            EXPECT_EQ(draw.textureIds[0], clouds->GetTexture()->GetId());
        }
    EXPECT_TRUE(quad);
    RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer&) { RendererObjectHandle::Release(clouds); });
}

// Each frame adds one thing to the frames before it, so every draw of the table's frames shows what
// the deferred, shadow, blob shadow, forward, occlusion and post passes do with it.
TEST_F(GatheredSceneTest, WholeFramesMatchTheStoredCopy)
{
    NorvexRenderer& renderer = m_harness.GetRenderer();
    MeshFakeShadowDefinition blob;
    blob.m_bodyScaleOffset = Vector(2.0f, 2.0f, 0.5f, 0.5f);
    blob.m_bodyMapping = Vector(0.0f, 0.0f, 1.0f, 1.0f);
    const Vector eye = m_eye;
    bool blobs = false;
    auto quality = [&](uint32_t level) {
        DeviceParams params = renderer.GetDeviceManager().GetDeviceParams();
        params.qualityLevel = level;
        renderer.GetDeviceManager().SetDeviceParams(params);
    };
    SceneShadingParameters& shading = m_scene.GetShading();
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"plain", [] {}},
        {"eye in the point light", [&] { m_eye = Vector(-6.0f, 2.5f, -1.5f, 1.0f), m_eyeInLight = true; }},
        {"masked point light", [&] { m_eye = eye, m_eyeInLight = false, m_pointMask = MakeLeftHalfMask(renderer); }},
        {"blob shadows", [&] { m_scene.GetSun().fakeShadowStrength = 1.0f, blobs = true; }},
        {"occlusion, glow and the post chain",
         [&] { gPostprocessManager.InitPostProcessChain(""), shading.ssaoIntensity = 40.0f, shading.fxaaEnabled = 1; }},
        {"quality 2", [&] { quality(2); }},
        {"quality 1, two samples",
         [&] {
             renderer.SetDeviceSettings(Settings(1));
             renderer.ApplyDisplaySettings(m_harness.GetWindow(), 320, 240, true, false), quality(1);
         }},
        // A mobile project's scenes take its colour mode, in which the blob shadows show.
        {"mobile",
         [&] {
             gProjectConfig.m_visualizationMode = ProjectConfig::VISUALIZATION_IPHONE;
             renderer.SetSceneColorMode(1);
         }},
    };
    std::string text;
    for (const auto& [name, change] : cases)
    {
        change();
        m_postFlags = shading.fxaaEnabled != 0 ? 5 : 0;
        gSceneEnvironment.SetOverrideParameters(&m_scene);
        RenderFrame(blobs ? &blob : nullptr, blobs ? &blob : nullptr);
        text += std::string(name) + "\n" + DrawLogText::LastFrame(renderer);
    }
    gProjectConfig.m_visualizationMode = ProjectConfig::VISUALIZATION_PC;
    renderer.SetSceneColorMode(0);
    NorvexRendererObject::PostDeletion(m_light, true, false);
    m_light = nullptr;
    renderer.SubmitCommands(true);
    DropMask(renderer, m_pointMask);
    gPostprocessManager.ReleaseShaders();
    ExpectTextMatchesStoredCopy(text, "tests/renderer/golden/GatheredFrames.txt");
}
