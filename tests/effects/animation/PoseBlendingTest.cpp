// The per-bone steps of a pose against hand-computed values: effective weights of stacked tree
// nodes, sample blending, local and skinning matrices.
#include "effects/animation/PoseBlending.h"

#include "effects/animation/MeshSkeleton.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace
{
// An animation with fixed samples on the bones given.
class BlendFixedAnimation : public BaseAnimation
{
public:
    BlendFixedAnimation(std::vector<uint8_t> bones, const AnimationBoneSample& sample, bool procedural = false)
        : BaseAnimation(AnimationParams())
    {
        for (size_t k = 0; k < bones.size(); ++k)
            m_boundToBone[k] = bones[k];
        FinishBinding(uint32_t(bones.size()));
        for (AnimationBoneSample& s : m_samples)
            s = sample;
        if (procedural)
            SetStateBits(ANIMSTATE_PROCEDURAL);
    }
};

AnimationBoneSample At(float x)
{
    AnimationBoneSample sample;
    sample.position = Vector(x, 0.0f, 0.0f, 0.0f);
    return sample;
}

std::vector<AnimationTreeNode> Nodes()
{
    // root [0, 4), arm [1, 3), hand [2, 3).
    std::vector<AnimationTreeNode> nodes(3);
    nodes[0].boneCount = 4;
    nodes[1].firstBone = 1;
    nodes[1].boneCount = 2;
    nodes[2].firstBone = 2;
    nodes[2].boneCount = 1;
    return nodes;
}
} // namespace

TEST(PoseBlendingTest, DeeperNodesTakeTheirShareAndParentsGetTheRest)
{
    BlendFixedAnimation a({1, 2}, At(0)), b({1, 2}, At(0)), c({1, 2}, At(0)), p({1, 2}, At(0), true);
    struct Case
    {
        const char* name;
        std::vector<ActiveAnimationEntry> stack;
        uint32_t bone;
        std::vector<float> effective;
    };
    const Case cases[] = {
        {"one node shares nothing out", {{&a, 0, 0.6f}, {&b, 0, 0.3f}}, 1, {0.6f, 0.3f}},
        {"a child at 0.25 leaves 0.75 to its parent", {{&a, 0, 1.0f}, {&b, 1, 0.25f}}, 1, {0.75f, 0.25f}},
        {"a full child leaves nothing", {{&a, 0, 1.0f}, {&b, 1, 0.7f}, {&c, 1, 0.5f}}, 1, {0.0f, 0.7f, 0.5f}},
        {"three levels", {{&a, 0, 1.0f}, {&b, 1, 0.5f}, {&c, 2, 0.5f}}, 2, {0.25f, 0.25f, 0.5f}},
        {"a procedural one counts on its node's first bone", {{&a, 0, 1.0f}, {&p, 1, 0.4f}}, 1, {0.6f, 0.4f}},
        {"and nowhere else", {{&a, 0, 1.0f}, {&p, 1, 0.4f}}, 2, {1.0f, 0.0f}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::vector<ActiveAnimationEntry> stack = c.stack;
        PoseBlending::ComputeEffectiveWeights(stack, Nodes(), c.bone);
        for (size_t i = 0; i < stack.size(); ++i)
        {
            EXPECT_NEAR(stack[i].effectiveWeight, c.effective[i], 1e-6f) << i;
            EXPECT_EQ(stack[i].active, c.effective[i] > 0.0f ? 1 : 0) << i;
        }
    }
}

TEST(PoseBlendingTest, SamplesBlendFromTheBottomByRunningShares)
{
    AnimationBoneSample turned = At(8.0f);
    turned.rotation.LoadYRotation(90.0f);
    turned.scale = Vector(3.0f, 3.0f, 3.0f, 0.0f);
    BlendFixedAnimation a({1}, At(0.0f)), b({1}, turned), elsewhere({2}, At(100.0f));
    std::vector<ActiveAnimationEntry> stack = {{&a, 0, 0, 0.25f, 1}, {&elsewhere, 0, 0, 1.0f, 1},
                                               {&b, 1, 0, 0.75f, 1}};
    AnimationBoneSample out;
    ASSERT_TRUE(PoseBlending::BlendBone(stack, 1, out));
    EXPECT_NEAR(out.position.x, 6.0f, 1e-5f);
    EXPECT_NEAR(out.scale.x, 2.5f, 1e-5f);
    Quaternion expected;
    expected.LoadYRotation(67.5f);
    EXPECT_NEAR(out.rotation.y, expected.y, 1e-5f);
    EXPECT_NEAR(out.rotation.w, expected.w, 1e-5f);

    stack[2].active = 0;
    ASSERT_TRUE(PoseBlending::BlendBone(stack, 1, out));
    EXPECT_NEAR(out.position.x, 0.0f, 1e-6f) << "inactive entries are left out";
    EXPECT_FALSE(PoseBlending::BlendBone(stack, 3, out)) << "nobody drives bone 3";
}

TEST(PoseBlendingTest, LocalAndSkinningMatricesComposeInTheirOrder)
{
    AnimationBoneSample sample = At(2.0f);
    sample.rotation.LoadZRotation(90.0f);
    Matrix rest;
    rest.LoadTranslation(0.0f, 1.0f, 0.0f);
    // The sample's transform first (turn x into y, move by 2 along x), then the rest offset.
    const Matrix local = PoseBlending::LocalMatrix(sample, rest);
    Vector point(1.0f, 0.0f, 0.0f, 1.0f);
    point.Transform3D(local);
    EXPECT_NEAR(point.x, 2.0f, 1e-5f);
    EXPECT_NEAR(point.y, 2.0f, 1e-5f);

    Matrix inverseBind;
    inverseBind.LoadTranslation(0.0f, -1.0f, 0.0f);
    Matrix node;
    node.LoadTranslation(5.0f, 1.0f, 0.0f);
    Matrix columns;
    columns.TransposeOf(inverseBind);
    float out[12];
    PoseBlending::WriteSkinningMatrix(columns, node, out);
    const float expected[12] = {1, 0, 0, 5, 0, 1, 0, 0, 0, 0, 1, 0};
    for (int i = 0; i < 12; ++i)
        EXPECT_NEAR(out[i], expected[i], 1e-6f) << i;
}
