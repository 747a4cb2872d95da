#include "scene/cameras/TargetViewCamera.h"

#include <algorithm>
#include <cmath>
#include <numbers>

RTTI_DEFINE_CLASS(TargetViewCamera, YawPitchCamera)

void TargetViewCamera::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = TargetViewCamera;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("Target position", &C::m_target));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("View distance", &C::m_viewDistance));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("FOV", &C::m_fov));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("zNear", &C::m_zNear));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("zFar", &C::m_zFar));
}

void TargetViewCamera::ComputeMatrices(Matrix& view, Matrix& projection)
{
    Matrix toTarget, back;
    toTarget.LoadTranslation(-m_target.x, -m_target.y, -m_target.z);
    back.LoadTranslation(0.0f, 0.0f, m_viewDistance);
    view.Mul(GetYawPitchMatrix(), toTarget);
    view.Mul(back, view);
    projection.LoadPerspectiveFovLH(m_fov, GetViewportAspect(), m_zNear, m_zFar);
}

void TargetViewCamera::AlterViewDistance(float delta)
{
    m_viewDistance = std::max(0.0f, m_viewDistance + delta);
}

Vector TargetViewCamera::GetEyePosition() const
{
    Vector eye;
    eye.MulAdd(m_target, GetForward(), -m_viewDistance);
    return eye;
}

void TargetViewCamera::RotateAroundEye(float deltaYaw, float deltaPitch)
{
    const Vector eye = GetEyePosition();
    RotateLocal(deltaYaw, deltaPitch);
    m_target.MulAdd(eye, GetForward(), m_viewDistance);
}

void TargetViewCamera::Focus(const BoundingBox4& box, const Matrix& transform)
{
    Vector centre((box.min.x + box.max.x) * 0.5f, (box.min.y + box.max.y) * 0.5f, (box.min.z + box.max.z) * 0.5f,
                  1.0f);
    centre.Transform3D(transform);
    Vector corner = box.max;
    corner.Transform3D(transform);
    m_target = centre;
    const float radius = centre.Distance(corner);
    m_viewDistance = radius / std::tan(m_fov * 0.5f * std::numbers::pi_v<float> / 180.0f);
}

void TargetViewCamera::MoveLocal(const Vector& offset)
{
    Matrix inverse;
    inverse.SetTransposedRotation(GetYawPitchMatrix());
    Vector turned = offset;
    turned.Transform(inverse);
    m_target.Add(turned);
}
