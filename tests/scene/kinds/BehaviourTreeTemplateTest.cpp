#include "scene/kinds/BehaviourTreeTemplate.h"

#include "core/reflection/RTTIClassRegistry.h"
#include "gameplay/behaviour/BTTaskAction.h"
#include "gameplay/behaviour/BTTaskRootDecorators.h"
#include "gameplay/behaviour/BTTaskSequences.h"
#include "gameplay/behaviour/BehaviourTree.h"
#include "gameplay/behaviour/BehaviourTreeAgents.h"
#include "gameplay/behaviour/BehaviourTreeEntity.h"
#include "support/SceneTestSupport.h"

#include <string>

namespace
{
// A leaf that counts the life-cycle calls its template passes down.
class CountingLeaf : public BTTaskAction
{
    RTTI_DECLARE_CLASS(CountingLeaf, BehaviourNode)

public:
    void OnUnload() override { ++unloads; }
    void PreloadLinks() override { ++preloads; }

    int unloads = 0;
    int preloads = 0;
};

RTTI_DEFINE_CLASS(CountingLeaf, BehaviourNode)

void CountingLeaf::BuildClassProperties(RTTIPropertiesBase&) {}

// A tree whose root runs the tree `target` of the same template, or a counting leaf without target.
BehaviourTree* MakeTree(const char* name, const char* target)
{
    BehaviourTree* tree = new BehaviourTree;
    tree->SetName(name);
    if (target != nullptr)
    {
        auto* link = new BTTaskRootLinkDecorator;
        link->SetTreeName(target);
        tree->SetRoot(link);
    }
    else
        tree->SetRoot(new CountingLeaf);
    return tree;
}

BehaviourRootDecorator* LinkOf(const BehaviourTree* tree)
{
    return dynamic_cast<BehaviourRootDecorator*>(tree->GetRoot());
}

using BehaviourTreeTemplateTest = SceneTest;

TEST_F(BehaviourTreeTemplateTest, TreesAreFoundByTheirExactNameOnly)
{
    BehaviourTreeTemplate trees;
    EXPECT_EQ(trees.FindTreeByName("Patrol"), nullptr);
    trees.AddTree(MakeTree("Patrol", nullptr));
    trees.AddTree(MakeTree("Attack", nullptr));
    trees.AddTree(MakeTree("Attack", nullptr));
    trees.AddTree(MakeTree("", nullptr));
    EXPECT_EQ(trees.FindTreeByName("Attack"), trees.GetTrees()[1]);
    EXPECT_EQ(trees.FindTreeByName("Patrol"), trees.GetTrees()[0]);
    EXPECT_EQ(trees.FindTreeByName("patrol"), nullptr);
    EXPECT_EQ(trees.FindTreeByName("ATTACK"), nullptr);
    EXPECT_EQ(trees.FindTreeByName("Patrol "), nullptr);
    EXPECT_EQ(trees.FindTreeByName(nullptr), nullptr);
    EXPECT_EQ(trees.FindTreeByName(""), nullptr);
}

TEST_F(BehaviourTreeTemplateTest, LinkingTreesThatReferBackToTheTemplateFinishesAndCutsTheLoop)
{
    BehaviourTreeTemplate trees;
    trees.AddTree(MakeTree("Patrol", "Attack"));
    trees.AddTree(MakeTree("Attack", "Patrol"));
    trees.AddTree(MakeTree("Guard", "Idle"));
    trees.AddTree(MakeTree("Idle", nullptr));
    trees.InitTrees();
    EXPECT_FALSE(trees.IsLinking());
    const Dynarray<BehaviourTree*>& list = trees.GetTrees();
    // The link met again on the walk from the first root is the one cut; the other stays.
    EXPECT_EQ(LinkOf(list[0])->GetLinkedTree(), nullptr);
    EXPECT_EQ(LinkOf(list[1])->GetLinkedTree(), list[0]);
    EXPECT_EQ(LinkOf(list[2])->GetLinkedTree(), list[3]);
    EXPECT_EQ(LinkOf(list[2])->GetTemplate(), &trees);
    // What remains is finite: the sizes are one slice per decorator and leaf.
    EXPECT_EQ(list[1]->GetContextDataSize(), 2u * LinkOf(list[1])->GetDataSize());
    EXPECT_EQ(list[2]->GetContextDataSize(), LinkOf(list[2])->GetDataSize() + list[3]->GetRoot()->GetDataSize());
    // Removing a tree renumbers the index links of the others.
    BTTaskRootDecorator* byIndex = new BTTaskRootDecorator;
    byIndex->SetTreeIndex(3);
    // Inside a composite, so that the renumbering has to reach it through the tree.
    auto* holder = new BTTaskSequence;
    holder->AddChild(byIndex);
    list[2]->SetRoot(holder);
    trees.InitTrees();
    EXPECT_EQ(byIndex->GetLinkedTree(), list[3]);
    // Agents starting later leave linked trees alone.
    byIndex->SetTreeIndex(0);
    trees.LinkTreesOnce();
    EXPECT_EQ(byIndex->GetLinkedTree(), list[3]);
    byIndex->SetTreeIndex(3);
    trees.RemoveTree(1);
    EXPECT_EQ(byIndex->GetTreeIndex(), 2);
    EXPECT_EQ(byIndex->GetLinkedTree(), trees.GetTrees()[2]);
    trees.RemoveTree(2);
    EXPECT_EQ(byIndex->GetTreeIndex(), -1);
    EXPECT_EQ(byIndex->GetLinkedTree(), nullptr);
}

TEST_F(BehaviourTreeTemplateTest, LifeCycleCallsReachEveryTreeAndEntitiesRunTheFirstTree)
{
    m_templates.push_back(std::make_unique<BehaviourTreeTemplate>());
    BehaviourTreeTemplate& trees = static_cast<BehaviourTreeTemplate&>(*m_templates.back());
    trees.AddTree(MakeTree("A", nullptr));
    trees.AddTree(MakeTree("B", nullptr));
    // A leaf below a composite is reached through it.
    auto* inner = new CountingLeaf;
    BehaviourTree* nested = MakeTree("C", nullptr);
    nested->SetRoot(new BTTaskSequence);
    nested->GetRoot()->AddChild(inner);
    trees.AddTree(nested);
    trees.PrepareDependencies();
    trees.OnUnload();
    for (const CountingLeaf* leaf : {static_cast<CountingLeaf*>(trees.GetTrees()[0]->GetRoot()),
                                     static_cast<CountingLeaf*>(trees.GetTrees()[1]->GetRoot()), inner})
    {
        EXPECT_EQ(leaf->preloads, 1);
        EXPECT_EQ(leaf->unloads, 1);
    }

    EXPECT_EQ(trees.GetTypeId(), 14u);
    const int32_t agentsBefore = gBehaviourTreeAgents.Count();
    Entity* entity = gEntityManager.CreateEntity(&trees, nullptr, Matrix::ONE, 0, nullptr);
    auto* agent = dynamic_cast<BehaviourTreeEntity*>(entity);
    ASSERT_NE(agent, nullptr);
    entity->PostCreateInit();
    EXPECT_EQ(agent->GetTree(), trees.GetTrees()[0]);
    EXPECT_EQ(gBehaviourTreeAgents.Count(), agentsBefore + 1);
    EXPECT_FALSE(m_log.Contains("not built yet"));

    SafePointer<BehaviourTree> watched(trees.GetTrees()[1]);
    SafePointer<BehaviourNode> node(trees.GetTrees()[0]->GetRoot());
    SafePointer<BehaviourNode> below(inner);
    trees.InvalidateSafePointers();
    EXPECT_FALSE(watched);
    EXPECT_FALSE(node);
    EXPECT_FALSE(below);
    // The agent's link to its tree is cleared with the rest: it runs nothing any more.
    EXPECT_EQ(agent->GetTree(), nullptr);
    EXPECT_EQ(agent->TickTree(), BT_FAILURE);
}

TEST_F(BehaviourTreeTemplateTest, TheTreesRecordKeepsNamesRootsAndEmptySlots)
{
    CountingLeaf::RegisterRTTIClass();
    BehaviourTreeTemplate source;
    source.AddTree(MakeTree("Patrol", "Attack"));
    source.AddTree(nullptr);
    source.AddTree(MakeTree("Attack", nullptr));
    std::vector<uint8_t> bytes(source.SerializeToMemory(nullptr, 0, RTTI_OWN_CLASS_ONLY));
    ASSERT_EQ(source.SerializeToMemory(bytes.data(), bytes.size(), RTTI_OWN_CLASS_ONLY), bytes.size());
    // The record: u32 count, then a presence byte and each present tree's own record.
    ASSERT_GE(bytes.size(), 5u);
    EXPECT_EQ(bytes[0], 3);
    EXPECT_EQ(bytes[4], 1);

    BehaviourTreeTemplate copy;
    copy.AddTree(MakeTree("Stale", nullptr));
    ASSERT_TRUE(copy.DeserializeFromMemory(bytes.data(), bytes.size(), RTTI_OWN_CLASS_ONLY));
    ASSERT_EQ(copy.GetTrees().Count(), 3);
    EXPECT_EQ(copy.GetTrees()[1], nullptr);
    EXPECT_EQ(copy.FindTreeByName("Stale"), nullptr);
    const BehaviourTree* patrol = copy.FindTreeByName("Patrol");
    ASSERT_NE(patrol, nullptr);
    ASSERT_NE(LinkOf(patrol), nullptr);
    EXPECT_NE(dynamic_cast<CountingLeaf*>(copy.FindTreeByName("Attack")->GetRoot()), nullptr);
    // The null slot is skipped while linking.
    copy.InitTrees();
    EXPECT_EQ(LinkOf(patrol)->GetLinkedTree(), copy.GetTrees()[2]);

    // A record cut short leaves the trees as they were.
    EXPECT_FALSE(copy.DeserializeFromMemory(bytes.data(), bytes.size() - 1, RTTI_OWN_CLASS_ONLY));
    EXPECT_EQ(copy.GetTrees().Count(), 3);
    EXPECT_EQ(copy.FindTreeByName("Patrol"), patrol);
}
} // namespace
