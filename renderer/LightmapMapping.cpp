#include "renderer/LightmapMapping.h"

#include "core/reflection/RTTIClass.h"

RTTI_DEFINE_CLASS(LightmapMapping, RTTIPolyBaseClass)

void LightmapMapping::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = LightmapMapping;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("UVMulAdd", &C::m_uvMulAdd));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("LightmapID", &C::m_lightmapId));
}
