// The in-game camera: position, rotation, scale and field of view, widened so that a window
// narrower than the UI design still shows the design's whole width. Main thread only.
#pragma once

#include "core/math/Quaternion.h"
#include "scene/cameras/BaseCamera.h"

// The camera that GameCameraController drives; it also hangs the sound listener over the ground.
class GameCameraControllerCamera : public BaseCamera
{
    RTTI_DECLARE_CLASS(GameCameraControllerCamera, BaseCamera)

public:
    GameCameraControllerCamera() = default;

    void ComputeMatrices(Matrix& view, Matrix& projection) override;
    // Looking down, the listener sits at the listener altitude above the point looked at, facing
    // down with the screen's up as its up; otherwise it takes the camera-to-world matrix.
    void UpdateSoundListener() override;
    // The listener matrix for a camera-to-world matrix (rows right, up, forward, position).
    static Matrix ComputeListenerMatrix(const Matrix& camera, float altitude);

    // With `recompute` the matrices are computed first; sends the viewport (when not empty) and the
    // camera, reads back, and answers whether the viewport is not empty.
    bool SubmitToRenderer(bool recompute);
    // View and projection for another viewpoint: no scale, no widening, no post-projection matrix.
    void ComputeMatricesFor(const Vector& position, const Quaternion& rotation, float fov, Matrix& view,
                            Matrix& projection) const;
    // The field of view actually used for the viewport's aspect (widened for narrow windows).
    float ComputeEffectiveFOV() const;

    void SetCameraPosition(const Vector& position) { m_position = position; }
    const Vector& GetCameraPosition() const { return m_position; }
    void SetCameraRotation(const Quaternion& rotation) { m_rotation = rotation; }
    const Quaternion& GetCameraRotation() const { return m_rotation; }
    void SetScale(const Vector& scale) { m_scale = scale; }
    void SetFOV(float degrees) { m_fov = degrees; }
    float GetFOV() const { return m_fov; }
    void SetCameraClipPlanes(float zNear, float zFar)
    {
        m_zNear = zNear;
        m_zFar = zFar;
    }
    float GetZNear() const { return m_zNear; }
    float GetZFar() const { return m_zFar; }
    void SetPostProjection(const Matrix& m) { m_postProjection = m; }
    void SetCameraListenerAltitude(float altitude) { m_listenerAltitude = altitude; }
    float GetCameraListenerAltitude() const { return m_listenerAltitude; }

private:
    Matrix m_postProjection = Matrix::ONE;
    Vector m_position{0.0f, 0.0f, 0.0f, 1.0f};
    Vector m_scale{1.0f, 1.0f, 1.0f, 1.0f};
    Quaternion m_rotation;
    float m_fov = 50.0f; // degrees
    float m_zNear = 10.0f;
    float m_zFar = 1000.0f;
    float m_listenerAltitude = 0.0f;
};
