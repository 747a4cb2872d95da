// A camera orbiting a target point at a view distance, turned by yaw and pitch. Main thread only.
#pragma once

#include "scene/cameras/YawPitchCamera.h"

// Orbit camera: target, view distance, vertical field of view in degrees and clip planes.
class TargetViewCamera : public YawPitchCamera
{
    RTTI_DECLARE_CLASS(TargetViewCamera, YawPitchCamera)

public:
    TargetViewCamera() = default;

    void ComputeMatrices(Matrix& view, Matrix& projection) override;
    // Distance = max(0, distance + delta).
    void AlterViewDistance(float delta);
    // Turns as RotateLocal does while the eye stays where it was: the target moves instead.
    void RotateAroundEye(float deltaYaw, float deltaPitch);
    // Aims at the box's centre placed by the transform, from a distance that fits the box's
    // bounding sphere in the field of view; yaw and pitch stay.
    void Focus(const BoundingBox4& box, const Matrix& transform);
    // Moves the target by an offset given in the camera's own axes.
    void MoveLocal(const Vector& offset);
    // target - distance · forward.
    Vector GetEyePosition() const;

    void SetTarget(const Vector& target) { m_target = target; }
    const Vector& GetTarget() const { return m_target; }
    void SetViewDistance(float distance) { m_viewDistance = distance; }
    float GetViewDistance() const { return m_viewDistance; }
    void SetFOV(float degrees) { m_fov = degrees; }
    float GetFOV() const { return m_fov; }
    void SetClipPlanes(float zNear, float zFar)
    {
        m_zNear = zNear;
        m_zFar = zFar;
    }

private:
    Vector m_target{0.0f, 0.0f, 0.0f, 1.0f};
    float m_viewDistance = 1.0f;
    float m_fov = 60.0f; // degrees
    float m_zNear = 0.01f;
    float m_zFar = 1000.0f;
};
