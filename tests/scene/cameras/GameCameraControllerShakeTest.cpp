// Shakes: refusal while one runs, the full-strength flag against the half-sine swell, the turn they
// add, the pads they vibrate (silenced once while the second game timer is held), and no drift
// when no sub-controller sets the rotation each frame.
#include "engine/config/GameConfig.h"
#include "engine/config/ProjectConfig.h"
#include "engine/input/InputManager.h"
#include "platform/input/InputHardware.h"
#include "scene/cameras/CameraTestSupport.h"
#include "scene/cameras/GameCameraController.h"
#include "scene/cameras/NXBaseCameraSubcontroller.h"

#include <numbers>

namespace
{
constexpr float kPi = std::numbers::pi_v<float>;

class GameCameraControllerShakeTest : public CameraTest
{
protected:
    void SetUp() override
    {
        CameraTest::SetUp();
        input::ResetInputHardware();
        gProjectConfig.m_enableController = true;
        gProjectConfig.m_enableControllerVibrations = true;
        gGameConfig.m_xControllerVibrations = true;
        input::PlugXInputPad(0);
        ASSERT_TRUE(Input().InitDirectInput());
        ASSERT_TRUE(Input().InitDevices(&m_window));
        m_controller = std::make_unique<GameCameraController>(1280, 720);
    }
    void TearDown() override
    {
        m_controller.reset();
        Input().Shutdown();
        gProjectConfig.m_enableController = false;
        input::ResetInputHardware();
        CameraTest::TearDown();
    }
    static InputManager& Input() { return gGame.GetInputManager(); }
    uint16_t LeftMotor()
    {
        uint16_t left = 0, right = 0;
        input::GetXInputVibration(0, left, right);
        return left;
    }
    NXBaseCameraSubcontroller* Current()
    {
        NXBaseCameraSubcontroller* sub = m_controller->AddNewSubcontroller(GameCameraController::SUBCONTROLLER_BASE);
        sub->SetRotation(0.0f, 0.0f, 30.0f);
        m_controller->SetCurrentSubcontroller(sub, 0.0f, 0);
        return sub;
    }

    int m_window = 0;
    std::unique_ptr<GameCameraController> m_controller;
};

TEST_F(GameCameraControllerShakeTest, ASecondShakeIsRefusedWhileOneRuns)
{
    EXPECT_FALSE(m_controller->StartCameraShakeEffect(0.0f, 1, 1, 1, 1, 1, 0)) << "no duration";
    EXPECT_TRUE(m_controller->StartCameraShakeEffect(1.0f, 1, 1, 1, 1, 1, 0));
    EXPECT_TRUE(m_controller->IsShaking());
    EXPECT_FALSE(m_controller->StartCameraShakeEffect(2.0f, 5, 5, 5, 5, 5, 0));
    Frame(0.5f);
    m_controller->Update();
    EXPECT_TRUE(m_controller->IsShaking());
    Frame(0.5f);
    m_controller->Update();
    EXPECT_TRUE(m_controller->IsShaking()) << "at its duration exactly it still runs";
    Frame(0.1f);
    m_controller->Update();
    EXPECT_FALSE(m_controller->IsShaking()) << "ended once past its duration";
    EXPECT_FLOAT_EQ(m_controller->GetShakeOutputX(), 0.0f);
    EXPECT_TRUE(m_controller->StartCameraShakeEffect(1.0f, 1, 1, 1, 1, 1, 0));
    m_controller->ResetCameraShakeEffect();
    EXPECT_FALSE(m_controller->IsShaking());
    EXPECT_TRUE(m_controller->StartCameraShakeEffect(1.0f, 1, 1, 1, 1, 1, 0));
}

TEST_F(GameCameraControllerShakeTest, FlagEightKeepsFullStrengthOtherwiseAHalfSineSwell)
{
    Current();
    // Frequencies of 1 Hz: at 0.25 s both sines are at their peak.
    ASSERT_TRUE(m_controller->StartCameraShakeEffect(2.0f, 3.0f, 4.0f, 1.0f, 1.0f, 0.5f, 8));
    Frame(0.25f);
    m_controller->Update();
    EXPECT_NEAR(m_controller->GetShakeOutputX(), 3.0f, 1e-4f);
    EXPECT_NEAR(m_controller->GetShakeOutputY(), 4.0f, 1e-4f);
    EXPECT_NEAR(m_controller->GetShakeOutputThird(), 1.0f, 1e-4f);
    Frame(1.5f); // 1.75 s: the sine's trough, still at full strength near the end
    m_controller->Update();
    EXPECT_NEAR(m_controller->GetShakeOutputX(), -3.0f, 1e-3f);

    m_controller->ResetCameraShakeEffect();
    ASSERT_TRUE(m_controller->StartCameraShakeEffect(2.0f, 3.0f, 4.0f, 1.0f, 1.0f, 0.5f, 0));
    Frame(0.25f);
    m_controller->Update();
    const float swell = std::sin(0.25f / 2.0f * kPi);
    EXPECT_NEAR(m_controller->GetShakeOutputX(), 3.0f * swell, 1e-4f);
    EXPECT_NEAR(m_controller->GetShakeOutputY(), 4.0f * swell, 1e-4f);
    EXPECT_NEAR(m_controller->GetShakeOutputThird(), 2.0f * swell * 0.5f, 1e-4f);
    Frame(1.5f);
    m_controller->Update();
    EXPECT_NEAR(m_controller->GetShakeOutputX(), -3.0f * std::sin(1.75f / 2.0f * kPi), 1e-3f) << "fading";
}

TEST_F(GameCameraControllerShakeTest, TheShakeTurnsTheSubcontrollersRotationByItsScale)
{
    NXBaseCameraSubcontroller* sub = Current();
    sub->SetShakeScale(2.0f);
    m_controller->SetCurrentSubcontroller(sub, 0.0f, 0);
    ASSERT_TRUE(m_controller->StartCameraShakeEffect(1.0f, 3.0f, 4.0f, 1.0f, 1.0f, 0.0f, 8));
    Frame(0.25f);
    m_controller->Update();
    Quaternion expected = sub->GetRotation(), turnY, turnX;
    turnY.LoadYRotation(4.0f * 2.0f);
    turnX.LoadXRotation(3.0f * 2.0f);
    expected.Mul(turnY);
    expected.Mul(turnX);
    ExpectSameRotation(m_controller->GetCurrentRotation(), expected);
    ExpectSameRotation(m_controller->GetCameraRotation(), expected);
}

TEST_F(GameCameraControllerShakeTest, PadsFollowTheShakeAndFallSilentOnceWhileTheSecondTimerIsHeld)
{
    Current();
    ASSERT_TRUE(m_controller->StartCameraShakeEffect(2.0f, 0.5f, 0.25f, 1.0f, 1.0f, 0.0f, 8));
    Frame(0.25f);
    m_controller->Update();
    uint16_t left = 0, right = 0;
    input::GetXInputVibration(0, left, right);
    EXPECT_EQ(left, 65535) << "|0.5| doubled and clamped";
    EXPECT_EQ(right, 32767);

    m_second.Pause(true);
    Frame(0.5f);
    m_controller->Update();
    EXPECT_EQ(LeftMotor(), 0) << "held: the pads get (0, 0)";
    // Once only: a vibration sent meanwhile by someone else stays.
    Input().VibrateXController(0.3f, 0.3f, INPUT_ANY_PAD);
    Frame(0.25f);
    m_controller->Update();
    EXPECT_NE(LeftMotor(), 0);

    m_second.Pause(false);
    Frame(0.25f);
    m_controller->Update();
    EXPECT_EQ(LeftMotor(), 65535) << "running again: the shake reaches the pads";
    Frame(2.0f);
    m_controller->Update();
    EXPECT_FALSE(m_controller->IsShaking());
    EXPECT_EQ(LeftMotor(), 0) << "the end stops the motors";

    ASSERT_TRUE(m_controller->StartCameraShakeEffect(2.0f, 0.5f, 0.5f, 1.0f, 1.0f, 0.0f, 8));
    Frame(0.25f);
    m_controller->Update();
    EXPECT_NE(LeftMotor(), 0);
    m_controller->ResetCameraShakeEffect();
    EXPECT_EQ(LeftMotor(), 0) << "a reset stops every pad";
}

TEST_F(GameCameraControllerShakeTest, WithoutASubcontrollerTheShakeDoesNotDrift)
{
    // The last sub-controller gone, its state stays (shake scale 1): each step turns the rotation
    // from where it was, not from the last shaken one, and the end leaves it where it started.
    Current();
    m_controller->Update();
    m_controller->DeleteAllSubcontrollers();
    ASSERT_FLOAT_EQ(m_controller->GetCurrentShakeScale(), 1.0f);
    const Quaternion start = m_controller->GetCurrentRotation();
    ASSERT_TRUE(m_controller->StartCameraShakeEffect(1.0f, 3.0f, 4.0f, 1.0f, 1.0f, 0.0f, 8));
    Frame(0.25f);
    m_controller->Update();
    const Quaternion first = m_controller->GetCurrentRotation();
    const float dot = first.x * start.x + first.y * start.y + first.z * start.z + first.w * start.w;
    ASSERT_LT(std::fabs(dot), 0.9999f) << "the shake turns the view";
    EXPECT_FALSE(m_controller->StartCameraShakeEffect(1.0f, 9.0f, 9.0f, 2.0f, 2.0f, 0.0f, 8)) << "refused";
    Frame(1.0f); // 1.25 s: one whole period later, the same shake value
    m_controller->Update();
    EXPECT_FALSE(m_controller->IsShaking());
    ExpectSameRotation(m_controller->GetCurrentRotation(), start);
    ExpectSameRotation(m_controller->GetCameraRotation(), start);

    ASSERT_TRUE(m_controller->StartCameraShakeEffect(2.0f, 3.0f, 4.0f, 1.0f, 1.0f, 0.0f, 8));
    for (int i = 0; i < 4; ++i)
    {
        Frame(0.25f);
        m_controller->Update();
    }
    Frame(0.25f); // 1.25 s: the same phase as the first frame
    m_controller->Update();
    ExpectSameRotation(m_controller->GetCurrentRotation(), first);
}
} // namespace
