// Animation tree definitions: the nodes, their order, links and bone ranges, and the messages for
// faulty elements, on a seven-bone skeleton with two branches.
#include "effects/animation/AnimationTreeDefinition.h"
#include "effects/animation/MeshSkeleton.h"
#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// Hips(0) > Spine(1) > {Head(2), ArmL(3) > HandL(4)}; Hips > LegL(5) > FootL(6).
MeshSkeleton TwoBranches()
{
    MeshSkeleton skeleton;
    const struct
    {
        const char* name;
        uint8_t parent;
    } bones[] = {{"Hips", 255}, {"Spine", 0}, {"Head", 1}, {"ArmL", 1}, {"HandL", 3}, {"LegL", 0}, {"FootL", 5}};
    for (const auto& b : bones)
    {
        MeshSkeletonBone bone;
        bone.name = NameString(b.name);
        bone.parent = b.parent;
        skeleton.AddBone(bone, Matrix::ONE);
    }
    return skeleton;
}

// "name first count parent child sibling" per node.
std::vector<std::string> Describe(const MeshSkeleton& skeleton)
{
    std::vector<std::string> out;
    for (const AnimationTreeNode& node : skeleton.GetTreeNodes())
        out.push_back(std::string(node.name.CStr()) + " " + std::to_string(node.firstBone) + " " +
                      std::to_string(node.boneCount) + " " + std::to_string(node.parent) + " " +
                      std::to_string(node.firstChild) + " " + std::to_string(node.nextSibling));
    return out;
}
} // namespace

TEST(AnimationTreeDefinitionTest, DefinitionsBuildOrderedLinkedNodesWithTheirBoneRanges)
{
    struct Case
    {
        const char* name;
        const char* text;
        std::vector<std::string> nodes;
    };
    const Case cases[] = {
        {"no definition", nullptr, {"root 0 7 -1 -1 -1"}},
        {"empty definition", "", {"root 0 7 -1 -1 -1"}},
        {"siblings given in descending bone order come out ascending",
         "<Node Name='legs' Bone='LegL'/><Node Name='upper' Bone='Spine'/>",
         {"root 0 7 -1 1 -1", "upper 1 4 0 -1 2", "legs 5 2 0 -1 -1"}},
        {"siblings given in ascending bone order keep it",
         "<Node Name='upper' Bone='Spine'/><Node Name='legs' Bone='LegL'/>",
         {"root 0 7 -1 1 -1", "upper 1 4 0 -1 2", "legs 5 2 0 -1 -1"}},
        {"a nested node covers its bone's subtree inside its parent",
         "<Node Name='upper' Bone='Spine'><Node Name='arm' Bone='ArmL'/><Node Name='head' Bone='Head'/></Node>",
         {"root 0 7 -1 1 -1", "upper 1 4 0 2 -1", "head 2 1 1 -1 3", "arm 3 2 1 -1 -1"}},
        {"a bone without descendants covers itself", "<Node Name='hand' Bone='HandL'/>",
         {"root 0 7 -1 1 -1", "hand 4 1 0 -1 -1"}},
        {"a node on the first bone covers the whole skeleton", "<Node Name='all' Bone='Hips'/>",
         {"root 0 7 -1 1 -1", "all 0 7 0 -1 -1"}},
        {"a bone of another branch than its parent's range counts one",
         "<Node Name='upper' Bone='Spine'><Node Name='foot' Bone='FootL'/></Node>",
         {"root 0 7 -1 1 -1", "upper 1 4 0 2 -1", "foot 6 1 1 -1 -1"}},
        {"the last bone under a parent whose range ends before it",
         "<Node Name='arm' Bone='ArmL'><Node Name='leg' Bone='LegL'/></Node>",
         {"root 0 7 -1 1 -1", "arm 3 2 0 2 -1", "leg 5 1 1 -1 -1"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        MeshSkeleton skeleton = TwoBranches();
        EXPECT_TRUE(AnimationTreeDefinition::Parse(skeleton, c.text, "unit.tpl"));
        EXPECT_EQ(Describe(skeleton), c.nodes);
        EXPECT_EQ(skeleton.FindTreeNodeIndex(NameString("root")), 0);
    }
}

TEST(AnimationTreeDefinitionTest, FaultyElementsAreLoggedAndLeftOutWithTheirSubtrees)
{
    struct Case
    {
        const char* name;
        const char* text;
        std::vector<std::string> nodes;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"unnamed node and its child",
         "<Node Bone='Spine'><Node Name='arm' Bone='ArmL'/></Node><Node Name='legs' Bone='LegL'/>",
         {"root 0 7 -1 1 -1", "legs 5 2 0 -1 -1"},
         {"Error while parsing animation tree definition. Unnamed node detected. Template: unit.tpl"}},
        {"a node with neither name nor bone says both", "<Node/>",
         {"root 0 7 -1 -1 -1"},
         {"Unnamed node detected. Template: unit.tpl", "Node without a bone detected. Template: unit.tpl"}},
        {"node without a bone", "<Node Name='arm'/>", {"root 0 7 -1 -1 -1"},
         {"Error while parsing animation tree definition. Node without a bone detected. Template: unit.tpl"}},
        {"unknown bone", "<Node Name='tail' Bone='Tail'/><Node Name='arm' Bone='ArmL'/>",
         {"root 0 7 -1 1 -1", "arm 3 2 0 -1 -1"},
         {"Error while parsing animation tree definition. Bone Tail not found in the hierarchy. Template: unit.tpl"}},
        {"text that does not parse leaves root alone", "<Node Name='arm' Bone='ArmL'>",
         {"root 0 7 -1 -1 -1"},
         {"Error while parsing animation tree definition: ", ". Template: unit.tpl"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ConsoleCapture console;
        MeshSkeleton skeleton = TwoBranches();
        EXPECT_FALSE(AnimationTreeDefinition::Parse(skeleton, c.text, "unit.tpl"));
        EXPECT_EQ(Describe(skeleton), c.nodes);
        for (const std::string& message : c.messages)
            EXPECT_TRUE(console.Contains(message, 4)) << message;
    }
}
