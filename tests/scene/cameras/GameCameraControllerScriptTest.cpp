// Every camera kind's view and projection for a table of settings, and the in-game controller taken
// frame by frame through a fixed script (each drive of both strategy sub-controllers, blends with
// each easing on each clock, shakes), compared whole with the stored copy.
#include "scene/cameras/CameraTestSupport.h"
#include "scene/cameras/GameCameraController.h"
#include "scene/cameras/NXRTSTargetCameraSubcontroller.h"
#include "scene/cameras/PerspectiveCamera.h"
#include "scene/cameras/TargetViewCamera.h"
#include "support/GoldenText.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <tuple>

namespace
{
// Steps of 1/1024, -0 as 0.
std::string Q(float value) { return QuantisedDecimal(value); }
std::string Q(const Vector& v) { return Q(v.x) + " " + Q(v.y) + " " + Q(v.z) + " " + Q(v.w); }
std::string Q(const Quaternion& q) { return Q(Vector(q.x, q.y, q.z, q.w)); }
std::string Q(const Matrix& m) { return Q(m.rows[0]) + " | " + Q(m.rows[1]) + " | " + Q(m.rows[2]) + " | " + Q(m.rows[3]); }

class GameCameraControllerScriptTest : public CameraTest
{
protected:
    // The matrices of the camera's send (without a renderer the send fails, the matrices stay).
    std::string Matrices(BaseCamera& camera)
    {
        camera.ApplyToRenderer(false, 0);
        return "    view " + Q(camera.GetView()) + "\n    projection " + Q(camera.GetProjection()) + "\n";
    }

    // `frames` frames of `seconds`, `each` before every update, the state after each.
    void Frames(const std::string& phase, int frames, float seconds, const std::function<void()>& each = {})
    {
        m_text += phase + "\n";
        for (int frame = 0; frame < frames; ++frame)
        {
            Frame(seconds);
            if (each)
                each();
            m_controller.Update();
            m_text += "  " + std::to_string(frame) + " at " + Q(m_controller.GetCurrentPosition()) + " turn " +
                      Q(m_controller.GetCurrentRotation()) + " fov " + Q(m_controller.GetCurrentFOV()) + " offset " +
                      Q(m_controller.GetCurrentProjectionOffset()) + " shake " + Q(m_controller.GetCurrentShakeScale()) +
                      (m_controller.IsBlending() ? " blending" : "") + " outputs " + Q(m_controller.GetShakeOutputX()) +
                      " " + Q(m_controller.GetShakeOutputY()) + " " + Q(m_controller.GetShakeOutputThird()) + " drives " +
                      std::to_string(m_rts->GetDriveMode()) + " " + std::to_string(m_target->GetDriveMode()) +
                      " speed " + Q(m_rts->GetVelocity()) + " limit " + Q(m_rts->GetVelocityLimit()) + "\n";
        }
        m_text += "  camera\n" + Matrices(m_controller) + "    inside";
        for (const Vector& point : {Vector(0, 0, 0, 1), Vector(0, 0, 30, 1), Vector(20, 0, 45, 1), Vector(-30, 0, 40, 1), Vector(5, 10, 60, 1)})
            m_text += m_controller.IsPointInsideFrustum(point) ? " yes" : " no";
        m_text += "\n";
    }

    GameCameraController m_controller{1280, 720};
    NXRTSCameraSubcontroller* m_rts = nullptr;
    NXRTSTargetCameraSubcontroller* m_target = nullptr;
    std::string m_text;
};

TEST_F(GameCameraControllerScriptTest, EveryCameraAndDriveFollowsTheScriptAsStored)
{
    // A free eye (eye, yaw, pitch, global Z up, viewport size) moved and turned in its own axes, and
    // an orbit around a target (distance, fov, far plane) turned about its eye, moved and focused.
    for (const auto& [eye, yaw, pitch, zUp, size, distance, fov, zFar] :
         {std::tuple{Vector(0, 0, 0, 1), 0.0f, 0.0f, false, 640u, 10.0f, 60.0f, 1000.0f},
          {Vector(10, -5, 20, 1), 135.0f, 30.0f, false, 1280u, 25.0f, 45.0f, 500.0f},
          {Vector(-3, 8, 1, 1), -60.0f, 95.0f, false, 100u, 3.0f, 90.0f, 50.0f},
          {Vector(4, 4, 4, 1), 400.0f, -120.0f, true, 0u, 1.0f, 30.0f, 5.0f}})
    {
        PerspectiveCamera free;
        TargetViewCamera orbit;
        for (YawPitchCamera* camera : {static_cast<YawPitchCamera*>(&free), static_cast<YawPitchCamera*>(&orbit)})
        {
            camera->SetUseGlobalZUp(zUp);
            camera->SetViewport(0, 0, size, size * 3 / 4, 0.0f, 1.0f);
        }
        free.SetPosition(eye, yaw, pitch);
        free.MoveLocal(Vector(1.0f, 2.0f, 3.0f, 0.0f));
        free.RotateLocal(250.0f, -40.0f);
        orbit.SetTarget(eye);
        orbit.SetViewDistance(distance);
        orbit.SetFOV(fov);
        orbit.SetClipPlanes(distance * 0.1f, zFar);
        orbit.SetYawPitch(yaw, pitch);
        m_text += "eye " + Q(eye) + " yaw " + Q(yaw) + " pitch " + Q(pitch) + " z up " + std::to_string(zUp) + " width " +
                  std::to_string(size) + "\n  free\n" + Matrices(free) + "    forward " + Q(free.GetForward()) +
                  " eye " + Q(free.GetEyePosition()) + "\n  orbit\n" + Matrices(orbit);
        orbit.RotateAroundEye(15.0f, 10.0f);
        orbit.MoveLocal(Vector(2.0f, 0.0f, -1.0f, 0.0f));
        orbit.AlterViewDistance(-4.0f);
        m_text += "  orbit turned about the eye, moved and nearer\n" + Matrices(orbit);
        Matrix placed;
        placed.LoadTranslation(10.0f, 0.0f, 10.0f);
        orbit.Focus(BoundingBox4(Vector(-1, 0, -2, 1), Vector(3, 4, 2, 1)), placed);
        m_text += "  orbit focused\n" + Matrices(orbit) + "    eye " + Q(orbit.GetEyePosition()) + " target " +
                  Q(orbit.GetTarget()) + " distance " + Q(orbit.GetViewDistance()) + "\n";
    }

    m_controller.SetClipPlanes(1.0f, 800.0f);
    NXBaseCameraSubcontroller* const base = m_controller.AddNewSubcontroller(GameCameraController::SUBCONTROLLER_BASE);
    m_rts = static_cast<NXRTSCameraSubcontroller*>(m_controller.AddNewSubcontroller(GameCameraController::SUBCONTROLLER_RTS));
    m_target = static_cast<NXRTSTargetCameraSubcontroller*>(
        m_controller.AddNewSubcontroller(GameCameraController::SUBCONTROLLER_RTS_TARGET));
    base->SetPosition(Vector(0.0f, 50.0f, -40.0f, 1.0f));
    base->SetRotation(35.0f, 0.0f, 10.0f);
    base->SetFOV(40.0f);
    base->SetProjectionOffset(Vector(0.1f, -0.05f, 0.0f, 0.0f));
    m_rts->SetPosition(Vector(0.0f, 30.0f, 0.0f, 1.0f));
    m_rts->SetRotation(50.0f, 0.0f, 0.0f);
    m_rts->SetPositionOffset(Vector(0.0f, 5.0f, 0.0f, 0.0f));
    m_rts->SetMaxVelocity(20.0f);
    m_rts->SetAcceleration(40.0f);
    m_rts->SetDeceleration(15.0f);
    m_rts->SetDampingBase(0.5f);
    m_rts->SetShakeScale(2.0f);
    m_controller.SetCurrentSubcontroller(base, 0.0f, 0);
    Frames("base", 2, 1.0f / 30.0f);
    m_controller.SetCurrentSubcontroller(m_rts, 0.5f, 3);
    const BoundingBox4 bounds(Vector(-20, 0, -20, 1), Vector(20, 100, 20, 1));
    Frames("blend in-out to the strategy view while pushed along x within bounds", 20, 1.0f / 30.0f,
           [&] { m_rts->ApplyAcceleration(Vector(30.0f, 0.0f, 10.0f, 0.0f), &bounds); });
    m_rts->SetMaxVelocity(5.0f);
    Frames("coasting under a lower limit", 10, 1.0f / 30.0f);
    const Vector ahead(1.0f, 0.0f, 0.0f, 0.0f);
    m_rts->GoToPosition(Vector(60.0f, 30.0f, 20.0f, 1.0f), 1.0f, &ahead);
    Frames("steered to a position", 24, 1.0f / 15.0f);
    m_rts->StartApproach(Vector(0.0f, 40.0f, 0.0f, 1.0f), 50.0f);
    Frames("approach", 6, 0.1f);
    m_rts->GoToPositionTimeLerp(Vector(-30.0f, 20.0f, 10.0f, 1.0f), 0.6f, 3);
    Frames("timed drive, eased in and out", 8, 0.1f);
    m_rts->SetRealTime(true);
    gGame.SetTimeMultiplier(2.0f, 0.0f);
    m_rts->GoToPositionTimeLerp(Vector(0.0f, 20.0f, 0.0f, 1.0f), 0.5f, 1);
    Frames("timed drive at double game speed in real time", 4, 0.1f);
    gGame.ResetTimeMultiplier();

    m_target->SetPosition(Vector(10.0f, 40.0f, -10.0f, 1.0f));
    m_target->SetLookAtPoint(Vector(0.0f, 0.0f, 20.0f, 1.0f));
    m_target->SetFOV(60.0f);
    m_target->StartTargetApproach(Vector(-10.0f, 25.0f, 0.0f, 1.0f), 40.0f);
    m_controller.SetCurrentSubcontroller(m_target, 0.3f, 2 | kCameraClockFourthTimer);
    Frames("blend eased in on the fourth timer, the target approach", 8, 0.05f);
    m_target->SetTargetRotation(Quaternion(0.0f, 0.5f, 0.0f, 0.866f));
    m_target->SetTimedDrive(1.0f);
    m_target->SetDriveMode(NXRTSCameraSubcontroller::DRIVE_TARGET_TIMED);
    Frames("timed drive turning to a rotation", 6, 0.2f);
    m_target->SetOrbitDistance(30.0f);
    m_target->SetDriveMode(NXRTSCameraSubcontroller::DRIVE_TARGET_ORBIT);
    Frames("orbit", 4, 0.1f, [&] {
        const Vector& at = m_target->GetLookAtPoint();
        m_target->SetLookAtPoint(Vector(at.x + 2.0f, 0.0f, at.z + 1.0f, 1.0f));
    });
    m_target->GoToPositionTimeLerp(Vector(5.0f, 30.0f, 5.0f, 1.0f), 0.4f, 2);
    m_target->SetTimedDrive(0.4f);
    m_target->SetDriveMode(NXRTSCameraSubcontroller::DRIVE_TARGET_TIMED_LOOK);
    Frames("timed look-at drive", 5, 0.1f);

    m_controller.StartCameraShakeEffect(0.5f, 3.0f, 2.0f, 4.0f, 7.0f, 0.5f, 0);
    Frames("a swelling shake", 6, 0.1f);
    m_controller.StartCameraShakeEffect(0.3f, 1.0f, 1.5f, 2.0f, 3.0f, 1.0f, GameCameraController::kShakeFullStrength | kCameraClockEngine);
    m_controller.SetCurrentSubcontroller(base, 0.25f, 1 | kCameraClockEngine);
    Frames("a full shake on the engine clock while blending back eased out", 6, 0.05f);
    m_controller.SetCurrentSubcontroller(m_rts, 0.2f, 4);
    Frames("a quadratic blend", 4, 0.1f);
    ExpectTextMatchesStoredCopy(m_text, "tests/scene/cameras/golden/CameraScript.txt");
}
} // namespace
