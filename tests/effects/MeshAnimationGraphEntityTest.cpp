// An animation graph driving a mesh: the shortest chain of transitions planned breadth first, the
// transitions played one after another as each ends, and the messages of unknown, unreachable and
// broken states.
#include "effects/MeshAnimationGraphEntity.h"

#include "core/filesystem/FileSystem.h"
#include "engine/Game.h"
#include "renderer/resources/ResourceManager.h"
#include "scene/kinds/MeshAnimationGraphTemplate.h"
#include "scene/kinds/MeshEntity.h"
#include "scene/kinds/MeshTemplate.h"
#include "support/RendererTestBase.h"
#include "support/SceneTestSupport.h"
#include "support/TempFolder.h"
#include "tools/datakit/AnimationFileWriter.h"
#include "tools/datakit/MeshTemplateWriter.h"

#include <filesystem>
#include <string>

namespace
{
class MeshAnimationGraphEntityTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        RegisterSceneClasses();
        gEntityManager.Init(BoundingBox4(Vector(0, -50, 0, 1), Vector(1000, 500, 1000, 1)), 10.0f);
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
    }
    void TearDown() override
    {
        gEntityManager.DestroyScene();
        m_renderer.SubmitCommands(true);
        m_templates.clear();
        m_graphs.clear();
        m_resources.Close();
        gFileSystem.UnmountAll();
        RendererTestBase::TearDown();
    }
    MeshEntity* Mesh()
    {
        MeshTemplateSpec spec;
        spec.bones = {"Hips", "Arm"};
        spec.clips = {{"A12", "wave"}, {"A23", "wave"}, {"Idle", "wave"}};
        m_templates.push_back(MeshTemplateWriter::MakeTemplate(spec));
        auto* mesh = static_cast<MeshEntity*>(gEntityManager.CreateEntity(m_templates.back().get(), nullptr, Matrix::ONE, 0, nullptr));
        mesh->SetName("Knight");
        return mesh;
    }
    MeshAnimationGraphEntity* Graph(const char* definition)
    {
        m_graphs.push_back(std::make_unique<MeshAnimationGraphTemplate>());
        m_graphs.back()->SetDefinition(definition);
        m_graphs.back()->RebuildStates();
        auto* graph = dynamic_cast<MeshAnimationGraphEntity*>(
            gEntityManager.CreateEntity(m_graphs.back().get(), nullptr, Matrix::ONE, 0, nullptr));
        EXPECT_NE(graph, nullptr);
        graph->SetName("Graph");
        return graph;
    }
    // The state names still queued, next first.
    static std::string Queue(const MeshAnimationGraphEntity& graph)
    {
        std::string names;
        for (int32_t i = graph.GetQueue().Count(); i > 0; --i)
            names += (names.empty() ? "" : " ") + std::string(graph.GetQueue()[i - 1].CStr());
        return names;
    }
    // Moves the graph from no state to the given one (played directly).
    static void Enter(MeshAnimationGraphEntity& graph, const char* state)
    {
        graph.StartAnimation("Idle", state);
        ASSERT_STREQ(graph.GetCurrentState(), state);
    }
    const BaseAnimation* Playing(MeshEntity* mesh)
    {
        mesh->GetAnimator()->InvalidatePose();
        mesh->Animate();
        return mesh->GetAnimator()->GetFirstRunningRootAnimation();
    }
    static void Advance(MeshEntity* mesh, float seconds)
    {
        gGame.GetGameTimer().Tick(seconds);
        mesh->GetAnimator()->InvalidatePose();
        mesh->Animate();
    }

    TempFolder m_folder;
    ResourceManager m_resources;
    std::vector<std::unique_ptr<MeshTemplate>> m_templates;
    std::vector<std::unique_ptr<MeshAnimationGraphTemplate>> m_graphs;
};
} // namespace

TEST_F(MeshAnimationGraphEntityTest, ChainsArePlannedShortestFirstAndTiesGoToTheFirstTransition)
{
    // Without a mesh the transitions are still taken off the queue one at a time: the state is the
    // first step's and the rest waits.
    struct Case
    {
        const char* name;
        const char* definition;
        const char* from;
        const char* to;
        const char* state;
        const char* queued;
    };
    const Case cases[] = {
        {"a chain of two", "S1 S2 a\nS2 S3 b", "S1", "S3", "S2", "S3"},
        {"the shorter of two ways", "S1 S2 a\nS2 S3 b\nS3 S4 c\nS1 S5 d\nS5 S4 e", "S1", "S4", "S5", "S4"},
        {"a tie goes to the first transition", "S1 S2 a\nS1 S3 b\nS2 S4 c\nS3 S4 d", "S1", "S4", "S2", "S4"},
        {"cycles are visited once", "S1 S2 a\nS2 S1 b\nS2 S3 c\nS3 S4 d", "S1", "S4", "S2", "S3 S4"},
        {"unreachable queues nothing", "S1 S2 a\nS3 S1 b", "S1", "S3", "S1", ""},
        {"the target is the current state", "S1 S2 a", "S1", "S1", "S1", ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        MeshAnimationGraphEntity* graph = Graph(c.definition);
        Enter(*graph, c.from);
        graph->StartAnimation("Idle", c.to);
        EXPECT_STREQ(graph->GetCurrentState(), c.state);
        EXPECT_EQ(Queue(*graph), c.queued);
    }
    EXPECT_FALSE(m_log.Contains("Undefined animation state", 4));

    MeshAnimationGraphEntity* graph = Graph("S1 S2 a");
    Enter(*graph, "S1");
    graph->StartAnimation("Idle", "S9");
    EXPECT_TRUE(m_log.Contains("Undefined animation state S9 in entity Graph", 4));
    EXPECT_STREQ(graph->GetCurrentState(), "S1");
    EXPECT_EQ(graph->GetSerial(), 0u);
    // A graph is saved and loaded as an entity: its name and parent come from the base table.
    EXPECT_NE(MeshAnimationGraphEntity::StaticClassProperties()->FindPropertyInClassChain("Parent entity"), nullptr);
}

TEST_F(MeshAnimationGraphEntityTest, EachTransitionStartsWhenThePreviousOneEnds)
{
    MeshEntity* mesh = Mesh();
    MeshAnimationGraphEntity* graph = Graph("S1 S2 A12\nS2 S3 A23");
    graph->SetControlledMesh(mesh, "root");
    Enter(*graph, "S1");
    const BaseAnimation* first = Playing(mesh);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetParams().CallbackObject.Get(), nullptr) << "a direct start is nobody's transition";

    m_log.Clear();
    graph->StartAnimation("Idle", "S3");
    EXPECT_TRUE(m_log.Contains("Animation graph state queue:", 0));
    EXPECT_TRUE(m_log.Contains("Starting transition animation A12 for mesh Knight", 0));
    const BaseAnimation* a12 = Playing(mesh);
    ASSERT_NE(a12, nullptr);
    EXPECT_EQ(a12->GetParams().AnimationIndex, mesh->GetMeshTemplate()->GetAnimation(NameString("A12"), NameString()));
    EXPECT_EQ(a12->GetParams().Id, 1);
    EXPECT_EQ(a12->GetParams().CallbackObject.Get(), static_cast<AnimationCallbackObject*>(graph));
    EXPECT_STREQ(graph->GetCurrentState(), "S2");
    EXPECT_EQ(Queue(*graph), "S3");

    // The clip runs 1 s and counts as finished 0.2 s before its end: then A23 takes over.
    Advance(mesh, 0.5f);
    EXPECT_EQ(Queue(*graph), "S3");
    Advance(mesh, 0.4f);
    EXPECT_TRUE(m_log.Contains("Starting transition animation A23 for mesh Knight", 0));
    EXPECT_STREQ(graph->GetCurrentState(), "S3");
    EXPECT_EQ(Queue(*graph), "");
    const BaseAnimation* a23 = Playing(mesh);
    ASSERT_NE(a23, nullptr);
    EXPECT_EQ(a23->GetParams().Id, 2);
    EXPECT_EQ(graph->GetSerial(), 2u);
}

TEST_F(MeshAnimationGraphEntityTest, ABrokenTableAbortsAndAReplacedTransitionDoesNotSkipAhead)
{
    MeshEntity* mesh = Mesh();
    MeshAnimationGraphEntity* graph = Graph("S1 S2 A12\nS2 S3 A23\nS3 S1 Idle");
    graph->SetControlledMesh(mesh, "root");
    Enter(*graph, "S1");
    graph->StartAnimation("Idle", "S3");
    ASSERT_STREQ(graph->GetCurrentState(), "S2");
    // Asked again while A12 still plays: A23 replaces it, and the end that A12 reports while being
    // replaced must not start the next queued transition at once.
    graph->StartAnimation("Idle", "S1");
    EXPECT_STREQ(graph->GetCurrentState(), "S3");
    EXPECT_EQ(Queue(*graph), "S1");
    EXPECT_EQ(graph->GetSerial(), 2u);

    // A state renamed behind the resolved targets: the queued name has no transition.
    MeshAnimationGraphEntity* broken = Graph("T1 T2 A12\nT2 T3 A23");
    const_cast<MeshAnimationGraphState&>(m_graphs.back()->GetStates()[1]).m_name.Set("renamed");
    Enter(*broken, "T1");
    broken->StartAnimation("Idle", "T3");
    EXPECT_TRUE(m_log.Contains("Mesh animation graph inconsistency. Aborting animation queue", 4));
    EXPECT_EQ(Queue(*broken), "");
    EXPECT_STREQ(broken->GetCurrentState(), "T1");
    // A target index outside the table is reported and passed over.
    MeshAnimationGraphEntity* stray = Graph("U1 U2 A12");
    const_cast<MeshAnimationGraphState&>(m_graphs.back()->GetStates()[0]).m_transitions[0].m_targetIndex = 7;
    Enter(*stray, "U1");
    stray->StartAnimation("Idle", "U2");
    EXPECT_TRUE(m_log.Contains("Animation state table inconsistency or too many states", 4));
    EXPECT_EQ(Queue(*stray), "");
    EXPECT_STREQ(stray->GetCurrentState(), "U1");
    // The visited set holds 1024 states: index 1024 is refused the same way, index 1023 is reached.
    std::string fan;
    for (int i = 1; i <= 1024; ++i)
        fan += "W0 W" + std::to_string(i) + " A12\n";
    MeshAnimationGraphEntity* wide = Graph(fan.c_str());
    Enter(*wide, "W0");
    m_log.Clear();
    wide->StartAnimation("Idle", "W1024");
    EXPECT_TRUE(m_log.Contains("Animation state table inconsistency or too many states", 4));
    EXPECT_STREQ(wide->GetCurrentState(), "W0");
    wide->StartAnimation("Idle", "W1023");
    EXPECT_STREQ(wide->GetCurrentState(), "W1023");

    // A template refresh drops what is queued.
    graph->StartAnimation("Idle", "S2");
    ASSERT_NE(Queue(*graph), "");
    graph->ResetBoundsFromTemplate(nullptr);
    EXPECT_EQ(Queue(*graph), "");
}
