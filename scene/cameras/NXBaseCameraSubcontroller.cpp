#include "scene/cameras/NXBaseCameraSubcontroller.h"

#include "engine/scripting/LuaWrapper.h"

RTTI_DEFINE_CLASS_TABLE(NXBaseCameraSubcontroller, RTTIPolyBaseClass)

void NXBaseCameraSubcontroller::BuildClassProperties(RTTIPropertiesBase&) {}

NXBaseCameraSubcontroller::~NXBaseCameraSubcontroller()
{
    gLua.UnregisterObject(this);
}

void NXBaseCameraSubcontroller::SetRotation(float x, float z, float y)
{
    Quaternion qx, qy, qz;
    qx.LoadXRotation(x);
    qy.LoadYRotation(y);
    qz.LoadZRotation(z);
    m_rotation.SetProduct(qy, qx);
    m_rotation.Mul(qz);
}

Vector NXBaseCameraSubcontroller::GetViewPosition() const
{
    Vector position;
    position.Add(m_position, m_positionOffset);
    return position;
}
