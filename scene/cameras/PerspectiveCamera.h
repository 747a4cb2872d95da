// A free camera: an eye position turned by yaw and pitch. Main thread only.
#pragma once

#include "scene/cameras/YawPitchCamera.h"

// Free eye with yaw and pitch and a fixed narrow projection (near 0.01, far 100).
class PerspectiveCamera : public YawPitchCamera
{
    RTTI_DECLARE_CLASS(PerspectiveCamera, YawPitchCamera)

public:
    PerspectiveCamera() = default;

    void ComputeMatrices(Matrix& view, Matrix& projection) override;
    // Stores the three values as given, pitch unclamped.
    void SetPosition(const Vector& eye, float yaw, float pitch);
    // Moves the eye by an offset given in the camera's own axes (its w added as given).
    void MoveLocal(const Vector& offset);
    const Vector& GetEyePosition() const { return m_eye; }

private:
    Vector m_eye{0.0f, 0.0f, 0.0f, 1.0f};
};
