#include "scene/cameras/PerspectiveCamera.h"

RTTI_DEFINE_CLASS(PerspectiveCamera, YawPitchCamera)

void PerspectiveCamera::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = PerspectiveCamera;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("Eye position", &C::m_eye));
}

void PerspectiveCamera::ComputeMatrices(Matrix& view, Matrix& projection)
{
    Matrix translation;
    translation.LoadTranslation(-m_eye.x, -m_eye.y, -m_eye.z);
    view.Mul(GetYawPitchMatrix(), translation);
    constexpr float kNear = 0.01f;
    projection.LoadPerspectiveLH(kNear, kNear / GetViewportAspect(), kNear, 100.0f);
}

void PerspectiveCamera::SetPosition(const Vector& eye, float yaw, float pitch)
{
    m_eye = eye;
    m_yaw = yaw;
    m_pitch = pitch;
}

void PerspectiveCamera::MoveLocal(const Vector& offset)
{
    Matrix inverse;
    inverse.SetTransposedRotation(GetYawPitchMatrix());
    Vector turned = offset;
    turned.Transform(inverse);
    m_eye.Add(turned);
}
