#include "scene/kinds/MeshAnimationGraphTemplate.h"

#include "effects/MeshAnimationGraphEntity.h"
#include "support/SceneTestSupport.h"

namespace
{
using MeshAnimationGraphTemplateTest = SceneTest;

const MeshAnimationGraphStateTransition& TransitionAt(const MeshAnimationGraphTemplate& graph, int32_t state,
                                                      int32_t transition)
{
    return graph.GetStates()[state].m_transitions[transition];
}

TEST_F(MeshAnimationGraphTemplateTest, ADefinitionBuildsStatesInFirstUseOrderWithResolvedTargets)
{
    MeshAnimationGraphTemplate graph;
    graph.SetDefinition("idle walk start_walk\nwalk idle stop_walk");
    graph.OnPropertyChanged(graph.GetClassProperties()->FindProperty("Definition"));
    const DynarraySafe<MeshAnimationGraphState>& states = graph.GetStates();
    ASSERT_EQ(states.Count(), 2);
    EXPECT_STREQ(states[0].m_name.CStr(), "idle");
    EXPECT_STREQ(states[1].m_name.CStr(), "walk");
    ASSERT_EQ(states[0].m_transitions.Count(), 1);
    ASSERT_EQ(states[1].m_transitions.Count(), 1);
    EXPECT_STREQ(TransitionAt(graph, 0, 0).m_toState.CStr(), "walk");
    EXPECT_STREQ(TransitionAt(graph, 0, 0).m_animation.CStr(), "start_walk");
    EXPECT_EQ(TransitionAt(graph, 0, 0).m_targetIndex, 1);
    EXPECT_STREQ(TransitionAt(graph, 1, 0).m_animation.CStr(), "stop_walk");
    EXPECT_EQ(TransitionAt(graph, 1, 0).m_targetIndex, 0);
    EXPECT_EQ(graph.FindStateIndex(NameString("walk")), 1);
    EXPECT_EQ(graph.FindStateIndex(NameString("Walk")), -1);
}

TEST_F(MeshAnimationGraphTemplateTest, ShortLinesAddNothingAndTargetsComeAfterTheirSource)
{
    MeshAnimationGraphTemplate graph;
    graph.SetDefinition("run jump\n\n  \nrun fall trip extra words\r\nfall run get_up\njump run");
    graph.RebuildStates();
    const DynarraySafe<MeshAnimationGraphState>& states = graph.GetStates();
    ASSERT_EQ(states.Count(), 2);
    EXPECT_STREQ(states[0].m_name.CStr(), "run");
    EXPECT_STREQ(states[1].m_name.CStr(), "fall");
    EXPECT_STREQ(TransitionAt(graph, 0, 0).m_animation.CStr(), "trip");
    EXPECT_EQ(TransitionAt(graph, 0, 0).m_targetIndex, 1);
    EXPECT_EQ(TransitionAt(graph, 1, 0).m_targetIndex, 0);

    // A state that leads to itself and several transitions of one state keep their order.
    graph.SetDefinition("a a loop\na b go\nb c on\na c skip");
    graph.RebuildStates();
    ASSERT_EQ(states.Count(), 3);
    ASSERT_EQ(states[0].m_transitions.Count(), 3);
    EXPECT_EQ(TransitionAt(graph, 0, 0).m_targetIndex, 0);
    EXPECT_EQ(TransitionAt(graph, 0, 1).m_targetIndex, 1);
    EXPECT_EQ(TransitionAt(graph, 0, 2).m_targetIndex, 2);
    EXPECT_EQ(TransitionAt(graph, 1, 0).m_targetIndex, 2);
    EXPECT_TRUE(states[2].m_transitions.IsEmpty());
}

TEST_F(MeshAnimationGraphTemplateTest, AnyEditRebuildsAndAnEmptyDefinitionLosesTheStates)
{
    MeshAnimationGraphTemplate graph;
    graph.SetDefinition("idle walk start_walk");
    graph.RebuildStates();
    ASSERT_EQ(graph.GetStates().Count(), 2);
    graph.SetDefinition("idle run start_run");
    graph.OnPropertyChanged(graph.GetClassProperties()->FindPropertyInClassChain("Sort offset"));
    ASSERT_EQ(graph.GetStates().Count(), 2);
    EXPECT_STREQ(graph.GetStates()[1].m_name.CStr(), "run");
    graph.SetDefinition("");
    graph.OnPropertyChanged(nullptr);
    EXPECT_TRUE(graph.GetStates().IsEmpty());
}

TEST_F(MeshAnimationGraphTemplateTest, ALoadedTemplateKeepsItsStoredStatesAndResolvesTheirTargets)
{
    MeshAnimationGraphTemplate source;
    source.SetDefinition("idle walk start_walk\nwalk idle stop_walk\nwalk gone vanish");
    source.RebuildStates();
    // The stored table differs from what the definition would give: it is what a read keeps.
    source.SetDefinition("other states entirely");
    std::vector<uint8_t> bytes(source.SerializeToMemory(nullptr, 0, 0));
    ASSERT_EQ(source.SerializeToMemory(bytes.data(), bytes.size(), 0), bytes.size());

    m_templates.push_back(std::make_unique<MeshAnimationGraphTemplate>());
    MeshAnimationGraphTemplate& copy = static_cast<MeshAnimationGraphTemplate&>(*m_templates.back());
    ASSERT_TRUE(copy.DeserializeFromMemory(bytes.data(), bytes.size(), 0));
    EXPECT_EQ(copy.GetDefinition(), "other states entirely");
    ASSERT_EQ(copy.GetStates().Count(), 3);
    EXPECT_STREQ(copy.GetStates()[2].m_name.CStr(), "gone");
    EXPECT_EQ(TransitionAt(copy, 0, 0).m_targetIndex, 1);
    EXPECT_EQ(TransitionAt(copy, 1, 0).m_targetIndex, 0);
    EXPECT_EQ(TransitionAt(copy, 1, 1).m_targetIndex, 2);
    EXPECT_STREQ(TransitionAt(copy, 1, 1).m_animation.CStr(), "vanish");
    EXPECT_TRUE(copy.GetClassProperties()->AreObjectsEqual(&source, &copy));

    // A stored target naming no state stays unresolved.
    MeshAnimationGraphTemplate dangling;
    dangling.SetDefinition("a b c");
    dangling.RebuildStates();
    const_cast<MeshAnimationGraphState&>(dangling.GetStates()[1]).m_name.Set("renamed");
    dangling.ResolveTransitions();
    EXPECT_EQ(TransitionAt(dangling, 0, 0).m_targetIndex, -1);

    Entity* entity = gEntityManager.CreateEntity(&copy, nullptr, Matrix::ONE, 0, nullptr);
    EXPECT_NE(dynamic_cast<MeshAnimationGraphEntity*>(entity), nullptr);
    EXPECT_EQ(copy.GetTypeId(), 15u);
}
} // namespace
