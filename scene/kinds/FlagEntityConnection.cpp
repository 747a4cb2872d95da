#include "scene/kinds/FlagEntityConnection.h"

#include "core/reflection/EntityReferences.h"
#include "core/reflection/RTTIObjectProperties.h"
#include "scene/kinds/FlagEntity.h"
#include "scene/kinds/FlagTemplate.h"

RTTI_DEFINE_CLASS(FlagEntityConnectionControlPoint, RTTIPolyBaseClass)

void FlagEntityConnectionControlPoint::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = FlagEntityConnectionControlPoint;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector3>("Position", &C::m_position));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Distance", &C::m_distance));
}

RTTI_DEFINE_CLASS(FlagEntityConnection, RTTIPolyBaseClass)

void FlagEntityConnection::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = FlagEntityConnection;
    table.AddProperty(
        new RTTIEntitySafePointerProperty<C, FlagEntity>("Destination", &C::m_destination, FlagTemplate::kTypeId, 0));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectsProperty<C, FlagEntityConnectionControlPoint>(
        "Control points", &C::m_controlPoints));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Length", &C::m_length));
}

FlagEntity* FlagEntityConnection::GetDestination() const
{
    return m_destination.Get();
}

void FlagEntityConnection::SetDestination(FlagEntity* destination)
{
    m_destination.Set(destination);
}
