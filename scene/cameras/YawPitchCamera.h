// A camera turned by yaw and pitch in degrees, for tools and scripts. Main thread only.
#pragma once

#include "core/math/Quaternion.h"
#include "scene/cameras/BaseCamera.h"

// Yaw and pitch with the pitch rule; the rotation turns about world Y, or Z with a global Z up.
class YawPitchCamera : public BaseCamera
{
    RTTI_DECLARE_CLASS(YawPitchCamera, BaseCamera)

public:
    YawPitchCamera() = default;

    // Stores both angles, pitch by the pitch rule.
    void SetYawPitch(float yaw, float pitch);
    // Adds the deltas, wraps both sums with fmod 360 (keeping their sign), then the pitch rule.
    void RotateLocal(float deltaYaw, float deltaPitch);
    // Qx(-pitch)·Qy(-yaw) (Qz(-yaw) with a global Z up): world to camera orientation.
    Quaternion GetYawPitchRotation() const;
    // Its matrix, no translation.
    Matrix GetYawPitchMatrix() const;
    // The camera's z axis in world space.
    Vector GetForward() const;

    float GetYaw() const { return m_yaw; }
    float GetPitch() const { return m_pitch; }
    void SetUseGlobalZUp(bool on) { m_useGlobalZUp = on; }
    bool GetUseGlobalZUp() const { return m_useGlobalZUp; }

protected:
    // Unless the Z axis is up, a pitch not strictly inside (-90, 90) becomes 90 or -90.
    float ApplyPitchRule(float pitch) const;

    float m_yaw = 0.0f;   // degrees
    float m_pitch = 0.0f; // degrees
    bool m_useGlobalZUp = false;
};
