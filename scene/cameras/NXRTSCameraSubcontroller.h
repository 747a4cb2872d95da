// The strategy view's sub-controller: a camera point moved by a velocity that scripts push
// (acceleration, deceleration, damping and a speed limit) and driven to positions by steering with
// braking, by exponential approach or by a timed eased interpolation. Main thread only.
#pragma once

#include "core/math/BoundingBox4.h"
#include "scene/cameras/NXBaseCameraSubcontroller.h"

#include <cstdint>

// Free, steered, approaching and timed drives of the camera point.
class NXRTSCameraSubcontroller : public NXBaseCameraSubcontroller
{
    RTTI_DECLARE_CLASS(NXRTSCameraSubcontroller, NXBaseCameraSubcontroller)

public:
    enum DriveMode : uint32_t
    {
        DRIVE_FREE = 0,
        DRIVE_STEER = 1,
        DRIVE_APPROACH = 2,
        DRIVE_TIMED = 3,
        DRIVE_TARGET_APPROACH = 4,
        DRIVE_TARGET_TIMED = 5,
        DRIVE_TARGET_ORBIT = 6,
        DRIVE_TARGET_TIMED_LOOK = 7,
    };

    NXRTSCameraSubcontroller() = default;
    const char* GetScriptClassName() const override { return "NXRTSCameraSubcontroller"; }

    // Position as given; the drive stops and the velocity is dropped.
    void SetPosition(const Vector& position) override;
    // While the game clock is paused nothing moves; only the position's w becomes 1.
    void Update() override;

    void StopPositionDrive() { m_driveMode = DRIVE_FREE; }
    // Steers to the target when it is at least minDistance away (and ahead along the direction,
    // when one is given); a running steer takes a new target unless it lies behind the old one.
    void GoToPosition(const Vector& target, float minDistance, const Vector* direction);
    // Exponential approach: each frame 1 - 0.98^(speed·dt) of the remaining way.
    virtual void StartApproach(const Vector& target, float speed);
    // Eased interpolation from here to the target over the duration (seconds of the third timer);
    // a duration of 0 or less puts the camera on the target at the next update.
    void GoToPositionTimeLerp(const Vector& target, float duration, uint32_t easing);
    // Free mode; adds acceleration·dt, limited to the current velocity limit. With bounds, an axis
    // whose predicted stopping point is already outside loses the acceleration that pushes further out.
    void ApplyAcceleration(const Vector& acceleration, const BoundingBox4* bounds);
    // A lower limit is reached by braking, not at once.
    void SetMaxVelocity(float velocity);

    // Tuning that scripts set: units per second squared, and the free-mode damping per second.
    void SetAcceleration(float acceleration) { m_acceleration = acceleration; }
    void SetDeceleration(float deceleration) { m_deceleration = deceleration; }
    void SetDampingBase(float base) { m_dampingBase = base; }
    // Real time: the camera keeps its speed whatever the time multiplier.
    void SetRealTime(bool on) { m_realTime = on ? 1 : 0; }
    const Vector& GetVelocity() const { return m_velocity; }
    float GetVelocityLimit() const { return m_velocityLimit; }
    float GetMaxVelocityWanted() const { return m_maxVelocityWanted; }
    uint32_t GetDriveMode() const { return m_driveMode; }
    const Vector& GetDriveTarget() const { return m_driveTarget; }
    bool IsTimedDriveActive() const { return m_lerpActive != 0; }
    float GetTimedDriveProgress() const { return m_lerpProgress; }

protected:
    // The game's frame step, or the third timer's step; divided by the time multiplier in real-time
    // mode (a multiplier of 0 takes the real frame time instead of dividing by zero).
    float StepSeconds(float gameStep) const;
    // Modes 0 to 3 with the step; the position's w ends at 1.
    void UpdateDrive(float dt);
    // Where braking from the present velocity (speed above 0) would stop; false without a
    // deceleration, when the camera never stops by itself.
    bool PredictStop(float speed, Vector& stop) const;
    void StepTimedInterpolation(uint64_t now);

    Vector m_driveTarget;
    Vector m_velocity;
    float m_acceleration = 10.0f;
    float m_deceleration = 10.0f;
    float m_dampingBase = 1.0f;
    float m_maxVelocityWanted = 1.0f;
    float m_velocityLimit = 1.0f;
    float m_driveSpeed = 1.0f;
    uint32_t m_driveMode = DRIVE_FREE;
    uint8_t m_realTime = 0;
    // Timed interpolation.
    uint32_t m_lerpActive = 0;
    Vector m_lerpCurrent;
    Vector m_lerpFrom;
    Vector m_lerpTo;
    uint64_t m_lerpStart = 0; // ticks of the third timer
    float m_lerpDuration = 0.0f;
    float m_lerpProgress = 0.0f;
    uint32_t m_lerpEasing = 0;
};
