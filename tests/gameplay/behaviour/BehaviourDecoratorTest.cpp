#include "core/math/RandomGenerator.h"
#include "gameplay/behaviour/BTTaskRootDecorators.h"
#include "gameplay/behaviour/BTTaskSequences.h"
#include "gameplay/behaviour/BehaviourDecorator.h"
#include "scene/kinds/BehaviourTreeTemplate.h"
#include "support/BehaviourTestSupport.h"
#include "support/ConsoleCapture.h"
#include "support/SceneTestSupport.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateManager.h"

#include <vector>

namespace
{
struct DecoratorTickStep
{
    const char* script;
    int32_t result;
    const char* trace;
};

struct DecoratorScenario
{
    const char* name;
    const char* tree;
    std::vector<DecoratorTickStep> steps;
};

// Each step ticks the root (or, for "Check ...", runs its condition check) after scripting the leaves.
void RunScenario(BehaviourTree& tree, const DecoratorScenario& scenario)
{
    TestAgent agent(&tree);
    ASSERT_TRUE(agent.IsReady()) << scenario.name;
    for (size_t i = 0; i < scenario.steps.size(); ++i)
    {
        const DecoratorTickStep& step = scenario.steps[i];
        gLeafScript.trace.clear();
        const std::string script = step.script;
        int32_t result;
        if (script.rfind("Check", 0) == 0)
        {
            agent.Script(script.substr(5));
            result = tree.GetRoot()->CheckCondition(agent.Context(), 0);
        }
        else
            result = agent.Step(script);
        EXPECT_EQ(result, step.result) << scenario.name << ", step " << i;
        EXPECT_EQ(gLeafScript.trace, step.trace) << scenario.name << ", step " << i;
    }
}

const std::vector<DecoratorScenario> kDecoratorScenarios = {
    {"a dummy decorator passes results through", "BTTaskDummyDecorator{L(A)}",
     {{"A=2", 2, "A+ A"}, {"A=1", 1, "A A-"}, {"Check A?1", 1, "A?"}}},
    {"a dummy decorator over a disabled child fails", "BTTaskDummyDecorator{L(A;Disabled=1)}",
     {{"", 1, ""}, {"Check", 1, ""}}},
    {"a decorator checks its child even while running", "BTTaskDummyDecorator{L(A)}",
     {{"A=2", 2, "A+ A"}, {"Check", 0, "A?"}}},
    {"invert maps a failure to success and leaves running alone",
     "BTTaskChangeStateDecorator[Execution return state=1]{L(A)}", {{"A=2", 2, "A+ A"}, {"A=1", 0, "A A-"}}},
    {"success and failure states replace any result",
     "BTTaskChangeStateDecorator[Execution return state=3;Condition return state=2]{L(A)}",
     {{"", 1, "A+ A A-"}, {"Check A?1", 0, "A?"}}},
    {"a child's declined start is a result to map", "BTTaskChangeStateDecorator[Execution return state=1]{L(A)}",
     {{"A<0", 1, "A+"}}},
    {"the condition is mapped, but not an empty decorator's",
     "BTTaskChangeStateDecorator[Condition return state=1]{L(A;Disabled=1)}", {{"Check", 1, ""}}},
    {"always-true turns failure into success", "BTTaskAlwaysTrueActionDecorator{L(A)}",
     {{"A=1", 0, "A+ A A-"}, {"A=2", 2, "A+ A"}, {"", 0, "A A-"}}},
    {"always-true without a child succeeds", "BTTaskAlwaysTrueActionDecorator{L(A;Disabled=1)}", {{"", 0, ""}}},
    {"a running action ends at an interrupt with failure", "BTTaskDummyDecorator{L(A)}",
     {{"A=2", 2, "A+ A"}, {"!", 1, "A!"}}},
    {"a decorator that may not be interrupted lets its action run on",
     "BTTaskDummyDecorator[Interrupted=0]{L(A)}", {{"A=2", 2, "A+ A"}, {"! A=2", 2, "A"}, {"!", 0, "A A-"}}},
    {"a leaf whose OnEnter declines neither executes nor exits", "BTTaskDummyDecorator{L(A)}", {{"A<0", 0, "A+"}}},
    {"probability 100 always passes, 0 never", "BTTaskSequence{L(A) BTTaskRandomDecorator[Probability=0]{L(B)}}",
     {{"", 1, "A+ A A-"}}},
    {"a listener reads the probability from the scope",
     "BTTaskChangePropertyDecorator[!chance=100]{BTTaskSequence{L(A) BTTaskRandomDecorator[Probability=0;@Probability=chance]{L(B)}}}",
     {{"", 0, "A+ A A- B? B+ B B-"}}},
};

TEST(BehaviourDecoratorTest, EveryScenarioFollowsTheDecoratorAndActionProtocols)
{
    for (const DecoratorScenario& scenario : kDecoratorScenarios)
    {
        std::unique_ptr<BehaviourTree> tree = MakeTestTree(scenario.tree);
        ASSERT_NE(tree, nullptr);
        RunScenario(*tree, scenario);
    }
    // A running child that may not be interrupted keeps its decorator from being interrupted.
    std::unique_ptr<BehaviourTree> tree = MakeTestTree("BTTaskDummyDecorator{L(A;Interrupted=0)}");
    TestAgent agent(tree.get());
    EXPECT_EQ(agent.Step("A=2"), BT_RUNNING);
    EXPECT_FALSE(tree->GetRoot()->CanInterrupt(agent.Context(), 0));
}

TEST(BehaviourDecoratorTest, TheRandomDecoratorDrawsOncePerConditionCheckAndNeverInItsTick)
{
    // Probability against the roll (old state >> 16) / 65536 * 100, state by state.
    struct Case
    {
        uint32_t state;
        float probability;
        int32_t result;
    };
    const Case cases[] = {
        {0x00000000u, 0.0f, BT_FAILURE},   // roll 0: 0 is not above it
        {0x00000000u, 0.01f, BT_SUCCESS},
        {0x80000000u, 50.0f, BT_FAILURE},  // roll exactly 50
        {0x80000000u, 50.01f, BT_SUCCESS},
        {0xFFFF0000u, 99.99f, BT_FAILURE}, // roll 99.9985
        {0xFFFFFFFFu, 100.0f, BT_SUCCESS},
    };
    for (const Case& c : cases)
    {
        std::unique_ptr<BehaviourTree> tree = MakeTestTree("BTTaskRandomDecorator{L(A)}");
        static_cast<BTTaskRandomDecorator*>(tree->GetRoot())->SetProbability(c.probability);
        TestAgent agent(tree.get());
        const uint32_t words[5] = {c.state, 1, 2, 3, 4};
        gRandomGenerators[0].Seed(words);
        EXPECT_EQ(tree->GetRoot()->CheckCondition(agent.Context(), 0), c.result) << c.state << " " << c.probability;
        EXPECT_EQ(gRandomGenerators[0].GetState()[0], c.state * 214013u + 2531011u);
        agent.Step("A=2");
        agent.Step("");
        EXPECT_EQ(gRandomGenerators[0].GetState()[0], c.state * 214013u + 2531011u) << "ticks draw nothing";
    }
}

TEST(BehaviourDecoratorTest, DecoratorsWrapTheirChildAndRefuseLoops)
{
    RegisterBehaviourTestClasses();
    BTTaskDummyDecorator outer;
    auto* leaf = new ScriptedLeaf;
    ASSERT_TRUE(outer.AddChild(leaf));
    // Inserting above the child wraps it.
    auto* inner = new BTTaskDummyDecorator;
    ASSERT_TRUE(outer.InsertChild(inner));
    EXPECT_EQ(outer.GetChildCount(), 1u);
    EXPECT_EQ(outer.GetChild(0), inner);
    EXPECT_EQ(inner->GetChild(0), leaf);
    EXPECT_EQ(leaf->GetParent(), inner);
    // Inserting the node it already holds changes nothing.
    EXPECT_TRUE(outer.InsertChild(inner));
    EXPECT_EQ(inner->GetChild(0), leaf);
    // A node that would close a loop is refused and nothing moves.
    EXPECT_FALSE(inner->InsertChild(&outer));
    EXPECT_FALSE(outer.InsertChild(&outer));
    EXPECT_EQ(outer.GetChild(0), inner);
    // A node that cannot take the held child is refused, and the child stays where it was.
    BTTaskRootDecorator root;
    EXPECT_FALSE(inner->InsertChild(&root));
    EXPECT_EQ(inner->GetChild(0), leaf);
    EXPECT_EQ(root.GetParent(), nullptr);

    // Other nodes put an inserted child first; a deleted child leaves its parent's list.
    BTTaskSequence sequence;
    auto* second = new ScriptedLeaf;
    ASSERT_TRUE(sequence.AddChild(second) && sequence.InsertChild(leaf));
    EXPECT_EQ(sequence.GetChild(0), leaf);
    EXPECT_EQ(inner->GetChildCount(), 0u);
    delete leaf;
    EXPECT_EQ(sequence.GetChildCount(), 1u);
    EXPECT_EQ(sequence.GetChild(0), second);
}

TEST(BehaviourDecoratorTest, RootDecoratorsRefuseChildrenWithoutDestroyingThem)
{
    RegisterBehaviourTestClasses();
    BTTaskRootDecorator byIndex;
    BTTaskRootLinkDecorator byName;
    ScriptedLeaf held;
    held.SetName("Held");
    for (BehaviourNode* decorator : {static_cast<BehaviourNode*>(&byIndex), static_cast<BehaviourNode*>(&byName)})
    {
        EXPECT_FALSE(decorator->InsertChild(&held));
        EXPECT_FALSE(decorator->AddChild(&held));
        EXPECT_EQ(decorator->GetChildCount(), 0u);
        EXPECT_TRUE(decorator->IsLeaf());
    }
    // The caller still holds a live node.
    EXPECT_STREQ(held.GetName().CStr(), "Held");
    EXPECT_EQ(held.GetParent(), nullptr);
}

// Trees of one template linked through root decorators.
class RootDecoratorTest : public ::testing::Test
{
protected:
    void SetUp() override { RegisterBehaviourTestClasses(); }

    BehaviourTree* Add(const char* text)
    {
        std::string error;
        BehaviourTree* tree = BehaviourTreeText::ParseTree(ExpandTreeText(text), error);
        EXPECT_NE(tree, nullptr) << error;
        m_template.AddTree(tree);
        return tree;
    }

    BehaviourTreeTemplate m_template;
};

TEST_F(RootDecoratorTest, ALinkedTreeRunsInTheSameContextAtItsOwnBase)
{
    BehaviourTree* main = Add("Main = BTTaskSequence{L(A) BTTaskRootDecorator[TreeIndex=1] BTTaskRootLinkDecorator[Tree name=Sub]}");
    BehaviourTree* sub = Add("Sub = BTTaskSequence{L(S) L(T)}");
    m_template.InitTrees();
    // Two links to the same tree: two copies of its slices.
    const uint32_t own = main->GetRoot()->GetTreeDataSize();
    EXPECT_EQ(own, 96u) << "16 for the sequence and for A, each decorator's 20 bytes rounded up to 32";
    EXPECT_EQ(main->GetContextDataSize(), own + 2 * sub->GetContextDataSize());
    TestAgent agent(main);
    ASSERT_EQ(agent.Context().GetDataSize(), main->GetContextDataSize());
    gLeafScript.trace.clear();
    EXPECT_EQ(agent.Step("S=2"), BT_RUNNING);
    EXPECT_EQ(gLeafScript.trace, "A+ A A- S? S+ S");
    // The first link's S runs while the second link's copy of S is idle.
    const auto* s = static_cast<const ScriptedLeaf*>(sub->GetRoot()->GetChild(0));
    const auto* first = static_cast<const BehaviourRootDecorator*>(main->GetRoot()->GetChild(1));
    const auto* second = static_cast<const BehaviourRootDecorator*>(main->GetRoot()->GetChild(2));
    EXPECT_EQ(first->GetChild(0), sub->GetRoot());
    const uint32_t firstBase = *reinterpret_cast<const uint32_t*>(agent.Context().SliceAt(uint32_t(first->GetContextDataIndex()) + 16));
    const uint32_t secondBase = *reinterpret_cast<const uint32_t*>(agent.Context().SliceAt(uint32_t(second->GetContextDataIndex()) + 16));
    EXPECT_EQ(firstBase, own);
    EXPECT_EQ(secondBase, own + sub->GetRoot()->GetTreeDataSize());
    EXPECT_EQ(s->StateIn(agent.Context(), firstBase), 1);
    EXPECT_EQ(s->StateIn(agent.Context(), secondBase), -1);
    gLeafScript.trace.clear();
    EXPECT_EQ(agent.Step(""), BT_SUCCESS);
    EXPECT_EQ(gLeafScript.trace, "S S- T? T+ T T- S? S+ S S- T? T+ T T-");
    // An interrupt reaches a running action inside the linked tree; release aborts what runs.
    agent.Step("S=2");
    gLeafScript.trace.clear();
    agent.Release();
    EXPECT_EQ(gLeafScript.trace, "S!");
}

TEST_F(RootDecoratorTest, BrokenLinksFailEveryTickAndCheck)
{
    BehaviourTree* outOfRange = Add("A = BTTaskRootDecorator[TreeIndex=4]"); // one past the last tree
    BehaviourTree* unnamed = Add("B = BTTaskRootLinkDecorator[Tree name=Nowhere]");
    BehaviourTree* disabled = Add("C = BTTaskRootLinkDecorator[Tree name=D]");
    Add("D = BTTaskSequence[Disabled=1]{L(X)}");
    m_template.InitTrees();
    for (BehaviourTree* tree : {outOfRange, unnamed, disabled})
    {
        TestAgent agent(tree);
        gLeafScript.trace.clear();
        EXPECT_EQ(agent.Step(""), BT_FAILURE) << tree->GetName().CStr();
        EXPECT_EQ(tree->GetRoot()->CheckCondition(agent.Context(), 0), BT_FAILURE);
        EXPECT_EQ(gLeafScript.trace, "");
    }
}

TEST_F(RootDecoratorTest, ALinkCanBeInterruptedWhenItAndWhatRunsInTheLinkedTreeCanBe)
{
    Add("Plain = BTTaskRootDecorator[TreeIndex=3]");
    Add("Held = BTTaskRootDecorator[TreeIndex=4]");
    Add("Stubborn = BTTaskRootDecorator[TreeIndex=3;Interrupted=0]");
    Add("Free = BTTaskSequence{L(A)}");
    Add("Fixed = BTTaskSequence{L(B;Interrupted=0)}");
    m_template.InitTrees();
    for (const auto& [tree, step, can] : {std::tuple{0, "A=2", true}, {1, "B=2", false}, {2, "A=2", false}})
    {
        BehaviourTree* const linking = m_template.GetTrees()[tree];
        TestAgent agent(linking);
        EXPECT_EQ(agent.Step(step), BT_RUNNING) << tree;
        EXPECT_EQ(linking->GetRoot()->CanInterrupt(agent.Context(), 0), can) << tree;
    }
}

TEST_F(RootDecoratorTest, LinksThatMultiplyPastTheContextLimitAreRefused)
{
    // Three levels of 40 links over 40 leaves: 40^4 leaf slices, more than an agent's context holds.
    ConsoleCapture log;
    for (int level = 0; level < 4; ++level)
    {
        std::string text = "T" + std::to_string(level) + " = BTTaskSequence{";
        for (int i = 0; i < 40; ++i)
            text += level < 3 ? "BTTaskRootDecorator[TreeIndex=" + std::to_string(level + 1) + "] " : "L(X) ";
        Add((text + "}").c_str());
    }
    m_template.InitTrees();
    TestAgent agent(m_template.GetTrees()[0]);
    EXPECT_FALSE(agent.IsReady());
    EXPECT_TRUE(log.Contains("context bytes (at most 16777216)", CONSOLE_ERROR));
    EXPECT_TRUE(TestAgent(m_template.GetTrees()[1]).IsReady());
}

TEST_F(RootDecoratorTest, LoopsBetweenTreesAreCutWhereTheyClose)
{
    // A -> B -> A through index links, B -> B through a name link, C -> A: every walk ends.
    BehaviourTree* a = Add("A = BTTaskSequence{L(X) BTTaskRootDecorator[TreeIndex=1]}");
    BehaviourTree* b = Add("B = BTTaskSelector{BTTaskRootDecorator[TreeIndex=0] BTTaskRootLinkDecorator[Tree name=B] L(Y)}");
    BehaviourTree* c = Add("C = BTTaskRootDecorator[TreeIndex=0]");
    m_template.InitTrees();
    const auto* aToB = static_cast<const BTTaskRootDecorator*>(a->GetRoot()->GetChild(1));
    const auto* bToA = static_cast<const BTTaskRootDecorator*>(b->GetRoot()->GetChild(0));
    const auto* bToB = static_cast<const BehaviourRootDecorator*>(b->GetRoot()->GetChild(1));
    EXPECT_EQ(aToB->GetTreeIndex(), -1);
    EXPECT_EQ(bToA->GetTreeIndex(), 0);
    EXPECT_EQ(bToB->GetLinkedTree(), nullptr);
    for (BehaviourTree* tree : {a, b, c})
    {
        TestAgent agent(tree);
        EXPECT_TRUE(agent.IsReady());
        EXPECT_LT(tree->GetContextDataSize(), 1024u);
        agent.Step("Y=2");
    }
}

// Templates registered with the template manager, each holding trees that link across templates.
class RootLinkTemplatesTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        RegisterBehaviourTestClasses();
    }
    void TearDown() override
    {
        gTemplateManager.Clear();
        SceneTest::TearDown();
    }

    static SimpleGUID Guid(uint8_t id)
    {
        SimpleGUID guid;
        guid.bytes[0] = 0x5B;
        guid.bytes[15] = id;
        return guid;
    }
    // A template registered under `id` holding one tree made from its text form.
    BehaviourTreeTemplate* AddTemplate(uint8_t id, const char* treeText)
    {
        auto* stub = new EntityTemplateStub;
        stub->SetFileName(("Trees" + std::to_string(id)).c_str());
        stub->SetGUID(Guid(id));
        EXPECT_TRUE(gTemplateManager.RegisterStub(stub));
        auto* trees = new BehaviourTreeTemplate;
        stub->SetTemplate(trees);
        std::string error;
        BehaviourTree* tree = BehaviourTreeText::ParseTree(ExpandTreeText(treeText), error);
        EXPECT_NE(tree, nullptr) << error;
        trees->AddTree(tree);
        return trees;
    }
    static BTTaskRootLinkDecorator* LinkIn(BehaviourNode* node)
    {
        if (auto* link = dynamic_cast<BTTaskRootLinkDecorator*>(node))
            return link;
        for (uint32_t i = 0; i < node->GetChildCount(); ++i)
            if (BTTaskRootLinkDecorator* link = LinkIn(node->GetChild(i)))
                return link;
        return nullptr;
    }
};

TEST_F(RootLinkTemplatesTest, TwoTemplatesLinkingEachOtherLinkOnceAndTheLoopIsCut)
{
    BehaviourTreeTemplate* first = AddTemplate(1, "Main = BTTaskSequence{L(A) BTTaskRootLinkDecorator[Tree name=Far]}");
    BehaviourTreeTemplate* second = AddTemplate(2, "Far = BTTaskSequence{L(B) BTTaskRootLinkDecorator[Tree name=Main]}");
    BTTaskRootLinkDecorator* toSecond = LinkIn(first->GetTrees()[0]->GetRoot());
    BTTaskRootLinkDecorator* toFirst = LinkIn(second->GetTrees()[0]->GetRoot());
    toSecond->SetTemplatePath(Guid(2));
    toFirst->SetTemplatePath(Guid(1));
    first->InitTrees();
    EXPECT_FALSE(first->IsLinking());
    EXPECT_FALSE(second->IsLinking());
    EXPECT_EQ(toSecond->GetTemplate(), second);
    EXPECT_EQ(toFirst->GetTemplate(), first);
    // The walk from Main meets its own link again behind Far: that link is the one cut.
    EXPECT_EQ(toSecond->GetLinkedTree(), nullptr);
    EXPECT_EQ(toFirst->GetLinkedTree(), first->GetTrees()[0]);
    // Both trees set up finite contexts and run.
    for (BehaviourTree* tree : {first->GetTrees()[0], second->GetTrees()[0]})
    {
        TestAgent agent(tree);
        ASSERT_TRUE(agent.IsReady());
        EXPECT_LT(tree->GetContextDataSize(), 256u);
        EXPECT_EQ(agent.Step(""), BT_FAILURE) << tree->GetName().CStr();
    }
    // Linking the second template again, as an agent starting there would, finds the same loop.
    second->InitTrees();
    TestAgent agent(second->GetTrees()[0]);
    EXPECT_TRUE(agent.IsReady());
}
} // namespace
