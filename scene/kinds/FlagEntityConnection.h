// FlagEntityConnection: one connection of a flag to a neighbour flag, optionally through control
// points, with the path's whole length. Embedded in FlagEntity's "Connections". Main thread only.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/containers/SafePointer.h"
#include "core/math/Vector3.h"
#include "core/reflection/RTTIClass.h"

#include <cstdint>

class FlagEntity;

// A point the path passes through, in the owning flag's parent space.
class FlagEntityConnectionControlPoint : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(FlagEntityConnectionControlPoint, RTTIPolyBaseClass)

public:
    Vector3 m_position;
    // Path length from the owning flag to this point.
    float m_distance = 0.0f;
};

// A path from the owning flag to "Destination" through "Control points" (in path order).
class FlagEntityConnection : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(FlagEntityConnection, RTTIPolyBaseClass)

public:
    // Null once the neighbour is gone.
    FlagEntity* GetDestination() const;
    void SetDestination(FlagEntity* destination);
    int32_t GetControlPointCount() const { return m_controlPoints.Count(); }
    // Control point i as a point (w = 1).
    Vector GetControlPoint(int32_t i) const { return m_controlPoints[i].m_position.ToVector(1.0f); }
    float GetControlPointDistance(int32_t i) const { return m_controlPoints[i].m_distance; }

    SafePointer<FlagEntity> m_destination;
    DynarraySafe<FlagEntityConnectionControlPoint> m_controlPoints;
    float m_length = 0.0f;
    // Key of the connection's arc-length table in a shared cache; -1 while it has none. Not stored.
    mutable int32_t m_arcTableKey = -1;
};
