// The orbit camera: view distance floor, turning around the eye and focusing on a box.
#include "scene/cameras/CameraTestSupport.h"
#include "scene/cameras/TargetViewCamera.h"

#include <numbers>

namespace
{
TEST(TargetViewCameraTest, ViewPutsTheTargetAtTheViewDistanceAhead)
{
    TargetViewCamera camera;
    camera.SetViewport(0, 0, 400, 200, 0.0f, 1.0f);
    camera.SetTarget(Vector(1.0f, 2.0f, 3.0f, 1.0f));
    camera.SetViewDistance(10.0f);
    camera.SetYawPitch(90.0f, 30.0f);
    Matrix view, projection;
    camera.ComputeMatrices(view, projection);
    ExpectNear(TransformPoint(Vector(1.0f, 2.0f, 3.0f, 1.0f), view), Vector(0.0f, 0.0f, 10.0f, 1.0f));
    ExpectNear(TransformPoint(camera.GetEyePosition(), view), Vector(0.0f, 0.0f, 0.0f, 1.0f), 1e-3f);
    const float yScale = 1.0f / std::tan(30.0f * std::numbers::pi_v<float> / 180.0f);
    EXPECT_NEAR(projection.At(1, 1), yScale, 1e-4f);
    EXPECT_NEAR(projection.At(0, 0), yScale / 2.0f, 1e-4f);
    EXPECT_NEAR(projection.At(3, 2), -0.01f * 1000.0f / (1000.0f - 0.01f), 1e-6f);
}

TEST(TargetViewCameraTest, ViewDistanceNeverGoesBelowZero)
{
    TargetViewCamera camera;
    camera.AlterViewDistance(-5.0f);
    EXPECT_FLOAT_EQ(camera.GetViewDistance(), 0.0f);
    camera.AlterViewDistance(2.5f);
    EXPECT_FLOAT_EQ(camera.GetViewDistance(), 2.5f);
}

TEST(TargetViewCameraTest, RotateAroundEyeKeepsTheEyeAndMovesTheTarget)
{
    TargetViewCamera camera;
    camera.SetTarget(Vector(0.0f, 0.0f, 10.0f, 1.0f));
    camera.SetViewDistance(10.0f);
    const Vector eye = camera.GetEyePosition();
    ExpectNear(eye, Vector(0.0f, 0.0f, 0.0f, 1.0f));
    camera.RotateAroundEye(90.0f, -200.0f);
    EXPECT_FLOAT_EQ(camera.GetYaw(), 90.0f);
    EXPECT_FLOAT_EQ(camera.GetPitch(), -90.0f) << "wrapped, then the pitch rule";
    ExpectNear(camera.GetEyePosition(), eye, 1e-3f);
    {
        SCOPED_TRACE("pitch -90 looks straight up");
        ExpectNear(camera.GetTarget(), Vector(0.0f, 10.0f, 0.0f, 1.0f), 1e-3f);
    }
}

TEST(TargetViewCameraTest, FocusFitsTheTransformedBoxAndKeepsTheAngles)
{
    TargetViewCamera camera;
    camera.SetYawPitch(20.0f, 10.0f);
    camera.SetFOV(90.0f);
    Matrix placement = Matrix::ONE;
    placement.rows[3].Set(5.0f, 0.0f, 0.0f, 1.0f);
    camera.Focus(BoundingBox4(Vector(-1.0f, -1.0f, -1.0f, 1.0f), Vector(1.0f, 1.0f, 1.0f, 1.0f)), placement);
    ExpectNear(camera.GetTarget(), Vector(5.0f, 0.0f, 0.0f, 1.0f));
    EXPECT_NEAR(camera.GetViewDistance(), std::sqrt(3.0f), 1e-4f) << "r / tan(45 degrees)";
    EXPECT_FLOAT_EQ(camera.GetYaw(), 20.0f);
    EXPECT_FLOAT_EQ(camera.GetPitch(), 10.0f);
}

TEST(TargetViewCameraTest, MoveLocalMovesTheWholeOrbit)
{
    TargetViewCamera camera;
    camera.SetYawPitch(90.0f, 0.0f);
    const Vector eye = camera.GetEyePosition();
    camera.MoveLocal(Vector(0.0f, 0.0f, 3.0f, 0.0f));
    ExpectNear(camera.GetTarget(), Vector(3.0f, 0.0f, 0.0f, 1.0f));
    ExpectNear(camera.GetEyePosition(), Vector(eye.x + 3.0f, eye.y, eye.z, 1.0f));
}
} // namespace
