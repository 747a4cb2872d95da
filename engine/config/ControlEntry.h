// One action of a control set: its primary and secondary key or button code. Main thread.
#pragma once

#include "core/reflection/RTTIPolyBaseClass.h"

#include <cstdint>

// Reflected control entry ("Primary", "Secondary"); 0 = unassigned.
class ControlEntry : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(ControlEntry, RTTIPolyBaseClass)

public:
    uint32_t m_primary = 0;
    uint32_t m_secondary = 0;
};
