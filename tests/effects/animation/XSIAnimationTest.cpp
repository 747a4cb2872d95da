// Keyframe animations played through an animator: poses at key times and across the loop seam,
// held keys and progress, finishing, callback points both ways, degenerate clips, binding by name
// and the sound event rule, with a preset's events played once as the progress passes them.
#include "effects/animation/XSIAnimation.h"

#include "effects/animation/AnimationClipFixture.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/kinds/MeshTemplateAnimation.h"

#include <algorithm>
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
    // A clip keyed at one set of times whose scale moves still follows its scale keys.
    AnimationClipSpec spec;
    spec.tracks.push_back({"Arm", {{0, Vector(0, 0, 0, 1)}, {1, Vector(0, 0, 0, 1)}}, {{0, Vector()}, {1, Vector()}},
                           {{0, Vector(1, 1, 1, 0)}, {1, Vector(3, 3, 3, 0)}}});
    MeshAnimator grower(nullptr, 3, 1);
    Start(grower, Write("grow", spec), Flags(0));
    ArmX(grower);
    Tick(0.5f);
    ArmX(grower);
    EXPECT_NEAR(Node(1).At(0, 0), 2.0f, 1e-3f);
}

TEST_F(XSIAnimationTest, PositionKeysKeepTheirTimesWhenTheRotationKeysSpanOthers)
{
    // Both channels quantise their two keys alike, but the rotation times start earlier.
    AnimationClipSpec spec;
    spec.tracks.resize(1);
    spec.tracks[0].name = "Arm";
    spec.tracks[0].rotation = {{0.1f, Vector(0, 0, 0, 1)}, {0.9f, Vector(0, 0, 0, 1)}};
    spec.tracks[0].position = {{0.2f, Vector(0, 0, 0, 0)}, {0.9f, Vector(7, 0, 0, 0)}};
    MeshAnimator animator(nullptr, 3, 1);
    Start(animator, Write("offset", spec), Flags(0));
    ArmX(animator); // the first pose starts the clock
    Tick(0.55f);
    EXPECT_NEAR(ArmX(animator), 3.5f, 2e-3f);

    // Over one range and as many keys, a middle key at another time still splits the channels' searches.
    spec.tracks[0].rotation = {{0.0f, Vector(0, 0, 0, 1)}, {0.5f, Vector(0, 0, 0, 1)}, {1.0f, Vector(0, 0, 0, 1)}};
    spec.tracks[0].position = {{0.0f, Vector(0, 0, 0, 0)}, {0.25f, Vector(4, 0, 0, 0)}, {1.0f, Vector(7, 0, 0, 0)}};
    MeshAnimator middle(nullptr, 3, 1);
    Start(middle, Write("middle", spec), Flags(0));
    ArmX(middle);
    Tick(0.375f);
    EXPECT_NEAR(ArmX(middle), 4.5f, 2e-3f);
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

TEST_F(XSIAnimationTest, BackwardsPlayStartsAtTheEndAndReachesItsCallbackPointFromThere)
{
    ResourceAnimation* slide = Clip("slide", {{"Arm", {{0.0f, 0.0f}, {1.0f, 10.0f}}}});
    MeshAnimator animator(nullptr, 3, 1);
    RecordingCallback callback;
    AnimationParams params = Flags(ANIMFLAG_BACKWARDS);
    params.Id = 4;
    params.AutoFinishTime = 0.1f;
    params.StartTimeOffset = 0.25f;
    params.CallbackObject = &callback;
    MeshTemplateAnimationPreset preset;
    preset.m_time = 1.0f;
    preset.m_cooldown = 0.5f;
    params.AttackTime = 0.0f;
    auto owned = std::make_unique<XSIAnimation>(slide, params, preset, nullptr, 0);
    XSIAnimation* animation = owned.get();
    ASSERT_TRUE(animator.StartAnimationOnNode(m_skeleton, NameString("root"), std::move(owned), 1.0f));
    EXPECT_FLOAT_EQ(animation->GetTime(), 0.75f) << "the offset counts back from the end";
    EXPECT_NEAR(ArmX(animator), 7.5f, 2e-3f);
    Tick(0.3f);
    EXPECT_NEAR(ArmX(animator), 4.5f, 2e-3f);
    EXPECT_TRUE(callback.calls.empty()) << "0.45 is above (1 - 0.5) x 1 - 0.1";
    Tick(0.1f);
    ArmX(animator);
    EXPECT_EQ(callback.calls, (std::vector<std::string>{"point 4"}));
    Tick(0.3f);
    ArmX(animator);
    EXPECT_EQ(callback.calls, (std::vector<std::string>{"point 4", "ended 4 1"}));
}

TEST_F(XSIAnimationTest, ForwardPlayReachesItsCallbackPointAtItsShareOfTheClip)
{
    ResourceAnimation* slide = Clip("slide", {{"Arm", {{0.0f, 0.0f}, {1.0f, 10.0f}}}});
    MeshTemplate mesh; // outlives the animator, whose animation gives its reference back
    MeshAnimator animator(nullptr, 3, 1);
    RecordingCallback callback;
    AnimationParams params = Flags(ANIMFLAG_SOUNDS);
    params.Id = 5;
    params.AutoFinishTime = 0.1f;
    params.CallbackObject = &callback;
    MeshTemplateAnimationPreset preset;
    preset.m_time = 2.0f;
    preset.m_cooldown = 0.5f;
    // A sound event at a fifth of the clip, its entry unknown: each play is an error in the log.
    MeshTemplateAnimationFrameData clang;
    clang.m_soundEvent = NameString("Clang");
    clang.m_timeStamp = 0.2f;
    preset.m_frames.Add(clang);
    ASSERT_TRUE(animator.StartAnimationOnNode(
        m_skeleton, NameString("root"), std::make_unique<XSIAnimation>(slide, params, preset, &mesh, 0), 1.0f));
    EXPECT_EQ(mesh.GetUserReferences(), 1u) << "the playing animation holds its mesh template";
    ArmX(animator);
    Tick(0.8f);
    ArmX(animator);
    EXPECT_TRUE(callback.calls.empty()) << "0.8 s is below 0.5 x 2 - 0.1";
    EXPECT_EQ(m_log.CountOfKind(CONSOLE_ERROR), 1u) << "progress 0 to 0.4 passes the event";
    Tick(0.1f);
    ArmX(animator);
    EXPECT_EQ(callback.calls, (std::vector<std::string>{"point 5"}));
    EXPECT_EQ(m_log.CountOfKind(CONSOLE_ERROR), 1u) << "0.4 to 0.45 does not";

    // From its start a clip plays its event at 0 once: held there by speed 0 or by a progress
    // override (let go before the last pose), or running on from it.
    preset.m_frames[0].m_timeStamp = 0.0f;
    struct From
    {
        const char* name;
        float speed, hold;
    };
    const From starts[] = {{"held by speed 0", 0.0f, -1.0f}, {"running", 1.0f, -1.0f}, {"held at 0, let go", 1.0f, 0.0f}};
    for (const From& start : starts)
    {
        SCOPED_TRACE(start.name);
        params.SpeedMultiplier = start.speed;
        params.OverrideProgress = start.hold;
        MeshAnimator from(nullptr, 3, 1);
        ASSERT_TRUE(from.StartAnimationOnNode(
            m_skeleton, NameString("root"), std::make_unique<XSIAnimation>(slide, params, preset, &mesh, 0), 1.0f));
        m_log.Clear();
        ArmX(from);
        for (int pose = 0; pose < 3; ++pose)
        {
            if (pose == 2)
            {
                ASSERT_TRUE(from.SetAnimationProgress(0, -1, -1.0f));
            }
            Tick(0.1f);
            ArmX(from);
            EXPECT_EQ(m_log.CountOfKind(CONSOLE_ERROR), 1u) << "pose " << pose;
        }
    }
}

TEST_F(XSIAnimationTest, PointsReachedBySumsOfStepsThatRoundShortStillCount)
{
    ResourceAnimation* slide = Clip("slide", {{"Arm", {{0.0f, 0.0f}, {1.0f, 10.0f}}}});
    struct Case
    {
        const char* name;
        uint32_t flags;
        float cooldown, finish, step;
        int steps;
        const char* call;
    };
    const Case cases[] = {
        {"6 x 0.15 s sums to 0.89999998 s: the finish 0.1 s before the end", 0, 0.0f, 0.1f, 0.15f, 6, "ended 9 1"},
        {"back from 1 by 6 x 0.15 s is 0.10000005 s: the finish", ANIMFLAG_BACKWARDS, 0.0f, 0.1f, 0.15f, 6, "ended 9 1"},
        {"4 x 0.1 s falls short of 0.6 - 0.2 in floats: the callback point", 0, 0.6f, 0.2f, 0.1f, 4, "point 9"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        MeshAnimator animator(nullptr, 3, 1);
        RecordingCallback callback;
        AnimationParams params = Flags(c.flags);
        params.Id = 9;
        params.AutoFinishTime = c.finish;
        params.CallbackObject = &callback;
        params.AttackTime = 0.0f;
        MeshTemplateAnimationPreset preset;
        preset.m_time = 1.0f;
        preset.m_cooldown = c.cooldown;
        auto animation = std::make_unique<XSIAnimation>(slide, params, preset, nullptr, 0);
        ASSERT_TRUE(animator.StartAnimationOnNode(m_skeleton, NameString("root"), std::move(animation), 1.0f));
        const auto reached = [&] {
            return std::find(callback.calls.begin(), callback.calls.end(), c.call) != callback.calls.end();
        };
        Pose(animator, m_skeleton);
        for (int i = 1; i < c.steps; ++i)
        {
            Tick(c.step);
            Pose(animator, m_skeleton);
        }
        EXPECT_FALSE(reached()) << "a step early";
        Tick(c.step);
        Pose(animator, m_skeleton);
        EXPECT_TRUE(reached());
    }
}

TEST_F(XSIAnimationTest, ClipsOfNoLengthOrTrimmedToNothingStandAtTheirStart)
{
    ResourceAnimation* slide = Clip("slide", {{"Arm", {{0.0f, 0.0f}, {1.0f, 10.0f}}}});
    MeshTemplateAnimationPreset trimmed;
    trimmed.m_time = 1.0f;
    trimmed.m_removedFrames = 45; // 1.5 s: past the end
    for (const bool loop : {false, true})
    {
        SCOPED_TRACE(loop);
        MeshAnimator animator(nullptr, 3, 1);
        AnimationParams params = Flags(loop ? ANIMFLAG_LOOP : 0u);
        params.AttackTime = 0.0f;
        auto empty = std::make_unique<XSIAnimation>(slide, params, 0.0f, 0.0f);
        XSIAnimation* zero = empty.get();
        ASSERT_TRUE(animator.StartAnimationOnNode(m_skeleton, NameString("root"), std::move(empty), 1.0f));
        auto cut = std::make_unique<XSIAnimation>(slide, params, trimmed, nullptr, 1);
        XSIAnimation* trimmedAnimation = cut.get();
        Tick(0.4f);
        const float x = ArmX(animator);
        EXPECT_TRUE(std::isfinite(x));
        EXPECT_FLOAT_EQ(zero->GetProgress(), 0.0f);
        MeshAnimator other(nullptr, 3, 1);
        ASSERT_TRUE(other.StartAnimationOnNode(m_skeleton, NameString("root"), std::move(cut), 1.0f));
        Tick(0.4f);
        EXPECT_TRUE(std::isfinite(ArmX(other)));
        EXPECT_FLOAT_EQ(trimmedAnimation->GetProgress(), 0.0f);
    }
}

TEST_F(XSIAnimationTest, TracksBindByNameFromThePreviousMatchAndUnmatchedOnesBindNothing)
{
    ResourceAnimation* crossed = Clip("crossed", {{"Hand", {{0.5f, 1.0f}}}, {"Root", {{0.5f, 2.0f}}},
                                                  {"Tail", {{0.5f, 3.0f}}}, {"Arm", {{0.5f, 4.0f}}}});
    XSIAnimation animation(crossed, AnimationParams(), 1.0f, 0.0f);
    animation.BindToSkeleton(m_skeleton, 0, 0);
    ASSERT_EQ(animation.GetBoundCount(), 3u);
    EXPECT_EQ(animation.GetBoundBone(0), 2);
    EXPECT_EQ(animation.GetBoundBone(1), 0) << "the search wraps round to the start";
    EXPECT_EQ(animation.GetBoundBone(2), 1);
    EXPECT_EQ(animation.GetBoundTrack(1), 2);

    ResourceAnimation* foreign = Clip("foreign", {{"Tail", {{0.5f, 3.0f}}}});
    MeshAnimator animator(nullptr, 3, 1);
    Start(animator, foreign, Flags(ANIMFLAG_LOOP));
    EXPECT_NEAR(ArmX(animator), 0.0f, 1e-6f) << "nothing bound, the rest pose stays";
}

TEST(XSIAnimationSoundEventTest, EventsPlayWhenTheProgressPassesThemAlsoAcrossAWrap)
{
    struct Case
    {
        float from, to, event;
        bool backwards, looping, plays;
        bool first = false;
    };
    const Case cases[] = {
        {0.2f, 0.5f, 0.5f, false, false, true},  {0.2f, 0.5f, 0.2f, false, false, false},
        {0.0f, 0.5f, 0.0f, false, false, true, true}, {0.0f, 0.5f, 0.0f, false, false, false},
        {0.9f, 0.1f, 0.95f, false, true, true},
        {0.9f, 0.1f, 0.05f, false, true, true},  {0.9f, 0.1f, 0.5f, false, true, false},
        {0.9f, 0.1f, 0.95f, false, false, false}, {0.5f, 0.2f, 0.2f, true, false, false},
        {0.5f, 0.2f, 0.5f, true, false, true},   {0.5f, 0.0f, 0.0f, true, false, true},
        {0.1f, 0.9f, 0.05f, true, true, true},   {0.1f, 0.9f, 0.95f, true, true, true},
        {0.1f, 0.9f, 0.5f, true, true, false},
        // Held at the start (paused, speed 0, no length): the event at 0 plays on the first sample only.
        {0.0f, 0.0f, 0.0f, false, false, true, true}, {0.0f, 0.0f, 0.0f, false, false, false},
        {0.0f, 0.0f, 0.0f, true, false, false},        {0.0f, 0.0f, 0.0f, false, true, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.from << " to " << c.to << " event " << c.event << " first " << c.first);
        EXPECT_EQ(AnimationSoundEventPassed(c.from, c.to, c.event, c.backwards, c.looping, c.first), c.plays);
    }
}

namespace
{
class RecordingSync : public AnimationSoundSyncObject
{
public:
    RecordingSync() : AnimationSoundSyncObject(nullptr) {}
    void Update(float progress, float weight, bool forward) override
    {
        calls.push_back({progress, weight, forward ? 1.0f : 0.0f});
    }
    std::vector<std::vector<float>> calls;
};
} // namespace

TEST_F(XSIAnimationTest, SyncObjectsFollowTheProgressAndTheWeightedFader)
{
    ResourceAnimation* slide = Clip("slide", {{"Arm", {{0.0f, 0.0f}, {1.0f, 10.0f}}}});
    MeshAnimator animator(nullptr, 3, 1);
    RecordingSync sync;
    AnimationParams params = Flags(ANIMFLAG_LOOP);
    params.SyncObject = &sync;
    params.Weight = 0.5f;
    Start(animator, slide, params);
    Tick(0.25f);
    ArmX(animator);
    animator.SetAnimationSpeedMultiplier(0, -1, -1.0f);
    Tick(0.1f);
    ArmX(animator);
    ASSERT_EQ(sync.calls.size(), 2u);
    EXPECT_EQ(sync.calls[0], (std::vector<float>{0.0f, 0.5f, 1.0f})) << "the first sample does not move";
    EXPECT_NEAR(sync.calls[1][0], 0.9f, 1e-5f) << "a negative speed runs back across the seam";
    EXPECT_FLOAT_EQ(sync.calls[1][2], 0.0f);
}

TEST_F(XSIAnimationTest, TheRootEndPoseIsTheLastKeyOfEachChannelAndTargetingTurnsDrivenBones)
{
    AnimationClipSpec spec;
    AnimationClipSpec::Track arm;
    arm.name = "Arm";
    Quaternion quarter;
    quarter.LoadYRotation(90.0f);
    arm.rotation = {{0.0f, Vector(0, 0, 0, 1)}, {1.0f, Vector(quarter.x, quarter.y, quarter.z, quarter.w)}};
    arm.position = {{0.0f, Vector(0, 0, 0, 0)}, {1.0f, Vector(4, 0, 0, 0)}};
    spec.tracks.push_back(arm);
    AnimationClipSpec::Track hand;
    hand.name = "Hand";
    hand.scale = {{0.0f, Vector(1, 1, 1, 0)}, {0.5f, Vector(2, 2, 2, 0)}, {1.0f, Vector(3, 3, 3, 0)}};
    spec.tracks.push_back(hand);
    ResourceAnimation* turn = Write("turn", spec);
    XSIAnimation animation(turn, AnimationParams(), 1.0f, 0.0f);
    Quaternion rotation;
    Vector position;
    Vector scale;
    animation.GetRootEndPose(NameString("Arm"), rotation, position, scale);
    EXPECT_NEAR(rotation.y, quarter.y, 1e-4f);
    EXPECT_NEAR(position.x, 4.0f, 1e-3f);
    EXPECT_FLOAT_EQ(scale.x, 1.0f) << "no scale keys: unit scale";
    animation.GetRootEndPose(NameString("Hand"), rotation, position, scale);
    EXPECT_NEAR(scale.y, 3.0f, 1e-3f);
    animation.GetRootEndPose(NameString("Tail"), rotation, position, scale);
    EXPECT_FLOAT_EQ(rotation.w, 1.0f);
    EXPECT_FLOAT_EQ(position.x, 0.0f);

    // A targeting mode whose "left" range (2) turns Arm a quarter round about x, whose range for
    // negative vertical angles (1) turns it a quarter round about z and whose range for the others
    // (0) a quarter back; at -45 degrees horizontally half of the first, then as much of the
    // vertical range as the vertical angle is of 90 degrees, is added to the sampled (identity)
    // rotation.
    MeshTargetingRecord mode;
    Quaternion aim;
    aim.LoadXRotation(90.0f);
    Quaternion tilt;
    tilt.LoadZRotation(90.0f);
    Quaternion lift;
    lift.LoadZRotation(-90.0f);
    mode.entries.push_back({aim, NameString("Arm")});
    mode.entries.push_back({tilt, NameString("Arm")});
    mode.entries.push_back({lift, NameString("Arm")});
    mode.ranges[2][0] = 0;
    mode.ranges[2][1] = 1;
    mode.ranges[1][0] = 1;
    mode.ranges[1][1] = 2;
    mode.ranges[0][0] = 2;
    mode.ranges[0][1] = 3;
    MeshAnimator animator(nullptr, 3, 1);
    AnimationParams params;
    params.AttackTime = 0.0f;
    auto owned = std::make_unique<XSIAnimation>(turn, params, 1.0f, 0.0f);
    XSIAnimation* played = owned.get();
    ASSERT_TRUE(animator.StartAnimationOnNode(m_skeleton, NameString("root"), std::move(owned), 1.0f));
    const std::pair<float, const Quaternion*> verticals[] = {{-90.0f, &tilt}, {0.0f, nullptr}, {90.0f, &lift}};
    for (const auto& [vertical, turn] : verticals)
    {
        SCOPED_TRACE(vertical);
        animator.SetTargetingAngles(-45.0f, vertical);
        Pose(animator, m_skeleton);
        // As a pose does: a fresh sample (this clip's may wait until read), then the turn on top of it.
        played->Sample(m_context, m_skeleton, animator);
        played->ApplyTargeting(m_context, mode);
        Quaternion half;
        half.LoadXRotation(45.0f);
        if (turn != nullptr)
            half.Mul(*turn);
        const Quaternion& turned = played->GetSample(played->GetBoundTrack(1)).rotation;
        EXPECT_NEAR(turned.x, half.x, 1e-4f);
        EXPECT_NEAR(turned.z, half.z, 1e-4f);
        EXPECT_NEAR(turned.w, half.w, 1e-4f);
    }
}
