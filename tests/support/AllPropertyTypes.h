// Reflected sample classes that hold every property type id (0 to 32), for the record tests and the
// record fuzz target. Their tables are defined, and the classes registered, in AllPropertyTypes.cpp.
#pragma once

#include "core/SimpleGUID.h"
#include "core/math/BoundingBox4.h"
#include "core/math/HDRColor.h"
#include "core/math/Matrix.h"
#include "core/math/Quaternion.h"
#include "core/math/Vector.h"
#include "core/math/Vector3.h"
#include "core/reflection/EntityReferences.h"
#include "core/reflection/RTTIClass.h"
#include "core/strings/NameString.h"

#include <map>
#include <string>

// Element of the embedded-object kinds (3, 6, 7).
class SampleEmbedded : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(SampleEmbedded, RTTIPolyBaseClass)

public:
    int32_t m_count = 0;
    NameString m_label;
};

// Base of the polymorphic kinds (4, 8).
class SamplePolyBase : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(SamplePolyBase, RTTIPolyBaseClass)

public:
    float m_weight = 0.0f;
};

class SamplePolyDerived : public SamplePolyBase
{
    RTTI_DECLARE_CLASS(SamplePolyDerived, SamplePolyBase)

public:
    std::string m_note;
};

// Stand-in for a scene entity: a GUID and a template type id.
class SampleEntity : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(SampleEntity, RTTIPolyBaseClass)

public:
    SimpleGUID m_guid;
    uint32_t m_type = 0;
};

// Resolves SampleEntity references from a table the test fills; type 2 derives from type 1.
class FakeEntityResolver : public EntityReferenceResolver
{
public:
    // Installs itself while it lives, then puts back the resolver it replaced.
    FakeEntityResolver() : m_previous(GetEntityReferenceResolver()) { SetEntityReferenceResolver(this); }
    ~FakeEntityResolver() override { SetEntityReferenceResolver(m_previous); }

    void Add(SampleEntity* entity) { m_entities[entity->m_guid] = entity; }
    void Remove(SampleEntity* entity) { m_entities.erase(entity->m_guid); }

    RTTIPolyBaseClass* FindEntityByGUID(const SimpleGUID& guid) override
    {
        const auto found = m_entities.find(guid);
        return found != m_entities.end() ? found->second : nullptr;
    }
    SimpleGUID GetEntityGUID(const RTTIPolyBaseClass* entity) override
    {
        return static_cast<const SampleEntity*>(entity)->m_guid;
    }
    uint32_t GetEntityType(const RTTIPolyBaseClass* entity) override
    {
        return static_cast<const SampleEntity*>(entity)->m_type;
    }
    bool IsKindOf(uint32_t type, uint32_t baseType) override { return type == baseType || (type == 2 && baseType == 1); }

private:
    EntityReferenceResolver* m_previous;
    std::map<SimpleGUID, SampleEntity*> m_entities;
};

// One property of every type id, in type order after a group header.
class AllPropertyTypes : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(AllPropertyTypes, RTTIPolyBaseClass)

public:
    AllPropertyTypes() = default;
    AllPropertyTypes(const AllPropertyTypes&) = delete;
    AllPropertyTypes& operator=(const AllPropertyTypes&) = delete;
    ~AllPropertyTypes() override
    {
        delete m_poly;
        m_embeddedPointers.DeleteAllPointers();
        m_polyPointers.DeleteAllPointers();
    }

    // Gives every property a value that is not its default.
    void Fill();

    void SetEntity(SampleEntity* entity) { m_entity = entity; }
    SampleEntity* GetEntity() const { return m_entity; }

    Dynarray<int32_t> m_ints;
    DynarraySafe<NameString> m_names;
    SampleEmbedded m_embedded;
    SamplePolyBase* m_poly = nullptr;
    Dynarray<SampleEmbedded*> m_embeddedPointers;
    DynarraySafe<SampleEmbedded> m_embeddedObjects;
    Dynarray<SamplePolyBase*> m_polyPointers;
    float m_float = 0.0f;
    int32_t m_int = 0;
    uint32_t m_unsigned = 0;
    uint16_t m_short = 0;
    std::string m_string;
    std::u16string m_wide;
    Vector m_vector;
    Vector3 m_vector3;
    BoundingBox4 m_box;
    Quaternion m_quaternion;
    Matrix m_matrix;
    bool m_bool = false;
    SimpleGUID m_guid;
    NameString m_name;
    HDRColor m_color;
    char m_char = 0;
    uint8_t m_byte = 0;
    StaticBitVector<81> m_bits;
    RTTIMemoryBlock<8> m_block;
    SampleEntity* m_entity = nullptr;
    SafePointer<SampleEntity> m_safeEntity;
};
