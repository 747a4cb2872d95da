#include "renderer/OutlineParams.h"

#include "core/reflection/RTTIClass.h"

RTTI_DEFINE_CLASS(OutlineParams, RTTIPolyBaseClass)

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
