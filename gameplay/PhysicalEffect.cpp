#include "gameplay/PhysicalEffect.h"

RTTI_DEFINE_CLASS(PhysicalEffect, RTTIPolyBaseClass)

void PhysicalEffect::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = PhysicalEffect;
    table.AddProperty(new RTTIPropertyGroup("Spawned objects"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Mesh template path", &C::m_meshTemplatePath));
    table.AddProperty(new RTTIPropertyGroup("Particles"));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, NameString>("Particle template path", &C::m_particleTemplatePath));
}
