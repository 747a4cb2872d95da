// The free camera's matrices, its unclamped SetPosition and its moves in its own axes.
#include "scene/cameras/CameraTestSupport.h"
#include "scene/cameras/PerspectiveCamera.h"

namespace
{
TEST(PerspectiveCameraTest, ViewTakesTheEyeToTheOriginLookingAlongItsForward)
{
    PerspectiveCamera camera;
    camera.SetViewport(0, 0, 200, 100, 0.0f, 1.0f);
    camera.SetPosition(Vector(1.0f, 2.0f, 3.0f, 1.0f), 90.0f, 0.0f);
    Matrix view, projection;
    camera.ComputeMatrices(view, projection);
    ExpectNear(TransformPoint(Vector(1.0f, 2.0f, 3.0f, 1.0f), view), Vector(0.0f, 0.0f, 0.0f, 1.0f));
    ExpectNear(TransformPoint(Vector(6.0f, 2.0f, 3.0f, 1.0f), view), Vector(0.0f, 0.0f, 5.0f, 1.0f));
    // A volume 0.01 wide and 0.01 / aspect high at the near plane 0.01, far plane 100.
    EXPECT_NEAR(projection.At(0, 0), 2.0f, 1e-5f);
    EXPECT_NEAR(projection.At(1, 1), 4.0f, 1e-5f);
    EXPECT_NEAR(projection.At(2, 2), 100.0f / (100.0f - 0.01f), 1e-5f);
    EXPECT_FLOAT_EQ(projection.At(2, 3), 1.0f);
}

TEST(PerspectiveCameraTest, SetPositionKeepsThePitchAsGiven)
{
    PerspectiveCamera camera;
    camera.SetPosition(Vector(4.0f, 5.0f, 6.0f, 1.0f), 30.0f, 120.0f);
    EXPECT_FLOAT_EQ(camera.GetPitch(), 120.0f);
    EXPECT_FLOAT_EQ(camera.GetYaw(), 30.0f);
    ExpectNear(camera.GetEyePosition(), Vector(4.0f, 5.0f, 6.0f, 1.0f));
}

TEST(PerspectiveCameraTest, MoveLocalMovesAlongTheCameraAxes)
{
    PerspectiveCamera camera;
    camera.SetPosition(Vector(1.0f, 0.0f, 0.0f, 1.0f), 90.0f, 0.0f);
    camera.MoveLocal(Vector(0.0f, 0.0f, 2.0f, 0.0f));
    {
        SCOPED_TRACE("forward is +x at yaw 90");
        ExpectNear(camera.GetEyePosition(), Vector(3.0f, 0.0f, 0.0f, 1.0f));
    }
    camera.MoveLocal(Vector(1.0f, 0.0f, 0.0f, 0.0f));
    {
        SCOPED_TRACE("right is -z at yaw 90");
        ExpectNear(camera.GetEyePosition(), Vector(3.0f, 0.0f, -1.0f, 1.0f));
    }
    camera.MoveLocal(Vector(0.0f, 1.0f, 0.0f, 0.5f));
    {
        SCOPED_TRACE("the offset's w is added as given");
        ExpectNear(camera.GetEyePosition(), Vector(3.0f, 1.0f, -1.0f, 1.5f));
    }
}

TEST(PerspectiveCameraTest, AnEmptyViewportGivesFiniteMatrices)
{
    PerspectiveCamera camera;
    Matrix view, projection;
    camera.SetViewport(0, 0, 0, 100, 0.0f, 1.0f);
    camera.ComputeMatrices(view, projection);
    EXPECT_TRUE(IsFinite(projection));
    camera.SetViewport(0, 0, 100, 0, 0.0f, 1.0f);
    camera.ComputeMatrices(view, projection);
    EXPECT_TRUE(IsFinite(projection));
}
} // namespace
