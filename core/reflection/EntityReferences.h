// Entity-reference properties (type ids 31 and 32). In records and text a reference is the entity's
// GUID; in memory a pointer. References read while a load is open are queued and resolved when the
// outermost load ends, through a resolver hook that the scene model installs (the core knows no
// entity manager). Main thread.
#pragma once

#include "core/SimpleGUID.h"
#include "core/containers/SafePointer.h"
#include "core/reflection/RTTIProperty.h"

#include <cstring>

class GUIDReplacementTable;
class RTTIPolyBaseClass;

// What the core needs of the entity manager and the template type table.
class EntityReferenceResolver
{
public:
    virtual ~EntityReferenceResolver() = default;
    virtual RTTIPolyBaseClass* FindEntityByGUID(const SimpleGUID& guid) = 0;
    virtual SimpleGUID GetEntityGUID(const RTTIPolyBaseClass* entity) = 0;
    virtual uint32_t GetEntityType(const RTTIPolyBaseClass* entity) = 0;
    // True when `type` is `baseType` or derives from it.
    virtual bool IsKindOf(uint32_t type, uint32_t baseType) = 0;
};

// Installs the hook (null removes it); without one every reference reads as missing.
void SetEntityReferenceResolver(EntityReferenceResolver* resolver);
EntityReferenceResolver* GetEntityReferenceResolver();

// False when a list is already open; else opens it with an empty active GUID replacement table.
bool BeginPendingEntityReferences();
bool ArePendingEntityReferencesOpen();
// True when the list is open or holds references (queued outside a load, for the next one).
bool AreEntityReferencesPending();
// Closes the list and sets every queued reference whose object still lives.
void ResolvePendingEntityReferences();

// Common part of both kinds: GUID forms, queuing and the checks of a found entity.
class RTTIEntityReferenceProperty : public RTTIProperty
{
public:
    // `requiredType` is a template type id; 0 accepts any entity.
    RTTIEntityReferenceProperty(const char* name, uint32_t requiredType, uint32_t flags, const char* description)
        : RTTIProperty(name, description, flags, requiredType)
    {
    }

    virtual RTTIPolyBaseClass* GetReference(const RTTIPolyBaseClass* object) const = 0;
    virtual void SetReference(RTTIPolyBaseClass* object, RTTIPolyBaseClass* entity) const = 0;

    bool HasTextForm() const override { return true; }
    bool SetFromText(RTTIPolyBaseClass* object, const char* text) const override;
    bool ToText(const RTTIPolyBaseClass* object, char* buffer, size_t size) const override;
    bool Equals(const RTTIPolyBaseClass* a, const RTTIPolyBaseClass* b) const override;
    void Serialize(RecordOutput& out, const RTTIPolyBaseClass* object, uint32_t flags) const override;
    bool Deserialize(RecordInput& in, RTTIPolyBaseClass* object, uint32_t flags) const override;
    bool Validate(RecordInput& in, uint32_t flags) const override;
    size_t GetMinimumSize(uint32_t) const override { return 16; }
    // Always a GUID's 16 bytes (never swapped), so record plans read and write it inside runs.
    uint32_t GetFixedSize() const override { return 16; }
    void WriteFixed(uint8_t* at, const RTTIPolyBaseClass* object, bool byteSwap) const override;
    void ReadFixed(const uint8_t* at, RTTIPolyBaseClass* object) const override;

    // Looks the GUID up (mapped through `replacements` when given) and sets the reference when the
    // entity exists and has the required type; logs and returns false otherwise.
    bool ResolveNow(RTTIPolyBaseClass* object, const SimpleGUID& guid,
                    const GUIDReplacementTable* replacements = nullptr) const;

protected:
    // Applies a GUID read from a record or text.
    virtual void ApplyGUID(RTTIPolyBaseClass* object, const SimpleGUID& guid) const = 0;
    SimpleGUID GetReferencedGUID(const RTTIPolyBaseClass* object) const;
};

// Queues a reference; the record keeps a safe pointer to `object`, so an object that dies before the
// resolution is skipped instead of written through.
void QueueEntityReference(int list, const SimpleGUID& guid, const RTTIEntityReferenceProperty* property,
                          RTTIPolyBaseClass* object);

// Kind 31: an entity pointer set through the owning class's setter. Final: its compiled record read
// applies the GUID without asking for an override.
template <class TClass, class TEntity>
class RTTIEntityPointerProperty final : public RTTIEntityReferenceProperty
{
public:
    using Setter = void (TClass::*)(TEntity*);
    using Getter = TEntity* (TClass::*)() const;

    RTTIEntityPointerProperty(const char* name, Setter setter, Getter getter, uint32_t requiredType = 0,
                              uint32_t flags = 0, const char* description = nullptr)
        : RTTIEntityReferenceProperty(name, requiredType, flags, description), m_setter(setter), m_getter(getter)
    {
    }
    uint32_t GetType() const override { return RTTI_TYPE_ENTITY_POINTER; }
    RTTIPolyBaseClass* GetReference(const RTTIPolyBaseClass* object) const override
    {
        return (static_cast<const TClass*>(object)->*m_getter)();
    }
    void SetReference(RTTIPolyBaseClass* object, RTTIPolyBaseClass* entity) const override
    {
        (static_cast<TClass*>(object)->*m_setter)(static_cast<TEntity*>(entity));
    }
    RTTIRecordReaders GetRecordReaders() const override
    {
        RTTIRecordReaders readers = RTTIEntityReferenceProperty::GetRecordReaders();
        readers.fixed = [](const RTTIProperty& property, const uint8_t* at, RTTIPolyBaseClass* object) {
            SimpleGUID guid;
            std::memcpy(guid.bytes, at, 16);
            static_cast<const RTTIEntityPointerProperty&>(property).ApplyGUID(object, guid);
        };
        return readers;
    }

protected:
    // Null for the zero GUID; queued while a load is open; else looked up at once, with the same
    // type check as the queued path, and null when that finds no fitting entity.
    void ApplyGUID(RTTIPolyBaseClass* object, const SimpleGUID& guid) const override
    {
        if (guid.IsNull())
            SetReference(object, nullptr);
        else if (ArePendingEntityReferencesOpen())
            QueueEntityReference(0, guid, this, object);
        else if (!ResolveNow(object, guid))
            SetReference(object, nullptr);
    }

private:
    Setter m_setter;
    Getter m_getter;
};

// Kind 32: a safe pointer to an entity in a field of the object. Final, as kind 31.
template <class TClass, class TEntity>
class RTTIEntitySafePointerProperty final : public RTTIEntityReferenceProperty
{
public:
    RTTIEntitySafePointerProperty(const char* name, SafePointer<TEntity> TClass::*member, uint32_t requiredType = 0,
                                  uint32_t flags = 0, const char* description = nullptr)
        : RTTIEntityReferenceProperty(name, requiredType, flags, description), m_member(member)
    {
    }
    uint32_t GetType() const override { return RTTI_TYPE_ENTITY_SAFE_POINTER; }
    RTTIPolyBaseClass* GetReference(const RTTIPolyBaseClass* object) const override
    {
        return (static_cast<const TClass*>(object)->*m_member).Get();
    }
    void SetReference(RTTIPolyBaseClass* object, RTTIPolyBaseClass* entity) const override
    {
        (static_cast<TClass*>(object)->*m_member).Set(static_cast<TEntity*>(entity));
    }
    RTTIRecordReaders GetRecordReaders() const override
    {
        RTTIRecordReaders readers = RTTIEntityReferenceProperty::GetRecordReaders();
        readers.fixed = [](const RTTIProperty& property, const uint8_t* at, RTTIPolyBaseClass* object) {
            SimpleGUID guid;
            std::memcpy(guid.bytes, at, 16);
            static_cast<const RTTIEntitySafePointerProperty&>(property).ApplyGUID(object, guid);
        };
        return readers;
    }

protected:
    // Empty for the zero GUID; any other GUID waits for the next resolution, open load or not.
    void ApplyGUID(RTTIPolyBaseClass* object, const SimpleGUID& guid) const override
    {
        if (guid.IsNull())
            SetReference(object, nullptr);
        else
            QueueEntityReference(1, guid, this, object);
    }

private:
    SafePointer<TEntity> TClass::*m_member;
};
