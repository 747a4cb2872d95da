// Procedural aiming of one bone: the angles toward a point, the limits and the [0, 360) wrap, the
// rate-limited turn the short way round with its slow-down zone, the debounced turning callbacks and
// a target entity that dies.
#include "effects/animation/ProceduralTargetingAnimation.h"

#include "effects/animation/AnimationSampleContext.h"
#include "effects/animation/MeshAnimator.h"
#include "effects/animation/MeshSkeleton.h"
#include "engine/Game.h"
#include "support/SceneTestSupport.h"

#include <cmath>
#include <string>

namespace
{
constexpr float kRadians = 0.017453292f;

class RecordingDelegate : public EntityGameplayDelegate
{
public:
    void OnProcTargetingAnimRotStart(Entity*) override { calls += "start "; }
    void OnProcTargetingAnimRotStop(Entity*) override { calls += "stop "; }
    std::string calls;
};

class ProceduralTargetingAnimationTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        gGame.GetGameTimer().Reset();
        // One bone at the origin, the aiming node's only bone.
        MeshSkeletonBone bone;
        bone.name = NameString("Head");
        m_skeleton.AddBone(bone, Matrix::ONE);
        m_skeleton.AddSkinMatrix(Matrix::ONE);
        AnimationTreeNode root;
        root.name = NameString("root");
        root.boneCount = 1;
        m_skeleton.AddTreeNode(root);
        auto animation = std::make_unique<ProceduralTargetingAnimation>(AnimationParams());
        m_aim = animation.get();
        ASSERT_TRUE(m_animator.StartAnimationOnNode(m_skeleton, NameString("root"), std::move(animation), 1.0f));
        Step(0.0f);
    }
    // One pose after the clock moved on by the seconds.
    void Step(float seconds)
    {
        gGame.GetGameTimer().Tick(seconds);
        ++m_context.frameCounters[1];
        m_animator.UpdatePose(m_context, m_skeleton, 1.0f, &m_root);
    }
    void Steps(int count, float seconds)
    {
        for (int i = 0; i < count; ++i)
            Step(seconds);
    }
    // A point at the yaw (about y from +z toward +x) and height angle, 10 units away.
    static Vector Toward(float yawDegrees, float upDegrees)
    {
        const float flat = 10.0f * std::cos(upDegrees * kRadians);
        return Vector(flat * std::sin(yawDegrees * kRadians), 10.0f * std::sin(upDegrees * kRadians),
                      flat * std::cos(yawDegrees * kRadians), 1.0f);
    }

    MeshSkeleton m_skeleton;
    MeshAnimator m_animator{nullptr, 1, 1};
    AnimationSampleContext m_context;
    Matrix m_root = Matrix::ONE; // the owner's
    ProceduralTargetingAnimation* m_aim = nullptr;
};
} // namespace

TEST_F(ProceduralTargetingAnimationTest, AnglesTowardAPointHoldTheLimitsAndWrap)
{
    struct Case
    {
        const char* name;
        Vector point;
        bool axisX;
        bool axisY;
        float limitX;
        float pitch;
        float yaw;
        float aimOffset = 0.0f;
        float depth = 1.0f; // the length of the bone's forward axis
    };
    const Case cases[] = {
        {"straight ahead", Toward(0.0f, 0.0f), true, true, 180.0f, 0.0f, 0.0f},
        {"to the right", Toward(60.0f, 0.0f), true, true, 180.0f, 0.0f, 60.0f},
        {"behind on the left", Toward(-170.0f, 0.0f), true, true, 180.0f, 0.0f, 190.0f},
        {"ten degrees up is -10, held as 350", Toward(30.0f, 10.0f), true, true, 180.0f, 350.0f, 30.0f},
        {"below", Toward(0.0f, -25.0f), true, true, 180.0f, 25.0f, 0.0f},
        {"high above, limited to 45", Toward(0.0f, 80.0f), true, true, 45.0f, 315.0f, 0.0f},
        {"far below, limited to 45", Toward(0.0f, -80.0f), true, true, 45.0f, 45.0f, 0.0f},
        {"no X axis: no pitch", Toward(30.0f, 20.0f), false, true, 180.0f, 0.0f, 30.0f},
        {"no Y axis: no yaw", Toward(0.0f, -20.0f), true, false, 180.0f, 20.0f, 0.0f},
        {"on the bone itself", Vector(0, 0, 0, 1), true, true, 180.0f, 0.0f, 0.0f},
        {"high above, limited to 30", Toward(0.0f, 70.0f), true, true, 30.0f, 330.0f, 0.0f},
        {"30 degrees up seen past an offset of 5 takes 60", Toward(0.0f, 30.0f), true, true, 180.0f, 300.0f, 0.0f, 5.0f},
        {"as far ahead as the offset: the sine rounds past 1", Vector(0, 38.5f, 1.75f, 1), true, false, 180.0f, 270.0f, 0.0f, 1.75f},
        {"a collapsed forward axis sees every point straight above", Toward(0.0f, 20.0f), true, false, 180.0f, 270.0f, 0.0f, 0.0f, 0.0f},
        {"a forward so short its square is 0", Vector(0, 0, -1e-6f, 1), true, false, 180.0f, 0.0f, 0.0f, 1e6f, 1e18f},
    };
    // The bone stands away from the origin, and the points are placed around it.
    m_context.rootMatrix.LoadTranslation(3.0f, -2.0f, 5.0f);
    const Vector& at = m_context.rootMatrix.rows[3];
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        m_context.rootMatrix.rows[2] = Vector(0, 0, c.depth, 0);
        m_aim->EnableAxis(c.axisX, c.axisY);
        m_aim->SetAimOffset(c.aimOffset);
        // Both forms of the limits, on alternate rows.
        if ((&c - cases) % 2 != 0)
            m_aim->SetRotationLimits(Vector(-c.limitX, -180.0f, 0, 0), Vector(c.limitX, 180.0f, 0, 0));
        else
            m_aim->SetRotationLimits2(-c.limitX, c.limitX, -180.0f, 180.0f);
        const Vector angles = m_aim->AnglesToward(Vector(c.point.x + at.x, c.point.y + at.y, c.point.z + at.z, 1), m_context);
        EXPECT_NEAR(angles.x, c.pitch, 1e-3f);
        EXPECT_NEAR(angles.y, c.yaw, 1e-3f);
    }
    m_aim->BindToSkeleton(m_skeleton, 0, 1);
    EXPECT_EQ(m_aim->GetBoundCount(), 0u) << "a first bone past the skeleton binds nothing";
}

TEST_F(ProceduralTargetingAnimationTest, TheBoneTurnsTheShortWayAtItsSpeedAndSlowsDownNearTheGoal)
{
    // 190 degrees away is reached by turning -170: 90 degrees a second, 9 in a tenth (or in a
    // twentieth at twice the speed).
    m_aim->SetTargetPoint(Toward(-170.0f, 0.0f), true);
    m_aim->SetSpeedFactor(2.0f);
    Step(0.05f);
    m_aim->SetSpeedFactor(1.0f);
    EXPECT_NEAR(m_aim->GetRotationVector().y, 351.0f, 1e-3f);
    EXPECT_NEAR(m_aim->GetAngularVelocity().y, -90.0f, 1e-2f);
    Steps(17, 0.1f);
    // 170 - 18 x 9 = 8 degrees left: inside a 16-degree zone the speed is 8 / 16 of 90.
    EXPECT_NEAR(m_aim->GetRotationVector().y, 198.0f, 1e-2f);
    m_aim->SetRotationSlowDownZone(1.0f, 16.0f);
    Step(0.1f);
    EXPECT_NEAR(m_aim->GetRotationVector().y, 198.0f - 0.1f * 90.0f * 8.0f / 16.0f, 1e-2f);
    // The zone setter leaves z at 0, where z is already on its goal: 0 / 0 must not poison it.
    EXPECT_EQ(m_aim->GetAngularVelocity().z, 0.0f);
    Steps(40, 0.1f);
    EXPECT_NEAR(m_aim->GetRotationVector().y, 190.0f, 1e-2f);

    // The sampled rotation is the pitch about X times the yaw about Y.
    Quaternion expected;
    expected.LoadYRotation(m_aim->GetRotationVector().y);
    EXPECT_NEAR(m_animator.GetSlotList(0)[0]->GetSample(0).rotation.y, expected.y, 1e-4f);

    // Without a target the bone goes back to (0, 0).
    m_aim->SetTargetPoint(Vector(), false);
    Steps(80, 0.1f);
    const Vector back = m_aim->GetRotationVector();
    EXPECT_NEAR(std::fmod(back.y + 180.0f, 360.0f) - 180.0f, 0.0f, 1e-2f);
    EXPECT_NEAR(back.x, 0.0f, 1e-2f);

    // Frozen, nothing moves; no time passing moves nothing either.
    m_aim->SetRotationVector(Vector(20.0f, 40.0f, 0.0f, 0.0f), true);
    Steps(5, 0.1f);
    EXPECT_FLOAT_EQ(m_aim->GetRotationVector().y, 40.0f);
    m_aim->SetRotationVector(Vector(20.0f, 40.0f, 0.0f, 0.0f), false);
    Step(0.0f);
    EXPECT_FLOAT_EQ(m_aim->GetRotationVector().y, 40.0f);
}

TEST_F(ProceduralTargetingAnimationTest, TurningCallbacksWaitATenthOfASecondEachWay)
{
    Entity* listener = gEntityManager.CreateEntity(m_template, nullptr, Matrix::ONE, 0, nullptr);
    RecordingDelegate delegate;
    listener->SetGameplayDelegate(&delegate, false);
    m_aim->SetRotationCallbackListener(listener);
    m_aim->SetRotationCallbackSpeed(50.0f, 40.0f);

    // 10 degrees away: 60 degrees a second for one twentieth, then below the start speed.
    m_aim->SetTargetPoint(Toward(10.0f, 0.0f), true);
    Steps(10, 0.05f);
    EXPECT_EQ(delegate.calls, "") << "a turn shorter than 0.1 s is not told";
    EXPECT_EQ(m_aim->GetCallbackState(), ProceduralTargetingAnimation::CALLBACK_STILL);

    // A long turn: told after more than 0.1 s above the start speed, and its end after more than
    // 0.1 s below the stop speed.
    m_aim->SetTargetPoint(Toward(100.0f, 0.0f), true);
    Steps(3, 0.05f);
    EXPECT_EQ(delegate.calls, "");
    Step(0.05f);
    EXPECT_EQ(delegate.calls, "start ");
    Steps(60, 0.05f);
    EXPECT_EQ(delegate.calls, "start stop ");
    // With a stop speed of 0 the turn still ends once the bone stands.
    m_aim->SetRotationCallbackSpeed(50.0f, 0.0f);
    m_aim->SetTargetPoint(Toward(0.0f, 0.0f), true);
    Steps(200, 0.05f);
    EXPECT_EQ(delegate.calls, "start stop start stop ");
    listener->SetGameplayDelegate(nullptr, false);
}

TEST_F(ProceduralTargetingAnimationTest, ADeadTargetEntityClearsBothTargets)
{
    // Held by another entity: the aim follows the target's world position, not its local one.
    Entity* holder = gEntityManager.CreateEntity(m_template, nullptr, Matrix::ONE, 0, nullptr);
    holder->SetGlobalPosition(Vector(0.0f, 0.0f, -10.0f, 1.0f));
    Entity* target = gEntityManager.CreateEntity(m_template, holder, Matrix::ONE, 0, nullptr);
    target->SetGlobalPosition(Toward(40.0f, 0.0f));
    m_aim->SetTargetEntity(target);
    EXPECT_TRUE(m_aim->HasTargetEntity());
    Steps(30, 0.1f);
    Vector point;
    ASSERT_TRUE(m_aim->GetTargetPoint(point));
    EXPECT_NEAR(point.x, Toward(40.0f, 0.0f).x, 1e-4f);
    EXPECT_NEAR(m_aim->GetRotationVector().y, 40.0f, 1e-2f);

    target->Destroy();
    Step(0.1f);
    EXPECT_FALSE(m_aim->HasTargetEntity());
    EXPECT_FALSE(m_aim->HasTargetPoint());
    EXPECT_FALSE(m_aim->GetTargetPoint(point));
    EXPECT_LT(m_aim->GetRotationVector().y, 40.0f) << "on its way back to 0";
}

TEST_F(ProceduralTargetingAnimationTest, TheStabilizerKeepsTheBoneOnItsPointWhileTheOwnerTurns)
{
    // Off by default: a quarter turn of the owner carries the bone away and it turns back at 90
    // degrees a second; on, the bone stays on the point it aimed at, 20 degrees up.
    m_aim->SetTargetPoint(Toward(0.0f, 20.0f), true);
    for (const float turned : {9.0f, 90.0f})
    {
        SCOPED_TRACE(turned);
        m_root = Matrix::ONE;
        Steps(50, 0.1f);
        m_root.LoadYRotation(90.0f);
        Step(0.1f);
        const float yaw = m_aim->GetRotationVector().y;
        EXPECT_NEAR(std::min(yaw, 360.0f - yaw), turned, 1e-2f);
        EXPECT_NEAR(m_aim->GetRotationVector().x, 340.0f, 1e-2f);
        m_aim->EnableStabilizer(true);
    }
    // Switched off and on again between two frames, it has forgotten its point.
    m_root = Matrix::ONE;
    Steps(50, 0.1f);
    m_root.LoadYRotation(90.0f);
    m_aim->EnableStabilizer(false);
    m_aim->EnableStabilizer(true);
    Step(0.1f);
    const float yaw = m_aim->GetRotationVector().y;
    EXPECT_NEAR(std::min(yaw, 360.0f - yaw), 9.0f, 1e-2f);
}
