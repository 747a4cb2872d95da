// The animator's lists per tree node: cross-fades by group mask, stops and their end calls, reuse,
// tree nodes overriding their parents and the per-frame pose cache.
#include "effects/animation/MeshAnimator.h"

#include "effects/animation/AnimationClipFixture.h"
#include "effects/animation/AnimationTreeDefinition.h"
#include "effects/animation/XSIAnimation.h"

#include <memory>

namespace
{
class MeshAnimatorTest : public AnimationClipFixture
{
protected:
    void SetUp() override
    {
        AnimationClipFixture::SetUp();
        m_still2 = Clip("still2", {{"Arm", {{0.5f, 2.0f}}}, {"Mid", {{0.5f, 2.0f}}}});
        m_still6 = Clip("still6", {{"Arm", {{0.5f, 6.0f}}}, {"Hand", {{0.5f, 6.0f}}}});
    }
    XSIAnimation* Start(MeshAnimator& animator, const MeshSkeleton& skeleton, ResourceAnimation* clip, int32_t id,
                        uint32_t group, float attack, const char* node = "root")
    {
        AnimationParams params;
        params.Flags = ANIMFLAG_LOOP;
        params.Id = id;
        params.GroupMask = group;
        params.AttackTime = attack;
        params.CallbackObject = &m_callback;
        auto animation = std::make_unique<XSIAnimation>(clip, params, 1.0f, 0.0f);
        XSIAnimation* const raw = animation.get();
        EXPECT_TRUE(animator.StartAnimationOnNode(skeleton, NameString(node), std::move(animation), 1.0f));
        return raw;
    }

    ResourceAnimation* m_still2 = nullptr;
    ResourceAnimation* m_still6 = nullptr;
    RecordingCallback m_callback;
};
} // namespace

TEST_F(MeshAnimatorTest, GroupMaskZeroCrossFadesOverTheNewAttackTime)
{
    MeshAnimator animator(nullptr, 3, 1);
    XSIAnimation* first = Start(animator, m_skeleton, m_still2, 1, 0, 0.0f);
    Pose(animator, m_skeleton);
    EXPECT_FLOAT_EQ(Node(1).rows[3].x, 2.0f);
    XSIAnimation* second = Start(animator, m_skeleton, m_still6, 2, 0, 0.4f);
    EXPECT_TRUE(first->IsStopping());
    EXPECT_EQ(m_callback.calls, (std::vector<std::string>{"ended 1 0"}));
    Tick(0.2f);
    Pose(animator, m_skeleton);
    EXPECT_NEAR(first->GetFaderWeight(), 0.5f, 1e-4f);
    EXPECT_NEAR(second->GetFaderWeight(), 0.5f, 1e-4f);
    EXPECT_NEAR(Node(1).rows[3].x, 4.0f, 1e-3f) << "both blend by their fader weights";
    Tick(0.25f);
    Pose(animator, m_skeleton);
    EXPECT_NEAR(Node(1).rows[3].x, 6.0f, 1e-3f);
    Pose(animator, m_skeleton);
    ASSERT_EQ(animator.GetSlotList(0).size(), 1u) << "the faded one is gone after the next pose";
    EXPECT_EQ(animator.GetSlotList(0)[0].get(), second);
}

TEST_F(MeshAnimatorTest, SharedGroupBitsPlayTogetherAndADisjointGroupReplacesThem)
{
    MeshAnimator animator(nullptr, 3, 1);
    XSIAnimation* a = Start(animator, m_skeleton, m_still2, 1, 0x1, 0.0f);
    XSIAnimation* b = Start(animator, m_skeleton, m_still6, 2, 0x3, 0.0f);
    EXPECT_FALSE(a->IsStopping());
    EXPECT_TRUE(m_callback.calls.empty());
    XSIAnimation* c = Start(animator, m_skeleton, m_still2, 3, 0x4, 0.0f);
    EXPECT_TRUE(a->IsStopping());
    EXPECT_TRUE(b->IsStopping());
    EXPECT_FALSE(c->IsStopping());
    EXPECT_EQ(m_callback.calls, (std::vector<std::string>{"ended 1 0", "ended 2 0"}));
}

TEST_F(MeshAnimatorTest, StoppedAnimationsLeaveTheirListOnceFadedAndOthersKeepTheirSettings)
{
    MeshAnimator animator(nullptr, 3, 1);
    XSIAnimation* a = Start(animator, m_skeleton, m_still2, 1, 0x1, 0.0f);
    XSIAnimation* b = Start(animator, m_skeleton, m_still6, 2, 0x1, 0.0f);
    EXPECT_TRUE(animator.SetAnimationSpeedMultiplier(0, 2, 3.0f));
    EXPECT_TRUE(animator.SetAnimationTimeFlags(0, 2, 0xFF));
    EXPECT_FLOAT_EQ(a->GetParams().SpeedMultiplier, 1.0f);
    EXPECT_FLOAT_EQ(b->GetParams().SpeedMultiplier, 3.0f);
    EXPECT_EQ(b->GetParams().Flags, ANIMFLAG_LOOP | 0xF0u) << "only the time bits change";
    EXPECT_EQ(a->GetParams().Flags, uint32_t(ANIMFLAG_LOOP)) << "another id keeps its time bits";
    EXPECT_FALSE(animator.StopAnimation(1, -1, 0.1f)) << "no such tree node";
    EXPECT_TRUE(animator.StopAnimation(0, 1, 0.1f));
    EXPECT_TRUE(animator.StopAnimation(0, 1, 0.1f));
    EXPECT_EQ(m_callback.calls, (std::vector<std::string>{"ended 1 0"})) << "a stopping one is skipped";
    Tick(0.2f);
    Pose(animator, m_skeleton);
    ASSERT_EQ(animator.GetSlotList(0).size(), 1u);
    EXPECT_EQ(animator.GetSlotList(0)[0].get(), b);
}

TEST_F(MeshAnimatorTest, ReuseTakesTheNewParamsAndFadesTheOthersOverTheWholeAttackTime)
{
    MeshAnimator animator(nullptr, 3, 1);
    XSIAnimation* a = Start(animator, m_skeleton, m_still2, 1, 0x1, 0.0f);
    XSIAnimation* b = Start(animator, m_skeleton, m_still6, 2, 0x3, 0.0f);
    Pose(animator, m_skeleton);
    AnimationParams wanted;
    wanted.Flags = ANIMFLAG_IGNORESAME | ANIMFLAG_LOOP;
    wanted.Id = 2;
    wanted.GroupMask = 0x2;
    wanted.AttackTime = 0.4f;
    wanted.SpeedMultiplier = 2.0f;
    ASSERT_TRUE(animator.TryReuse(0, wanted));
    EXPECT_FLOAT_EQ(b->GetParams().SpeedMultiplier, 2.0f);
    EXPECT_TRUE(a->IsStopping());
    Tick(0.2f);
    Pose(animator, m_skeleton);
    EXPECT_NEAR(a->GetFaderWeight(), 0.5f, 1e-4f) << "a full-weight animation is not cut at once";

    // A stopping looped animation is taken back and fades up over what its weight lacks.
    animator.StopAnimation(*b, 0.4f);
    Tick(0.2f);
    Pose(animator, m_skeleton);
    ASSERT_NEAR(b->GetFaderWeight(), 0.5f, 1e-4f);
    ASSERT_TRUE(animator.TryReuse(0, wanted));
    EXPECT_FALSE(b->IsStopping());
    Tick(0.1f);
    Pose(animator, m_skeleton);
    EXPECT_NEAR(b->GetFaderWeight(), 0.75f, 1e-4f) << "0.5 to 1 over 0.2 s";
    wanted.Id = 9;
    EXPECT_FALSE(animator.TryReuse(0, wanted)) << "nothing matches";
}

TEST_F(MeshAnimatorTest, DeeperTreeNodesTakeTheirShareFirstAndBonesBetweenChildrenSeeTheirOwnNode)
{
    // Root(0) > Arm(1) > Hand(2); Root > Mid(3); Root > Leg(4). Nodes "arm" [1, 3) and "leg" [4, 5):
    // Mid lies between the two child ranges.
    MeshSkeleton skeleton = Chain({{"Root", 255}, {"Arm", 0}, {"Hand", 1}, {"Mid", 0}, {"Leg", 0}});
    ASSERT_TRUE(AnimationTreeDefinition::Parse(skeleton, "<Node Name='arm' Bone='Arm'/><Node Name='leg' Bone='Leg'/>",
                                               "unit"));
    struct Case
    {
        float childWeight;
        float arm;
    };
    for (const Case& c : {Case{1.0f, 6.0f}, Case{0.5f, 4.0f}})
    {
        SCOPED_TRACE(c.childWeight);
        MeshAnimator animator(nullptr, 5, 3);
        XSIAnimation* root = Start(animator, skeleton, m_still2, 1, 0, 0.0f);
        XSIAnimation* child = Start(animator, skeleton, m_still6, 2, 0, 0.0f, "arm");
        child->GetParams().Weight = c.childWeight;
        Start(animator, skeleton, m_still6, 3, 0, 0.0f, "leg");
        EXPECT_EQ(animator.GetFirstRunningRootAnimation(), root) << "the root node's, not the last node's";
        Pose(animator, skeleton);
        EXPECT_NEAR(Node(1).rows[3].x, c.arm, 1e-3f);
        EXPECT_NEAR(Node(2).rows[3].x - Node(1).rows[3].x, 6.0f, 1e-3f)
            << "Hand is only the child's";
        EXPECT_NEAR(Node(3).rows[3].x, 2.0f, 1e-3f) << "Mid is posed by the root node's animation";
    }
}

TEST_F(MeshAnimatorTest, ASecondQueryInTheSameFrameDoesNoWork)
{
    ResourceAnimation* slide = Clip("slide", {{"Arm", {{0.0f, 0.0f}, {1.0f, 10.0f}}}});
    MeshAnimator animator(nullptr, 3, 1);
    // A mesh drawn before its first pose shows every bone unmoved.
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(animator.GetSkinningMatrices()[i * 12] * animator.GetSkinningMatrices()[i * 12 + 10], 1.0f) << i;
    // Without tree nodes to play on, the pose is the skeleton at rest: Hand two bones up.
    MeshAnimator bare(nullptr, 3, 0);
    Pose(bare, m_skeleton);
    EXPECT_FLOAT_EQ(bare.GetSkinningMatrices()[2 * 12 + 7], 2.0f);
    AnimationParams params;
    params.AttackTime = 0.0f;
    ASSERT_TRUE(animator.StartAnimationOnNode(m_skeleton, NameString("root"),
                                              std::make_unique<XSIAnimation>(slide, params, 1.0f, 0.0f), 1.0f));
    Pose(animator, m_skeleton);
    Tick(0.5f);
    animator.UpdatePose(m_context, m_skeleton, 1.0f, nullptr);
    EXPECT_FLOAT_EQ(animator.GetSlotList(0)[0]->GetProgress(), 0.0f) << "same frame: nothing sampled";
    const Matrix arm = animator.FindNodeMatrix(m_context, 1, m_skeleton, 1.0f);
    EXPECT_NEAR(arm.rows[3].x, 5.0f, 1e-3f) << "watching a new node computes the pose again";
    EXPECT_NEAR(animator.GetSkinningMatrices()[12 + 3], 5.0f, 1e-3f) << "skin matrix 1, row 0, column 3";
    EXPECT_TRUE(animator.FindNodeMatrix(m_context, -1, m_skeleton, 1.0f).Equals(Matrix::ONE));
    EXPECT_TRUE(animator.FindNodeMatrix(m_context, 0, m_skeleton, 1.0f).Equals(Matrix::ONE)) << "Root, cached first";
    EXPECT_NEAR(animator.FindNodeMatrix(m_context, 1, m_skeleton, 1.0f).rows[3].x, 5.0f, 1e-3f) << "Arm, cached second";
}

TEST_F(MeshAnimatorTest, TheRootNodesMovementSpeedIsTheWeightedMeanOfItsAnimations)
{
    MeshAnimator animator(nullptr, 3, 1);
    AnimationParams params;
    params.GroupMask = 1;
    params.AttackTime = 0.0f;
    params.Weight = 0.5f;
    ASSERT_TRUE(animator.StartAnimationOnNode(m_skeleton, NameString("root"),
                                              std::make_unique<XSIAnimation>(m_still2, params, 1.0f, 2.0f), 1.0f));
    params.Weight = 0.25f;
    params.Flags |= ANIMFLAG_SPEED_IS_MOVEMENT;
    params.SpeedMultiplier = 8.0f;
    params.Id = 7;
    auto walk = std::make_unique<XSIAnimation>(m_still6, params, 1.0f, 4.0f);
    XSIAnimation* const walking = walk.get();
    EXPECT_FLOAT_EQ(walk->GetParams().SpeedMultiplier, 2.0f) << "8 units a second from a clip that moves 4";
    ASSERT_TRUE(animator.StartAnimationOnNode(m_skeleton, NameString("root"), std::move(walk), 1.0f));
    Pose(animator, m_skeleton);
    EXPECT_FLOAT_EQ(animator.GetMovementSpeed(), 4.0f) << "(0.5 x 2 + 0.25 x 4 x 2) / 0.75";
    params.Flags |= ANIMFLAG_IGNORESAME;
    params.SpeedMultiplier = 12.0f;
    ASSERT_TRUE(animator.TryReuse(0, params));
    EXPECT_FLOAT_EQ(walking->GetParams().SpeedMultiplier, 3.0f) << "a reused clip converts its new speed too";
}
