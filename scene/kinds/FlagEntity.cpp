#include "scene/kinds/FlagEntity.h"

#include "core/reflection/RTTIObjectProperties.h"

RTTI_DEFINE_CLASS_TABLE(FlagEntity, Entity)

void FlagEntity::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = FlagEntity;
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectsProperty<C, FlagEntityConnection>("Connections",
                                                                                         &C::m_connections));
}

float FlagEntity::GetNeighbourDistance(const FlagEntity* flag) const
{
    const FlagEntityConnection* const connection = FindConnection(flag);
    return connection != nullptr ? connection->m_length : 0.0f;
}

float FlagEntity::GetNeighbourDistance(int32_t index) const
{
    return index >= 0 && index < m_connections.Count() ? m_connections[index].m_length : 0.0f;
}

const FlagEntityConnection* FlagEntity::FindConnection(const FlagEntity* flag) const
{
    const int32_t index = FindConnectionIndex(flag);
    return index >= 0 ? &m_connections[index] : nullptr;
}

int32_t FlagEntity::FindConnectionIndex(const FlagEntity* flag) const
{
    if (flag == nullptr)
        return -1;
    for (int32_t i = 0; i < m_connections.Count(); ++i)
        if (m_connections[i].GetDestination() == flag)
            return i;
    return -1;
}

void FlagEntity::AddConnection(FlagEntity* other)
{
    if (other == nullptr || FindConnectionIndex(other) >= 0)
        return;
    FlagEntityConnection added;
    if (const FlagEntityConnection* const back = other->FindConnection(this))
    {
        // Both directions of a pair stay geometrically the same path.
        added.m_length = back->m_length;
        const int32_t count = back->m_controlPoints.Count();
        added.m_controlPoints.Resize(count);
        for (int32_t i = 0; i < count; ++i)
        {
            const FlagEntityConnectionControlPoint& source = back->m_controlPoints[count - 1 - i];
            added.m_controlPoints[i].m_position = source.m_position;
            added.m_controlPoints[i].m_distance = back->m_length - source.m_distance;
        }
    }
    added.SetDestination(other);
    m_connections.Add(added);
}

void FlagEntity::RemoveDeadConnections()
{
    for (int32_t i = m_connections.Count() - 1; i >= 0; --i)
        if (m_connections[i].GetDestination() == nullptr)
            m_connections.RemoveAt(i);
}

void FlagEntity::UpdateConnectionLengths()
{
    RemoveDeadConnections();
    for (FlagEntityConnection& connection : m_connections)
        ComputeConnectionLength(connection);
}

Vector FlagEntity::GetPathPosition() const
{
    const Vector& row = GetLocalLocationMatrix().rows[3];
    return Vector(row.x, row.y, row.z, 1.0f);
}

size_t FlagEntity::SerializeToMemory(uint8_t* buffer, size_t capacity, uint32_t flags)
{
    RemoveDeadConnections();
    return Entity::SerializeToMemory(buffer, capacity, flags);
}
