// Outline colours by side, dilatation kernel size and softness: one set in the project
// configuration ("Outline", "UI outline") and one in the Game. Main thread; the renderer gets copies.
#pragma once

#include "core/math/HDRColor.h"
#include "core/reflection/RTTIPolyBaseClass.h"

#include <cstdint>

// Reflected outline settings.
class OutlineParams : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(OutlineParams, RTTIPolyBaseClass)

public:
    // Bytes of the block the renderer takes: the four colours (r, g, b, a bytes and the float
    // multiplier each), the kernel size and the softness, in property order.
    static constexpr uint32_t kRenderBlockBytes = 40;
    void WriteRenderBlock(uint8_t* out) const;

    HDRColor m_colorHostile{255, 0, 0, 255, 1.0f};
    HDRColor m_colorFriendly{0, 255, 0, 255, 1.0f};
    HDRColor m_colorNeutral{0, 0, 255, 255, 1.0f};
    HDRColor m_colorHero{255, 255, 255, 255, 1.0f};
    float m_dilatationKernelSize = 1.0f;
    float m_softness = 0.5f;
};
