#include "gameplay/behaviour/BehaviourTree.h"

#include "gameplay/behaviour/BTTaskAction.h"
#include "gameplay/behaviour/BTTaskChangePropertyDecorator.h"
#include "gameplay/behaviour/BTTaskSequences.h"
#include "gameplay/behaviour/BehaviourTreePropertyBindings.h"
#include "support/BehaviourTestSupport.h"
#include "support/ConsoleCapture.h"

#include <cstring>
#include <vector>

namespace
{
void Append(std::vector<uint8_t>& bytes, std::initializer_list<uint8_t> values)
{
    bytes.insert(bytes.end(), values);
}

void AppendText(std::vector<uint8_t>& bytes, const char* text, bool terminated = true)
{
    bytes.insert(bytes.end(), text, text + std::strlen(text) + (terminated ? 1 : 0));
}

// A node's "BehaviourNode" part: Name, Interrupted, Disabled, ContextDataIndex, Weight, Listeners,
// then the child count (the children follow).
void AppendNodePart(std::vector<uint8_t>& bytes, const char* name, int32_t contextDataIndex, uint32_t children)
{
    Append(bytes, {1});
    AppendText(bytes, name);
    Append(bytes, {1, 0});
    const uint32_t index = uint32_t(contextDataIndex);
    Append(bytes, {uint8_t(index), uint8_t(index >> 8), uint8_t(index >> 16), uint8_t(index >> 24)});
    Append(bytes, {1, 0, 0, 0});
    Append(bytes, {0, 0, 0, 0});
    Append(bytes, {uint8_t(children), uint8_t(children >> 8), 0, 0});
}

// Tree "Patrol": a sequence (full condition check on) over one action, with stored context offsets
// that are wrong (999) and missing (-1).
std::vector<uint8_t> HandWrittenTree(int32_t rootIndex, int32_t leafIndex)
{
    std::vector<uint8_t> bytes;
    Append(bytes, {1});
    AppendText(bytes, "Patrol");
    Append(bytes, {14});
    AppendText(bytes, "BTTaskSequence", false);
    AppendNodePart(bytes, "Seq", rootIndex, 1);
    Append(bytes, {1});
    AppendText(bytes, "BTTaskAction");
    AppendNodePart(bytes, "Walk", leafIndex, 0);
    Append(bytes, {1, 0}); // Full condition check, Force completion
    return bytes;
}

TEST(BehaviourTreeRecordTest, AHandWrittenTreeReadsAndRunsWhateverOffsetsItStores)
{
    RegisterBehaviourTestClasses();
    ConsoleCapture log;
    const std::vector<uint8_t> bytes = HandWrittenTree(999, -1);
    BehaviourTree tree;
    ASSERT_TRUE(tree.DeserializeFromMemory(bytes.data(), bytes.size(), 0));
    EXPECT_STREQ(tree.GetName().CStr(), "Patrol");
    auto* root = dynamic_cast<BTTaskSequence*>(tree.GetRoot());
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(root->GetName().CStr(), "Seq");
    EXPECT_TRUE(root->GetFullConditionCheck());
    EXPECT_FALSE(root->GetForceCompletion());
    ASSERT_EQ(root->GetChildCount(), 1u);
    const BehaviourNode* leaf = root->GetChild(0);
    ASSERT_NE(dynamic_cast<const BTTaskAction*>(leaf), nullptr);
    EXPECT_EQ(leaf->GetParent(), root);
    // Offsets are this build's, in pre-order, every slice a multiple of 16.
    EXPECT_EQ(root->GetContextDataIndex(), 0);
    EXPECT_EQ(leaf->GetContextDataIndex(), 16);
    EXPECT_EQ(tree.GetContextDataSize(), 32u);
    TestAgent agent(&tree);
    ASSERT_TRUE(agent.IsReady());
    EXPECT_EQ(agent.Step(""), BT_SUCCESS);
    EXPECT_TRUE(log.Contains("Start Action Walk -> Action", CONSOLE_INFO));
    EXPECT_TRUE(log.Contains("Execute Behaviour Tree: Walk -> Action", CONSOLE_INFO));
    EXPECT_TRUE(log.Contains("Finish Action Walk -> Action", CONSOLE_INFO));
    // Written back, the record carries the offsets it runs with.
    std::vector<uint8_t> written(tree.SerializeToMemory(nullptr, 0, 0));
    ASSERT_EQ(tree.SerializeToMemory(written.data(), written.size(), 0), written.size());
    EXPECT_EQ(written, HandWrittenTree(0, 16));
}

TEST(BehaviourTreeRecordTest, ARecordIsRefusedWholeWhenANodeHasMoreThan255Children)
{
    RegisterBehaviourTestClasses();
    ConsoleCapture log;
    auto sized = [](uint32_t children) {
        BehaviourTree tree;
        auto* root = new BTTaskSequence;
        for (uint32_t i = 0; i < children; ++i)
            EXPECT_TRUE(root->AddChild(new BTTaskAction));
        tree.SetRoot(root);
        std::vector<uint8_t> bytes(tree.SerializeToMemory(nullptr, 0, 0));
        tree.SerializeToMemory(bytes.data(), bytes.size(), 0);
        return bytes;
    };
    const std::vector<uint8_t> none = sized(0);
    const std::vector<uint8_t> full = sized(255);
    BehaviourTree tree;
    ASSERT_TRUE(tree.DeserializeFromMemory(full.data(), full.size(), 0));
    EXPECT_EQ(tree.GetRoot()->GetChildCount(), 255u);
    // One more child: the count grows by one and a copy of the last child's bytes goes in.
    const size_t childBytes = (full.size() - none.size()) / 255;
    std::vector<uint8_t> over(full.begin(), full.end() - 2);
    over.insert(over.end(), full.end() - 2 - childBytes, full.end() - 2);
    over.insert(over.end(), full.end() - 2, full.end());
    const size_t countAt = none.size() - 2 - 4;
    ASSERT_EQ(over[countAt], 255);
    over[countAt] = 0;
    over[countAt + 1] = 1;
    BehaviourTree refused;
    refused.SetName("Kept");
    EXPECT_FALSE(refused.DeserializeFromMemory(over.data(), over.size(), 0));
    EXPECT_STREQ(refused.GetName().CStr(), "Kept");
    EXPECT_EQ(refused.GetRoot(), nullptr);
    EXPECT_TRUE(log.Contains("256 children", CONSOLE_ERROR));
    // Built in code, the 256th child is refused too, and the caller keeps it.
    BTTaskAction extra;
    EXPECT_FALSE(tree.GetRoot()->AddChild(&extra));
    EXPECT_FALSE(tree.GetRoot()->InsertChild(&extra));
    EXPECT_EQ(extra.GetParent(), nullptr);
}

TEST(BehaviourTreeRecordTest, ListenersAndSpeakersTravelWithTheirNodes)
{
    std::unique_ptr<BehaviourTree> source =
        MakeTestTree("BTTaskChangePropertyDecorator[!off=1;@fwd=outer]{BTTaskSequence{L(A;@Disabled=off) L(B)}}");
    std::vector<uint8_t> bytes(source->SerializeToMemory(nullptr, 0, 0));
    source->SerializeToMemory(bytes.data(), bytes.size(), 0);
    BehaviourTree copy;
    ASSERT_TRUE(copy.DeserializeFromMemory(bytes.data(), bytes.size(), 0));
    auto* decorator = dynamic_cast<BTTaskChangePropertyDecorator*>(copy.GetRoot());
    ASSERT_NE(decorator, nullptr);
    ASSERT_EQ(decorator->GetSpeakers().Count(), 1);
    EXPECT_STREQ(decorator->GetSpeakers()[0]->GetKey().CStr(), "off");
    EXPECT_STREQ(decorator->GetSpeakers()[0]->GetValue().CStr(), "1");
    EXPECT_EQ(decorator->GetSpeakers()[0]->GetOwner(), decorator);
    ASSERT_EQ(decorator->GetListeners().Count(), 1);
    EXPECT_STREQ(decorator->GetListeners()[0]->GetProperty().CStr(), "fwd");
    EXPECT_STREQ(decorator->GetListeners()[0]->GetKey().CStr(), "outer");
    const BehaviourNode* a = copy.GetRoot()->GetChild(0)->GetChild(0);
    ASSERT_EQ(a->GetListeners().Count(), 1);
    EXPECT_EQ(a->GetListeners()[0]->GetOwner(), a);
    // The copy behaves as the source: A is disabled for the agent.
    TestAgent agent(&copy);
    gLeafScript.trace.clear();
    agent.Step("");
    EXPECT_EQ(gLeafScript.trace, "B+ B B-");
}
} // namespace
