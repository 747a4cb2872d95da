// ctest-labels: thread
// Mesh particles through the running renderer: one instanced draw of the mesh with the particles on
// stream 1 (probed pixel by pixel: each instance is placed, scaled and tinted by its particle), the
// stream frequencies set for the draw and reset after it, the depth pass, and a particle entity's
// context following its entity's transform and giving its resources back when released.
#include "effects/particles/ParticleEntity.h"
#include "effects/particles/ParticleEntityRenderingContext.h"
#include "effects/particles/ParticlePools.h"
#include "effects/particles/ParticleSystem.h"
#include "effects/particles/ParticleSystemContext.h"
#include "core/reflection/RecordStream.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/GpuSurface.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "renderer/ShaderManager.h"
#include "scene/SceneClassRegistration.h"
#include "scene/kinds/MeshTemplate.h"
#include "support/ConsoleCapture.h"
#include "support/ParticleTestSupport.h"
#include "support/RenderDataHarness.h"
#include "support/RenderThreadCall.h"
#include "support/SystemTextures.h"
#include "support/TemplateTestSupport.h"
#include "support/VertexElementBytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace
{
class ParticleMeshDrawTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataRoot data;
        ASSERT_FALSE(AddSystemTextures(data).empty());
        ASSERT_TRUE(m_harness.StartWithShaders(data));
        RegisterSceneClasses();
        m_mesh = new MeshTemplate;
        m_mesh->SetRenderingData(LoadSquare().release());
        SimpleGUID guid;
        guid.bytes[15] = 0x3C;
        ASSERT_NE(RegisterStubAtPath("fx/pebble", guid, m_mesh), nullptr);
        char text[SimpleGUID::kTextLength + 1];
        guid.ToString(text, sizeof(text));
        SetParticleProperty(m_system, "Mesh template", text);
        SetParticleProperty(m_system, "Shader preset", "Default");
        SetParticleProperty(m_system, "Initial velocity", "0 0 0 0");
        SetParticleProperty(m_system, "Initial velocity var", "0 0 0 0");
        SetParticleProperty(m_system, "Life time", "100");
        SetParticleProperty(m_system, "Spawn rate", "100");
        SetParticleProperty(m_system, "Emitter size", "0 0 0 0");
        for (const char* node : {"Node 0 color", "Node 1 color", "Node 2 color", "Node 3 color"})
            SetParticleProperty(m_system, node, "255 0 0 255 1");
        for (const char* node : {"Node 0 size", "Node 1 size", "Node 2 size", "Node 3 size"})
            SetParticleProperty(m_system, node, "0.5");
        m_system.BuildShader(true);
        ASSERT_EQ(m_system.GetMeshTemplate(), m_mesh);
    }
    void TearDown() override
    {
        m_system.ReleaseShader();
        m_harness.GetRenderer().SubmitCommands(true);
        gTemplateManager.Clear();
        m_harness.GetRenderer().SubmitCommands(true);
        m_harness.Stop();
    }

    // A lit square of half-size 0.5 at depth 0.5 facing the default sun, with an instancing
    // declaration reading the particle instances from stream 1.
    static std::unique_ptr<MeshTemplateRenderingData> LoadSquare()
    {
        const float n[3] = {0.0f, std::sqrt(0.5f), -std::sqrt(0.5f)};
        const float vertices[4][8] = {{-0.5f, 0.5f, 0.5f, n[0], n[1], n[2], 0, 0},
                                      {0.5f, 0.5f, 0.5f, n[0], n[1], n[2], 1, 0},
                                      {0.5f, -0.5f, 0.5f, n[0], n[1], n[2], 1, 1},
                                      {-0.5f, -0.5f, 0.5f, n[0], n[1], n[2], 0, 1}};
        std::vector<uint8_t> bytes(sizeof(vertices));
        std::memcpy(bytes.data(), vertices, sizeof(vertices));
        MeshTemplateRenderingData built;
        built.SetGeometry(4, 32, bytes, {0, 1, 3, 1, 2, 3});
        built.SetDeclaration(VertexElementBytes({{0, 0, gpu::kDeclFloat3, 0, gpu::kDeclUsagePosition, 0},
                                                 {0, 12, gpu::kDeclFloat3, 0, gpu::kDeclUsageNormal, 0},
                                                 {0, 24, gpu::kDeclFloat2, 0, gpu::kDeclUsageTexCoord, 0},
                                                 gpu::kDeclEnd}));
        built.SetInstanceDeclaration(VertexElementBytes({{0, 0, gpu::kDeclFloat3, 0, gpu::kDeclUsagePosition, 0},
                                                         {0, 12, gpu::kDeclFloat3, 0, gpu::kDeclUsageNormal, 0},
                                                         {0, 24, gpu::kDeclFloat2, 0, gpu::kDeclUsageTexCoord, 0},
                                                         {1, 0, gpu::kDeclFloat4, 0, gpu::kDeclUsageTexCoord, 1},
                                                         {1, 16, gpu::kDeclFloat4, 0, gpu::kDeclUsageTexCoord, 2},
                                                         {1, 32, gpu::kDeclFloat4, 0, gpu::kDeclUsageTexCoord, 3},
                                                         {1, 48, gpu::kDeclColor, 0, gpu::kDeclUsageColor, 1},
                                                         gpu::kDeclEnd}));
        const uint8_t renderBytes[7] = {1, 0, 0, 1, 0, 0, 0}; // drawn in the main pass, casting shadows
        built.SetRenderBytes(renderBytes);
        MeshShaderPreset preset;
        preset.name = NameString("Default");
        preset.materials.resize(1);
        preset.materials[0].shaderName = "MeshSolid";
        preset.materials[0].triangleCount = 2;
        built.AddPreset(preset);
        // A second preset, which the system does not name, whose material skips the lit passes.
        preset.name = NameString("Hidden");
        preset.materials[0].flags |= MeshMaterial::FLAG_NO_LIT_PASSES;
        built.AddPreset(preset);
        std::vector<uint8_t> record(8192);
        RecordOutput out(record.data(), record.size(), false);
        built.Save(out);
        auto data = std::make_unique<MeshTemplateRenderingData>();
        RecordInput in(record.data(), out.Size());
        EXPECT_TRUE(data->Load(in, 53, "Pebble"));
        return data;
    }

    void Tick(float seconds)
    {
        for (FrameClock* clock : {&m_clocks[0], &m_clocks[1], &m_clocks[2]})
        {
            clock->accumulatedCounter += uint64_t(double(seconds) * double(os::kCounterFrequency));
            clock->lastStepSeconds = seconds;
        }
        m_harness.GetRenderer().SetFrameTimes(m_clocks[0], m_clocks[1], m_clocks[2], 0);
        m_harness.GetRenderer().SubmitCommands(true);
    }

    // Clears, runs the draw and keeps its log and three probes along the middle row.
    void DrawAndProbe(const std::function<void()>& draw)
    {
        RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer& r) {
            gpu::GpuDevice* device = r.GetDevice();
            device->BeginScene();
            device->Clear(0, nullptr, gpu::kClearTarget, 0xFF000000u, 1.0f, 0);
            const size_t first = device->GetDrawLog().size();
            draw();
            m_log.assign(device->GetDrawLog().begin() + first, device->GetDrawLog().end());
            device->EndScene();
            gpu::GpuSurface* target = nullptr;
            device->GetRenderTarget(0, &target);
            for (uint32_t i = 0; i < 3; ++i)
                m_probes[i] = target->ReadPixelArgb(160 + 32 * i, 120) & 0xFFFFFFu;
            target->Release();
        });
    }

    ConsoleCapture m_console;
    RenderDataHarness m_harness;
    FrameClock m_clocks[3];
    ParticleSystem m_system;
    MeshTemplate* m_mesh = nullptr;
    std::vector<gpu::DrawRecord> m_log;
    uint32_t m_probes[3] = {};
};

TEST_F(ParticleMeshDrawTest, OneInstancedDrawPlacesScalesAndTintsEveryParticle)
{
    NorvexRenderer& renderer = m_harness.GetRenderer();
    renderer.SetCamera(Matrix::ONE, Matrix::ONE, Matrix::ONE);
    const uint32_t references = m_mesh->GetUserReferences();
    auto* context = new ParticleSystemContext(m_system, Matrix::ONE, 0);
    ASSERT_TRUE(context->IsMeshParticles());
    context->PostRestart();
    Tick(0.05f);
    Tick(0.05f);
    const uint32_t count = context->GetCount();
    ASSERT_GE(count, 2u);

    uint32_t primitives = 0;
    DrawAndProbe([&] {
        const uint32_t before = renderer.GetFramePrimitives();
        context->Draw(Matrix::ONE, Vector(1, 1, 1, 1), 0);
        primitives = renderer.GetFramePrimitives() - before;
    });
    ASSERT_EQ(m_log.size(), 1u) << "one draw for every particle";
    EXPECT_EQ(primitives, 2u * count) << "the statistics count every instance's triangles";
    const gpu::DrawRecord& draw = m_log[0];
    EXPECT_EQ(draw.streams[0].frequency, gpu::kStreamIndexedData | count);
    EXPECT_EQ(draw.streams[1].frequency, gpu::kStreamInstanceData | 1u);
    EXPECT_EQ(draw.streams[1].stride, 64u);
    EXPECT_EQ(draw.streams[1].offset, uint32_t(context->GetVertexBufferOffset()));
    EXPECT_EQ(draw.primitiveCount, 2u);
    // The square at half its size and in the node's red: the middle is red, 0.4 of the way out
    // (inside the whole square, outside the half) stays black.
    EXPECT_GT(m_probes[0] >> 16, 0x40u);
    EXPECT_EQ(m_probes[0] & 0xFFFFu, 0u) << "green and blue come from the instance colour";
    EXPECT_EQ(m_probes[2], 0u);

    // The frequencies are back to plain draws for whatever draws next.
    DrawAndProbe([&] {
        m_mesh->GetRenderingData()->Draw(Matrix::ONE, Matrix::ONE, m_mesh->GetRenderingData()->GetBounds(),
                                         Vector(1, 1, 1, 1), 1.0f, 0, 0, 0, nullptr, nullptr, nullptr, 16, 0, 0, 0.0f);
    });
    ASSERT_EQ(m_log.size(), 1u);
    EXPECT_EQ(m_log[0].streams[0].frequency, 1u);
    EXPECT_EQ(m_log[0].streams[1].bufferId, 0u);
    EXPECT_NE(m_probes[2], 0u) << "the plain mesh covers what the half-size instances did not";

    // The depth pass draws the instances through the instancing depth program.
    DrawAndProbe([&] { context->DrawMeshDepth(0); });
    ASSERT_EQ(m_log.size(), 1u);
    EXPECT_EQ(m_log[0].streams[0].frequency, gpu::kStreamIndexedData | count);

    context->PostDestroy();
    renderer.SubmitCommands(true);
    EXPECT_EQ(m_mesh->GetUserReferences(), references) << "the destroyed system gave the mesh back";
}

TEST_F(ParticleMeshDrawTest, AnEntityContextFollowsItsTransformCastsTheMeshShadowAndGivesItsResourcesBack)
{
    NorvexRenderer& renderer = m_harness.GetRenderer();
    const int32_t references = int32_t(m_mesh->GetUserReferences());
    auto* context = new ParticleEntityRenderingContext(renderer, false);
    context->PostSetSpeedMultiplier(2.0f); // before there is a system: dropped
    context->RebuildSystem(m_system, Matrix::ONE, 0);
    EXPECT_EQ(int32_t(m_mesh->GetUserReferences()), references + 1);
    EXPECT_EQ(context->GetMeshFlags(), 0x11u);
    EXPECT_FALSE(context->CastsShadows()) << "the render thread sets it with the system it adopts";
    renderer.SubmitCommands(true);
    ASSERT_NE(context->GetRenderSideSystem(), nullptr);
    EXPECT_TRUE(context->CastsShadows());

    Matrix moved;
    moved.LoadTranslation(3.0f, 0.0f, 0.0f);
    context->SetTransformAndBounds(moved, moved, false, BoundingBox4::UNITCUBE3D);
    renderer.SubmitCommands(true);
    EXPECT_FLOAT_EQ(context->GetRenderSideSystem()->GetMatrix().rows[3].x, 3.0f);

    context->Release();
    renderer.SubmitCommands(true);
    EXPECT_EQ(int32_t(m_mesh->GetUserReferences()), references) << "the released context gave the mesh back";
}

TEST_F(ParticleMeshDrawTest, AnEntityInTheGatheredFrameDrawsItsInstancesInAForwardBucket)
{
    NorvexRenderer& renderer = m_harness.GetRenderer();
    auto* context = new ParticleEntityRenderingContext(renderer, false);
    context->RebuildSystem(m_system, Matrix::ONE, 0);
    context->PostRestart();
    Tick(0.05f);
    Tick(0.05f);
    renderer.SetFrameTarget(nullptr, 0, 1);
    renderer.SetViewport(gpu::Viewport{0, 0, 320, 240, 0.0f, 1.0f});
    renderer.SetCamera(Matrix::ONE, Matrix::ONE, Matrix::ONE);
    renderer.BeginGather();
    renderer.AddRenderTask(context, ParticleEntity::kConstructionRenderFlags);
    renderer.RenderGathered(0, 1, nullptr);
    renderer.SubmitCommands(true);
    uint32_t instanced = 0;
    RunOnRenderThread(renderer, [&](NorvexRenderer& r) {
        const uint64_t scene = r.GetDeviceManager().GetRenderTargets().sceneColor.GetSurface()->GetId();
        for (const gpu::DrawRecord& draw : r.GetDevice()->GetDrawLog())
            if (draw.streams[1].frequency == (gpu::kStreamInstanceData | 1u) && draw.renderTargetIds[0] == scene)
                ++instanced;
    });
    EXPECT_EQ(instanced, 1u);
    context->Release();
    renderer.SubmitCommands(true);
}
// A particle entity deleted (or a scene switched) while the render thread draws its mesh particles
// into the shadow map: the release changes nothing the draw reads, so the draw after it still draws
// the instances, and the mesh goes back once the context is gone.
TEST_F(ParticleMeshDrawTest, AReleaseDuringTheDepthPassLeavesTheDrawItsMeshUntilTheDeletionRuns)
{
    NorvexRenderer& renderer = m_harness.GetRenderer();
    renderer.SetCamera(Matrix::ONE, Matrix::ONE, Matrix::ONE);
    const uint32_t references = m_mesh->GetUserReferences();
    auto* context = new ParticleEntityRenderingContext(renderer, false);
    context->RebuildSystem(m_system, Matrix::ONE, 0);
    context->PostRestart();
    Tick(0.05f);
    Tick(0.05f);
    size_t lastDraws = 0;
    OverlapWithRenderThread(
        renderer,
        [&](bool last) {
            gpu::GpuDevice* device = renderer.GetDevice();
            device->BeginScene();
            const size_t first = device->GetDrawLog().size();
            static_cast<EntityRenderingContext*>(context)->DrawDepth(0, 0);
            if (last)
                lastDraws = device->GetDrawLog().size() - first;
            device->EndScene();
        },
        [&] { context->Release(); });
    EXPECT_EQ(lastDraws, 1u) << "the draw after the release still draws the instances";
    EXPECT_EQ(m_mesh->GetUserReferences(), references);
}
} // namespace
