#include "effects/particles/PhysicalEffect.h"

namespace
{
const char* const kMaterialNames[] = {"<Custom params>", "Iron", "Steel", nullptr};
const char* const kShapeNames[] = {"Ball", "Cube", "Custom mesh", nullptr};
} // namespace

RTTI_DEFINE_CLASS(PhysicalEffect, RTTIPolyBaseClass)

void PhysicalEffect::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = PhysicalEffect;
    auto group = [&table](const char* name) { table.AddProperty(new RTTIPropertyGroup(name)); };
    auto f = [&table](const char* name, float C::*member) {
        table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>(name, member));
    };
    auto choice = [&table](const char* name, uint32_t C::*member, const char* const* names) {
        table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>(name, member, RTTI_PROPERTY_ENUMERATION))
            ->SetEnumerationNames(names);
    };
    auto path = [&table](const char* name, NameString C::*member) {
        table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>(name, member));
    };
    auto flag = [&table](const char* name, bool C::*member) {
        table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>(name, member));
    };
    group("Spawn velocity");
    f("Pitch min", &C::m_pitchMin);
    f("Pitch max", &C::m_pitchMax);
    f("Speed", &C::m_speed);
    f("Speed var", &C::m_speedVariation);
    f("Angular speed", &C::m_angularSpeed);
    group("Emitter");
    f("Spawn rate", &C::m_spawnRate);
    f("Size", &C::m_size);
    group("Material");
    choice("Material def", &C::m_material, kMaterialNames);
    f("Restitution", &C::m_restitution);
    f("Angular damping coefficient", &C::m_angularDamping);
    f("Linear damping coefficient", &C::m_linearDamping);
    f("Density (kg/m3)", &C::m_density);
    f("Static friction", &C::m_staticFriction);
    f("Dynamic friction", &C::m_dynamicFriction);
    group("Spawned objects");
    choice("Shape def", &C::m_shape, kShapeNames);
    f("Ball radius / Cube half edge", &C::m_ballRadiusOrCubeHalfEdge);
    path("Mesh template path", &C::m_meshTemplatePath);
    group("Particles");
    path("Particle template path", &C::m_particleTemplatePath);
    group("Collisions");
    flag("With towers", &C::m_withTowers);
    flag("With units", &C::m_withUnits);
    group("Other");
    f("Element lifetime", &C::m_elementLifetime);
    f("Element lifetime var", &C::m_elementLifetimeVariation);
}
