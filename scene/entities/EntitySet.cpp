#include "scene/entities/EntitySet.h"

#include "core/console/GameConsole.h"
#include "core/reflection/GUIDReplacementTable.h"
#include "core/reflection/RecordStream.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityManager.h"

namespace
{
// The engine's default colour of sets and layers.
constexpr HDRColor kDefaultColor(255, 255, 255, 255);

// "Entities": u32 count, then each member's 16-byte GUID (zero for none). Sets load after the
// entities of their scene, so members are looked up as the record is read.
class EntitySetMembersProperty : public RTTIProperty
{
public:
    EntitySetMembersProperty() : RTTIProperty("Entities", nullptr, 0) {}
    uint32_t GetType() const override { return RTTI_TYPE_DYNARRAY; }
    bool Equals(const RTTIPolyBaseClass* a, const RTTIPolyBaseClass* b) const override
    {
        const SafePointerArray<Entity>& x = Members(a);
        const SafePointerArray<Entity>& y = Members(b);
        if (x.Count() != y.Count())
            return false;
        for (int32_t i = 0; i < x.Count(); ++i)
            if (x[i].Get() != y[i].Get())
                return false;
        return true;
    }
    void Serialize(RecordOutput& out, const RTTIPolyBaseClass* object, uint32_t) const override
    {
        const SafePointerArray<Entity>& members = Members(object);
        out.WriteU32(uint32_t(members.Count()));
        for (const SafePointer<Entity>& member : members)
        {
            const SimpleGUID guid = member ? member->GetGUID() : SimpleGUID();
            out.WriteBytes(guid.bytes, sizeof(guid.bytes));
        }
    }
    bool Deserialize(RecordInput& in, RTTIPolyBaseClass* object, uint32_t) const override
    {
        uint32_t count;
        if (!rtti::ReadElementCount(in, 16, GetName().c_str(), count))
            return false;
        const GUIDReplacementTable* const replacements = GUIDReplacementTable::GetActive();
        SafePointerArray<Entity> members;
        members.Resize(int32_t(count));
        for (uint32_t i = 0; i < count; ++i)
        {
            SimpleGUID read;
            if (!in.ReadBytes(read.bytes, sizeof(read.bytes)))
                return false;
            const SimpleGUID guid = replacements != nullptr ? replacements->Lookup(read) : read;
            if (guid.IsNull())
                continue;
            Entity* const member = gEntityManager.FindEntityByGUID(guid);
            // The member reads as none, as a deleted one would; the lost reference is still worth a line.
            if (member == nullptr)
                gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to deserialize entity pointer. Guid=%s", read.ToStringUnsafe());
            members[int32_t(i)].Set(member);
        }
        static_cast<EntitySet*>(object)->GetEntities() = std::move(members);
        return true;
    }
    bool Validate(RecordInput& in, uint32_t) const override
    {
        uint32_t count;
        return rtti::ReadElementCount(in, 16, GetName().c_str(), count) && in.Skip(size_t(count) * 16);
    }
    size_t GetMinimumSize(uint32_t) const override { return 4; }

private:
    static const SafePointerArray<Entity>& Members(const RTTIPolyBaseClass* object)
    {
        return static_cast<const EntitySet*>(object)->GetEntities();
    }
};
} // namespace

RTTI_DEFINE_CLASS_TABLE(EntitySet, RTTIPolyBaseClass)

void EntitySet::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = EntitySet;
    table.AddProperty(new RTTISGProperty<C, std::string>("Name", &C::SetNameValue, &C::GetNameValue));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, HDRColor>("Color", &C::m_color));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, SimpleGUID>("GUID", &C::m_guid));
    table.AddProperty(new EntitySetMembersProperty);
}

EntitySet::EntitySet() : m_color(kDefaultColor)
{
    m_guid.Generate();
}

EntitySet::~EntitySet()
{
    LeaveMembers();
    m_entities.FreeStorage();
}

void EntitySet::AddEntity(Entity* entity)
{
    if (entity == nullptr)
        return;
    for (const SafePointer<Entity>& member : m_entities)
        if (member.Get() == entity)
            return;
    m_entities.Add(SafePointer<Entity>(entity));
    entity->JoinSet(this);
}

void EntitySet::RemoveEntity(Entity* entity)
{
    for (int32_t i = 0; i < m_entities.Count(); ++i)
        if (m_entities[i].Get() == entity)
        {
            m_entities.RemoveAt(i);
            entity->LeaveSet(this);
            return;
        }
}

void EntitySet::LeaveMembers()
{
    for (SafePointer<Entity>& member : m_entities)
        if (member)
            member->LeaveSet(this);
}

void EntitySet::JoinMembers()
{
    for (SafePointer<Entity>& member : m_entities)
        if (member)
            member->JoinSet(this);
}

void EntitySet::OnPreLoad(uint32_t)
{
    LeaveMembers();
}

void EntitySet::OnPostLoad(uint32_t)
{
    JoinMembers();
}
