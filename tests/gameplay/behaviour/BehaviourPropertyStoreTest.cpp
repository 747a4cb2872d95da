#include "gameplay/behaviour/BehaviourPropertyStore.h"

#include "gameplay/behaviour/BTTaskChangePropertyDecorator.h"
#include "gameplay/behaviour/BehaviourTreePropertyBindings.h"
#include "support/BehaviourTestSupport.h"
#include "support/ConsoleCapture.h"

#include <vector>

namespace
{
std::string Keys(const BehaviourPropertyStore& store)
{
    std::string out;
    for (int32_t i = 0; i < store.Count(); ++i)
        out += std::string(out.empty() ? "" : " ") + store.GetPair(i).key.CStr() + "=" + store.GetPair(i).value.CStr();
    return out;
}

TEST(BehaviourPropertyStoreTest, PairsStaySortedWithoutCaseAndOneKeyHoldsOneValue)
{
    BehaviourPropertyStore store;
    store.Set("speed", "3");
    store.Set("Alpha", "1");
    store.Set("mode", "run");
    EXPECT_EQ(Keys(store), "Alpha=1 mode=run speed=3");
    // A key differing only in case names the same value: it is replaced, not shadowed by a second pair.
    store.Set("SPEED", "9");
    EXPECT_EQ(Keys(store), "Alpha=1 mode=run speed=9");
    EXPECT_EQ(store.Find("Speed"), 2);
    EXPECT_EQ(store.ReadInt(store.Find("speed")), 9);
    EXPECT_EQ(store.Find("spee"), -1);
    EXPECT_EQ(store.Find("speedy"), -1);
    EXPECT_FALSE(store.Has(""));
    store.Clear();
    EXPECT_EQ(store.Count(), 0);
}

TEST(BehaviourPropertyStoreTest, TypedReadsConvertTheText)
{
    ConsoleCapture log;
    struct Case
    {
        const char* text;
        bool asBool;
        int32_t asInt;
        uint32_t asUnsigned;
        float asFloat;
    };
    const Case cases[] = {
        {"1", true, 1, 1u, 1.0f},
        {"true", true, 0, 0u, 0.0f},
        {"TRUE", false, 0, 0u, 0.0f},
        {"True", false, 0, 0u, 0.0f},
        {"yes", false, 0, 0u, 0.0f},
        {"2", false, 2, 2u, 2.0f},
        {"12abc", false, 12, 12u, 12.0f},
        {"-1", false, -1, 0xFFFFFFFFu, -1.0f},
        {"2.75", false, 2, 2u, 2.75f},
        {" 7", false, 7, 7u, 7.0f},
    };
    for (const Case& c : cases)
    {
        BehaviourPropertyStore store;
        store.Set("k", c.text);
        const int32_t pair = store.Find("k");
        EXPECT_EQ(store.ReadBool(pair), c.asBool) << c.text;
        EXPECT_EQ(store.ReadInt(pair), c.asInt) << c.text;
        EXPECT_EQ(store.ReadUnsigned(pair), c.asUnsigned) << c.text;
        EXPECT_FLOAT_EQ(store.ReadFloat(pair), c.asFloat) << c.text;
    }
    EXPECT_EQ(log.CountOfKind(CONSOLE_ERROR), 0u);
    // A null value reads as nothing, with an error at every read.
    BehaviourPropertyStore store;
    store.Set("empty", NameString());
    const int32_t pair = store.Find("empty");
    ASSERT_GE(pair, 0);
    EXPECT_FALSE(store.ReadBool(pair));
    EXPECT_EQ(store.ReadInt(pair), 0);
    EXPECT_EQ(store.ReadFloat(pair), 0.0f);
    EXPECT_EQ(log.CountOfKind(CONSOLE_ERROR), 3u);
    EXPECT_TRUE(log.Contains("Speaker: \"empty\" has NULL value", CONSOLE_ERROR));
}

// Scopes: one tree, one agent per case; the trace says which children ran.
struct ScopeCase
{
    const char* name;
    const char* tree;
    const char* trace;
};

TEST(BehaviourPropertyStoreTest, SpeakersPublishToListenersInTheirScopeOnly)
{
    const ScopeCase cases[] = {
        {"a speaker disables a child through its listener",
         "BTTaskChangePropertyDecorator[!off=true]{BTTaskSequence{L(A;@Disabled=off) L(B)}}", "B+ B B-"},
        {"only the exact texts 1 and true read as true",
         "BTTaskChangePropertyDecorator[!off=True]{BTTaskSequence{L(A;@Disabled=off) L(B)}}", "A+ A A- B? B+ B B-"},
        {"the later of two speakers with one key wins",
         "BTTaskChangePropertyDecorator[!off=1;!off=0]{BTTaskSequence{L(A;@Disabled=off) L(B)}}", "A+ A A- B? B+ B B-"},
        {"a key nobody publishes leaves the field",
         "BTTaskChangePropertyDecorator[!other=1]{BTTaskSequence{L(A;Disabled=1;@Disabled=off) L(B)}}", "B+ B B-"},
        {"a listener forwards an outer value under its own key",
         "BTTaskChangePropertyDecorator[!outer=1]{BTTaskChangePropertyDecorator[@inner=outer]{BTTaskSequence{L(A;@Disabled=inner) L(B)}}}",
         "B+ B B-"},
        {"outer keys nobody forwards are not visible inside",
         "BTTaskChangePropertyDecorator[!off=1]{BTTaskChangePropertyDecorator[!x=0]{BTTaskSequence{L(A;@Disabled=off) L(B)}}}",
         "A+ A A- B? B+ B B-"},
        {"the scope ends with the decorator",
         "BTTaskSequence{BTTaskChangePropertyDecorator[!off=1]{L(A)} L(B;@Disabled=off)}", "A+ A A- B? B+ B B-"},
        {"a weight read from the scope keeps a child from being picked",
         "BTTaskChangePropertyDecorator[!w=0]{BTTaskRandomSelector{L(A;@Weight=w) L(B)}}", "B? B+ B B-"},
    };
    for (const ScopeCase& c : cases)
    {
        std::unique_ptr<BehaviourTree> tree = MakeTestTree(c.tree);
        ASSERT_NE(tree, nullptr) << c.name;
        TestAgent agent(tree.get());
        gLeafScript.trace.clear();
        agent.Step("");
        EXPECT_EQ(gLeafScript.trace, c.trace) << c.name;
        // Outside every decorator the context's own store is current again.
        EXPECT_EQ(agent.Context().GetPropertyStore(), &agent.Context().GetOwnStore()) << c.name;
    }
}

TEST(BehaviourPropertyStoreTest, ABoundInterruptedDecidesWhetherARunningActionStops)
{
    const struct
    {
        const char* value;
        const char* trace;
        bool requestLeft;
    } cases[] = {{"0", "A A-", false}, {"1", "A!", true}};
    for (const auto& c : cases)
    {
        std::unique_ptr<BehaviourTree> tree = MakeTestTree(std::string("BTTaskChangePropertyDecorator[!hold=") + c.value +
                                                           "]{BTTaskDummyDecorator{L(A;@Interrupted=hold)}}");
        TestAgent agent(tree.get());
        agent.Step("A=2");
        gLeafScript.trace.clear();
        agent.Step("!");
        EXPECT_EQ(gLeafScript.trace, c.trace) << c.value;
        EXPECT_EQ(agent.Context().IsInterruptRequested(), c.requestLeft) << c.value;
    }
}

TEST(BehaviourPropertyStoreTest, EditorChoicesComeFromTheOwnerAndItsSubtree)
{
    // A listener without a key offers nothing.
    std::unique_ptr<BehaviourTree> tree = MakeTestTree(
        "BTTaskChangePropertyDecorator[!k=1]{BTTaskSequence{L(A;@Disabled=off;@Weight=w;@Interrupted=) BTTaskRandomDecorator[@Probability=p]{L(B;@Weight=w)}}}");
    auto* decorator = static_cast<BTTaskChangePropertyDecorator*>(tree->GetRoot());
    DynarraySafe<NameString> choices;
    decorator->GetSpeakers()[0]->GetPropertyChoices("Listener", choices);
    ASSERT_EQ(choices.Count(), 3);
    EXPECT_STREQ(choices[0].CStr(), "off");
    EXPECT_STREQ(choices[1].CStr(), "w");
    EXPECT_STREQ(choices[2].CStr(), "p");
    // A listener on the random decorator is offered the bindable properties of its class chain.
    const BehaviourNode* random = tree->GetRoot()->GetChild(0)->GetChild(1);
    choices.Clear();
    random->GetListeners()[0]->GetPropertyChoices("Property", choices);
    ASSERT_EQ(choices.Count(), 4);
    EXPECT_STREQ(choices[0].CStr(), "Interrupted");
    EXPECT_STREQ(choices[1].CStr(), "Disabled");
    EXPECT_STREQ(choices[2].CStr(), "Weight");
    EXPECT_STREQ(choices[3].CStr(), "Probability");
    // Without an owner the only choice is "Error"; a speaker with nothing below offers "Empty".
    BehaviourTreePropertySpeaker lone;
    choices.Clear();
    lone.GetPropertyChoices("Listener", choices);
    ASSERT_EQ(choices.Count(), 1);
    EXPECT_STREQ(choices[0].CStr(), "Error");
    BehaviourTreePropertyListener loneListener;
    loneListener.GetPropertyChoices("Property", choices);
    EXPECT_EQ(choices.Count(), 2);
    // A nested decorator's subtree reads its own scope: only its own listeners' keys are offered.
    std::unique_ptr<BehaviourTree> nested = MakeTestTree(
        "BTTaskChangePropertyDecorator[!k=1]{BTTaskChangePropertyDecorator[!j=1;@Disabled=x;@Interrupted=;@Weight=x]{L(B;@Weight=inner)}}");
    choices.Clear();
    static_cast<BTTaskChangePropertyDecorator*>(nested->GetRoot())->GetSpeakers()[0]->GetPropertyChoices("Listener", choices);
    ASSERT_EQ(choices.Count(), 1);
    EXPECT_STREQ(choices[0].CStr(), "x");
    std::unique_ptr<BehaviourTree> bare = MakeTestTree("BTTaskChangePropertyDecorator[!k=1]{L(A)}");
    choices.Clear();
    static_cast<BTTaskChangePropertyDecorator*>(bare->GetRoot())->GetSpeakers()[0]->GetPropertyChoices("Listener", choices);
    ASSERT_EQ(choices.Count(), 1);
    EXPECT_STREQ(choices[0].CStr(), "Empty");
    // Dropping the tree's pointers reaches speakers, listeners and nodes below the root.
    SafePointer<BehaviourTreePropertySpeaker> speaker(decorator->GetSpeakers()[0]);
    SafePointer<BehaviourTreePropertyListener> listener(random->GetListeners()[0]);
    SafePointer<BehaviourNode> leaf(random->GetChild(0));
    tree->InvalidateSafePointers();
    EXPECT_FALSE(speaker);
    EXPECT_FALSE(listener);
    EXPECT_FALSE(leaf);
}
} // namespace
