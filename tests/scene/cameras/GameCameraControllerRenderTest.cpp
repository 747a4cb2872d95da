// The controller in the render step: the effect value through the field-of-view command, the
// frustum it sends (and tests points against) and what the gather reads back.
#include "scene/cameras/CameraTestSupport.h"
#include "scene/cameras/GameCameraController.h"
#include "scene/cameras/NXBaseCameraSubcontroller.h"
#include "support/RendererTestBase.h"

#include <random>

namespace
{
class GameCameraControllerRenderTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        RegisterSceneClasses();
        m_clocks.Install();
        m_controller = std::make_unique<GameCameraController>(320, 240);
        m_sub = m_controller->AddNewSubcontroller(GameCameraController::SUBCONTROLLER_BASE);
        m_sub->SetPosition(Vector(100.0f, 60.0f, -40.0f, 1.0f));
        m_sub->SetRotation(35.0f, 0.0f, 20.0f);
        m_sub->SetFOV(55.0f);
        m_controller->SetCurrentSubcontroller(m_sub, 0.0f, 0);
        m_controller->SetClipPlanes(5.0f, 400.0f);
    }
    void TearDown() override
    {
        m_controller.reset();
        m_clocks.Remove();
        RendererTestBase::TearDown();
    }

    CameraClockRig m_clocks;
    std::unique_ptr<GameCameraController> m_controller;
    NXBaseCameraSubcontroller* m_sub = nullptr;
};

// Reference: the point's clip coordinates inside the volume, in double; `margin` is the distance
// in clip units to the nearest plane.
bool ReferenceInside(const Matrix& view, const Matrix& projection, const Vector& p, double& margin)
{
    const double v[4] = {p.x, p.y, p.z, 1.0};
    double eye[4] = {0, 0, 0, 0}, clip[4] = {0, 0, 0, 0};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            eye[c] += v[r] * view.At(r, c);
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            clip[c] += eye[r] * projection.At(r, c);
    const double w = clip[3];
    const double distances[6] = {clip[2], w - clip[2], w - clip[0], w + clip[0], w - clip[1], w + clip[1]};
    margin = 1e30;
    bool inside = true;
    for (double d : distances)
    {
        margin = std::min(margin, std::fabs(d));
        inside = inside && d >= 0.0;
    }
    return inside;
}

TEST_F(GameCameraControllerRenderTest, FrustumTestAgreesWithClipSpaceOverRandomPoints)
{
    m_controller->Update();
    ASSERT_TRUE(m_controller->SubmitToRenderer(true));
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> spread(-450.0f, 450.0f);
    const Vector& eye = m_sub->GetPosition();
    int inside = 0, compared = 0;
    for (int i = 0; i < 10000; ++i)
    {
        const Vector p(eye.x + spread(random), eye.y + spread(random), eye.z + spread(random), 1.0f);
        double margin = 0.0;
        const bool expected = ReferenceInside(m_controller->GetView(), m_controller->GetProjection(), p, margin);
        // Points within rounding of a plane may fall either way.
        if (margin < 1e-3)
            continue;
        ++compared;
        inside += expected;
        EXPECT_EQ(m_controller->IsPointInsideFrustum(p), expected) << p.x << " " << p.y << " " << p.z;
        // The planes read back for the gather agree too.
        bool all = true;
        for (int k = 0; k < 6; ++k)
            all = all && m_controller->GetFrustumPlanes()[k].Dot4(p) >= 0.0f;
        EXPECT_EQ(all, expected);
        if (expected)
        {
            EXPECT_TRUE(m_controller->GetFrustumBox().Inside3D(p));
        }
    }
    EXPECT_GT(compared, 9990);
    EXPECT_GT(inside, 100) << "the sample reaches inside the frustum";
}

TEST_F(GameCameraControllerRenderTest, ApplyFieldOfViewSendsTheShakeValue)
{
    m_sub->SetShakeScale(2.0f);
    m_controller->SetCurrentSubcontroller(m_sub, 0.0f, 0);
    ASSERT_TRUE(m_controller->StartCameraShakeEffect(1.0f, 0.0f, 0.0f, 1.0f, 1.0f, 3.0f, 8));
    m_clocks.Frame(0.25f);
    m_controller->Update();
    // a = sin(2π·0.25) = 1, b the same: third output (a + b)·3 = 6, sent times the shake scale.
    EXPECT_NEAR(m_controller->GetShakeOutputThird(), 6.0f, 1e-4f);
    const uint32_t written = m_renderer.GetCommandsWritten();
    m_controller->ApplyFieldOfView();
    EXPECT_EQ(m_renderer.GetCommandsWritten() - written, 1u);
    m_renderer.SubmitCommands(true);
    EXPECT_NEAR(m_renderer.GetFieldOfView(), 12.0f, 1e-3f);
    m_controller->ResetCameraShakeEffect();
    m_controller->SubmitShakeValue();
    m_renderer.SubmitCommands(true);
    EXPECT_FLOAT_EQ(m_renderer.GetFieldOfView(), 0.0f);
}

TEST_F(GameCameraControllerRenderTest, TheRenderStepSendsTheStateOfTheLastUpdate)
{
    m_controller->Update();
    m_controller->ApplyFieldOfView();
    m_controller->SetViewport(320, 240);
    ASSERT_TRUE(m_controller->ApplyToRenderer(false, 7, nullptr));
    m_renderer.SubmitCommands(true);
    ExpectNear(m_controller->GetRendererCameraMatrix().rows[3], m_sub->GetPosition(), 1e-3f);
    EXPECT_TRUE(m_renderer.GetCamera().view.Equals(m_controller->GetView()));
    m_controller->SetViewport(0, 240);
    EXPECT_FALSE(m_controller->ApplyToRenderer(false, 7, nullptr));
    EXPECT_FALSE(m_controller->SubmitToRenderer(false));
}
} // namespace
