// ctest-labels: thread
// The mesh element: it links to its mesh's rendering data through the render thread and poses its
// animation there at the progress its envelope gives, with a sample context of its own, while the
// game thread poses a mesh entity of the same template at the same time (a shared context would
// be a data race the thread-checking build reports, and would mix the two poses).
#include "core/filesystem/FileSystem.h"
#include "core/math/RandomGenerator.h"
#include "effects/animation/MeshAnimator.h"
#include "effects/sfx/SFXMeshElementContext.h"
#include "effects/sfx/SFXMeshElementDefinition.h"
#include "engine/Game.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "renderer/resources/ResourceManager.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/EntityManager.h"
#include "scene/kinds/MeshEntity.h"
#include "scene/kinds/MeshTemplate.h"
#include "support/RendererTestBase.h"
#include "support/RenderThreadCall.h"
#include "support/TemplateTestSupport.h"
#include "support/TempFolder.h"
#include "tools/datakit/AnimationFileWriter.h"
#include "tools/datakit/MeshTemplateWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace
{
class SFXMeshElementContextTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        RegisterSceneClasses();
        gEntityManager.Init(BoundingBox4(Vector(-50, -50, -50, 1), Vector(50, 50, 50, 1)), 10.0f);
        std::filesystem::create_directories(m_folder / "Animations");
        ASSERT_TRUE(gFileSystem.MountDirectory("Animations", (m_folder / "Animations").c_str()));
        ASSERT_TRUE(m_resources.Init());
        gGame.GetGameTimer().Reset();
        AnimationClipSpec clip;
        AnimationClipSpec::Track track;
        track.name = "Arm";
        track.position = {{0.0f, Vector(0, 0, 0, 0)}, {1.0f, Vector(10, 0, 0, 0)}};
        clip.tracks.push_back(track);
        ASSERT_TRUE(AnimationFileWriter::Write(m_folder / "Animations/wave.bin", clip));
        MeshTemplateSpec spec;
        spec.bones = {"Hips", "Arm"};
        spec.clips = {{"Wave", "wave"}, {"Torn", "torn"}}; // no file holds the second
        m_mesh = MeshTemplateWriter::MakeTemplate(spec).release();
        m_guid.bytes[0] = 7;
        m_guid.bytes[15] = 0x3A;
        ASSERT_NE(RegisterStubAtPath("fx/knight", m_guid, m_mesh), nullptr);
    }
    void TearDown() override
    {
        gEntityManager.DestroyScene();
        m_renderer.SubmitCommands(true);
        gTemplateManager.Clear();
        m_resources.Close();
        gFileSystem.UnmountAll();
        RendererTestBase::TearDown();
    }

    TempFolder m_folder;
    ResourceManager m_resources;
    MeshTemplate* m_mesh = nullptr;
    SimpleGUID m_guid;
};

TEST_F(SFXMeshElementContextTest, TheElementPosesOnTheRenderThreadBesideTheGameThreadsMeshes)
{
    SFXMeshElementDefinition element;
    element.SetMeshTemplateGUID(m_guid);
    ASSERT_TRUE(element.GetClassProperties()->FindProperty("Animation")->SetFromText(&element, "Wave"));
    element.ResolveResources(true);
    ASSERT_EQ(element.GetMeshTemplate(), m_mesh);
    // The progress envelope multiplies its (absent) keys' value by its constant.
    const_cast<TEnvelope<Vector>&>(element.GetAnimationProgress()).SetConstantValue(Vector(0.5f, 0, 0, 0));

    auto* context = new SFXMeshElementContext;
    context->Init(element, Matrix::ONE, 0, 0);
    EXPECT_EQ(context->GetAnimator(), nullptr) << "the render thread builds the animator it poses";
    EXPECT_TRUE(context->GetLocalBounds().min.Equal(m_mesh->GetStaticBoundingBox().min));
    // The link to the rendering data and the animator are made in stream order on the render thread.
    m_renderer.SubmitCommands(true);
    ASSERT_NE(context->GetAnimator(), nullptr);
    EXPECT_EQ(context->GetRenderingData(), m_mesh->GetRenderingData());
    EXPECT_NE(context->GetRenderingData(), nullptr);

    // The game thread's mesh at the same progress, posed while the render thread poses the element.
    auto* mesh = static_cast<MeshEntity*>(gEntityManager.CreateEntity(m_mesh, nullptr, Matrix::ONE, 0, nullptr));
    ASSERT_NE(mesh, nullptr);
    const NameString root("root");
    ASSERT_TRUE(mesh->StartAnimation(root, NameString("Wave"), nullptr));
    ASSERT_TRUE(mesh->SetAnimationProgress(root, -1, 0.5f));
    gGame.GetGameTimer().Tick(1.0f);

    constexpr int kPoses = 200;
    const std::function<void(NorvexRenderer&)> poses = [&](NorvexRenderer&) {
        for (int i = 0; i < kPoses; ++i)
            context->Update(0.0, 0.01f, element, Matrix::ONE);
    };
    const std::function<void(NorvexRenderer&)>* pointer = &poses;
    ASSERT_TRUE(m_renderer.WriteCall(
        [](NorvexRenderer& r, uint32_t, CommandRingBuffer& reader) {
            const std::function<void(NorvexRenderer&)>* function = nullptr;
            reader.Read(&function, sizeof(function));
            (*function)(r);
        },
        0, sizeof(pointer)));
    m_renderer.GetWriter().Put(pointer);
    m_renderer.SubmitCommands(false);
    for (int i = 0; i < kPoses; ++i)
    {
        mesh->GetAnimator()->InvalidatePose();
        mesh->Animate();
    }
    m_renderer.SubmitCommands(true);

    const std::vector<float>& game = mesh->GetAnimator()->GetSkinningMatrices();
    const float* bones = context->GetBones();
    ASSERT_NE(bones, nullptr);
    ASSERT_EQ(context->GetAnimator()->GetSkinningMatrices().size(), game.size());
    for (size_t i = 0; i < game.size(); ++i)
        EXPECT_NEAR(bones[i], game[i], 1e-5f) << i;
    // Half way along the clip the arm stands 5 units along x.
    bool moved = false;
    for (float value : game)
        moved = moved || std::fabs(value - 5.0f) < 1e-4f;
    EXPECT_TRUE(moved);

    // A clip that cannot load leaves the element without an animator.
    ASSERT_TRUE(element.GetClassProperties()->FindProperty("Animation")->SetFromText(&element, "Torn"));
    auto* still = new SFXMeshElementContext;
    still->Init(element, Matrix::ONE, 0, 0);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(still->GetAnimator(), nullptr);
    RunOnRenderThread(m_renderer, [context, still](NorvexRenderer&) {
        delete context;
        delete still;
    });
}

TEST_F(SFXMeshElementContextTest, AMeshElementDrawsInItsMeshsPassesAndPresetChannels)
{
    SFXMeshElementDefinition element;
    element.SetMeshTemplateGUID(m_guid);
    element.ResolveResources(true);
    const MeshTemplateRenderingData* data = m_mesh->GetRenderingData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(element.IsDrawnInFilteredPass());
    EXPECT_EQ(element.GetPassBits(), 16u | 6u);
    EXPECT_EQ(element.GetChannelMask(nullptr), data->GetPresetValue(0));
    auto* context = new SFXMeshElementContext;
    gRandomGenerators[0].Seed({0xFFFF0000u, 1, 2, 3, 4});
    context->Init(element, Matrix::ONE, 0, 0);
    EXPECT_EQ(context->GetAnimator(), nullptr);
    EXPECT_FLOAT_EQ(context->GetRandomPhase(), 65535.0f / 65536.0f) << "the draw's top bits: a phase below 1";
    m_renderer.SubmitCommands(true);
    // Releasing the template's data link: a template change links the element again.
    RunOnRenderThread(m_renderer, [&](NorvexRenderer&) {
        context->OnMeshTemplateChanged(element);
        EXPECT_EQ(context->GetRenderingData(), data);
        delete context;
    });
}
} // namespace
