#include "renderer/OutlineParams.h"

#include "core/reflection/RTTIClass.h"

#include <cstring>

RTTI_DEFINE_CLASS_TABLE(OutlineParams, RTTIPolyBaseClass)

int OutlineParams::RegisterRTTIClass()
{
    // Known by name on the root table's name, as its property table is.
    return RTTIClassRegistry::EnsureClassRegistered("OutlineParams", "RTTIPropertiesBase",
                                                    [](int) -> RTTIPolyBaseClass* { return new OutlineParams; });
}

void OutlineParams::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = OutlineParams;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, HDRColor>("Color hostile", &C::m_colorHostile));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, HDRColor>("Color friendly", &C::m_colorFriendly));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, HDRColor>("Color neutral", &C::m_colorNeutral));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, HDRColor>("Color hero", &C::m_colorHero));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, float>("Dilatation kernel size", &C::m_dilatationKernelSize));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Softness", &C::m_softness));
}

void OutlineParams::WriteRenderBlock(uint8_t* out) const
{
    uint8_t* at = out;
    for (const HDRColor* color : {&m_colorHostile, &m_colorFriendly, &m_colorNeutral, &m_colorHero})
    {
        *at++ = color->r;
        *at++ = color->g;
        *at++ = color->b;
        *at++ = color->a;
        std::memcpy(at, &color->multiplier, 4);
        at += 4;
    }
    std::memcpy(at, &m_dilatationKernelSize, 4);
    std::memcpy(at + 4, &m_softness, 4);
}
