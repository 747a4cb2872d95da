// The strategy sub-controller's drives: free coasting, steering with braking, exponential approach,
// timed interpolation, bounded acceleration, the speed limit, the pause and the time multiplier.
#include "scene/cameras/CameraTestSupport.h"
#include "scene/cameras/NXRTSCameraSubcontroller.h"

#include <numbers>

namespace
{
constexpr float kSubcontrollerPi = std::numbers::pi_v<float>;
constexpr float kFrame = 1.0f / 60.0f;

class NXRTSCameraSubcontrollerTest : public CameraTest
{
protected:
    void Step(float seconds = kFrame)
    {
        Frame(seconds);
        m_sub.Update();
    }
    // Accelerates along +x for `frames` frames from the origin.
    void PushAlongX(int frames, float acceleration)
    {
        for (int i = 0; i < frames; ++i)
        {
            Frame(kFrame);
            m_sub.ApplyAcceleration(Vector(acceleration, 0.0f, 0.0f, 0.0f), nullptr);
        }
    }

    NXRTSCameraSubcontroller m_sub;
};

TEST_F(NXRTSCameraSubcontrollerTest, ApproachMovesAFixedShareOfTheRemainingWay)
{
    m_sub.SetPosition(Vector(0.0f, 0.0f, 0.0f, 1.0f));
    m_sub.StartApproach(Vector(100.0f, 0.0f, -50.0f, 1.0f), 1.0f);
    EXPECT_EQ(m_sub.GetDriveMode(), NXRTSCameraSubcontroller::DRIVE_APPROACH);
    Step();
    const float k = 1.0f - std::pow(0.98f, kFrame);
    EXPECT_NEAR(k, 0.000337f, 0.000001f) << "about 0.034 % a frame";
    ExpectNear(m_sub.GetPosition(), Vector(100.0f * k, 0.0f, -50.0f * k, 1.0f), 1e-5f);
    m_sub.StartApproach(Vector(100.0f, 0.0f, -50.0f, 1.0f), 60.0f);
    Step(1.0f);
    const float k60 = 1.0f - std::pow(0.98f, 60.0f);
    EXPECT_NEAR(m_sub.GetPosition().x, 100.0f * k + (100.0f - 100.0f * k) * k60, 1e-3f);
}

TEST_F(NXRTSCameraSubcontrollerTest, GoToPositionNeedsTheMinimumDistanceAndADirectionAhead)
{
    m_sub.SetPosition(Vector(0.0f, 0.0f, 0.0f, 1.0f));
    m_sub.StartApproach(Vector(50.0f, 0.0f, 0.0f, 1.0f), 1.0f);
    m_sub.GoToPosition(Vector(0.5f, 0.0f, 0.0f, 1.0f), 1.0f, nullptr);
    EXPECT_EQ(m_sub.GetDriveMode(), NXRTSCameraSubcontroller::DRIVE_FREE) << "0.5 away, minimum 1: the approach ends";
    const Vector back(-1.0f, 0.0f, 0.0f, 0.0f), ahead(1.0f, 0.0f, 0.0f, 0.0f);
    m_sub.GoToPosition(Vector(10.0f, 0.0f, 0.0f, 1.0f), 1.0f, &back);
    EXPECT_EQ(m_sub.GetDriveMode(), NXRTSCameraSubcontroller::DRIVE_FREE) << "behind the direction";
    m_sub.GoToPosition(Vector(10.0f, 0.0f, 0.0f, 1.0f), 1.0f, &ahead);
    EXPECT_EQ(m_sub.GetDriveMode(), NXRTSCameraSubcontroller::DRIVE_STEER);
    // While steering: a target that moves against the direction is ignored, one ahead is taken.
    m_sub.GoToPosition(Vector(8.0f, 0.0f, 0.0f, 1.0f), 100.0f, &ahead);
    EXPECT_FLOAT_EQ(m_sub.GetDriveTarget().x, 10.0f);
    m_sub.GoToPosition(Vector(12.0f, 0.0f, 0.0f, 1.0f), 100.0f, &ahead);
    EXPECT_FLOAT_EQ(m_sub.GetDriveTarget().x, 12.0f);
    m_sub.GoToPosition(Vector(3.0f, 0.0f, 0.0f, 1.0f), 100.0f, nullptr);
    EXPECT_FLOAT_EQ(m_sub.GetDriveTarget().x, 3.0f) << "no direction: replaced";
    m_sub.StopPositionDrive();
    EXPECT_EQ(m_sub.GetDriveMode(), NXRTSCameraSubcontroller::DRIVE_FREE);
}

TEST_F(NXRTSCameraSubcontrollerTest, SteeringEndsWhenBrakingWouldReachTheTargetThenCoastsToAStop)
{
    m_sub.SetPosition(Vector(0.0f, 0.0f, 0.0f, 1.0f));
    m_sub.SetAcceleration(40.0f);
    m_sub.SetMaxVelocity(5.0f);
    m_sub.GoToPosition(Vector(20.0f, 0.0f, 0.0f, 1.0f), 1.0f, nullptr);
    int frames = 0;
    float fastest = 0.0f;
    while (m_sub.GetDriveMode() == NXRTSCameraSubcontroller::DRIVE_STEER && frames < 2000)
    {
        Step();
        fastest = std::max(fastest, m_sub.GetVelocity().Length());
        ++frames;
    }
    ASSERT_LT(frames, 2000);
    EXPECT_LE(fastest, 5.0f + 1e-4f) << "limited by the maximum wanted";
    EXPECT_GT(fastest, 4.0f);
    EXPECT_NEAR(m_sub.GetPosition().x, 20.0f - 1.25f, 0.2f) << "5²/(2·10) short of the target";
    // When it let go, braking at the deceleration stops at or beyond the target.
    const float speed = m_sub.GetVelocity().Length();
    EXPECT_GE(m_sub.GetPosition().x + speed * speed / 20.0f, 20.0f - 0.1f);
    EXPECT_LT(m_sub.GetPosition().x, 20.0f);
    for (int i = 0; i < 120; ++i)
        Step();
    EXPECT_FLOAT_EQ(m_sub.GetVelocity().Length(), 0.0f) << "coasted to a stop";
    EXPECT_NEAR(m_sub.GetPosition().x, 20.0f, 0.2f);
    EXPECT_FLOAT_EQ(m_sub.GetPosition().w, 1.0f);
}

TEST_F(NXRTSCameraSubcontrollerTest, SteeringStopsWithinOneUnitOfTheTarget)
{
    m_sub.SetPosition(Vector(0.0f, 0.0f, 0.0f, 1.0f));
    m_sub.SetAcceleration(40.0f);
    m_sub.GoToPosition(Vector(1.5f, 0.0f, 0.0f, 1.0f), 0.0f, nullptr);
    for (int i = 0; i < 600 && m_sub.GetDriveMode() == NXRTSCameraSubcontroller::DRIVE_STEER; ++i)
        Step();
    EXPECT_EQ(m_sub.GetDriveMode(), NXRTSCameraSubcontroller::DRIVE_FREE);
    m_sub.SetPosition(Vector(0.0f, 0.0f, 0.0f, 1.0f));
    m_sub.GoToPosition(Vector(0.9f, 0.0f, 0.0f, 1.0f), 0.0f, nullptr);
    Step();
    EXPECT_EQ(m_sub.GetDriveMode(), NXRTSCameraSubcontroller::DRIVE_FREE) << "within 1.0: done at once";
    EXPECT_FLOAT_EQ(m_sub.GetPosition().x, 0.0f);
}

TEST_F(NXRTSCameraSubcontrollerTest, PushingTakesTheCameraOffItsDrive)
{
    m_sub.SetPosition(Vector(0.0f, 0.0f, 0.0f, 1.0f));
    m_sub.GoToPosition(Vector(50.0f, 0.0f, 0.0f, 1.0f), 1.0f, nullptr);
    ASSERT_EQ(m_sub.GetDriveMode(), NXRTSCameraSubcontroller::DRIVE_STEER);
    Frame(kFrame);
    m_sub.ApplyAcceleration(Vector(0.0f, 0.0f, 6.0f, 0.0f), nullptr);
    EXPECT_EQ(m_sub.GetDriveMode(), NXRTSCameraSubcontroller::DRIVE_FREE);
    EXPECT_NEAR(m_sub.GetVelocity().z, 0.1f, 1e-5f);
    m_sub.StartApproach(Vector(50.0f, 0.0f, 0.0f, 1.0f), 1.0f);
    ExpectNear(m_sub.GetVelocity(), Vector::ZERO4, 0.0f); // no speed left to coast on
}

TEST_F(NXRTSCameraSubcontrollerTest, FreeModeDeceleratesAndMoves)
{
    m_sub.SetPosition(Vector(0.0f, 0.0f, 0.0f, 1.0f));
    PushAlongX(6, 60.0f); // 0.1 s at 60: speed 1.0, the limit
    EXPECT_NEAR(m_sub.GetVelocity().x, 1.0f, 1e-4f);
    m_sub.SetDeceleration(5.0f);
    Step(0.05f);
    EXPECT_NEAR(m_sub.GetVelocity().x, 0.75f, 1e-4f) << "5 a second less";
    EXPECT_NEAR(m_sub.GetPosition().x, 0.0375f, 1e-4f);
    Step(0.2f);
    EXPECT_FLOAT_EQ(m_sub.GetVelocity().x, 0.0f) << "never below zero";
    EXPECT_NEAR(m_sub.GetPosition().x, 0.0375f, 1e-4f);
    m_sub.SetPosition(Vector(7.0f, 0.0f, 0.0f, 0.0f));
    Step();
    EXPECT_FLOAT_EQ(m_sub.GetPosition().w, 1.0f);
}

TEST_F(NXRTSCameraSubcontrollerTest, FreeModeDampsByTheBaseToThePowerOfTheStep)
{
    m_sub.SetPosition(Vector(0.0f, 0.0f, 0.0f, 1.0f));
    m_sub.SetDeceleration(0.0f);
    m_sub.SetDampingBase(0.25f);
    PushAlongX(6, 60.0f);
    Step(0.5f);
    EXPECT_NEAR(m_sub.GetVelocity().x, 0.5f, 1e-4f) << "0.25^0.5 of 1.0";
    EXPECT_NEAR(m_sub.GetPosition().x, 0.25f, 1e-4f);
}

TEST_F(NXRTSCameraSubcontrollerTest, AccelerationOutsideTheBoundsIsDroppedOnlyOutward)
{
    const BoundingBox4 bounds(Vector(-10.0f, -10.0f, -10.0f, 1.0f), Vector(10.0f, 10.0f, 10.0f, 1.0f));
    m_sub.SetPosition(Vector(12.0f, 0.0f, 0.0f, 1.0f));
    m_sub.SetMaxVelocity(100.0f);
    Frame(kFrame);
    m_sub.ApplyAcceleration(Vector(60.0f, 60.0f, 0.0f, 0.0f), &bounds);
    ExpectNear(m_sub.GetVelocity(), Vector(1.0f, 1.0f, 0.0f, 0.0f), 1e-4f); // at rest: no prediction
    m_sub.ApplyAcceleration(Vector(60.0f, 60.0f, 0.0f, 0.0f), &bounds);
    EXPECT_NEAR(m_sub.GetVelocity().x, 1.0f, 1e-4f) << "stopping point beyond max x: +x dropped";
    EXPECT_NEAR(m_sub.GetVelocity().y, 2.0f, 1e-4f) << "y is inside: kept";
    m_sub.ApplyAcceleration(Vector(-60.0f, 0.0f, 0.0f, 0.0f), &bounds);
    EXPECT_NEAR(m_sub.GetVelocity().x, 0.0f, 1e-4f) << "pushing back inside works";
    m_sub.ApplyAcceleration(Vector(60.0f, 0.0f, 0.0f, 0.0f), nullptr);
    EXPECT_NEAR(m_sub.GetVelocity().x, 1.0f, 1e-4f) << "without bounds nothing is dropped";

    // The same below the minimum, on z.
    m_sub.SetPosition(Vector(0.0f, 0.0f, -12.0f, 1.0f));
    m_sub.ApplyAcceleration(Vector(0.0f, 0.0f, -60.0f, 0.0f), &bounds);
    m_sub.ApplyAcceleration(Vector(0.0f, 0.0f, -60.0f, 0.0f), &bounds);
    EXPECT_NEAR(m_sub.GetVelocity().z, -1.0f, 1e-4f) << "below min z: -z dropped";
    m_sub.ApplyAcceleration(Vector(0.0f, 0.0f, 60.0f, 0.0f), &bounds);
    EXPECT_NEAR(m_sub.GetVelocity().z, 0.0f, 1e-4f) << "pushing back up works";
}

TEST_F(NXRTSCameraSubcontrollerTest, EqualAccelerationAndDecelerationSteerAtOneStepOfSpeed)
{
    // Each steering update brakes by deceleration·dt before it accelerates by acceleration·dt.
    m_sub.SetPosition(Vector(0.0f, 0.0f, 0.0f, 1.0f));
    m_sub.GoToPosition(Vector(100.0f, 0.0f, 0.0f, 1.0f), 1.0f, nullptr);
    for (int i = 0; i < 10; ++i)
        Step();
    EXPECT_NEAR(m_sub.GetVelocity().x, 10.0f * kFrame, 1e-4f);
}

TEST_F(NXRTSCameraSubcontrollerTest, WithoutDecelerationNothingTurnsToNaN)
{
    m_sub.SetDeceleration(0.0f);
    m_sub.SetAcceleration(60.0f);
    m_sub.SetMaxVelocity(10.0f);
    m_sub.SetPosition(Vector(0.0f, 0.0f, 0.0f, 1.0f));
    m_sub.GoToPosition(Vector(100.0f, 0.0f, 0.0f, 1.0f), 1.0f, nullptr);
    for (int i = 0; i < 5; ++i)
        Step();
    EXPECT_NEAR(m_sub.GetVelocity().x, 5.0f, 1e-4f);
    const BoundingBox4 bounds(Vector(-1.0f, -1.0f, -1.0f, 1.0f), Vector(1.0f, 1.0f, 1.0f, 1.0f));
    m_sub.ApplyAcceleration(Vector(60.0f, 0.0f, 0.0f, 0.0f), &bounds);
    EXPECT_TRUE(std::isfinite(m_sub.GetVelocity().x));
    EXPECT_TRUE(std::isfinite(m_sub.GetPosition().x));
}

TEST_F(NXRTSCameraSubcontrollerTest, ALowerLimitIsReachedByBraking)
{
    m_sub.SetPosition(Vector(0.0f, 0.0f, 0.0f, 1.0f));
    m_sub.SetMaxVelocity(2.0f);
    PushAlongX(12, 60.0f);
    ASSERT_NEAR(m_sub.GetVelocity().Length(), 2.0f, 1e-4f);
    m_sub.SetMaxVelocity(0.5f);
    EXPECT_FLOAT_EQ(m_sub.GetMaxVelocityWanted(), 0.5f);
    EXPECT_NEAR(m_sub.GetVelocityLimit(), 2.0f, 1e-4f);
    m_sub.GoToPosition(Vector(1000.0f, 0.0f, 0.0f, 1.0f), 1.0f, nullptr);
    Step(0.05f);
    EXPECT_NEAR(m_sub.GetVelocityLimit(), 1.5f, 1e-4f) << "down by deceleration·dt";
    Step(0.05f);
    EXPECT_NEAR(m_sub.GetVelocityLimit(), 1.0f, 1e-4f);
    Step(0.1f);
    EXPECT_FLOAT_EQ(m_sub.GetVelocityLimit(), 0.5f) << "not below the wanted value";
    m_sub.SetMaxVelocity(3.0f);
    EXPECT_FLOAT_EQ(m_sub.GetVelocityLimit(), 3.0f) << "a higher limit at once";
}

TEST_F(NXRTSCameraSubcontrollerTest, TimedInterpolationEasesAndEnds)
{
    m_fourth.Pause(true); // the drive runs on the default clock alone
    m_sub.SetPosition(Vector(0.0f, 0.0f, 0.0f, 1.0f));
    m_sub.GoToPositionTimeLerp(Vector(10.0f, 0.0f, 20.0f, 1.0f), 2.0f, 0);
    EXPECT_TRUE(m_sub.IsTimedDriveActive());
    Step(1.0f);
    ExpectNear(m_sub.GetPosition(), Vector(5.0f, 0.0f, 10.0f, 1.0f), 1e-4f);
    EXPECT_FLOAT_EQ(m_sub.GetTimedDriveProgress(), 0.5f);
    Step(1.5f);
    ExpectNear(m_sub.GetPosition(), Vector(10.0f, 0.0f, 20.0f, 1.0f));
    EXPECT_FLOAT_EQ(m_sub.GetTimedDriveProgress(), 1.0f);
    EXPECT_EQ(m_sub.GetDriveMode(), NXRTSCameraSubcontroller::DRIVE_FREE);

    const float easedAtHalf[] = {0.5f, std::sin(0.25f * kSubcontrollerPi), 1.0f - std::sin(0.25f * kSubcontrollerPi), 0.5f, 0.5f};
    for (uint32_t easing = 0; easing < 5; ++easing)
    {
        m_sub.SetPosition(Vector(0.0f, 0.0f, 0.0f, 1.0f));
        m_sub.GoToPositionTimeLerp(Vector(10.0f, 0.0f, 0.0f, 1.0f), 2.0f, easing);
        Step(1.0f);
        EXPECT_NEAR(m_sub.GetPosition().x, 10.0f * easedAtHalf[easing], 1e-4f) << "easing " << easing;
    }
}

TEST_F(NXRTSCameraSubcontrollerTest, ATimedDriveOfNoDurationLandsAtTheNextUpdate)
{
    m_sub.SetPosition(Vector(1.0f, 2.0f, 3.0f, 1.0f));
    m_sub.GoToPositionTimeLerp(Vector(7.0f, 8.0f, 9.0f, 1.0f), 0.0f, 0);
    EXPECT_EQ(m_sub.GetDriveMode(), NXRTSCameraSubcontroller::DRIVE_TIMED);
    EXPECT_FALSE(m_sub.IsTimedDriveActive());
    ExpectNear(m_sub.GetPosition(), Vector(1.0f, 2.0f, 3.0f, 1.0f));
    Step();
    ExpectNear(m_sub.GetPosition(), Vector(7.0f, 8.0f, 9.0f, 1.0f));
    EXPECT_EQ(m_sub.GetDriveMode(), NXRTSCameraSubcontroller::DRIVE_FREE);
}

TEST_F(NXRTSCameraSubcontrollerTest, NothingMovesWhileTheClockIsPausedButWBecomesOne)
{
    m_sub.SetPosition(Vector(0.0f, 0.0f, 0.0f, 0.0f));
    m_sub.StartApproach(Vector(100.0f, 0.0f, 0.0f, 1.0f), 60.0f);
    m_third.Pause(true);
    Step(1.0f);
    ExpectNear(m_sub.GetPosition(), Vector(0.0f, 0.0f, 0.0f, 1.0f));
    m_third.Pause(false);
    Step(1.0f);
    EXPECT_GT(m_sub.GetPosition().x, 50.0f);
    m_third.Pause(true);
    PushAlongX(1, 60.0f);
    ExpectNear(m_sub.GetVelocity(), Vector::ZERO4, 0.0f); // a push gathers no speed either
}

TEST_F(NXRTSCameraSubcontrollerTest, RealTimeKeepsItsSpeedInSlowMotionAndSurvivesAZeroMultiplier)
{
    gGame.SetTimeMultiplier(0.5f, 0.0f);
    m_sub.SetPosition(Vector(0.0f, 0.0f, 0.0f, 1.0f));
    m_sub.StartApproach(Vector(100.0f, 0.0f, 0.0f, 1.0f), 60.0f);
    Step(1.0f); // game step 0.5 s
    EXPECT_NEAR(m_sub.GetPosition().x, 100.0f * (1.0f - std::pow(0.98f, 30.0f)), 1e-3f);
    m_sub.SetRealTime(true);
    m_sub.SetPosition(Vector(0.0f, 0.0f, 0.0f, 1.0f));
    m_sub.StartApproach(Vector(100.0f, 0.0f, 0.0f, 1.0f), 60.0f);
    Step(1.0f);
    EXPECT_NEAR(m_sub.GetPosition().x, 100.0f * (1.0f - std::pow(0.98f, 60.0f)), 1e-3f) << "divided back";

    // Game time stopped by a zero multiplier: no division by zero, the real frame time instead.
    gGame.SetTimeMultiplier(0.0f, 0.0f);
    m_sub.SetPosition(Vector(0.0f, 0.0f, 0.0f, 1.0f));
    m_sub.StartApproach(Vector(100.0f, 0.0f, 0.0f, 1.0f), 60.0f);
    Step(1.0f);
    EXPECT_TRUE(std::isfinite(m_sub.GetPosition().x));
    EXPECT_NEAR(m_sub.GetPosition().x, 100.0f * (1.0f - std::pow(0.98f, 60.0f)), 1e-3f);
    m_sub.SetPosition(Vector(0.0f, 0.0f, 0.0f, 1.0f));
    Frame(kFrame);
    m_sub.ApplyAcceleration(Vector(30.0f, 0.0f, 0.0f, 0.0f), nullptr);
    EXPECT_TRUE(std::isfinite(m_sub.GetVelocity().x));
    EXPECT_NEAR(m_sub.GetVelocity().x, 0.5f, 1e-4f) << "the real frame step, 1/60 s";
    m_sub.SetRealTime(false);
    m_sub.ApplyAcceleration(Vector(30.0f, 0.0f, 0.0f, 0.0f), nullptr);
    EXPECT_NEAR(m_sub.GetVelocity().x, 0.5f, 1e-4f) << "game time stands still";
}
} // namespace
