#include "scene/cameras/NXRTSTargetCameraSubcontroller.h"

#include "scene/cameras/CameraClocks.h"

#include <algorithm>
#include <cmath>

namespace
{
void Lerp(Vector& v, const Vector& to, float k)
{
    Vector result;
    result.Mul(v, 1.0f - k);
    result.MulAdd(to, k);
    v = result;
}

float ApproachFactor(float dt, float speed)
{
    return 1.0f - std::pow(0.98f, dt * speed);
}
} // namespace

RTTI_DEFINE_CLASS(NXRTSTargetCameraSubcontroller, NXRTSCameraSubcontroller)

void NXRTSTargetCameraSubcontroller::BuildClassProperties(RTTIPropertiesBase&) {}

void NXRTSTargetCameraSubcontroller::StartApproach(const Vector& target, float speed)
{
    m_driveMode = DRIVE_TARGET_APPROACH;
    m_driveTarget = target;
    m_lookAtTarget.Sub(target, m_position);
    m_lookAtTarget.Add(m_lookAt);
    m_driveSpeed = speed;
    m_velocity = Vector::ZERO4;
}

void NXRTSTargetCameraSubcontroller::SetTimedDrive(float seconds)
{
    m_timedDuration = seconds;
    m_timedElapsed = 0.0f;
}

Quaternion NXRTSTargetCameraSubcontroller::ComputeLookAtRotation() const
{
    Vector forward;
    forward.Sub(m_lookAt, m_position);
    forward.w = 0.0f;
    if (!(forward.Length() > 0.0f))
        return m_rotation;
    forward.Normalize();
    // Pitch about X first, then yaw about Y: the right axis stays horizontal, so there is no roll.
    constexpr float kRadToDeg = 57.29577951f;
    Quaternion yaw, pitch, q;
    yaw.LoadYRotation(std::atan2(forward.x, forward.z) * kRadToDeg);
    pitch.LoadXRotation(-std::asin(std::clamp(forward.y, -1.0f, 1.0f)) * kRadToDeg);
    q.SetProduct(yaw, pitch);
    return q;
}

void NXRTSTargetCameraSubcontroller::UpdateTimedDrive(float dt, bool turn)
{
    m_timedElapsed += dt;
    float k;
    if (m_timedElapsed >= m_timedDuration)
    {
        m_driveMode = DRIVE_FREE;
        k = 1.0f;
    }
    else
        k = std::sin(m_timedElapsed / m_timedDuration);
    Lerp(m_position, m_driveTarget, k);
    if (turn)
    {
        Quaternion turned;
        turned.Slerp(m_rotation, m_targetRotation, k);
        m_rotation = turned;
    }
    m_rotation = ComputeLookAtRotation();
}

void NXRTSTargetCameraSubcontroller::Update()
{
    const bool paused = gCameraClocks.IsThirdTimerPaused();
    const float dt = StepSeconds(gCameraClocks.GetFrameStep());
    switch (m_driveMode)
    {
    case DRIVE_TARGET_APPROACH:
    {
        const float k = ApproachFactor(dt, m_driveSpeed);
        Lerp(m_position, m_driveTarget, k);
        Lerp(m_lookAt, m_lookAtTarget, k);
        break;
    }
    case DRIVE_TARGET_TIMED:
        if (!paused)
            UpdateTimedDrive(dt, true);
        m_position.w = 1.0f;
        break;
    case DRIVE_TARGET_ORBIT:
        if (!paused)
        {
            Quaternion turned;
            turned.Slerp(m_rotation, m_targetRotation, ApproachFactor(dt, m_driveSpeed));
            m_rotation = turned;
            const Quaternion& q = m_rotation;
            const Vector forward(2.0f * (q.x * q.z + q.w * q.y), 2.0f * (q.y * q.z - q.w * q.x),
                                 1.0f - 2.0f * (q.x * q.x + q.y * q.y), 0.0f);
            m_position.MulAdd(m_lookAt, forward, -m_orbitDistance);
        }
        m_position.w = 1.0f;
        break;
    case DRIVE_TARGET_TIMED_LOOK:
        if (!paused)
            UpdateTimedDrive(dt, false);
        break;
    default:
        NXRTSCameraSubcontroller::Update();
        break;
    }
}
