// The look-at drives of the target sub-controller and what each does while the clock is paused.
#include "scene/cameras/CameraTestSupport.h"
#include "scene/cameras/NXRTSTargetCameraSubcontroller.h"

namespace
{
class NXRTSTargetCameraSubcontrollerTest : public CameraTest
{
protected:
    void Step(float seconds)
    {
        Frame(seconds);
        m_sub.Update();
    }
    static Vector Forward(const Quaternion& q)
    {
        return Vector(2.0f * (q.x * q.z + q.w * q.y), 2.0f * (q.y * q.z - q.w * q.x), 1.0f - 2.0f * (q.x * q.x + q.y * q.y),
                      0.0f);
    }
    static Vector Right(const Quaternion& q)
    {
        return Vector(1.0f - 2.0f * (q.y * q.y + q.z * q.z), 2.0f * (q.x * q.y + q.w * q.z), 2.0f * (q.x * q.z - q.w * q.y),
                      0.0f);
    }
    // The unit direction from the position to the look-at point.
    Vector WantedForward() const
    {
        Vector d;
        d.Sub(m_sub.GetLookAtPoint(), m_sub.GetPosition());
        d.w = 0.0f;
        d.Normalize();
        return d;
    }

    NXRTSTargetCameraSubcontroller m_sub;
};

TEST_F(NXRTSTargetCameraSubcontrollerTest, TargetApproachMovesTheLookAtPointAlongAndRunsWhilePaused)
{
    m_sub.SetPosition(Vector(0.0f, 50.0f, 0.0f, 1.0f));
    m_sub.SetLookAtPoint(Vector(0.0f, 0.0f, 30.0f, 1.0f));
    Frame(1.0f / 60.0f);
    m_sub.ApplyAcceleration(Vector(6.0f, 0.0f, 0.0f, 0.0f), nullptr); // a speed the approach drops
    m_sub.StartTargetApproach(Vector(100.0f, 50.0f, 0.0f, 1.0f), 60.0f);
    EXPECT_EQ(m_sub.GetDriveMode(), NXRTSCameraSubcontroller::DRIVE_TARGET_APPROACH);
    ExpectNear(m_sub.GetLookAtTarget(), Vector(100.0f, 0.0f, 30.0f, 1.0f));
    ExpectNear(m_sub.GetVelocity(), Vector::ZERO4);
    m_third.Pause(true);
    Step(1.0f);
    const float k = 1.0f - std::pow(0.98f, 60.0f);
    EXPECT_NEAR(m_sub.GetPosition().x, 100.0f * k, 1e-3f) << "mode 4 runs while paused";
    EXPECT_NEAR(m_sub.GetLookAtPoint().x, 100.0f * k, 1e-3f);
    EXPECT_NEAR(m_sub.GetLookAtPoint().z, 30.0f, 1e-4f);
    // StartApproach is the same entry for this kind.
    m_sub.StartApproach(Vector(0.0f, 50.0f, 0.0f, 1.0f), 1.0f);
    EXPECT_EQ(m_sub.GetDriveMode(), NXRTSCameraSubcontroller::DRIVE_TARGET_APPROACH);
}

TEST_F(NXRTSTargetCameraSubcontrollerTest, TimedDriveEasesBySineAndEndsLookingAtThePoint)
{
    m_sub.SetPosition(Vector(0.0f, 10.0f, 0.0f, 1.0f));
    m_sub.SetLookAtPoint(Vector(0.0f, 0.0f, 40.0f, 1.0f));
    m_sub.StartApproach(Vector(20.0f, 10.0f, 0.0f, 1.0f), 0.0f); // sets the drive target
    m_sub.SetTimedDrive(2.0f);
    m_sub.SetDriveMode(NXRTSCameraSubcontroller::DRIVE_TARGET_TIMED);
    Step(0.5f);
    EXPECT_FLOAT_EQ(m_sub.GetTimedDriveElapsed(), 0.5f);
    EXPECT_NEAR(m_sub.GetPosition().x, 20.0f * std::sin(0.25f), 1e-4f) << "k = sin(elapsed / duration), radians";
    ExpectNear(Forward(m_sub.GetRotation()), WantedForward(), 1e-4f);
    EXPECT_NEAR(Right(m_sub.GetRotation()).y, 0.0f, 1e-5f) << "no roll";

    m_third.Pause(true);
    const Vector held = m_sub.GetPosition();
    Step(0.5f);
    EXPECT_FLOAT_EQ(m_sub.GetTimedDriveElapsed(), 0.5f) << "paused: nothing but w";
    ExpectNear(m_sub.GetPosition(), held);
    m_third.Pause(false);
    Step(2.0f);
    EXPECT_EQ(m_sub.GetDriveMode(), NXRTSCameraSubcontroller::DRIVE_FREE);
    ExpectNear(m_sub.GetPosition(), Vector(20.0f, 10.0f, 0.0f, 1.0f), 1e-4f);
    ExpectNear(Forward(m_sub.GetRotation()), WantedForward(), 1e-4f);
}

TEST_F(NXRTSTargetCameraSubcontrollerTest, OrbitTurnsTowardTheTargetRotationAroundThePoint)
{
    m_sub.SetLookAtPoint(Vector(5.0f, 0.0f, 5.0f, 1.0f));
    m_sub.SetOrbitDistance(10.0f);
    Quaternion target;
    target.LoadYRotation(90.0f);
    m_sub.SetTargetRotation(target);
    m_sub.StartApproach(Vector(5.0f, 0.0f, 5.0f, 1.0f), 60.0f); // drive speed 60
    m_sub.SetDriveMode(NXRTSCameraSubcontroller::DRIVE_TARGET_ORBIT);
    Step(1.0f);
    Quaternion expected;
    expected.Slerp(Quaternion(), target, 1.0f - std::pow(0.98f, 60.0f));
    ExpectSameRotation(m_sub.GetRotation(), expected);
    Vector eye(5.0f, 0.0f, 5.0f, 1.0f);
    eye.MulAdd(Forward(expected), -10.0f);
    ExpectNear(m_sub.GetPosition(), eye, 1e-3f);
    EXPECT_FLOAT_EQ(m_sub.GetPosition().w, 1.0f);

    m_third.Pause(true);
    const Quaternion held = m_sub.GetRotation();
    Step(1.0f);
    ExpectSameRotation(m_sub.GetRotation(), held);
}

TEST_F(NXRTSTargetCameraSubcontrollerTest, TimedLookDriveSkipsTheSlerpAndDoesNothingWhilePaused)
{
    m_sub.SetPosition(Vector(0.0f, 10.0f, 0.0f, 0.0f));
    m_sub.SetLookAtPoint(Vector(10.0f, 0.0f, 10.0f, 1.0f));
    m_sub.StartApproach(Vector(10.0f, 10.0f, 0.0f, 0.0f), 0.0f);
    Quaternion turned;
    turned.LoadXRotation(60.0f);
    m_sub.SetTargetRotation(turned);
    m_sub.SetTimedDrive(4.0f);
    m_sub.SetDriveMode(NXRTSCameraSubcontroller::DRIVE_TARGET_TIMED_LOOK);
    m_third.Pause(true);
    Step(1.0f);
    EXPECT_FLOAT_EQ(m_sub.GetPosition().w, 0.0f) << "nothing at all while paused";
    EXPECT_FLOAT_EQ(m_sub.GetTimedDriveElapsed(), 0.0f);
    m_third.Pause(false);
    Step(1.0f);
    EXPECT_NEAR(m_sub.GetPosition().x, 10.0f * std::sin(0.25f), 1e-4f);
    EXPECT_FLOAT_EQ(m_sub.GetPosition().w, 0.0f) << "w is not reset in this mode";
    ExpectNear(Forward(m_sub.GetRotation()), WantedForward(), 1e-4f);
}

TEST_F(NXRTSTargetCameraSubcontrollerTest, OnTheLookAtPointOnlyTheTimedDriveTurnsTowardTheTargetRotation)
{
    // With no direction to look along, the rotation is what the slerp left: mode 5 turns, mode 7 not.
    Quaternion turned;
    turned.LoadYRotation(90.0f);
    m_sub.SetTargetRotation(turned);
    m_sub.SetPosition(Vector(4.0f, 0.0f, 0.0f, 1.0f));
    m_sub.SetLookAtPoint(Vector(4.0f, 0.0f, 0.0f, 1.0f));
    m_sub.StartApproach(Vector(4.0f, 0.0f, 0.0f, 1.0f), 0.0f);
    m_sub.SetTimedDrive(1.0f);
    m_sub.SetDriveMode(NXRTSCameraSubcontroller::DRIVE_TARGET_TIMED_LOOK);
    Step(2.0f);
    ExpectSameRotation(m_sub.GetRotation(), Quaternion());
    m_sub.SetTimedDrive(1.0f);
    m_sub.SetDriveMode(NXRTSCameraSubcontroller::DRIVE_TARGET_TIMED);
    Step(2.0f);
    ExpectSameRotation(m_sub.GetRotation(), turned);
}

TEST_F(NXRTSTargetCameraSubcontrollerTest, LookAtRotationHasTheWantedForwardAndNoRoll)
{
    const Vector points[] = {Vector(3, -4, 12, 1), Vector(-7, 2, -1, 1), Vector(0.5f, -9, 0.2f, 1), Vector(0, 0, -5, 1)};
    for (const Vector& p : points)
    {
        m_sub.SetLookAtPoint(p);
        const Quaternion q = m_sub.ComputeLookAtRotation();
        ExpectNear(Forward(q), WantedForward(), 1e-4f);
        EXPECT_NEAR(Right(q).y, 0.0f, 1e-5f);
    }
    m_sub.SetLookAtPoint(m_sub.GetPosition());
    {
        SCOPED_TRACE("no direction: kept");
        ExpectSameRotation(m_sub.ComputeLookAtRotation(), m_sub.GetRotation());
    }
}

TEST_F(NXRTSTargetCameraSubcontrollerTest, BaseModesStillPauseAsTheBaseDoes)
{
    m_sub.SetPosition(Vector(0.0f, 0.0f, 0.0f, 0.0f));
    m_sub.GoToPositionTimeLerp(Vector(10.0f, 0.0f, 0.0f, 1.0f), 1.0f, 0);
    m_third.Pause(true);
    Step(0.5f);
    ExpectNear(m_sub.GetPosition(), Vector(0.0f, 0.0f, 0.0f, 1.0f));
}
} // namespace
