// The pitch rule, the fmod wrap and the yaw-pitch rotation's axes.
#include "scene/cameras/CameraTestSupport.h"
#include "scene/cameras/PerspectiveCamera.h"

namespace
{
TEST(YawPitchCameraTest, PitchRuleClampsUnlessTheZAxisIsUp)
{
    PerspectiveCamera camera;
    camera.SetYawPitch(10.0f, 95.0f);
    EXPECT_FLOAT_EQ(camera.GetYaw(), 10.0f);
    EXPECT_FLOAT_EQ(camera.GetPitch(), 90.0f);
    camera.SetYawPitch(10.0f, -95.0f);
    EXPECT_FLOAT_EQ(camera.GetPitch(), -90.0f);
    camera.SetYawPitch(10.0f, -90.0f);
    EXPECT_FLOAT_EQ(camera.GetPitch(), -90.0f) << "-90 is not strictly inside";
    camera.SetYawPitch(10.0f, 89.5f);
    EXPECT_FLOAT_EQ(camera.GetPitch(), 89.5f);
    camera.SetUseGlobalZUp(true);
    camera.SetYawPitch(10.0f, 95.0f);
    EXPECT_FLOAT_EQ(camera.GetPitch(), 95.0f);
}

TEST(YawPitchCameraTest, RotateLocalWrapsKeepingTheSignThenClamps)
{
    PerspectiveCamera camera;
    camera.RotateLocal(0.0f, -200.0f);
    EXPECT_FLOAT_EQ(camera.GetPitch(), -90.0f) << "fmod(-200, 360) is -200, below -90";
    camera.SetYawPitch(350.0f, 0.0f);
    camera.RotateLocal(20.0f, 30.0f);
    EXPECT_FLOAT_EQ(camera.GetYaw(), 10.0f);
    EXPECT_FLOAT_EQ(camera.GetPitch(), 30.0f);
    camera.SetYawPitch(-10.0f, 0.0f);
    camera.RotateLocal(-560.0f, 0.0f);
    EXPECT_FLOAT_EQ(camera.GetYaw(), -210.0f);
    camera.SetUseGlobalZUp(true);
    camera.SetYawPitch(0.0f, 80.0f);
    camera.RotateLocal(0.0f, 300.0f);
    EXPECT_FLOAT_EQ(camera.GetPitch(), 20.0f) << "380 wraps to 20 and is kept with a global Z up";
}

TEST(YawPitchCameraTest, YawTurnsRightAboutYAndPitchLooksDown)
{
    PerspectiveCamera camera;
    ExpectNear(camera.GetForward(), Vector(0.0f, 0.0f, 1.0f, 0.0f));
    camera.SetYawPitch(90.0f, 0.0f);
    ExpectNear(camera.GetForward(), Vector(1.0f, 0.0f, 0.0f, 0.0f));
    camera.SetYawPitch(0.0f, 90.0f);
    ExpectNear(camera.GetForward(), Vector(0.0f, -1.0f, 0.0f, 0.0f));
    // Pitch turns about the camera's own X after the yaw: looking down along the yawed direction.
    camera.SetYawPitch(90.0f, 45.0f);
    ExpectNear(camera.GetForward(), Vector(0.70710678f, -0.70710678f, 0.0f, 0.0f));
    // With a global Z up the yaw turns about Z instead.
    camera.SetUseGlobalZUp(true);
    camera.SetYawPitch(90.0f, 0.0f);
    ExpectNear(camera.GetForward(), Vector(0.0f, 0.0f, 1.0f, 0.0f));
    const Matrix m = camera.GetYawPitchMatrix();
    ExpectNear(TransformPoint(Vector(1.0f, 0.0f, 0.0f, 1.0f), m), Vector(0.0f, -1.0f, 0.0f, 1.0f));
    EXPECT_FLOAT_EQ(m.At(3, 0), 0.0f);
}

TEST(YawPitchCameraTest, ClassesAreRegisteredWithTheirProperties)
{
    RegisterSceneClasses();
    EXPECT_GE(RTTIClassRegistry::FindClassId("YawPitchCamera"), 0);
    EXPECT_EQ(RTTIClassRegistry::CreateObject("YawPitchCamera"), nullptr) << "abstract";
    RTTIPolyBaseClass* object = RTTIClassRegistry::CreateObject("PerspectiveCamera");
    ASSERT_NE(dynamic_cast<PerspectiveCamera*>(object), nullptr);
    const RTTIPropertiesBase* table = object->GetClassProperties();
    for (const char* name : {"Yaw", "Pitch", "UseGlobalZUp"})
        ASSERT_NE(table->FindPropertyInClassChain(name), nullptr) << name;
    // Each stored name writes its own field.
    EXPECT_TRUE(table->FindPropertyInClassChain("Yaw")->SetFromText(object, "30"));
    EXPECT_TRUE(table->FindPropertyInClassChain("Pitch")->SetFromText(object, "-20"));
    EXPECT_TRUE(table->FindPropertyInClassChain("UseGlobalZUp")->SetFromText(object, "1"));
    const auto* camera = static_cast<const PerspectiveCamera*>(object);
    EXPECT_FLOAT_EQ(camera->GetYaw(), 30.0f);
    EXPECT_FLOAT_EQ(camera->GetPitch(), -20.0f);
    EXPECT_TRUE(camera->GetUseGlobalZUp());
    EXPECT_NE(table->FindProperty("Eye position"), nullptr);
    delete object;
}
} // namespace
