// The controller's sub-controller list, switching and blending with each easing on each clock, and
// the state the camera takes.
#include "core/containers/SafePointer.h"
#include "engine/NorvexEngine.h"
#include "scene/cameras/CameraTestSupport.h"
#include "scene/cameras/GameCameraController.h"
#include "scene/cameras/NXRTSTargetCameraSubcontroller.h"

#include <cmath>
#include <numbers>

namespace
{
constexpr float kControllerPi = std::numbers::pi_v<float>;

class GameCameraControllerTest : public CameraTest
{
protected:
    void SetUp() override
    {
        CameraTest::SetUp();
        m_controller = std::make_unique<GameCameraController>(1280, 720);
    }
    void TearDown() override
    {
        m_controller.reset();
        CameraTest::TearDown();
    }
    // A base sub-controller at the position with the FOV.
    NXBaseCameraSubcontroller* AddAt(const Vector& position, float fov)
    {
        NXBaseCameraSubcontroller* sub = m_controller->AddNewSubcontroller(GameCameraController::SUBCONTROLLER_BASE);
        sub->SetPosition(position);
        sub->SetFOV(fov);
        return sub;
    }

    std::unique_ptr<GameCameraController> m_controller;
};

Quaternion gCallbackRotation;
int gCallbackCount = 0;
void RecordRotation(const Quaternion& rotation)
{
    gCallbackRotation = rotation;
    ++gCallbackCount;
}

TEST_F(GameCameraControllerTest, StartsWithTheWindowViewportGreyBackgroundAndListsItself)
{
    const gpu::Viewport& viewport = m_controller->GetViewport();
    EXPECT_EQ(viewport.width, 1280u);
    EXPECT_EQ(viewport.height, 720u);
    EXPECT_FLOAT_EQ(viewport.minZ, 0.0f);
    EXPECT_FLOAT_EQ(viewport.maxZ, 1.0f);
    ExpectNear(m_controller->GetBackgroundColor(), Vector(70.0f / 255.0f, 70.0f / 255.0f, 70.0f / 255.0f, 1.0f));
    EXPECT_FLOAT_EQ(m_controller->GetSoundListenerAltitude(), 100.0f);
    EXPECT_FLOAT_EQ(m_controller->GetCameraListenerAltitude(), 100.0f);
    EXPECT_FLOAT_EQ(m_controller->GetCurrentFOV(), 30.0f);
    EXPECT_FALSE(m_controller->IsShaking());
    EXPECT_FALSE(m_controller->IsBlending());
    const int32_t listed = gNorvexEngine.GetCameraControllerCount();
    {
        GameCameraController second(640, 480);
        EXPECT_EQ(gNorvexEngine.GetCameraControllerCount(), listed + 1);
    }
    EXPECT_EQ(gNorvexEngine.GetCameraControllerCount(), listed);
    m_controller->SetViewport(800, 600);
    EXPECT_EQ(m_controller->GetViewport().width, 800u);
    EXPECT_EQ(m_controller->GetViewport().height, 600u);
    m_controller->SetSoundListenerAltitude(55.0f);
    EXPECT_FLOAT_EQ(m_controller->GetCameraListenerAltitude(), 55.0f);
    m_controller->SetClipPlanes(1.0f, 500.0f);
    EXPECT_FLOAT_EQ(m_controller->GetZNear(), 1.0f);
    EXPECT_FLOAT_EQ(m_controller->GetZFar(), 500.0f);
}

TEST_F(GameCameraControllerTest, AddsEachKindAndRefusesUnknownOnes)
{
    EXPECT_STREQ(m_controller->AddNewSubcontroller(0)->GetScriptClassName(), "NXBaseCameraSubcontroller");
    EXPECT_NE(dynamic_cast<NXRTSCameraSubcontroller*>(m_controller->AddNewSubcontroller(1)), nullptr);
    EXPECT_NE(dynamic_cast<NXRTSTargetCameraSubcontroller*>(m_controller->AddNewSubcontroller(2)), nullptr);
    EXPECT_EQ(m_controller->AddNewSubcontroller(3), nullptr);
    EXPECT_EQ(m_controller->GetSubcontrollerCount(), 3);
}

TEST_F(GameCameraControllerTest, DeleteRefusesNullTheCurrentAndStrangersAndKeepsTheOrder)
{
    NXBaseCameraSubcontroller* a = AddAt(Vector::ZERO4, 50.0f);
    NXBaseCameraSubcontroller* b = AddAt(Vector::ZERO4, 50.0f);
    NXBaseCameraSubcontroller* c = AddAt(Vector::ZERO4, 50.0f);
    SafePointer<NXBaseCameraSubcontroller> watchB(b);
    ASSERT_TRUE(m_controller->SetCurrentSubcontroller(a, 0.0f, 0));
    EXPECT_FALSE(m_controller->DeleteSubcontroller(nullptr));
    EXPECT_FALSE(m_controller->DeleteSubcontroller(a));
    EXPECT_EQ(m_controller->GetCurrentSubcontroller(), a);
    NXBaseCameraSubcontroller stranger;
    EXPECT_FALSE(m_controller->DeleteSubcontroller(&stranger));
    EXPECT_TRUE(m_controller->DeleteSubcontroller(b));
    EXPECT_EQ(watchB.Get(), nullptr) << "deleted";
    ASSERT_EQ(m_controller->GetSubcontrollerCount(), 2);
    EXPECT_EQ(m_controller->GetSubcontroller(0), a);
    EXPECT_EQ(m_controller->GetSubcontroller(1), c);
    EXPECT_FALSE(m_controller->DeleteSubcontroller(b)) << "no longer listed";
}

TEST_F(GameCameraControllerTest, DestructionAndDeleteAllFreeEverySubcontroller)
{
    SafePointer<NXBaseCameraSubcontroller> first(AddAt(Vector::ZERO4, 50.0f));
    SafePointer<NXBaseCameraSubcontroller> second(AddAt(Vector::ZERO4, 50.0f));
    m_controller->SetCurrentSubcontroller(first.Get(), 0.0f, 0);
    m_controller->DeleteAllSubcontrollers();
    EXPECT_EQ(first.Get(), nullptr);
    EXPECT_EQ(second.Get(), nullptr);
    EXPECT_EQ(m_controller->GetCurrentSubcontroller(), nullptr);
    EXPECT_EQ(m_controller->GetSubcontrollerCount(), 0);
    SafePointer<NXBaseCameraSubcontroller> third(AddAt(Vector::ZERO4, 50.0f));
    m_controller.reset();
    EXPECT_EQ(third.Get(), nullptr);
}

TEST_F(GameCameraControllerTest, ShortBlendsAndTheFirstChoiceSwitchAtOnce)
{
    NXBaseCameraSubcontroller* a = AddAt(Vector(10.0f, 0.0f, 0.0f, 1.0f), 40.0f);
    a->SetPositionOffset(Vector(0.0f, 5.0f, 0.0f, 0.0f));
    a->SetProjectionOffset(Vector(0.1f, 0.2f, 0.0f, 0.0f));
    a->SetShakeScale(0.5f);
    EXPECT_TRUE(m_controller->SetCurrentSubcontroller(a, 3.0f, 0)) << "nothing current: at once";
    EXPECT_FALSE(m_controller->IsBlending());
    ExpectNear(m_controller->GetCurrentPosition(), Vector(10.0f, 5.0f, 0.0f, 1.0f));
    EXPECT_FLOAT_EQ(m_controller->GetCurrentFOV(), 40.0f);
    ExpectNear(m_controller->GetCurrentProjectionOffset(), Vector(0.1f, 0.2f, 0.0f, 0.0f));
    EXPECT_FLOAT_EQ(m_controller->GetCurrentShakeScale(), 0.5f);

    NXBaseCameraSubcontroller* b = AddAt(Vector(20.0f, 0.0f, 0.0f, 1.0f), 60.0f);
    EXPECT_TRUE(m_controller->SetCurrentSubcontroller(b, 0.0005f, 0));
    EXPECT_EQ(m_controller->GetCurrentSubcontroller(), b);
    EXPECT_FALSE(m_controller->IsBlending());
    ExpectNear(m_controller->GetCurrentPosition(), Vector(20.0f, 0.0f, 0.0f, 1.0f));

    NXBaseCameraSubcontroller stranger;
    EXPECT_TRUE(m_controller->SetCurrentSubcontroller(&stranger, 0.0f, 0));
    EXPECT_EQ(m_controller->GetCurrentSubcontroller(), b) << "not listed: nothing happens";
}

TEST_F(GameCameraControllerTest, QuadraticBlendIsAQuarterOfTheWayHalfWayThrough)
{
    NXBaseCameraSubcontroller* a = AddAt(Vector(0.0f, 0.0f, 0.0f, 1.0f), 40.0f);
    NXBaseCameraSubcontroller* b = AddAt(Vector(100.0f, 0.0f, 0.0f, 1.0f), 80.0f);
    b->SetProjectionOffset(Vector(0.4f, 0.0f, 0.0f, 0.0f));
    b->SetShakeScale(2.0f);
    a->SetShakeScale(1.0f);
    m_controller->SetCurrentSubcontroller(a, 0.0f, 0);
    m_controller->SetCurrentSubcontroller(b, 2.0f, 4);
    EXPECT_TRUE(m_controller->IsBlending());
    Frame(1.0f);
    m_controller->Update();
    ExpectNear(m_controller->GetCurrentPosition(), Vector(25.0f, 0.0f, 0.0f, 1.0f), 1e-3f);
    EXPECT_NEAR(m_controller->GetCurrentFOV(), 50.0f, 1e-3f);
    EXPECT_NEAR(m_controller->GetCurrentProjectionOffset().x, 0.1f, 1e-5f);
    EXPECT_NEAR(m_controller->GetCurrentShakeScale(), 1.25f, 1e-5f);
    EXPECT_NEAR(m_controller->GetCameraPosition().x, 25.0f, 1e-3f) << "the camera takes the state";
    EXPECT_NEAR(m_controller->GetFOV(), 50.0f, 1e-3f);
    Frame(1.0f);
    m_controller->Update();
    EXPECT_FALSE(m_controller->IsBlending()) << "ends once the duration is reached";
    ExpectNear(m_controller->GetCurrentPosition(), Vector(100.0f, 0.0f, 0.0f, 1.0f));
    b->SetPosition(Vector(120.0f, 0.0f, 0.0f, 1.0f));
    m_controller->Update();
    EXPECT_FLOAT_EQ(m_controller->GetCurrentPosition().x, 120.0f) << "then it follows every frame";
}

TEST_F(GameCameraControllerTest, EachEasingShapesTheBlend)
{
    struct Case
    {
        uint32_t flags;
        float expected; // at t = 0.25
    };
    const Case cases[] = {
        {0, 0.25f},
        {1, std::sin(0.25f * kControllerPi / 2.0f)},
        {2, 1.0f - std::sin(0.75f * kControllerPi / 2.0f)},
        {3, 0.5f * (std::sin(-0.25f * kControllerPi) + 1.0f)},
        {4, 0.0625f},
        {5, 0.25f},
        {7, 0.25f},
    };
    for (const Case& c : cases)
    {
        NXBaseCameraSubcontroller* a = AddAt(Vector(0.0f, 0.0f, 0.0f, 1.0f), 50.0f);
        // The target's w of 0 shows that the blended position keeps w = 1.
        NXBaseCameraSubcontroller* b = AddAt(Vector(0.0f, 0.0f, 100.0f, 0.0f), 50.0f);
        m_controller->SetCurrentSubcontroller(a, 0.0f, 0);
        m_controller->Update();
        m_controller->SetCurrentSubcontroller(b, 4.0f, c.flags);
        Frame(1.0f);
        m_controller->Update();
        EXPECT_NEAR(m_controller->GetCurrentPosition().z, 100.0f * c.expected, 1e-3f) << "flags " << c.flags;
        EXPECT_FLOAT_EQ(m_controller->GetCurrentPosition().w, 1.0f);
        m_controller->DeleteAllSubcontrollers();
    }
}

TEST_F(GameCameraControllerTest, TheFlagsChooseTheBlendClock)
{
    NXBaseCameraSubcontroller* a = AddAt(Vector(0.0f, 0.0f, 0.0f, 1.0f), 50.0f);
    NXBaseCameraSubcontroller* b = AddAt(Vector(0.0f, 0.0f, 100.0f, 1.0f), 50.0f);
    // Flags 16: the fourth timer; a frame that moves only the others leaves the blend where it was.
    m_controller->SetCurrentSubcontroller(a, 0.0f, 0);
    m_controller->SetCurrentSubcontroller(b, 2.0f, 16);
    m_third.Tick(1.0f);
    m_controller->Update();
    EXPECT_NEAR(m_controller->GetCurrentPosition().z, 0.0f, 1e-4f);
    m_fourth.Tick(1.0f);
    m_controller->Update();
    EXPECT_NEAR(m_controller->GetCurrentPosition().z, 50.0f, 1e-3f);

    // Flags 32: the engine timer runs on real time even while the game timers are paused.
    m_controller->SetCurrentSubcontroller(a, 0.0f, 0);
    m_controller->SetCurrentSubcontroller(b, 2.0f, 32);
    m_third.Pause(true);
    m_fourth.Pause(true);
    Frame(0.5f);
    m_controller->Update();
    EXPECT_NEAR(m_controller->GetCurrentPosition().z, 25.0f, 1e-3f);

    // Flags 48 are neither: the third timer, which is paused.
    m_controller->SetCurrentSubcontroller(a, 0.0f, 0);
    m_controller->SetCurrentSubcontroller(b, 2.0f, 48);
    Frame(0.5f);
    m_controller->Update();
    EXPECT_NEAR(m_controller->GetCurrentPosition().z, 0.0f, 1e-4f);
}

TEST_F(GameCameraControllerTest, BlendSlerpsTheRotationAndStaysPutOnTheSameChoice)
{
    NXBaseCameraSubcontroller* a = AddAt(Vector::ZERO4, 50.0f);
    NXBaseCameraSubcontroller* b = AddAt(Vector::ZERO4, 50.0f);
    b->SetRotation(0.0f, 0.0f, 90.0f);
    m_controller->SetCurrentSubcontroller(a, 0.0f, 0);
    m_controller->SetCurrentSubcontroller(b, 2.0f, 0);
    Frame(1.0f);
    m_controller->Update();
    Quaternion half;
    half.LoadYRotation(45.0f);
    ExpectSameRotation(m_controller->GetCurrentRotation(), half);
    ExpectSameRotation(m_controller->GetCameraRotation(), half);
    // Choosing the current one again with a blend time changes nothing, the blend goes on.
    m_controller->SetCurrentSubcontroller(b, 5.0f, 0);
    Frame(1.0f);
    m_controller->Update();
    EXPECT_FALSE(m_controller->IsBlending());
    ExpectSameRotation(m_controller->GetCurrentRotation(), b->GetRotation());
}

TEST_F(GameCameraControllerTest, TheCameraTakesTheOffsetAsPostProjectionAndTheCallbackTheRotation)
{
    NXBaseCameraSubcontroller* a = AddAt(Vector(1.0f, 2.0f, 3.0f, 1.0f), 45.0f);
    a->SetRotation(10.0f, 0.0f, 20.0f);
    a->SetProjectionOffset(Vector(0.3f, -0.2f, 0.0f, 0.0f));
    m_controller->SetCurrentSubcontroller(a, 0.0f, 0);
    gCallbackCount = 0;
    m_controller->SetAfterUpdateCallback(&RecordRotation);
    m_controller->Update();
    EXPECT_EQ(gCallbackCount, 1);
    ExpectSameRotation(gCallbackRotation, a->GetRotation());
    Matrix view, projection;
    m_controller->ComputeMatrices(view, projection);
    Vector ahead(0.0f, 0.0f, 50.0f, 1.0f);
    ahead.TransformHomogen(projection);
    EXPECT_NEAR(ahead.x, 0.3f, 1e-5f);
    EXPECT_NEAR(ahead.y, -0.2f, 1e-5f);
    Matrix forView, forProjection;
    m_controller->ComputeViewProjection(Vector(1.0f, 2.0f, 3.0f, 1.0f), a->GetRotation(), 45.0f, forView, forProjection);
    EXPECT_TRUE(forView.Equals(view)) << "same viewpoint, unit scale";
    m_controller->SetAfterUpdateCallback(nullptr);
    m_controller->Update();
    EXPECT_EQ(gCallbackCount, 1);
}

TEST_F(GameCameraControllerTest, SubcontrollerRotationTakesXZYAnglesAsQyQxQz)
{
    NXBaseCameraSubcontroller* a = AddAt(Vector::ZERO4, 50.0f);
    a->SetRotation(30.0f, 40.0f, 50.0f);
    Quaternion qx, qy, qz, expected;
    qx.LoadXRotation(30.0f);
    qy.LoadYRotation(50.0f);
    qz.LoadZRotation(40.0f);
    expected.SetProduct(qy, qx);
    expected.Mul(qz);
    ExpectSameRotation(a->GetRotation(), expected);
    Quaternion wrong;
    wrong.SetProduct(qz, qx);
    wrong.Mul(qy);
    const float dot = wrong.x * expected.x + wrong.y * expected.y + wrong.z * expected.z + wrong.w * expected.w;
    EXPECT_LT(std::fabs(dot), 0.999f) << "the order matters for these angles";
}

} // namespace
