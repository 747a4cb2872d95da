// A camera sub-controller proposes a viewpoint (position, rotation, field of view, projection offset
// and shake scale) that the game camera controller follows or blends to. Main thread only.
#pragma once

#include "core/math/Quaternion.h"
#include "core/math/Vector.h"
#include "core/reflection/RTTIClass.h"
#include "engine/scripting/LuaBaseClass.h"

// The plain sub-controller: a viewpoint that scripts set; its update does nothing.
class NXBaseCameraSubcontroller : public LuaBaseClass
{
    RTTI_DECLARE_CLASS(NXBaseCameraSubcontroller, RTTIPolyBaseClass)

public:
    NXBaseCameraSubcontroller() = default;
    // Releases the script side's reference, so scripts never reach a deleted sub-controller.
    ~NXBaseCameraSubcontroller() override;

    const char* GetScriptClassName() const override { return "NXBaseCameraSubcontroller"; }

    virtual void SetPosition(const Vector& position) { m_position = position; }
    // Once per frame from the controller.
    virtual void Update() {}

    // Rotation = Qy(y)·Qx(x)·Qz(z), degrees; scripts pass the X, Z and Y angles in this order.
    void SetRotation(float x, float z, float y);
    void SetRotation(const Quaternion& rotation) { m_rotation = rotation; }
    void SetProjectionOffset(const Vector& offset) { m_projectionOffset = offset; }
    const Vector& GetProjectionOffset() const { return m_projectionOffset; }
    void SetPositionOffset(const Vector& offset) { m_positionOffset = offset; }
    const Vector& GetPositionOffset() const { return m_positionOffset; }
    void SetFOV(float degrees) { m_fov = degrees; }
    float GetFOV() const { return m_fov; }
    void SetShakeScale(float scale) { m_shakeScale = scale; }
    float GetShakeScale() const { return m_shakeScale; }
    const Vector& GetPosition() const { return m_position; }
    const Quaternion& GetRotation() const { return m_rotation; }
    // Position plus position offset: what the controller reads.
    Vector GetViewPosition() const;

protected:
    Vector m_projectionOffset;
    Vector m_position;
    Quaternion m_rotation;
    Vector m_positionOffset;
    float m_fov = 50.0f; // degrees
    float m_shakeScale = 1.0f;
};
