// What a camera sends down the real render command stream and reads back, with an empty viewport
// refused, and the listener it places through a running sound engine.
#include "audio/sound/SoundEngine.h"
#include "renderer/RenderCommands.h"
#include "scene/cameras/CameraTestSupport.h"
#include "scene/cameras/GameCameraControllerCamera.h"
#include "scene/cameras/PerspectiveCamera.h"
#include "scene/cameras/TargetViewCamera.h"
#include "support/RendererTestBase.h"
#include "support/SoundTestHarness.h"

namespace
{
class BaseCameraTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        RegisterSceneClasses();
    }
    uint32_t Clears() { return m_renderer.GetDevice()->GetFrameStatistics().clears; }
};

TEST_F(BaseCameraTest, SendsViewportCameraAndClearAndReadsBack)
{
    TargetViewCamera camera;
    camera.SetViewport(10, 20, 160, 120, 0.0f, 1.0f);
    camera.SetTarget(Vector(5.0f, 0.0f, 0.0f, 1.0f));
    camera.SetViewDistance(20.0f);
    camera.SetYawPitch(30.0f, 20.0f);
    m_renderer.SubmitCommands(true);
    const uint32_t written = m_renderer.GetCommandsWritten();
    const uint32_t clears = Clears();
    ASSERT_TRUE(camera.ApplyToRenderer(false, gpu::kClearTarget, nullptr));
    EXPECT_EQ(m_renderer.GetCommandsWritten() - written, 3u) << "viewport, camera and clear";
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(Clears() - clears, 1u);

    const gpu::Viewport& viewport = m_renderer.GetViewportState().viewport;
    EXPECT_EQ(viewport.x, 10u);
    EXPECT_EQ(viewport.y, 20u);
    EXPECT_EQ(viewport.width, 160u);
    EXPECT_EQ(viewport.height, 120u);
    EXPECT_TRUE(m_renderer.GetCamera().view.Equals(camera.GetView()));
    EXPECT_TRUE(m_renderer.GetCamera().projection.Equals(camera.GetProjection()));
    EXPECT_TRUE(m_renderer.GetCamera().third.Equals(Matrix::ONE));

    // Camera to world: its last row is the eye, its third the forward axis.
    ExpectNear(camera.GetRendererCameraMatrix().rows[3], camera.GetEyePosition(), 1e-3f);
    ExpectNear(camera.GetRendererCameraMatrix().rows[2], camera.GetForward(), 1e-4f);
    // Clip to world: the centre of the near plane lies on the view axis at the near distance.
    Vector nearCentre(0.0f, 0.0f, 0.0f, 1.0f);
    nearCentre.TransformHomogen(camera.GetRendererSecondMatrix());
    Vector expected = camera.GetEyePosition();
    expected.MulAdd(camera.GetForward(), 0.01f);
    ExpectNear(nearCentre, expected, 1e-3f);
    // The frustum box holds the target; every plane faces the target.
    EXPECT_TRUE(camera.GetFrustumBox().Inside3D(camera.GetTarget()));
    for (int i = 0; i < 6; ++i)
        EXPECT_GT(camera.GetFrustumPlanes()[i].Dot4(camera.GetTarget()), 0.0f) << i;
}

TEST_F(BaseCameraTest, ClearTakesTheGivenColourOrTheBackground)
{
    PerspectiveCamera camera;
    camera.SetViewport(0, 0, 320, 240, 0.0f, 1.0f);
    camera.SetBackgroundColor(Vector(1.0f, 0.0f, 0.0f, 1.0f));
    ASSERT_TRUE(camera.ApplyToRenderer(false, gpu::kClearTarget, nullptr));
    m_renderer.SubmitCommands(true);
    const uint32_t red = m_renderer.GetDevice()->GetFrameStatistics().clears;
    EXPECT_GE(red, 1u);
    const Vector blue(0.0f, 0.0f, 1.0f, 1.0f);
    ASSERT_TRUE(camera.ApplyToRenderer(false, gpu::kClearTarget, &blue));
    ASSERT_TRUE(camera.ApplyToRenderer(false, 0, nullptr));
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetDevice()->GetFrameStatistics().clears, red + 1) << "flags 0 clear nothing";
}

TEST_F(BaseCameraTest, AnEmptyViewportSendsOnlyAFiniteCameraAndAnswersFalse)
{
    GameCameraControllerCamera camera;
    camera.SetViewport(0, 0, 0, 240, 0.0f, 1.0f);
    m_renderer.SubmitCommands(true);
    const gpu::Viewport before = m_renderer.GetViewportState().viewport;
    const uint32_t written = m_renderer.GetCommandsWritten();
    const uint32_t clears = Clears();
    EXPECT_FALSE(camera.ApplyToRenderer(true, gpu::kClearTarget | gpu::kClearDepth, nullptr));
    EXPECT_EQ(m_renderer.GetCommandsWritten() - written, 1u) << "the camera only: no viewport, no clear";
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(Clears(), clears);
    EXPECT_EQ(m_renderer.GetViewportState().viewport.width, before.width);
    EXPECT_TRUE(IsFinite(m_renderer.GetCamera().projection));
    EXPECT_TRUE(IsFinite(m_renderer.GetCamera().view));
    EXPECT_TRUE(IsFinite(camera.GetRendererSecondMatrix()));

    camera.SetViewport(0, 0, 320, 0, 0.0f, 1.0f);
    EXPECT_FALSE(camera.SubmitToRenderer(true));
    m_renderer.SubmitCommands(true);
    EXPECT_TRUE(IsFinite(m_renderer.GetCamera().projection));
    camera.SetViewport(0, 0, 320, 240, 0.0f, 1.0f);
    EXPECT_TRUE(camera.SubmitToRenderer(true));
}

TEST_F(BaseCameraTest, SubmitWithoutRecomputeSendsTheMatricesAlreadyComputed)
{
    GameCameraControllerCamera camera;
    camera.SetViewport(0, 0, 320, 240, 0.0f, 1.0f);
    ASSERT_TRUE(camera.SubmitToRenderer(true));
    const Matrix view = camera.GetView();
    camera.SetCameraPosition(Vector(50.0f, 0.0f, 0.0f, 1.0f));
    ASSERT_TRUE(camera.SubmitToRenderer(false));
    m_renderer.SubmitCommands(true);
    EXPECT_TRUE(m_renderer.GetCamera().view.Equals(view));
    ASSERT_TRUE(camera.SubmitToRenderer(true));
    m_renderer.SubmitCommands(true);
    EXPECT_FLOAT_EQ(m_renderer.GetCamera().view.At(3, 0), -50.0f);
}

TEST_F(BaseCameraTest, ApplyPlacesTheListenerOnlyWhenAsked)
{
    SoundTestHarness sound;
    ASSERT_TRUE(sound.Start());
    GameCameraControllerCamera camera;
    camera.SetViewport(0, 0, 320, 240, 0.0f, 1.0f);
    camera.SetCameraListenerAltitude(100.0f);
    Quaternion down;
    down.LoadXRotation(90.0f);
    camera.SetCameraRotation(down);
    camera.SetCameraPosition(Vector(3.0f, 40.0f, 7.0f, 1.0f));
    ASSERT_TRUE(camera.ApplyToRenderer(false, 0, nullptr));
    gSoundEngine->Flush();
    EXPECT_FLOAT_EQ(gSoundEngine->GetListenerMatrix().rows[3].y, 0.0f) << "not asked: untouched";
    ASSERT_TRUE(camera.ApplyToRenderer(true, 0, nullptr));
    gSoundEngine->Flush();
    ASSERT_LT(camera.GetRendererCameraMatrix().rows[2].y, -0.99f) << "the camera looks straight down";
    ExpectNear(gSoundEngine->GetListenerMatrix().rows[3], Vector(3.0f, 100.0f, 7.0f, 1.0f), 1e-3f);
    ExpectNear(gSoundEngine->GetListenerMatrix().rows[2], Vector(0.0f, -1.0f, 0.0f, 0.0f), 1e-4f);
}
} // namespace
