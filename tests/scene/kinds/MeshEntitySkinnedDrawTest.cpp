// ctest-labels: thread
// A skinned mesh entity on a running renderer with the project's shaders: the bone registers of its
// draw hold the skinning matrices its animator computed, and two frames of its clip show the posed
// mesh where the pose put it.
#include "core/filesystem/FileSystem.h"
#include "core/reflection/RecordStream.h"
#include "effects/animation/MeshAnimator.h"
#include "engine/Game.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/SceneParametersWrapper.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/EntityManager.h"
#include "scene/kinds/MeshEntity.h"
#include "scene/kinds/MeshTemplate.h"
#include "support/RenderDataHarness.h"
#include "support/RenderProbes.h"
#include "support/RenderThreadCall.h"
#include "support/SystemTextures.h"
#include "support/TempFolder.h"
#include "tools/datakit/AnimationFileWriter.h"
#include "tools/datakit/MeshTemplateWriter.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace
{
class MeshEntitySkinnedDrawTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataRoot data;
        ASSERT_FALSE(AddSystemTextures(data).empty());
        ASSERT_TRUE(m_harness.WriteAndMount(data));
        std::filesystem::create_directories(m_folder / "Animations");
        ASSERT_TRUE(gFileSystem.MountDirectory("Animations", (m_folder / "Animations").c_str()));
        // "wave" moves the hand from x 0 to 2 over its second.
        AnimationClipSpec clip;
        AnimationClipSpec::Track hand;
        hand.name = "Hand";
        hand.position = {{0.0f, Vector(0, 0, 0, 0)}, {1.0f, Vector(2, 0, 0, 0)}};
        clip.tracks.push_back(hand);
        ASSERT_TRUE(AnimationFileWriter::Write(m_folder / "Animations/wave.bin", clip));
        ASSERT_TRUE(m_harness.Start());
        ASSERT_TRUE(gShaderManager.Init(true));
        gSceneEnvironment.Create();
        m_scene.SetDefaults();
        gSceneEnvironment.SetOverrideParameters(&m_scene);
        gSceneEnvironment.EnableOverride();
        RegisterSceneClasses();
        gEntityManager.Init(BoundingBox4(Vector(-50, -10, -50, 1), Vector(50, 50, 50, 1)), 10.0f);
        m_harness.GetRenderer().InitSceneCellGrid(BoundingBox4(Vector(-50, -10, -50, 1), Vector(50, 50, 50, 1)), 10.0f);
        gGame.GetGameTimer().Reset();
        // Handed over before the loads below wait on their renderer jobs.
        m_harness.GetRenderer().SubmitCommands(true);

        // A box 3 high whose top rides on the hand (bone 2), drawn forward.
        MeshTemplateSpec spec;
        spec.shape = MeshTemplateSpec::Shape::Box;
        spec.boxSize[1] = 3.0f;
        spec.renderSwitches[0] = 0;
        spec.renderSwitches[2] = 1;
        spec.bones = {"Hips", "Spine", "Hand"};
        spec.skinned = true;
        spec.clips = {{"Wave", "wave"}};
        m_template = MeshTemplateWriter::MakeTemplate(spec);
        // Loaded as a template's data loads, so the device buffers exist.
        std::vector<uint8_t> record(65536);
        RecordOutput out(record.data(), record.size(), false);
        m_template->GetRenderingData()->Save(out);
        record.resize(out.Size());
        auto* loaded = new MeshTemplateRenderingData;
        RecordInput in(record.data(), record.size());
        ASSERT_TRUE(loaded->Load(in, 53, "Skinned"));
        m_template->SetRenderingData(loaded);
        m_mesh = static_cast<MeshEntity*>(gEntityManager.CreateEntity(m_template.get(), nullptr, Matrix::ONE, 0, nullptr));
        ASSERT_NE(m_mesh, nullptr);
        AnimationParams params;
        params.Flags = ANIMFLAG_LOOP;
        params.AttackTime = 0.0f;
        ASSERT_TRUE(m_mesh->StartAnimation(NameString("root"), NameString("Wave"), &params));
    }
    void TearDown() override
    {
        gEntityManager.DestroyScene();
        m_template.reset();
        gSceneEnvironment.Close();
        m_harness.GetRenderer().SubmitCommands(true);
        m_harness.Stop();
    }

    // The pose at `seconds` into the clip, then one frame of the mesh in a forward bucket.
    void RenderAt(float seconds)
    {
        gGame.GetGameTimer().Tick(seconds - m_time);
        m_time = seconds;
        m_mesh->GetAnimator()->InvalidatePose();
        m_mesh->Animate();
        NorvexRenderer& renderer = m_harness.GetRenderer();
        renderer.SetFrameTarget(nullptr, 0, 1);
        renderer.SetViewport(gpu::Viewport{0, 0, 320, 240, 0.0f, 1.0f});
        m_view.LoadLookAtLH(Vector(0.0f, 1.5f, -8.0f, 1.0f), Vector(0.0f, 1.5f, 0.0f, 1.0f), Vector(0, 1, 0, 0));
        m_projection.LoadPerspectiveFovLH(45.0f, 320.0f / 240.0f, 1.0f, 100.0f);
        renderer.SetCamera(m_view, m_projection, Matrix::ONE);
        renderer.BeginGather();
        renderer.AddRenderTask(m_mesh->GetRenderingContext(), 0x20);
        renderer.RenderGathered(0, 1, nullptr);
        renderer.PostProcess(0);
        renderer.UpscaleFinal();
        renderer.Present(nullptr);
        renderer.SubmitCommands(true);
    }
    uint32_t Probe(const Vector& world)
    {
        return ProbeBackBuffer(m_harness.GetRenderer(),
                               WorldPointPixel(m_projection, m_view, world, 320.0f, 240.0f));
    }

    RenderDataHarness m_harness;
    TempFolder m_folder;
    SceneParametersWrapper m_scene;
    std::unique_ptr<MeshTemplate> m_template;
    MeshEntity* m_mesh = nullptr;
    float m_time = 0.0f;
    Matrix m_view, m_projection;
};
} // namespace

TEST_F(MeshEntitySkinnedDrawTest, TheDrawsBoneRegistersHoldTheAnimatorsSkinningMatrices)
{
    RenderAt(0.0f);
    RenderAt(0.5f);
    const std::vector<float>& skinning = m_mesh->GetAnimator()->GetSkinningMatrices();
    ASSERT_EQ(skinning.size(), 36u);
    EXPECT_NEAR(skinning[24 + 3], 1.0f, 1e-4f) << "the hand is half way to x 2";
    int skinnedDraws = 0;
    for (const gpu::DrawRecord& draw : m_harness.GetRenderer().GetDevice()->GetLastFrameDrawLog())
    {
        if (draw.VertexConstant(0) == nullptr)
            continue;
        ++skinnedDraws;
        EXPECT_FALSE(draw.withoutProgram);
        for (uint32_t r = 0; r < 9; ++r)
            for (uint32_t c = 0; c < 4; ++c)
                EXPECT_FLOAT_EQ(draw.VertexConstant(r)[c], skinning[r * 4 + c]) << "register " << r << "." << c;
    }
    EXPECT_EQ(skinnedDraws, 1);
}

TEST_F(MeshEntitySkinnedDrawTest, TwoFramesShowTheTopWhereTheHandTookIt)
{
    // On the front face 2.7 up the box leans 0.9 towards +x half a second in: a point left of the
    // old top empties, one right of it fills; the foot stays.
    const Vector leftOfTop(-0.3f, 2.7f, -0.5f, 1.0f), rightOfTop(1.2f, 2.7f, -0.5f, 1.0f), foot(0.0f, 0.2f, -0.5f, 1.0f);
    const Vector empty(-3.0f, 2.7f, -0.5f, 1.0f);
    RenderAt(0.0f);
    const uint32_t background = Probe(empty);
    EXPECT_NE(Probe(leftOfTop), background);
    EXPECT_EQ(Probe(rightOfTop), background);
    const uint32_t footAtRest = Probe(foot);
    EXPECT_NE(footAtRest, background);
    RenderAt(0.5f);
    EXPECT_EQ(Probe(empty), background);
    EXPECT_EQ(Probe(leftOfTop), background) << "the top moved away";
    EXPECT_NE(Probe(rightOfTop), background) << "the top moved here";
    EXPECT_EQ(Probe(foot), footAtRest);
}
