// Reflected sample classes that hold every property type id (0 to 32), for the record tests, the
// record fuzz target and the record benchmark. Include from exactly one source file per executable:
// it defines the classes' tables and their registration (RegisterAllPropertyTypesClasses).
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

RTTI_DEFINE_CLASS(SampleEmbedded, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS(SamplePolyBase, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS(SamplePolyDerived, SamplePolyBase)
RTTI_DEFINE_CLASS(SampleEntity, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS(AllPropertyTypes, RTTIPolyBaseClass)

// The sample classes are made by name when a record names one; calling this again changes nothing.
inline void RegisterAllPropertyTypesClasses()
{
    SampleEmbedded::RegisterRTTIClass();
    SamplePolyBase::RegisterRTTIClass();
    SamplePolyDerived::RegisterRTTIClass();
    SampleEntity::RegisterRTTIClass();
    AllPropertyTypes::RegisterRTTIClass();
}

inline void SampleEmbedded::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<SampleEmbedded, int32_t>("Count", &SampleEmbedded::m_count));
    table.AddProperty(new RTTIDirectAccessTypedProperty<SampleEmbedded, NameString>("Label", &SampleEmbedded::m_label));
}

inline void SamplePolyBase::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<SamplePolyBase, float>("Weight", &SamplePolyBase::m_weight));
}

inline void SamplePolyDerived::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<SamplePolyDerived, std::string>("Note", &SamplePolyDerived::m_note));
}

inline void SampleEntity::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<SampleEntity, SimpleGUID>("GUID", &SampleEntity::m_guid));
}

inline void AllPropertyTypes::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = AllPropertyTypes;
    table.AddProperty(new RTTIPropertyGroup("Values"));
    table.AddProperty(new RTTIPropertySeparator());
    table.AddProperty(new RTTIDynarrayProperty<C, int32_t>("Ints", &C::m_ints));
    table.AddProperty(new RTTIDynarrayProperty<C, NameString, DynarraySafe<NameString>>("Names", &C::m_names));
    table.AddProperty(new RTTIEmbeddedObjectProperty<C, SampleEmbedded>("Embedded", &C::m_embedded));
    table.AddProperty(new RTTIEmbeddedPolyObjectPointerProperty<C, SamplePolyBase>("Poly", &C::m_poly));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectPointersProperty<C, SampleEmbedded>("Embedded pointers",
                                                                                          &C::m_embeddedPointers));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectsProperty<C, SampleEmbedded>("Embedded objects",
                                                                                   &C::m_embeddedObjects));
    table.AddProperty(
        new RTTIDynarrayOfPolyObjectPointersProperty<C, SamplePolyBase>("Poly pointers", &C::m_polyPointers, "Sample"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Float", &C::m_float));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, int32_t>("Int", &C::m_int));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Unsigned", &C::m_unsigned));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint16_t>("Short", &C::m_short));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, std::string>("String", &C::m_string));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, std::u16string>("Wide", &C::m_wide));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("Vector", &C::m_vector));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector3>("Vector3", &C::m_vector3));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, BoundingBox4>("Box", &C::m_box));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Quaternion>("Quaternion", &C::m_quaternion));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Matrix>("Matrix", &C::m_matrix));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Bool", &C::m_bool));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, SimpleGUID>("GUID", &C::m_guid));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Name", &C::m_name));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, HDRColor>("Color", &C::m_color));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, char>("Char", &C::m_char));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint8_t>("Byte", &C::m_byte, RTTI_PROPERTY_SKIPPABLE));
    table.AddProperty(new RTTIStaticBitVectorProperty<C, 81>("Bits", &C::m_bits));
    table.AddProperty(new RTTIPureMemoryBlockProperty<C, 8>("Block", &C::m_block));
    table.AddProperty(new RTTIEntityPointerProperty<C, SampleEntity>("Entity", &C::SetEntity, &C::GetEntity, 1));
    table.AddProperty(new RTTIEntitySafePointerProperty<C, SampleEntity>("Safe entity", &C::m_safeEntity));
}

inline void AllPropertyTypes::Fill()
{
    m_ints.Add(-7);
    m_ints.Add(1 << 30);
    m_names.Add(NameString("alpha"));
    m_names.Add(NameString());
    m_embedded.m_count = 42;
    m_embedded.m_label = NameString("inner");
    SamplePolyDerived* derived = new SamplePolyDerived;
    derived->m_weight = 2.5f;
    derived->m_note = "derived";
    delete m_poly;
    m_poly = derived;
    SampleEmbedded* pointed = new SampleEmbedded;
    pointed->m_count = 3;
    m_embeddedPointers.Add(pointed);
    m_embeddedPointers.Add(nullptr);
    m_embeddedObjects.Resize(2);
    m_embeddedObjects[1].m_count = -1;
    m_embeddedObjects[1].m_label = NameString("second");
    SamplePolyBase* plain = new SamplePolyBase;
    plain->m_weight = -1.0f;
    m_polyPointers.Add(plain);
    m_polyPointers.Add(nullptr);
    SamplePolyDerived* another = new SamplePolyDerived;
    another->m_note = "x";
    m_polyPointers.Add(another);
    m_float = 1.25f;
    m_int = -123456;
    m_unsigned = 4000000000u;
    m_short = 65535;
    m_string = "hello";
    m_wide = u"wide \u00e9";
    m_vector = Vector(1, 2, 3, 4);
    m_vector3.x = 5;
    m_vector3.y = 6;
    m_vector3.z = 7;
    m_box.min = Vector(-1, -2, -3, 0);
    m_box.max = Vector(1, 2, 3, 1);
    m_quaternion = Quaternion(0.5f, 0.5f, 0.5f, 0.5f);
    for (int row = 0; row < 4; ++row)
        m_matrix.rows[row] = Vector(float(row), float(row) + 0.5f, -float(row), 1.0f);
    m_bool = true;
    for (int i = 0; i < 16; ++i)
        m_guid.bytes[i] = uint8_t(0xA0 + i);
    m_name = NameString("name");
    m_color = HDRColor(255, 128, 7, 200, 2.5f);
    m_char = -5;
    m_byte = 200;
    m_bits.Set(0, true);
    m_bits.Set(80, true);
    for (int i = 0; i < 8; ++i)
        m_block.bytes[i] = uint8_t(i * 31);
}
