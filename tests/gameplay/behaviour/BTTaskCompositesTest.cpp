#include "core/math/RandomGenerator.h"
#include "gameplay/behaviour/BTTaskRandomSelector.h"
#include "gameplay/behaviour/BTTaskSelectors.h"
#include "gameplay/behaviour/BTTaskSequences.h"
#include "support/BehaviourTestSupport.h"

#include <vector>

namespace
{
// One tick of a scenario: the leaves' script ("Check" runs the root's condition check instead of a
// tick), the root's answer and what the leaves were asked, in order.
struct TickStep
{
    const char* script;
    int32_t result;
    const char* trace;
};

struct Scenario
{
    const char* name;
    const char* tree;
    std::vector<TickStep> steps;
};

void RunScenario(const Scenario& scenario)
{
    std::unique_ptr<BehaviourTree> tree = MakeTestTree(scenario.tree);
    ASSERT_NE(tree, nullptr);
    TestAgent agent(tree.get());
    ASSERT_TRUE(agent.IsReady()) << scenario.name;
    for (size_t i = 0; i < scenario.steps.size(); ++i)
    {
        const TickStep& step = scenario.steps[i];
        gLeafScript.trace.clear();
        std::string script = step.script;
        int32_t result;
        if (script.rfind("Check", 0) == 0)
        {
            agent.Script(script.substr(5));
            result = tree->GetRoot()->CheckCondition(agent.Context(), 0);
        }
        else
            result = agent.Step(script);
        EXPECT_EQ(result, step.result) << scenario.name << ", step " << i;
        EXPECT_EQ(gLeafScript.trace, step.trace) << scenario.name << ", step " << i;
    }
}

const char* const kSeq = "BTTaskSequence{L(A) L(B) L(C)}";
const char* const kRot = "BTTaskRotateSequence{L(A) L(B) L(C)}";
const char* const kRotKeep = "BTTaskRotateSequence[SkipFailure=0]{L(A) L(B) L(C)}";

const std::vector<Scenario> kSequenceScenarios = {
    {"all succeed, later children checked first", kSeq, {{"", 0, "A+ A A- B? B+ B B- C? C+ C C-"}}},
    {"a failing child fails the run", kSeq, {{"B=1", 1, "A+ A A- B? B+ B B-"}}},
    {"a later child failing its check stops the run", kSeq, {{"B?1", 1, "A+ A A- B?"}}},
    {"a running child resumes on the next tick", kSeq,
     {{"B=2", 2, "A+ A A- B? B+ B"}, {"", 0, "B B- C? C+ C C-"}}},
    {"full condition check leaves the checks to the parent", "BTTaskSequence[Full condition check=1]{L(A) L(B)}",
     {{"", 0, "A+ A A- B+ B B-"}}},
    {"force completion parks a failure and starts again", "BTTaskSequence[Force completion=1]{L(A) L(B)}",
     {{"B=1", 2, "A+ A A- B? B+ B B-"}, {"", 0, "A+ A A- B? B+ B B-"}}},
    {"an interrupt fails a parked sequence without ticking", "BTTaskSequence[Force completion=1]{L(A) L(B)}",
     {{"B=1", 2, "A+ A A- B? B+ B B-"}, {"!", 1, ""}}},
    {"an interrupt stops a running action and the sequence", kSeq, {{"B=2", 2, "A+ A A- B? B+ B"}, {"!", 1, "B!"}}},
    {"a node that may not be interrupted cancels the request",
     "BTTaskSequence[Interrupted=0]{L(A) L(B) L(C)}",
     {{"B=2", 2, "A+ A A- B? B+ B"}, {"!", 0, "B B- C? C+ C C-"}}},
    {"OnEnter answering failure ends the start", kSeq, {{"A<1", 1, "A+"}}},
    {"a sequence without active children succeeds", "BTTaskSequence{L(A;Disabled=1) L(B;Disabled=1)}",
     {{"", 0, ""}, {"Check", 0, ""}}},
    {"condition: the first child, later ones only with full check", kSeq,
     {{"Check B?1", 0, "A?"}, {"Check A?1", 1, "A?"}}},
    {"condition: full check skips children of weight 0",
     "BTTaskSequence[Full condition check=1]{L(A) L(B) L(C;Weight=0) L(D)}",
     {{"Check C?1", 0, "A? B? D?"}, {"Check D?1", 1, "A? B? D?"}}},
    {"condition: force completion passes without asking a child", "BTTaskSequence[Force completion=1]{L(A) L(B)}",
     {{"Check A?1", 0, ""}}},
    {"condition: a running sequence passes", kSeq, {{"B=2", 2, "A+ A A- B? B+ B"}, {"Check A?1", 0, ""}}},
    {"disabled children are left out", "BTTaskSequence{L(A) L(B;Disabled=1) L(C)}", {{"", 0, "A+ A A- C? C+ C C-"}}},
    {"rotation: a full pass from the first child", kRot, {{"", 0, "A+ A A- B? B+ B B- C? C+ C C-"}}},
    {"rotation: after a later failure the next run skips past it", kRot,
     {{"B=1", 1, "A+ A A- B? B+ B B-"}, {"", 0, "A+ A A- B? B+ B B- C? C+ C C-"}}},
    {"rotation: without SkipFailure the next run starts after the later failure", kRotKeep,
     {{"B=1", 1, "A+ A A- B? B+ B B-"}, {"", 0, "C+ C C- A? A+ A A- B? B+ B B-"}}},
    {"rotation: a later child failing its check fails, without SkipFailure the next run starts there", kRotKeep,
     {{"B?1", 1, "A+ A A- B?"}, {"", 0, "B+ B B- C? C+ C C- A? A+ A A-"}}},
    {"rotation: a first failure is skipped with SkipFailure", kRot,
     {{"A=1", 1, "A+ A A-"}, {"", 0, "B+ B B- C? C+ C C- A? A+ A A-"}}},
    {"rotation: without SkipFailure a first failure starts the next run", kRotKeep,
     {{"A=1", 1, "A+ A A-"}, {"", 0, "A+ A A- B? B+ B B- C? C+ C C-"}}},
    {"rotation: a resumed child may run on, then the pass runs the others, wrapping, the first unchecked", kRot,
     {{"B=2", 2, "A+ A A- B? B+ B"}, {"B=2", 2, "B"}, {"", 0, "B B- C+ C C- A? A+ A A-"}}},
    {"rotation: a single resumed child is not started again", "BTTaskRotateSequence{L(A)}",
     {{"A=2", 2, "A+ A"}, {"", 0, "A A-"}, {"", 0, "A+ A A-"}}},
    {"rotation: a child that succeeds under an interrupt ends the run", "BTTaskRotateSequence{L(A;Interrupted=0) L(B) L(C)}",
     {{"A=2", 2, "A+ A"}, {"!", 0, "A A-"}, {"", 0, "B+ B B- C? C+ C C- A? A+ A A-"}}},
    {"rotation condition: the child after the position", kRot,
     {{"A=1", 1, "A+ A A-"}, {"Check A?1", 0, "B?"}, {"Check B?1", 1, "B?"}}},
    {"rotation condition: full check asks every child from there, wrapping",
     "BTTaskRotateSequence[Full condition check=1]{L(A) L(B) L(C)}",
     {{"A=1", 1, "A+ A A-"}, {"Check", 0, "B? C? A?"}, {"Check C?1", 1, "B? C?"}}},
};

const char* const kSel = "BTTaskSelector{L(A) L(B) L(C)}";
const char* const kPri = "BTTaskPrioritySelector{L(A) L(B) L(C)}";
const char* const kRotSel = "BTTaskRotateSelector{L(A) L(B) L(C)}";

const std::vector<Scenario> kSelectorScenarios = {
    {"the chosen child succeeds without a check", kSel, {{"", 0, "A+ A A-"}}},
    {"after a failure the next passing child runs", kSel, {{"A=1 B?1", 0, "A+ A A- B? C? C+ C C-"}}},
    {"every child failing fails", kSel, {{"A=1 B=1 C=1", 1, "A+ A A- B? B+ B B- C? C+ C C-"}}},
    {"the condition check chooses where the next tick starts", kSel,
     {{"Check A?1", 0, "A? B?"}, {"", 0, "B+ B B-"}}},
    {"condition: no child passes", kSel, {{"Check A?1 B?1 C?1", 1, "A? B? C?"}}},
    {"an interrupted running child that fails fails the selector", kSel,
     {{"A=2", 2, "A+ A"}, {"!", 1, "A!"}}},
    {"a running child that fails without an interrupt hands on", kSel,
     {{"A=2", 2, "A+ A"}, {"A=1", 0, "A A- B? B+ B B-"}}},
    {"a selector without active children fails", "BTTaskSelector{L(A;Disabled=1)}", {{"", 1, ""}, {"Check", 1, ""}}},
    {"an interrupt reaching an idle selector still hands on", kSel, {{"! A=1", 0, "A+ A A- B? B+ B B-"}}},
    {"random: the check starts at the first child of some weight",
     "BTTaskRandomSelector{L(A;Weight=0) L(B) L(C;Weight=0)}", {{"Check B?1", 0, "B? C?"}}},
    {"random: a weighted first child is checked", "BTTaskRandomSelector{L(A) L(B)}", {{"Check B?1", 0, "A?"}}},
    {"random: no child passing fails the check", "BTTaskRandomSelector{L(A) L(B)}", {{"Check A?1 B?1", 1, "A? B?"}}},
    {"priority: a higher child that passes takes over in the same tick", kPri,
     {{"A=1 B=1 C=2", 2, "A+ A A- B? B+ B B- C? C+ C"}, {"", 0, "A? C! A+ A A-"},
      // The request it made to stop C is gone: a running child later goes on undisturbed.
      {"A=2", 2, "A+ A"}, {"", 0, "A A-"}}},
    {"priority: the running child keeps running while the higher ones fail", kPri,
     {{"A=1 B=1 C=2", 2, "A+ A A- B? B+ B B- C? C+ C"}, {"A?1 B?1 C=2", 2, "A? B? C"}}},
    {"priority: a running child that refuses to stop stays", "BTTaskPrioritySelector{L(A) L(B) L(C;Interrupted=0)}",
     {{"A=1 B=1 C=2", 2, "A+ A A- B? B+ B B- C? C+ C"}, {"C=2", 2, "A? C"}, {"", 0, "A? C C- A+ A A-"}}},
    {"priority: an outside interrupt goes to the running child only", kPri,
     {{"A=1 B=1 C=2", 2, "A+ A A- B? B+ B B- C? C+ C"}, {"!", 1, "C!"}}},
    {"rotate selector: after child 1 succeeded the next selection starts at child 2", kRotSel,
     {{"Check A?1", 0, "A? B?"}, {"", 0, "B+ B B-"}, {"Check", 0, "C?"}}},
    {"rotate selector: a failure tries the children up to the last used", kRotSel,
     {{"A=1 B?1", 0, "A+ A A- B? C? C+ C C-"}, {"Check A?1 B?1 C?1", 1, "A? B? C?"}}},
    {"rotate selector: an interrupted running child sets the position", kRotSel,
     {{"A=2", 2, "A+ A"}, {"!", 1, "A!"}, {"Check", 0, "B?"}}},
    {"rotate selector without active children fails", "BTTaskRotateSelector{L(A;Disabled=1)}", {{"", 1, ""}, {"Check", 1, ""}}},
    {"random selector without active children fails", "BTTaskRandomSelector{L(A;Disabled=1)}", {{"", 1, ""}, {"Check", 1, ""}}},
};

TEST(BTTaskSequencesTest, EveryScenarioFollowsTheTickProtocol)
{
    for (const Scenario& scenario : kSequenceScenarios)
        RunScenario(scenario);
}

TEST(BTTaskSelectorsTest, EveryScenarioFollowsTheTickProtocol)
{
    for (const Scenario& scenario : kSelectorScenarios)
        RunScenario(scenario);
}

TEST(BTTaskSequencesTest, AParkedSequenceCanBeInterruptedWithoutAskingAChild)
{
    // A disabled first child: the running child is found through the active list.
    std::unique_ptr<BehaviourTree> tree =
        MakeTestTree("BTTaskSequence[Force completion=1]{L(X;Disabled=1) L(A) L(B;Interrupted=0)}");
    TestAgent agent(tree.get());
    EXPECT_EQ(agent.Step("B=1"), BT_RUNNING);
    // The state holds the child count, which names no child.
    EXPECT_TRUE(tree->GetRoot()->CanInterrupt(agent.Context(), 0));
    EXPECT_EQ(agent.Step("B=2"), BT_RUNNING);
    EXPECT_FALSE(tree->GetRoot()->CanInterrupt(agent.Context(), 0));
}

// The generator's multiply-with-carry step, written out independently.
uint32_t ReferenceMultiplyWithCarry(uint32_t& z, uint32_t& w)
{
    z = 36969u * (z & 65535u) + (z >> 16);
    w = 18000u * (w & 65535u) + (w >> 16);
    return (z << 16) + w;
}

TEST(BTTaskRandomSelectorTest, TheWeightedPickFollowsTheGeneratorForEverySeed)
{
    std::unique_ptr<BehaviourTree> tree = MakeTestTree("BTTaskRandomSelector{L(A;Weight=1) L(B;Weight=0) L(C;Weight=3)}");
    for (uint32_t seed = 1; seed <= 40; ++seed)
    {
        const uint32_t words[5] = {seed, seed * 7919u, seed * 104729u + 1, 0, 0};
        gRandomGenerators[0].Seed(words);
        uint32_t z = words[1];
        uint32_t w = words[2];
        const uint32_t pick = ReferenceMultiplyWithCarry(z, w) % 4u;
        TestAgent agent(tree.get());
        gLeafScript.trace.clear();
        EXPECT_EQ(agent.Step(""), BT_SUCCESS);
        EXPECT_EQ(gLeafScript.trace, pick < 1 ? "A? A+ A A-" : "C? C+ C C-") << "seed " << seed;
    }
}

TEST(BTTaskRandomSelectorTest, FailuresAreTriedOncePerSelection)
{
    const uint32_t words[5] = {5, 77, 991, 0, 0};
    struct Case
    {
        const char* tree;
        const char* script;
        int32_t result;
        size_t leafTicks;
    };
    const Case cases[] = {
        // Both fail: each is tried once, then the selection fails.
        {"BTTaskRandomSelector{L(A) L(B)}", "A=1 B=1", BT_FAILURE, 2},
        // Pick only one: the first failure ends the selection.
        {"BTTaskRandomSelector[Pick only one=1]{L(A) L(B)}", "A=1 B=1", BT_FAILURE, 1},
        // Single check in tick: one try, then running while untried children remain.
        {"BTTaskRandomSelector[Single check in tick=1]{L(A) L(B)}", "A=1 B=1", BT_RUNNING, 1},
        // Weights of 0 leave nothing to pick: failure without asking any child.
        {"BTTaskRandomSelector{L(A;Weight=0) L(B;Weight=0)}", "", BT_FAILURE, 0},
    };
    for (const Case& c : cases)
    {
        gRandomGenerators[0].Seed(words);
        std::unique_ptr<BehaviourTree> tree = MakeTestTree(c.tree);
        TestAgent agent(tree.get());
        gLeafScript.trace.clear();
        EXPECT_EQ(agent.Step(c.script), c.result) << c.tree;
        size_t ticks = 0;
        for (size_t at = gLeafScript.trace.find('+'); at != std::string::npos; at = gLeafScript.trace.find('+', at + 1))
            ++ticks;
        EXPECT_EQ(ticks, c.leafTicks) << c.tree << ": " << gLeafScript.trace;
    }
    // Single check in tick: the next tick tries the child not tried yet, and a success ends it.
    gRandomGenerators[0].Seed(words);
    std::unique_ptr<BehaviourTree> tree = MakeTestTree("BTTaskRandomSelector[Single check in tick=1]{L(A) L(B)}");
    TestAgent agent(tree.get());
    gLeafScript.trace.clear();
    ASSERT_EQ(agent.Step("A=1 B=1"), BT_RUNNING);
    const bool triedA = gLeafScript.trace.find("A+") != std::string::npos;
    gLeafScript.trace.clear();
    EXPECT_EQ(agent.Step(""), BT_SUCCESS);
    EXPECT_EQ(gLeafScript.trace, triedA ? "B? B+ B B-" : "A? A+ A A-");
    // An interrupt between such ticks ends the selection without asking a child.
    gRandomGenerators[0].Seed(words);
    TestAgent interrupted(tree.get());
    ASSERT_EQ(interrupted.Step("A=1 B=1"), BT_RUNNING);
    gLeafScript.trace.clear();
    EXPECT_EQ(interrupted.Step("!"), BT_FAILURE);
    EXPECT_EQ(gLeafScript.trace, "");
    // A weight of 0 is never picked; the generator does not move when nothing can be picked.
    std::unique_ptr<BehaviourTree> zero = MakeTestTree("BTTaskRandomSelector{L(A;Weight=0) L(B;Weight=0)}");
    TestAgent idle(zero.get());
    const uint32_t before = gRandomGenerators[0].GetState()[1];
    idle.Step("");
    EXPECT_EQ(gRandomGenerators[0].GetState()[1], before);
}
} // namespace
