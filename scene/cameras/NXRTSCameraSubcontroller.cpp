#include "scene/cameras/NXRTSCameraSubcontroller.h"

#include "engine/EngineTimer.h"
#include "engine/Game.h"
#include "scene/cameras/CameraClocks.h"
#include "scene/cameras/CameraEasing.h"

#include <algorithm>
#include <cmath>

namespace
{
// Lengths over x, y, z at or below this count as this, so no speed divides by zero.
constexpr float kMinLength = 0.001f;

float ClampedLength(const Vector& v)
{
    return std::max(v.Length(), kMinLength);
}

float Component(const Vector& v, int axis)
{
    return (&v.x)[axis];
}
} // namespace

RTTI_DEFINE_CLASS(NXRTSCameraSubcontroller, NXBaseCameraSubcontroller)

void NXRTSCameraSubcontroller::BuildClassProperties(RTTIPropertiesBase&) {}

void NXRTSCameraSubcontroller::SetPosition(const Vector& position)
{
    m_position = position;
    m_driveMode = DRIVE_FREE;
    m_velocity = Vector::ZERO4;
}

float NXRTSCameraSubcontroller::StepSeconds(float gameStep) const
{
    if (m_realTime == 0)
        return gameStep;
    const float multiplier = gGame.GetTimeMultiplier();
    // Game time stands still at 0: the real frame time is what the division tends to.
    if (!(multiplier > 0.0f))
        return gEngineTimer.GetLastStepSeconds();
    return gameStep / multiplier;
}

bool NXRTSCameraSubcontroller::PredictStop(float speed, Vector& stop) const
{
    // No deceleration would put the stop at infinity and fill the velocity with NaN.
    if (!(m_deceleration > 0.0f))
        return false;
    const float time = speed / m_deceleration;
    stop = m_position;
    stop.MulAdd(m_velocity, time);
    stop.MulAdd(m_velocity, -m_deceleration * time * time * 0.5f / speed);
    return true;
}

void NXRTSCameraSubcontroller::Update()
{
    if (gCameraClocks.IsThirdTimerPaused())
    {
        m_position.w = 1.0f;
        return;
    }
    UpdateDrive(StepSeconds(gCameraClocks.GetFrameStep()));
}

void NXRTSCameraSubcontroller::UpdateDrive(float dt)
{
    switch (m_driveMode)
    {
    case DRIVE_APPROACH:
    {
        const float k = 1.0f - std::pow(0.98f, m_driveSpeed * dt);
        Vector moved;
        moved.Mul(m_position, 1.0f - k);
        moved.MulAdd(m_driveTarget, k);
        m_position = moved;
        break;
    }
    case DRIVE_TIMED:
        StepTimedInterpolation(gCameraClocks.GetTime(0));
        m_position = m_lerpCurrent;
        if (m_lerpActive == 0)
            m_driveMode = DRIVE_FREE;
        break;
    case DRIVE_FREE:
    {
        const float speed = ClampedLength(m_velocity);
        const float slowed = std::max(0.0f, speed - m_deceleration * dt);
        m_velocity.Mul(std::pow(m_dampingBase, dt) * slowed / speed);
        m_position.MulAdd(m_velocity, dt);
        break;
    }
    case DRIVE_STEER:
    {
        if (m_maxVelocityWanted > m_velocityLimit)
            m_velocityLimit = std::min(m_velocityLimit + m_acceleration * dt, m_maxVelocityWanted);
        else
            m_velocityLimit = std::max(m_velocityLimit - m_deceleration * dt, m_maxVelocityWanted);
        const float length = m_velocity.Length();
        Vector stop;
        if (length > kMinLength && PredictStop(length, stop))
        {
            Vector beyond, ahead;
            beyond.Sub(stop, m_driveTarget);
            ahead.Sub(m_driveTarget, m_position);
            if (beyond.Dot3(ahead) >= 0.0f)
                m_driveMode = DRIVE_FREE;
        }
        const float speed = std::max(length, kMinLength);
        m_velocity.Mul(std::max(0.0f, speed - m_deceleration * dt) / speed);
        if (m_driveMode == DRIVE_STEER)
        {
            Vector toTarget;
            toTarget.Sub(m_driveTarget, m_position);
            const float distance = toTarget.Length();
            if (distance > 1.0f)
            {
                m_velocity.MulAdd(toTarget, m_acceleration * dt / distance);
                const float newSpeed = m_velocity.Length();
                if (newSpeed > m_velocityLimit)
                    m_velocity.Mul(m_velocityLimit / newSpeed);
            }
            else
                m_driveMode = DRIVE_FREE;
        }
        m_position.MulAdd(m_velocity, dt);
        break;
    }
    default:
        break;
    }
    m_position.w = 1.0f;
}

void NXRTSCameraSubcontroller::GoToPosition(const Vector& target, float minDistance, const Vector* direction)
{
    if (m_driveMode != DRIVE_STEER)
    {
        Vector toTarget;
        toTarget.Sub(target, m_position);
        const bool farEnough = toTarget.Length() >= minDistance;
        if (farEnough && (direction == nullptr || toTarget.Dot3(*direction) > 0.0f))
        {
            m_driveMode = DRIVE_STEER;
            m_driveTarget = target;
        }
        else
            m_driveMode = DRIVE_FREE;
        return;
    }
    if (direction != nullptr)
    {
        Vector moved;
        moved.Sub(target, m_driveTarget);
        if (moved.Dot3(*direction) <= 0.0f)
            return;
    }
    m_driveTarget = target;
}

void NXRTSCameraSubcontroller::StartApproach(const Vector& target, float speed)
{
    m_driveMode = DRIVE_APPROACH;
    m_driveTarget = target;
    m_driveSpeed = speed;
    m_velocity = Vector::ZERO4;
}

void NXRTSCameraSubcontroller::GoToPositionTimeLerp(const Vector& target, float duration, uint32_t easing)
{
    m_driveMode = DRIVE_TIMED;
    m_driveTarget = target;
    m_driveSpeed = 0.0f;
    m_lerpCurrent = m_lerpFrom = m_lerpTo = m_position;
    m_lerpProgress = 0.0f;
    m_lerpStart = gCameraClocks.GetTime(0);
    if (duration > 0.0f)
    {
        m_lerpTo = target;
        m_lerpDuration = duration;
        m_lerpEasing = easing;
        m_lerpActive = 1;
    }
    else
    {
        m_lerpActive = 0;
        m_lerpCurrent = target;
    }
}

void NXRTSCameraSubcontroller::StepTimedInterpolation(uint64_t now)
{
    if (m_lerpActive == 0)
        return;
    const float t = CameraClocks::SecondsBetween(m_lerpStart, now) / m_lerpDuration;
    if (t > 1.0f)
    {
        m_lerpActive = 0;
        m_lerpCurrent = m_lerpTo;
        m_lerpProgress = 1.0f;
        return;
    }
    const float e = EaseCamera(m_lerpEasing, t, false);
    m_lerpCurrent.Mul(m_lerpFrom, 1.0f - e);
    m_lerpCurrent.MulAdd(m_lerpTo, e);
    m_lerpProgress = e;
}

void NXRTSCameraSubcontroller::ApplyAcceleration(const Vector& acceleration, const BoundingBox4* bounds)
{
    m_driveMode = DRIVE_FREE;
    Vector a = acceleration;
    const float length = m_velocity.Length();
    Vector stop;
    if (bounds != nullptr && length > 0.0001f && PredictStop(length, stop))
    {
        for (int axis = 0; axis < 3; ++axis)
        {
            const float p = Component(stop, axis), push = Component(a, axis);
            if ((p < Component(bounds->min, axis) && !(push > 0.0f)) ||
                (p > Component(bounds->max, axis) && !(push < 0.0f)))
                (&a.x)[axis] = 0.0f;
        }
    }
    m_velocity.MulAdd(a, StepSeconds(gCameraClocks.GetThirdTimerStep()));
    const float speed = ClampedLength(m_velocity);
    m_velocity.Mul(std::min(m_velocityLimit, speed) / speed);
}

void NXRTSCameraSubcontroller::SetMaxVelocity(float velocity)
{
    m_maxVelocityWanted = velocity;
    const float speed = m_velocity.Length();
    m_velocityLimit = speed >= velocity ? speed : velocity;
}
