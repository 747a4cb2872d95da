// Cameras turn a viewpoint into a view matrix, a projection matrix and a viewport, send them down
// the renderer's command stream and place the sound listener. Main thread only (the game thread
// that writes the render command stream).
//
// Class tree: BaseCamera > YawPitchCamera > PerspectiveCamera (a free eye with yaw and pitch) and
// TargetViewCamera (an orbit around a target point), for tools and scripts; BaseCamera >
// GameCameraControllerCamera, the in-game camera that GameCameraController drives. Matrices are
// recomputed on every send; what the renderer derives from them on the game side (camera-to-world,
// clip-to-world, frustum planes and corner box) is read back right after the send, so the
// visible-entity gather can test against the frustum just sent.
#pragma once

#include "core/math/BoundingBox4.h"
#include "core/math/Matrix.h"
#include "core/math/Vector.h"
#include "core/reflection/RTTIClass.h"
#include "platform/gpu/GpuTypes.h"

#include <cstdint>

// Root of the cameras: viewport, background colour, matrices and the send to the renderer.
class BaseCamera : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(BaseCamera, RTTIPolyBaseClass)

public:
    BaseCamera() = default;

    virtual void ComputeMatrices(Matrix& view, Matrix& projection) = 0;
    // The sound engine's listener becomes the camera-to-world matrix last read back.
    virtual void UpdateSoundListener();

    void SetViewport(uint32_t x, uint32_t y, uint32_t width, uint32_t height, float minZ, float maxZ);
    const gpu::Viewport& GetViewport() const { return m_viewport; }
    bool IsViewportEmpty() const { return m_viewport.width == 0 || m_viewport.height == 0; }
    // Width over height; 1 for an empty viewport, which has no shape, so its matrices stay finite.
    float GetViewportAspect() const;
    void SetBackgroundColor(const Vector& color) { m_backgroundColor = color; }
    const Vector& GetBackgroundColor() const { return m_backgroundColor; }

    // Computes the matrices, sends the viewport (when not empty) and the camera, reads back what the
    // renderer derived; then, unless the viewport is empty (false), clears with the flags (when not
    // 0) in the colour given or the background colour, depth 1 and stencil 0, and places the
    // listener when asked.
    bool ApplyToRenderer(bool updateListener, uint32_t clearFlags, const Vector* color = nullptr);

    const Matrix& GetView() const { return m_view; }
    const Matrix& GetProjection() const { return m_projection; }
    // Read back after the last send: camera to world (rows right, up, forward, position) and clip to world.
    const Matrix& GetRendererCameraMatrix() const { return m_rendererCamera; }
    const Matrix& GetRendererSecondMatrix() const { return m_rendererSecond; }
    // The six inward planes and the corners' world box of the last send, for the visible gather.
    const Vector* GetFrustumPlanes() const { return m_frustumPlanes; }
    const BoundingBox4& GetFrustumBox() const { return m_frustumBox; }

protected:
    // Sends the viewport when not empty and the camera, then reads back; false without a renderer.
    bool SendToRenderer();

    gpu::Viewport m_viewport = {0, 0, 0, 0, 0.0f, 0.0f};
    Vector m_backgroundColor;
    Matrix m_view = Matrix::ONE;
    Matrix m_projection = Matrix::ONE;
    Matrix m_rendererCamera = Matrix::ONE;
    Matrix m_rendererSecond = Matrix::ONE;
    Vector m_frustumPlanes[6];
    BoundingBox4 m_frustumBox;
};
