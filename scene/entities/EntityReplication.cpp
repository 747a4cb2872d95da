// The entity's replicated properties: its record, the states it writes for the peer and the states
// it receives. Main thread only.
#include "core/console/GameConsole.h"
#include "engine/Game.h"
#include "online/MultiplayerEngine.h"
#include "online/ReplicatedAnimState.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityMPProperties.h"

#include <cmath>

namespace
{
uint64_t Join(uint32_t low, uint32_t high)
{
    return uint64_t(high) << 32 | low;
}

void PutU32(Dynarray<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.Add(uint8_t(value >> (8 * i)));
}
} // namespace

void Entity::InitMPProperties()
{
    if (m_mpProperties == nullptr)
        m_mpProperties = new EntityMPProperties;
    m_mpProperties->InitStartSet(*this);
    // The peer is told of every property once.
    const uint64_t all = (uint64_t(1) << m_mpProperties->Count()) - 1;
    m_pendingChangeMask |= all;
    m_accumulatedChangeMask |= all;
    gGame.GetEntityLists().RegisterAnimatedEntity(this, true);
}

bool Entity::MPPropSetAnim(int32_t field, uint32_t packed)
{
    EntityMPProperties::Property* const property = m_mpProperties != nullptr ? m_mpProperties->Edit(field) : nullptr;
    if (property == nullptr || property->type != MPPROPERTY_ANIMATION)
        return false;
    packed &= 0xFFFFFFu;
    if (property->packed != packed)
    {
        property->packed = packed;
        MarkMPPropertyChanged(uint32_t(field));
    }
    return true;
}

bool Entity::MPPropSetFloat(int32_t field, float value)
{
    EntityMPProperties::Property* const property = m_mpProperties != nullptr ? m_mpProperties->Edit(field) : nullptr;
    if (property == nullptr || property->type != MPPROPERTY_RANGED_FLOAT)
        return false;
    if (property->value.x != value)
    {
        property->value.x = value;
        MarkMPPropertyChanged(uint32_t(field));
    }
    return true;
}

namespace
{
int32_t AddMPProperty(Entity& entity, const EntityMPProperties::Property& property)
{
    EntityMPProperties* const properties = entity.EditMPProperties();
    if (properties == nullptr)
    {
        gConsole.Warning(CONSOLE_CHANNEL_MULTIPLAYER, "Entity %s: replicated field %s needs the replicated properties",
                         entity.GetName(), property.name.c_str());
        return -1;
    }
    // A second field of one name could never be found by it.
    if (properties->Find(property.name.c_str()) >= 0)
    {
        gConsole.Warning(CONSOLE_CHANNEL_MULTIPLAYER, "Entity %s: replicated field %s exists already", entity.GetName(),
                         property.name.c_str());
        return -1;
    }
    const int32_t index = properties->Add(property);
    if (index < 0)
    {
        gConsole.Warning(CONSOLE_CHANNEL_MULTIPLAYER, "Entity %s: replicated field %s is one past the 64 a state carries",
                         entity.GetName(), property.name.c_str());
        return -1;
    }
    entity.MarkMPPropertyChanged(uint32_t(index));
    return index;
}
} // namespace

int32_t Entity::MPPropAddAnim(const char* name)
{
    EntityMPProperties::Property property;
    property.name = name != nullptr ? name : "";
    property.type = MPPROPERTY_ANIMATION;
    // Nothing playing until the mesh says otherwise.
    property.packed = EncodeReplicatedAnimState(255, false, 0.0f, 0.0f);
    return AddMPProperty(*this, property);
}

int32_t Entity::MPPropAddFloat(const char* name, float minimum, float maximum, float step)
{
    EntityMPProperties::Property property;
    property.name = name != nullptr ? name : "";
    property.type = MPPROPERTY_RANGED_FLOAT;
    // The value travels as one byte of steps: a range of more than 255 steps could not arrive.
    const float steps = (maximum - minimum) / step;
    if (!std::isfinite(steps) || !(step > 0.0f) || !(maximum > minimum) || std::round(steps) > 255.0f)
    {
        gConsole.Warning(CONSOLE_CHANNEL_MULTIPLAYER,
                         "Entity %s: replicated field %s needs 1 to 255 steps of %g from %g to %g", GetName(),
                         property.name.c_str(), double(step), double(minimum), double(maximum));
        return -1;
    }
    property.minimum = minimum;
    property.maximum = maximum;
    property.step = step;
    property.value.x = minimum;
    return AddMPProperty(*this, property);
}

int32_t Entity::MPPropFind(const char* name) const
{
    return m_mpProperties != nullptr && name != nullptr ? m_mpProperties->Find(name) : -1;
}

void Entity::FreeMPProperties()
{
    delete m_mpProperties;
    m_mpProperties = nullptr;
    delete m_receivedMPStates;
    m_receivedMPStates = nullptr;
    m_avatar = nullptr;
}

void Entity::WriteMPProperties(uint32_t timeLow, uint32_t timeHigh, uint32_t referenceLow, uint32_t referenceHigh)
{
    if (m_mpProperties != nullptr && m_pendingChangeMask != 0 && gMultiplayerEngine != nullptr)
    {
        m_mpProperties->Capture(*this);
        // One entity state: u16 mid, u32 reference low and high, then the record.
        Dynarray<uint8_t> state;
        state.Add(uint8_t(m_mid));
        state.Add(uint8_t(m_mid >> 8));
        PutU32(state, referenceLow);
        PutU32(state, referenceHigh);
        m_mpProperties->Write(m_pendingChangeMask, Join(timeLow, timeHigh), state);
        gMultiplayerEngine->QueueEntityState(state);
    }
    ClearReplicationState();
}

void Entity::QueueReceivedMPState(const uint8_t* data, size_t size)
{
    if (data == nullptr || size == 0)
        return;
    if (m_receivedMPStates == nullptr)
        m_receivedMPStates = new Dynarray<uint8_t>;
    for (size_t i = 0; i < size; ++i)
        m_receivedMPStates->Add(data[i]);
}

bool Entity::ReadMPProperties(uint32_t timeLow, uint32_t timeHigh)
{
    if (!HasReceivedMPStates())
        return false;
    if (m_mpProperties == nullptr)
    {
        // A receiving entity keeps the record only to decode: nothing of it is sent back.
        m_mpProperties = new EntityMPProperties;
        m_mpProperties->InitStartSet(*this);
    }
    const uint64_t now = Join(timeLow, timeHigh);
    const uint8_t* const data = m_receivedMPStates->Data();
    const size_t size = size_t(m_receivedMPStates->Count());
    size_t offset = 0;
    while (offset < size)
    {
        // The record is read into a copy first: a state not due yet must leave the values alone.
        EntityMPProperties next = *m_mpProperties;
        size_t end = offset;
        uint64_t due = 0;
        if (!next.Read(data, size, end, &due))
        {
            gConsole.Warning(CONSOLE_CHANNEL_MULTIPLAYER,
                             "Entity %s: a received state does not fit its replicated properties; %u bytes dropped",
                             GetName(), uint32_t(size - offset));
            offset = size;
            break;
        }
        if (due > now)
            break;
        *m_mpProperties = next;
        m_mpProperties->Apply(*this);
        offset = end;
    }
    if (offset > 0)
        m_receivedMPStates->RemoveRange(0, int32_t(offset) - 1);
    return HasReceivedMPStates();
}
