#include "scene/cameras/GameCameraControllerCamera.h"

#include "audio/sound/SoundEngine.h"
#include "engine/config/ProjectConfig.h"

#include <cmath>
#include <numbers>

namespace
{
constexpr float kDegToRad = std::numbers::pi_v<float> / 180.0f;
// Forward.y above this: the camera looks level or up.
constexpr float kLookingDown = -0.05f;
// Forward.y below this: steeper than 45 degrees.
constexpr float kSteep = -0.707f;

void LoadView(const Vector& position, const Quaternion& rotation, Matrix& view)
{
    Matrix translation, turn;
    translation.LoadTranslation(-position.x, -position.y, -position.z);
    Quaternion inverse = rotation;
    inverse.Conjugate();
    turn.LoadQuaternionAndTranslation(inverse, Vector::ZERO4);
    view.Mul(turn, translation);
}

Vector Flattened(const Vector& v)
{
    Vector flat(v.x, 0.0f, v.z, 0.0f);
    flat.Normalize();
    return flat;
}
} // namespace

RTTI_DEFINE_CLASS(GameCameraControllerCamera, BaseCamera)

void GameCameraControllerCamera::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = GameCameraControllerCamera;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("Position", &C::m_position));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Quaternion>("Rotation", &C::m_rotation));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("Scale", &C::m_scale));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("FOV", &C::m_fov));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("zNear", &C::m_zNear));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("zFar", &C::m_zFar));
}

float GameCameraControllerCamera::ComputeEffectiveFOV() const
{
    const float aspect = GetViewportAspect();
    // A UI design without height has no shape to keep in view.
    if (gProjectConfig.m_uiScreenHeight <= 0.0f)
        return m_fov;
    const float design = gProjectConfig.m_uiScreenWidth / gProjectConfig.m_uiScreenHeight;
    if (design <= aspect)
        return m_fov;
    return 2.0f * std::atan(std::tan(m_fov * 0.5f * kDegToRad) * design / aspect) / kDegToRad;
}

void GameCameraControllerCamera::ComputeMatrices(Matrix& view, Matrix& projection)
{
    LoadView(m_position, m_rotation, view);
    Matrix scale;
    scale.LoadScale(m_scale);
    view.Mul(scale, view);
    projection.LoadPerspectiveFovLH(ComputeEffectiveFOV(), GetViewportAspect(), m_zNear, m_zFar);
    projection.Mul(m_postProjection, projection);
}

void GameCameraControllerCamera::ComputeMatricesFor(const Vector& position, const Quaternion& rotation, float fov,
                                                    Matrix& view, Matrix& projection) const
{
    LoadView(position, rotation, view);
    projection.LoadPerspectiveFovLH(fov, GetViewportAspect(), m_zNear, m_zFar);
}

bool GameCameraControllerCamera::SubmitToRenderer(bool recompute)
{
    if (recompute)
        ComputeMatrices(m_view, m_projection);
    return SendToRenderer() && !IsViewportEmpty();
}

Matrix GameCameraControllerCamera::ComputeListenerMatrix(const Matrix& camera, float altitude)
{
    const Vector& forward = camera.rows[2];
    if (forward.y > kLookingDown)
        return camera;
    Vector position = camera.rows[3];
    position.MulAdd(forward, position.y / std::fabs(forward.y));
    position.y = altitude;
    const Vector up = Flattened(forward.y < kSteep ? camera.rows[1] : forward);
    const Vector down(0.0f, -1.0f, 0.0f, 0.0f);
    Vector right;
    right.Cross(up, down);
    Matrix listener;
    listener.Set(right, up, down, position);
    return listener;
}

void GameCameraControllerCamera::UpdateSoundListener()
{
    if (gSoundEngine != nullptr)
        gSoundEngine->SetListenerMatrix(ComputeListenerMatrix(m_rendererCamera, m_listenerAltitude));
}
