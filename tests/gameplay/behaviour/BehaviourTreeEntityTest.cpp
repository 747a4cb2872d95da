#include "gameplay/behaviour/BehaviourTreeEntity.h"

#include "gameplay/behaviour/BehaviourTreeAgents.h"
#include "gameplay/behaviour/BehaviourTreeContext.h"
#include "scene/kinds/BehaviourTreeTemplate.h"
#include "support/BehaviourTestSupport.h"
#include "support/SceneTestSupport.h"

namespace
{
class BehaviourTreeEntityTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        RegisterBehaviourTestClasses();
        m_templates.push_back(std::make_unique<BehaviourTreeTemplate>());
        m_trees = static_cast<BehaviourTreeTemplate*>(m_templates.back().get());
        std::string error;
        for (const char* text : {"Patrol = BTTaskSequence{L(A) L(B)}", "Guard = BTTaskSelector{L(G)}",
                                 "Lookout = BTTaskRootLinkDecorator[Tree name=Guard]"})
        {
            BehaviourTree* tree = BehaviourTreeText::ParseTree(ExpandTreeText(text), error);
            ASSERT_NE(tree, nullptr) << error;
            m_trees->AddTree(tree);
        }
    }

    BehaviourTreeEntity* MakeAgent()
    {
        Entity* entity = gEntityManager.CreateEntity(m_trees, nullptr, Matrix::ONE, 0, nullptr);
        entity->PostCreateInit();
        return dynamic_cast<BehaviourTreeEntity*>(entity);
    }

    static int32_t LeafState(BehaviourTreeEntity* agent, uint32_t child)
    {
        const auto* leaf = static_cast<const ScriptedLeaf*>(agent->GetTree()->GetRoot()->GetChild(child));
        return leaf->StateIn(*agent->GetContext());
    }

    BehaviourTreeTemplate* m_trees = nullptr;
};

TEST_F(BehaviourTreeEntityTest, TwoAgentsOnOneTreeKeepTheirOwnState)
{
    BehaviourTreeEntity* first = MakeAgent();
    BehaviourTreeEntity* second = MakeAgent();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(first->GetTree(), second->GetTree());
    EXPECT_NE(first->GetContext(), second->GetContext());
    EXPECT_EQ(first->GetContext()->GetOwner(), first);

    gLeafScript.execute = {{"B", BT_RUNNING}};
    gLeafScript.trace.clear();
    EXPECT_EQ(first->TickTree(), BT_RUNNING);
    EXPECT_EQ(LeafState(first, 1), 1);
    EXPECT_EQ(LeafState(second, 1), -1);
    // The second agent starts from its first child; the first resumes B.
    gLeafScript.execute.clear();
    EXPECT_EQ(second->TickTree(), BT_SUCCESS);
    EXPECT_EQ(first->TickTree(), BT_SUCCESS);
    EXPECT_EQ(gLeafScript.trace, "A+ A A- B? B+ B A+ A A- B? B+ B B- B B-");
    // An interrupt asked of one agent reaches that agent only.
    gLeafScript.execute = {{"A", BT_RUNNING}};
    first->TickTree();
    second->TickTree();
    first->RequestInterrupt();
    gLeafScript.trace.clear();
    EXPECT_EQ(first->TickTree(), BT_FAILURE);
    EXPECT_EQ(second->TickTree(), BT_RUNNING);
    EXPECT_EQ(gLeafScript.trace, "A! A");
}

TEST_F(BehaviourTreeEntityTest, AgentsTickOncePerWalkAndReleaseTheirContextWhenTheyGo)
{
    BehaviourTreeEntity* first = MakeAgent();
    BehaviourTreeEntity* second = MakeAgent();
    gBehaviourTreeAgents.Add(first);
    EXPECT_EQ(gBehaviourTreeAgents.Count(), 2) << "an agent is listed once";
    gLeafScript.execute = {{"A", BT_RUNNING}};
    gLeafScript.trace.clear();
    gBehaviourTreeAgents.TickAll();
    EXPECT_EQ(gLeafScript.trace, "A+ A A+ A");
    // A running action is told it was interrupted when its agent goes.
    gLeafScript.trace.clear();
    first->Destroy();
    EXPECT_EQ(gLeafScript.trace, "A!");
    EXPECT_EQ(gBehaviourTreeAgents.Count(), 1);
    gLeafScript.trace.clear();
    gBehaviourTreeAgents.TickAll();
    EXPECT_EQ(gLeafScript.trace, "A");
    second->StopTree();
    EXPECT_EQ(gBehaviourTreeAgents.Count(), 0);
}

TEST_F(BehaviourTreeEntityTest, AnAgentStoppedDuringTheWalkLeavesTheOthersTheirTicks)
{
    BehaviourTreeEntity* first = MakeAgent();
    MakeAgent();
    MakeAgent();
    int executes = 0;
    gLeafScript.onExecute = [&] { if (++executes == 2) first->StopTree(); };
    gLeafScript.execute = {{"A", BT_RUNNING}};
    gLeafScript.trace.clear();
    gBehaviourTreeAgents.TickAll();
    gLeafScript.onExecute = nullptr;
    EXPECT_EQ(gLeafScript.trace, "A+ A A+ A A! A+ A") << "the second stops the first; the third still ticks";
}

TEST_F(BehaviourTreeEntityTest, AnAgentRunsTheTreeItNamesAndNothingWithoutOne)
{
    BehaviourTreeEntity* agent = MakeAgent();
    EXPECT_EQ(agent->GetTree(), m_trees->GetTrees()[0]);
    ASSERT_TRUE(agent->StartTree("Guard"));
    EXPECT_EQ(agent->GetTree(), m_trees->GetTrees()[1]);
    EXPECT_STREQ(agent->GetTreeName().CStr(), "Guard");
    gLeafScript.execute.clear();
    gLeafScript.trace.clear();
    EXPECT_EQ(agent->TickTree(), BT_SUCCESS);
    EXPECT_EQ(gLeafScript.trace, "G+ G G-");
    // A tree that links another runs it: starting links the template's trees.
    ASSERT_TRUE(agent->StartTree("Lookout"));
    gLeafScript.trace.clear();
    EXPECT_EQ(agent->TickTree(), BT_SUCCESS);
    EXPECT_EQ(gLeafScript.trace, "G+ G G-");
    // A name that is no tree: nothing runs, with a warning.
    EXPECT_FALSE(agent->StartTree("guard"));
    EXPECT_EQ(agent->GetContext(), nullptr);
    EXPECT_EQ(agent->TickTree(), BT_FAILURE);
    EXPECT_TRUE(m_log.Contains("no behaviour tree \"guard\"", CONSOLE_WARNING));
    // A tree without a root cannot set up a context: the agent is left without tree and context.
    auto* bare = new BehaviourTree;
    bare->SetName("Bare");
    m_trees->AddTree(bare);
    const int32_t agents = gBehaviourTreeAgents.Count();
    EXPECT_FALSE(agent->StartTree("Bare"));
    EXPECT_EQ(agent->GetContext(), nullptr);
    EXPECT_EQ(agent->GetTree(), nullptr);
    EXPECT_EQ(gBehaviourTreeAgents.Count(), agents);
    EXPECT_TRUE(m_log.Contains("Behaviour tree \"Bare\" has no root", CONSOLE_WARNING));
}
} // namespace
