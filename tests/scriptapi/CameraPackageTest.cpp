// The camera package from scripts: sub-controllers made, driven and switched through the game
// camera controller, each reaching the script as its own class, and the script cameras.
#include "engine/scripting/ScriptTestSupport.h"
#include "scene/SceneClassRegistration.h"
#include "scene/cameras/GameCameraController.h"
#include "scene/cameras/NXRTSTargetCameraSubcontroller.h"
#include "scene/cameras/PerspectiveCamera.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{
class CameraPackageTest : public ScriptTest
{
protected:
    void SetUp() override
    {
        ScriptTest::SetUp();
        RegisterSceneClasses();
        m_controller = std::make_unique<GameCameraController>(1280, 720);
        ASSERT_TRUE(gLua.RegisterGlobalObject(m_controller.get(), "GameCameraController", "gCamera"));
    }
    void TearDown() override
    {
        m_controller.reset();
        ScriptTest::TearDown();
    }
    std::unique_ptr<GameCameraController> m_controller;
};

TEST_F(CameraPackageTest, ScriptsMakeDriveAndSwitchSubcontrollers)
{
    Run("rts = gCamera:AddNewSubcontroller(1)\n"
        "rts:SetPosition(Vector(1, 2, 3, 1))\n"
        "rts:SetRotation(10, 0, 20)\n"
        "rts:SetFOV(45)\n"
        "rts:SetPositionOffset(Vector(0, 10, 0, 0))\n"
        "rts:SetProjectionOffset(Vector(0.5, 0, 0, 0))\n"
        "offset = rts:GetProjectionOffset().x\n"
        "rts:GoToPosition(Vector(50, 2, 3, 1), 1)\n"
        "switched = tostring(gCamera:SetCurrentSubcontroller(rts, 0, 0))\n"
        "className = rts:GetScriptClassName()\n"
        "target = gCamera:AddNewSubcontroller(2)\n"
        "target:StartTargetApproach(Vector(9, 9, 9, 1), 2)\n"
        "none = gCamera:AddNewSubcontroller(7)\n"
        "kept = tostring(gCamera:DeleteSubcontroller(rts))\n");
    EXPECT_EQ(GlobalString("className"), "NXRTSCameraSubcontroller");
    EXPECT_EQ(GlobalString("switched"), "true");
    EXPECT_EQ(GlobalString("kept"), "false") << "the current one is not deleted";
    EXPECT_EQ(GlobalString("none"), "<nil>");
    EXPECT_DOUBLE_EQ(GlobalNumber("offset"), 0.5);
    ASSERT_EQ(m_controller->GetSubcontrollerCount(), 2);
    auto* rts = dynamic_cast<NXRTSCameraSubcontroller*>(m_controller->GetSubcontroller(0));
    ASSERT_NE(rts, nullptr);
    EXPECT_EQ(m_controller->GetCurrentSubcontroller(), rts);
    EXPECT_EQ(rts->GetDriveMode(), NXRTSCameraSubcontroller::DRIVE_STEER);
    EXPECT_FLOAT_EQ(rts->GetFOV(), 45.0f);
    EXPECT_FLOAT_EQ(m_controller->GetCurrentPosition().y, 12.0f) << "position plus its offset";
    auto* target = dynamic_cast<NXRTSTargetCameraSubcontroller*>(m_controller->GetSubcontroller(1));
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->GetDriveMode(), NXRTSCameraSubcontroller::DRIVE_TARGET_APPROACH);
    Run("gone = tostring(gCamera:DeleteSubcontroller(target))");
    EXPECT_EQ(GlobalString("gone"), "true");
    EXPECT_EQ(m_controller->GetSubcontrollerCount(), 1);
}

TEST_F(CameraPackageTest, ScriptsShakeAndSetTheClipPlanesAndListener)
{
    Run("started = tostring(gCamera:StartCameraShakeEffect(1, 2, 3, 4, 5, 6, 8))\n"
        "again = tostring(gCamera:StartCameraShakeEffect(1, 2, 3, 4, 5, 6, 8))\n"
        "gCamera:SetClipPlanes(2, 300)\n"
        "gCamera:SetSoundListenerAltitude(42)\n");
    EXPECT_EQ(GlobalString("started"), "true");
    EXPECT_EQ(GlobalString("again"), "false");
    EXPECT_FLOAT_EQ(m_controller->GetZNear(), 2.0f);
    EXPECT_FLOAT_EQ(m_controller->GetZFar(), 300.0f);
    EXPECT_FLOAT_EQ(m_controller->GetSoundListenerAltitude(), 42.0f);
    Run("gCamera:ResetCameraShakeEffect()");
    EXPECT_FALSE(m_controller->IsShaking());
}

TEST_F(CameraPackageTest, ScriptCamerasTurnAndMove)
{
    Run("camera = PerspectiveCamera:new()\n"
        "camera:SetPosition(Vector(0, 0, 0, 1), 90, 0)\n"
        "camera:MoveLocal(Vector(0, 0, 2, 0))\n"
        "camera:SetYawPitch(10, 95)\n"
        "camera:RotateLocal(5, 0)\n"
        "camera:SetBackgroundColor(Vector(1, 0, 0, 1))\n"
        "gCameraObject = camera\n");
    lua_getglobal(L(), "gCameraObject");
    auto* camera = static_cast<PerspectiveCamera*>(lua_touserdata(L(), -1) != nullptr
                                                       ? *static_cast<void**>(lua_touserdata(L(), -1))
                                                       : nullptr);
    lua_pop(L(), 1);
    ASSERT_NE(camera, nullptr);
    EXPECT_NEAR(camera->GetEyePosition().x, 2.0f, 1e-5f);
    EXPECT_FLOAT_EQ(camera->GetYaw(), 15.0f);
    EXPECT_FLOAT_EQ(camera->GetPitch(), 90.0f);
    EXPECT_FLOAT_EQ(camera->GetBackgroundColor().x, 1.0f);
    Run("camera:delete()\ngCameraObject = nil");
}
} // namespace
