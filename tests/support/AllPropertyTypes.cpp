#include "support/AllPropertyTypes.h"

RTTI_DEFINE_CLASS(SampleEmbedded, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS(SamplePolyBase, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS(SamplePolyDerived, SamplePolyBase)
RTTI_DEFINE_CLASS(SampleEntity, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS(AllPropertyTypes, RTTIPolyBaseClass)

void RegisterAllPropertyTypesClasses()
{
    SampleEmbedded::RegisterRTTIClass();
    SamplePolyBase::RegisterRTTIClass();
    SamplePolyDerived::RegisterRTTIClass();
    SampleEntity::RegisterRTTIClass();
    AllPropertyTypes::RegisterRTTIClass();
}

void SampleEmbedded::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<SampleEmbedded, int32_t>("Count", &SampleEmbedded::m_count));
    table.AddProperty(new RTTIDirectAccessTypedProperty<SampleEmbedded, NameString>("Label", &SampleEmbedded::m_label));
}

void SamplePolyBase::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<SamplePolyBase, float>("Weight", &SamplePolyBase::m_weight));
}

void SamplePolyDerived::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<SamplePolyDerived, std::string>("Note", &SamplePolyDerived::m_note));
}

void SampleEntity::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<SampleEntity, SimpleGUID>("GUID", &SampleEntity::m_guid));
}

void AllPropertyTypes::BuildClassProperties(RTTIPropertiesBase& table)
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

void AllPropertyTypes::Fill()
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
    m_wide = u"wide \u00e9\u20ac";
    m_vector = Vector(1, 2, 3, 4);
    m_vector3.x = 5;
    m_vector3.y = 6;
    m_vector3.z = 7;
    m_box.min = Vector(-1, -2, -3, 0);
    m_box.max = Vector(1, 2, 3, 1);
    m_quaternion = Quaternion(0.125f, 0.25f, 0.5f, 0.75f);
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
