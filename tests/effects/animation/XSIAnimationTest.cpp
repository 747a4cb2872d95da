// Keyframe animations played through an animator: poses at key times and across the loop seam,
// held keys and progress, finishing, callback points, degenerate clips and binding by name.
#include "effects/animation/XSIAnimation.h"

#include "effects/animation/AnimationClipFixture.h"
#include "scene/kinds/MeshTemplateAnimation.h"

#include <cmath>
#include <memory>

namespace
{
class XSIAnimationTest : public AnimationClipFixture
{
protected:
    // Starts a one-second clip on "root" with the given flags (attack 0: full weight at once).
    XSIAnimation* Start(MeshAnimator& animator, ResourceAnimation* clip, AnimationParams params, float duration = 1.0f)
    {
        params.AttackTime = 0.0f;
        auto animation = std::make_unique<XSIAnimation>(clip, params, duration, 0.0f);
        XSIAnimation* const raw = animation.get();
        EXPECT_TRUE(animator.StartAnimationOnNode(m_skeleton, NameString("root"), std::move(animation), 1.0f));
        return raw;
    }
    float ArmX(MeshAnimator& animator, float scale = 1.0f)
    {
        Pose(animator, m_skeleton, scale);
        return Node(1).rows[3].x;
    }
};

AnimationParams Flags(uint32_t flags)
{
    AnimationParams params;
    params.Flags = flags;
    return params;
}
} // namespace

TEST_F(XSIAnimationTest, PosesFollowTheKeysAndTheLoopSeamOrHoldTheEnds)
{
    // Arm moves from x 0 at progress 0.25 to x 8 at 0.75.
    ResourceAnimation* slide = Clip("slide", {{"Arm", {{0.25f, 0.0f}, {0.75f, 8.0f}}}});
    struct Case
    {
        const char* name;
        uint32_t flags;
        float x[5]; // at times 0, 0.5, 0.9, 1.1 (loops: 0.1) and 0.25
    };
    const Case cases[] = {
        {"loop interpolates across the seam", ANIMFLAG_LOOP, {4.0f, 4.0f, 5.6f, 2.4f, 0.0f}},
        {"repeat holds the first and last keys at the seam", ANIMFLAG_REPEAT, {0.0f, 4.0f, 8.0f, 0.0f, 0.0f}},
        {"no loop clamps at the end", 0, {0.0f, 4.0f, 8.0f, 8.0f, 8.0f}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        MeshAnimator animator(nullptr, 3, 1);
        Start(animator, slide, Flags(c.flags));
        const float steps[5] = {0.0f, 0.5f, 0.4f, 0.2f, 0.15f};
        for (int i = 0; i < 5; ++i)
        {
            Tick(steps[i]);
            EXPECT_NEAR(ArmX(animator), c.x[i], 2e-3f) << "step " << i;
        }
        EXPECT_NEAR(Node(2).rows[3].x, c.x[4], 2e-3f) << "the child bone follows";
        EXPECT_FLOAT_EQ(Node(2).rows[3].y, 2.0f);
    }
}

TEST_F(XSIAnimationTest, PositionsScaleAndASingleKeyHolds)
{
    ResourceAnimation* still = Clip("still", {{"Arm", {{0.5f, 3.0f}}}});
    MeshAnimator animator(nullptr, 3, 1);
    Start(animator, still, Flags(ANIMFLAG_LOOP));
    for (const float step : {0.0f, 0.3f, 0.9f})
    {
        Tick(step);
        EXPECT_NEAR(ArmX(animator, 2.0f), 6.0f, 1e-3f);
    }
}

TEST_F(XSIAnimationTest, OverrideProgressHoldsAndMinusOneResumesFromThere)
{
    ResourceAnimation* slide = Clip("slide", {{"Arm", {{0.25f, 0.0f}, {0.75f, 8.0f}}}});
    MeshAnimator animator(nullptr, 3, 1);
    AnimationParams params = Flags(ANIMFLAG_LOOP);
    params.OverrideProgress = 0.5f;
    XSIAnimation* animation = Start(animator, slide, params);
    for (const float step : {0.0f, 0.3f, 0.3f})
    {
        Tick(step);
        EXPECT_NEAR(ArmX(animator), 4.0f, 2e-3f);
        EXPECT_FLOAT_EQ(animation->GetProgress(), 0.5f);
    }
    EXPECT_TRUE(animator.SetAnimationProgress(0, -1, -1.0f));
    Tick(0.2f);
    EXPECT_NEAR(ArmX(animator), 7.2f, 2e-3f);
    EXPECT_NEAR(animation->GetProgress(), 0.7f, 1e-5f);
}

TEST_F(XSIAnimationTest, AutoFinishEndsBeforeTheEndAndFadesOut)
{
    ResourceAnimation* slide = Clip("slide", {{"Arm", {{0.0f, 0.0f}, {1.0f, 10.0f}}}});
    MeshAnimator animator(nullptr, 3, 1);
    RecordingCallback callback;
    AnimationParams params = Flags(ANIMFLAG_AUTOFINISH);
    params.Id = 7;
    params.AutoFinishTime = 0.2f;
    params.CallbackObject = &callback;
    XSIAnimation* animation = Start(animator, slide, params);
    Pose(animator, m_skeleton);
    for (int i = 0; i < 7; ++i)
    {
        Tick(0.1f);
        Pose(animator, m_skeleton);
    }
    EXPECT_EQ(callback.calls, (std::vector<std::string>{"point 7"})) << "time 0.7: not finished yet";
    Tick(0.1f);
    Pose(animator, m_skeleton);
    EXPECT_EQ(callback.calls, (std::vector<std::string>{"point 7", "ended 7 1"}));
    EXPECT_TRUE(animation->IsStopping());
    EXPECT_FLOAT_EQ(animation->GetFaderWeight(), 1.0f);
    Tick(0.1f);
    Pose(animator, m_skeleton);
    EXPECT_NEAR(animation->GetFaderWeight(), 0.5f, 1e-4f) << "a 0.2 s fade from 0.8";
    Tick(0.15f);
    Pose(animator, m_skeleton);
    EXPECT_TRUE(animator.GetSlotList(0).empty()) << "faded out and gone";
    EXPECT_EQ(callback.calls.size(), 2u) << "ended once";
}
