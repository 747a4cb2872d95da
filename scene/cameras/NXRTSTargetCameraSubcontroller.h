// The strategy view's sub-controller with a look-at point: drives that move the camera and the
// point together, turn the camera towards the point or orbit around it. Main thread only.
#pragma once

#include "scene/cameras/NXRTSCameraSubcontroller.h"

// Adds drive modes 4 to 7 (target approach, timed drive with look-at, orbit, timed look-at drive).
class NXRTSTargetCameraSubcontroller : public NXRTSCameraSubcontroller
{
    RTTI_DECLARE_CLASS(NXRTSTargetCameraSubcontroller, NXRTSCameraSubcontroller)

public:
    NXRTSTargetCameraSubcontroller() = default;
    const char* GetScriptClassName() const override { return "NXRTSTargetCameraSubcontroller"; }

    // Mode 4 runs while the game clock is paused; modes 5 and 6 then only set w to 1; mode 7 and
    // the base modes do nothing more than the base class does.
    void Update() override;
    // Mode 4: the camera approaches the target and the look-at point moves by the same offset.
    void StartApproach(const Vector& target, float speed) override;
    void StartTargetApproach(const Vector& target, float speed) { StartApproach(target, speed); }

    // The values the timed and orbit drives read; callers set them and then the mode.
    void SetDriveMode(uint32_t mode) { m_driveMode = mode; }
    void SetTargetRotation(const Quaternion& rotation) { m_targetRotation = rotation; }
    void SetLookAtPoint(const Vector& point) { m_lookAt = point; }
    const Vector& GetLookAtPoint() const { return m_lookAt; }
    const Vector& GetLookAtTarget() const { return m_lookAtTarget; }
    // Starts the timed drive's clock: elapsed 0 of `seconds`.
    void SetTimedDrive(float seconds);
    float GetTimedDriveElapsed() const { return m_timedElapsed; }
    void SetOrbitDistance(float distance) { m_orbitDistance = distance; }
    // The rotation with the same yaw-pitch frame whose forward axis points at the look-at point.
    Quaternion ComputeLookAtRotation() const;

private:
    // Modes 5 and 7: the timed drive; `turn` slerps towards the target rotation first.
    void UpdateTimedDrive(float dt, bool turn);

    Quaternion m_targetRotation;
    Vector m_lookAt;
    Vector m_lookAtTarget;
    float m_timedDuration = 0.0f; // seconds
    float m_timedElapsed = 0.0f;  // seconds
    float m_orbitDistance = 0.0f;
};
