#include "renderer/MeshFakeShadowDefinition.h"

#include "core/reflection/RTTIClass.h"

RTTI_DEFINE_CLASS(MeshFakeShadowDefinition, RTTIPolyBaseClass)

void MeshFakeShadowDefinition::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = MeshFakeShadowDefinition;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("Body mapping", &C::m_bodyMapping));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("Body scale offset", &C::m_bodyScaleOffset));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Body pivot Y", &C::m_bodyPivotY));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, float>("Body max shadow offset", &C::m_bodyMaxShadowOffset));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("HeadA mapping", &C::m_headAMapping));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("HeadB mapping", &C::m_headBMapping));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("HeadA scale offset", &C::m_headAScaleOffset));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("HeadB scale offset", &C::m_headBScaleOffset));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, float>("HeadA max shadow offset", &C::m_headAMaxShadowOffset));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, float>("HeadB max shadow offset", &C::m_headBMaxShadowOffset));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Enabled", &C::m_enabled));
}
