#include "core/reflection/EntityReferences.h"

#include "core/console/GameConsole.h"
#include "core/containers/Dynarray.h"
#include "core/reflection/GUIDReplacementTable.h"
#include "core/reflection/RTTIPolyBaseClass.h"
#include "core/reflection/RecordStream.h"

#include <cstring>
#include <memory>

namespace
{
// A queued reference. The target object is held through a safe pointer: it may die before the
// resolution (a reference read outside a load waits for the next one), and must then be skipped.
struct PendingEntityReference
{
    SimpleGUID guid;
    const RTTIEntityReferenceProperty* property = nullptr;
    SafePointer<RTTIPolyBaseClass> target;
};

struct PendingLists
{
    // Records are held by pointer: the safe pointer inside must not move.
    Dynarray<PendingEntityReference*> lists[2];
    bool open = false;
    EntityReferenceResolver* resolver = nullptr;
};

PendingLists& Pending()
{
    static PendingLists* pending = new PendingLists;
    return *pending;
}

void ResolveList(Dynarray<PendingEntityReference*>& list, const GUIDReplacementTable* replacements)
{
    if (list.Count() == 0)
        return;
    // Resolution may queue again (a setter reading records); take the list first.
    Dynarray<PendingEntityReference*> taken = std::move(list);
    for (PendingEntityReference* record : taken)
    {
        if (RTTIPolyBaseClass* object = record->target.Get())
            record->property->ResolveNow(object, record->guid, replacements);
    }
    taken.DeleteAllPointers();
}
} // namespace

void SetEntityReferenceResolver(EntityReferenceResolver* resolver)
{
    Pending().resolver = resolver;
}

EntityReferenceResolver* GetEntityReferenceResolver()
{
    return Pending().resolver;
}

bool BeginPendingEntityReferences()
{
    PendingLists& pending = Pending();
    if (pending.open)
        return false;
    pending.open = true;
    GUIDReplacementTable::OpenActive();
    return true;
}

bool ArePendingEntityReferencesOpen()
{
    return Pending().open;
}

bool AreEntityReferencesPending()
{
    const PendingLists& pending = Pending();
    return pending.open || pending.lists[0].Count() != 0 || pending.lists[1].Count() != 0;
}

void ResolvePendingEntityReferences()
{
    PendingLists& pending = Pending();
    pending.open = false;
    // The table is taken off first: a load started by a setter during resolution opens its own.
    const std::unique_ptr<GUIDReplacementTable> replacements(GUIDReplacementTable::CloseActive());
    // Most records hold no entity reference.
    if (pending.lists[0].Count() == 0 && pending.lists[1].Count() == 0)
        return;
    ResolveList(pending.lists[0], replacements.get());
    ResolveList(pending.lists[1], replacements.get());
}

void QueueEntityReference(int list, const SimpleGUID& guid, const RTTIEntityReferenceProperty* property,
                          RTTIPolyBaseClass* object)
{
    PendingEntityReference* record = new PendingEntityReference;
    record->guid = guid;
    record->property = property;
    record->target.Set(object);
    Pending().lists[list].Add(record);
}

bool RTTIEntityReferenceProperty::ResolveNow(RTTIPolyBaseClass* object, const SimpleGUID& guid,
                                             const GUIDReplacementTable* replacements) const
{
    EntityReferenceResolver* resolver = Pending().resolver;
    const SimpleGUID mapped = replacements != nullptr ? replacements->Lookup(guid) : guid;
    RTTIPolyBaseClass* entity = resolver != nullptr ? resolver->FindEntityByGUID(mapped) : nullptr;
    char text[64];
    if (entity == nullptr)
    {
        guid.ToString(text, sizeof(text));
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to deserialize entity pointer. Guid=%s", text);
        return false;
    }
    const uint32_t required = GetData();
    const uint32_t type = resolver->GetEntityType(entity);
    if (required != 0 && !resolver->IsKindOf(type, required))
    {
        guid.ToString(text, sizeof(text));
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to deserialize entity pointer due to type mismatch. Guid=%s, type=%d, expected=%d",
                       text, int(type), int(required));
        return false;
    }
    SetReference(object, entity);
    return true;
}

SimpleGUID RTTIEntityReferenceProperty::GetReferencedGUID(const RTTIPolyBaseClass* object) const
{
    const RTTIPolyBaseClass* entity = GetReference(object);
    EntityReferenceResolver* resolver = Pending().resolver;
    if (entity == nullptr || resolver == nullptr)
        return SimpleGUID();
    return resolver->GetEntityGUID(entity);
}

bool RTTIEntityReferenceProperty::SetFromText(RTTIPolyBaseClass* object, const char* text) const
{
    SimpleGUID guid;
    if (text == nullptr || !guid.FromString(text))
        return false;
    ApplyGUID(object, guid);
    return true;
}

bool RTTIEntityReferenceProperty::ToText(const RTTIPolyBaseClass* object, char* buffer, size_t size) const
{
    if (size == 0)
        return false;
    GetReferencedGUID(object).ToString(buffer, size);
    return true;
}

bool RTTIEntityReferenceProperty::Equals(const RTTIPolyBaseClass* a, const RTTIPolyBaseClass* b) const
{
    return GetReference(a) == GetReference(b);
}

void RTTIEntityReferenceProperty::Serialize(RecordOutput& out, const RTTIPolyBaseClass* object, uint32_t) const
{
    const SimpleGUID guid = GetReferencedGUID(object);
    out.WriteBytes(guid.bytes, 16);
}

bool RTTIEntityReferenceProperty::Deserialize(RecordInput& in, RTTIPolyBaseClass* object, uint32_t) const
{
    SimpleGUID guid;
    if (!in.ReadBytes(guid.bytes, 16))
        return false;
    ApplyGUID(object, guid);
    return true;
}

void RTTIEntityReferenceProperty::WriteFixed(uint8_t* at, const RTTIPolyBaseClass* object, bool) const
{
    const SimpleGUID guid = GetReferencedGUID(object);
    std::memcpy(at, guid.bytes, 16);
}

void RTTIEntityReferenceProperty::ReadFixed(const uint8_t* at, RTTIPolyBaseClass* object) const
{
    SimpleGUID guid;
    std::memcpy(guid.bytes, at, 16);
    ApplyGUID(object, guid);
}

bool RTTIEntityReferenceProperty::Validate(RecordInput& in, uint32_t) const
{
    return in.Skip(16);
}
