#include "scene/kinds/BehaviourTreeTemplate.h"

#include "core/reflection/RTTIClassRegistry.h"
#include "gameplay/BehaviourTree.h"
#include "gameplay/BehaviourTreeEntity.h"
#include "support/SceneTestSupport.h"

#include <string>

namespace
{
// A node that names another tree of its template and links the template again while linking, as
// nodes that run other trees do.
class TreeReferenceNode : public BehaviourTreeNode
{
    RTTI_DECLARE_CLASS(TreeReferenceNode, BehaviourTreeNode)

public:
    void Link(BehaviourTreeTemplate& owner) override
    {
        ++links;
        owner.InitTrees();
        target = owner.FindTreeByName(targetName.c_str());
    }
    void OnUnload() override { ++unloads; }
    void PrepareDependencies() override { ++prepares; }

    std::string targetName;
    BehaviourTree* target = nullptr;
    int links = 0;
    int unloads = 0;
    int prepares = 0;
};

RTTI_DEFINE_CLASS(TreeReferenceNode, BehaviourTreeNode)

void TreeReferenceNode::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<TreeReferenceNode, std::string>("Tree", &TreeReferenceNode::targetName));
}

BehaviourTree* MakeTree(const char* name, const char* target)
{
    BehaviourTree* tree = new BehaviourTree;
    tree->SetName(name);
    if (target != nullptr)
    {
        TreeReferenceNode* node = new TreeReferenceNode;
        node->targetName = target;
        tree->SetRoot(node);
    }
    return tree;
}

TreeReferenceNode* RootOf(const BehaviourTree* tree)
{
    return static_cast<TreeReferenceNode*>(tree->GetRoot());
}

using BehaviourTreeTemplateTest = SceneTest;

TEST_F(BehaviourTreeTemplateTest, TreesAreFoundByTheirExactNameOnly)
{
    BehaviourTreeTemplate trees;
    EXPECT_EQ(trees.FindTreeByName("Patrol"), nullptr);
    trees.AddTree(MakeTree("Patrol", nullptr));
    trees.AddTree(MakeTree("Attack", nullptr));
    trees.AddTree(MakeTree("Attack", nullptr));
    EXPECT_EQ(trees.FindTreeByName("Attack"), trees.GetTrees()[1]);
    EXPECT_EQ(trees.FindTreeByName("Patrol"), trees.GetTrees()[0]);
    EXPECT_EQ(trees.FindTreeByName("patrol"), nullptr);
    EXPECT_EQ(trees.FindTreeByName("ATTACK"), nullptr);
    EXPECT_EQ(trees.FindTreeByName("Patrol "), nullptr);
    EXPECT_EQ(trees.FindTreeByName(nullptr), nullptr);
}

TEST_F(BehaviourTreeTemplateTest, LinkingTreesThatReferBackToTheTemplateFinishesOnceEach)
{
    BehaviourTreeTemplate trees;
    trees.AddTree(MakeTree("Patrol", "Attack"));
    trees.AddTree(MakeTree("Attack", "Patrol"));
    trees.AddTree(MakeTree("Idle", nullptr));
    trees.InitTrees();
    EXPECT_FALSE(trees.IsLinking());
    const Dynarray<BehaviourTree*>& list = trees.GetTrees();
    EXPECT_EQ(RootOf(list[0])->links, 1);
    EXPECT_EQ(RootOf(list[1])->links, 1);
    EXPECT_EQ(RootOf(list[0])->target, list[1]);
    EXPECT_EQ(RootOf(list[1])->target, list[0]);
    // A later call links again.
    trees.InitTrees();
    EXPECT_EQ(RootOf(list[0])->links, 2);
}

TEST_F(BehaviourTreeTemplateTest, LifeCycleCallsReachEveryTreeAndEntitiesAreTreeRunners)
{
    m_templates.push_back(std::make_unique<BehaviourTreeTemplate>());
    BehaviourTreeTemplate& trees = static_cast<BehaviourTreeTemplate&>(*m_templates.back());
    trees.AddTree(MakeTree("A", "B"));
    trees.AddTree(MakeTree("B", "A"));
    trees.PrepareDependencies();
    trees.OnUnload();
    for (BehaviourTree* tree : trees.GetTrees())
    {
        EXPECT_EQ(RootOf(tree)->prepares, 1);
        EXPECT_EQ(RootOf(tree)->unloads, 1);
    }
    SafePointer<BehaviourTree> watched(trees.GetTrees()[1]);
    SafePointer<BehaviourTreeNode> node(trees.GetTrees()[0]->GetRoot());
    trees.InvalidateSafePointers();
    EXPECT_FALSE(watched);
    EXPECT_FALSE(node);

    EXPECT_EQ(trees.GetTypeId(), 14u);
    Entity* entity = gEntityManager.CreateEntity(&trees, nullptr, Matrix::ONE, 0, nullptr);
    EXPECT_NE(dynamic_cast<BehaviourTreeEntity*>(entity), nullptr);
    entity->PostCreateInit();
    EXPECT_TRUE(m_log.Contains("not built yet", CONSOLE_WARNING));
}

TEST_F(BehaviourTreeTemplateTest, TheTreesRecordKeepsNamesRootsAndEmptySlots)
{
    TreeReferenceNode::RegisterRTTIClass();
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
    ASSERT_NE(dynamic_cast<TreeReferenceNode*>(patrol->GetRoot()), nullptr);
    EXPECT_EQ(RootOf(patrol)->targetName, "Attack");
    EXPECT_EQ(copy.FindTreeByName("Attack")->GetRoot(), nullptr);
    // The null slot is skipped while linking.
    copy.InitTrees();
    EXPECT_EQ(RootOf(patrol)->target, copy.GetTrees()[2]);

    // A record cut short leaves the trees as they were.
    EXPECT_FALSE(copy.DeserializeFromMemory(bytes.data(), bytes.size() - 1, RTTI_OWN_CLASS_ONLY));
    EXPECT_EQ(copy.GetTrees().Count(), 3);
    EXPECT_EQ(copy.FindTreeByName("Patrol"), patrol);
}
} // namespace
