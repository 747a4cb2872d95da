#include "scene/cameras/YawPitchCamera.h"

#include <cmath>

RTTI_DEFINE_CLASS_TABLE(YawPitchCamera, BaseCamera)

void YawPitchCamera::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = YawPitchCamera;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Yaw", &C::m_yaw));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Pitch", &C::m_pitch));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("UseGlobalZUp", &C::m_useGlobalZUp));
}

float YawPitchCamera::ApplyPitchRule(float pitch) const
{
    if (m_useGlobalZUp || (pitch > -90.0f && pitch < 90.0f))
        return pitch;
    return pitch > -90.0f ? 90.0f : -90.0f;
}

void YawPitchCamera::SetYawPitch(float yaw, float pitch)
{
    m_yaw = yaw;
    m_pitch = ApplyPitchRule(pitch);
}

void YawPitchCamera::RotateLocal(float deltaYaw, float deltaPitch)
{
    m_yaw = std::fmod(m_yaw + deltaYaw, 360.0f);
    m_pitch = ApplyPitchRule(std::fmod(m_pitch + deltaPitch, 360.0f));
}

Quaternion YawPitchCamera::GetYawPitchRotation() const
{
    Quaternion pitch, yaw;
    pitch.LoadXRotation(-m_pitch);
    if (m_useGlobalZUp)
        yaw.LoadZRotation(-m_yaw);
    else
        yaw.LoadYRotation(-m_yaw);
    Quaternion q;
    q.SetProduct(pitch, yaw);
    return q;
}

Matrix YawPitchCamera::GetYawPitchMatrix() const
{
    Matrix m;
    m.LoadQuaternionAndTranslation(GetYawPitchRotation(), Vector::ZERO4);
    return m;
}

Vector YawPitchCamera::GetForward() const
{
    // World to camera is a pure rotation: its transpose takes the camera's z axis to the world.
    const Matrix m = GetYawPitchMatrix();
    return Vector(m.At(0, 2), m.At(1, 2), m.At(2, 2), 0.0f);
}
