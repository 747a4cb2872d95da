// LightmapMapping: where a mesh entity's lightmap lies (lightmap id and a UV multiply-add vector);
// 20 bytes when sent to the rendering context. Plain value with a reflected table; main thread.
#pragma once

#include "core/math/Vector.h"
#include "core/reflection/RTTIPolyBaseClass.h"

#include <cstdint>

// Reflected lightmap placement of a mesh entity.
class LightmapMapping : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(LightmapMapping, RTTIPolyBaseClass)

public:
    // The lightmap system's "no lightmap" id.
    static constexpr uint32_t kNoLightmap = 0xFFFFFFFFu;

    Vector m_uvMulAdd;
    uint32_t m_lightmapId = kNoLightmap;
};
