// MeshFakeShadowDefinition: the blob shadow settings a mesh template embeds and hands to its
// entities' rendering contexts. Main thread; the render thread reads a template's copy while the
// template lives.
#pragma once

#include "core/math/Vector.h"
#include "core/reflection/RTTIPolyBaseClass.h"

#include <cstdint>

// Reflected fake shadow settings, with the two head points the mesh template fills from its bones.
class MeshFakeShadowDefinition : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(MeshFakeShadowDefinition, RTTIPolyBaseClass)

public:
    Vector m_bodyMapping;
    Vector m_bodyScaleOffset = Vector(1.0f, 1.0f, 0.0f, 0.0f);
    float m_bodyPivotY = 2.0f;
    float m_bodyMaxShadowOffset = 10.0f;
    Vector m_headAMapping;
    Vector m_headBMapping;
    Vector m_headAScaleOffset = Vector(1.0f, 1.0f, 0.0f, 0.0f);
    Vector m_headBScaleOffset = Vector(1.0f, 1.0f, 0.0f, 0.0f);
    float m_headAMaxShadowOffset = 10.0f;
    float m_headBMaxShadowOffset = 10.0f;
    bool m_enabled = false;
    // Not properties: head points and bone indices (-1 unset) for heads A and B.
    Vector m_headPoint[2];
    int32_t m_headBone[2] = {-1, -1};
    uint8_t m_bufferSelect = 0;
};
