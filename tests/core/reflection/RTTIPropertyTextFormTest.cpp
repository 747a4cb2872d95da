#include "core/reflection/GUIDReplacementTable.h"
#include "core/reflection/RTTITypedProperty.h"
#include "support/AllPropertyTypes.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace
{
std::string TextOf(const RTTIPolyBaseClass& object, const char* name)
{
    const RTTIProperty* property = object.GetClassProperties()->FindProperty(name);
    EXPECT_NE(property, nullptr) << name;
    char buffer[512];
    EXPECT_TRUE(property->ToText(&object, buffer, sizeof(buffer)));
    return buffer;
}

bool SetText(RTTIPolyBaseClass& object, const char* name, const char* text)
{
    return object.GetClassProperties()->FindProperty(name)->SetFromText(&object, text);
}
} // namespace

TEST(RTTIPropertyTextFormTest, EveryValueKindRoundTripsThroughItsText)
{
    FakeEntityResolver resolver;
    SampleEntity target;
    target.m_guid.bytes[3] = 0x33;
    target.m_type = 1;
    resolver.Add(&target);

    AllPropertyTypes source;
    source.Fill();
    source.m_entity = &target;
    source.m_safeEntity = &target;
    AllPropertyTypes copy;
    int withText = 0;
    for (const RTTIProperty* property : AllPropertyTypes::StaticClassProperties()->GetProperties())
    {
        if (!property->HasTextForm())
        {
            // Arrays and objects have no text: an editor must not take a failed write for a value.
            char text[4] = "old";
            EXPECT_FALSE(property->SetFromText(&copy, "1")) << property->GetName();
            EXPECT_FALSE(property->ToText(&source, text, sizeof(text))) << property->GetName();
            EXPECT_STREQ(text, "") << property->GetName();
            continue;
        }
        if (property->GetType() <= RTTI_TYPE_SEPARATOR)
            continue;
        ++withText;
        EXPECT_FALSE(property->Equals(&source, &copy)) << property->GetName() << " differs before its text is set";
        char text[512];
        ASSERT_TRUE(property->ToText(&source, text, sizeof(text))) << property->GetName();
        EXPECT_TRUE(property->SetFromText(&copy, text)) << property->GetName() << ": " << text;
        ResolvePendingEntityReferences();
        EXPECT_TRUE(property->Equals(&source, &copy)) << property->GetName() << ": " << text;
    }
    EXPECT_EQ(withText, 21);
}

TEST(RTTIPropertyTextFormTest, WrittenForms)
{
    AllPropertyTypes object;
    object.Fill();
    EXPECT_EQ(TextOf(object, "float"), "1.250000");
    EXPECT_EQ(TextOf(object, "Unsigned"), "4000000000");
    EXPECT_EQ(TextOf(object, "Vector"), "1.000000 2.000000 3.000000 4.000000");
    EXPECT_EQ(TextOf(object, "Vector3"), "5.000000 6.000000 7.000000");
    EXPECT_EQ(TextOf(object, "Quaternion"), "0.125000 0.250000 0.500000 0.750000");
    EXPECT_EQ(TextOf(object, "Color"), "255 128 7 200 2.500000");
    EXPECT_EQ(TextOf(object, "GUID"), "AFAEADAC-ABAA-A9A8-A7A6-A5A4A3A2A1A0");
    EXPECT_EQ(TextOf(object, "Bits"), "100000000000000000001000");
    object.m_bits.Set(80, false);
    object.m_bits.Set(81, true); // past the last bit: ignored
    EXPECT_EQ(TextOf(object, "Bits"), "100000000000000000000000");
    EXPECT_EQ(TextOf(object, "Block"), "00F1E3D5C7B9AB9D");
    EXPECT_EQ(TextOf(object, "Bool"), "1");
    EXPECT_EQ(TextOf(object, "Wide"), "wide \xE9\x80");
    EXPECT_EQ(TextOf(object, "Entity"), "00000000-0000-0000-0000-000000000000");

    // Text cut to a small buffer stays terminated.
    for (const auto& [name, cut] : {std::pair{"String", "hel"}, {"Wide", "wid"}, {"Entity", "000"}})
    {
        char small[4];
        object.GetClassProperties()->FindProperty(name)->ToText(&object, small, sizeof(small));
        EXPECT_STREQ(small, cut) << name;
    }
}

TEST(RTTIPropertyTextFormTest, EveryCharValueRoundTrips)
{
    AllPropertyTypes object;
    for (int value = -128; value < 128; ++value)
    {
        object.m_char = char(value);
        const std::string text = TextOf(object, "Char");
        object.m_char = 0;
        ASSERT_TRUE(SetText(object, "Char", text.c_str()));
        EXPECT_EQ(int(static_cast<signed char>(object.m_char)), value) << text;
    }
    // Texts written by the sign-widening form still read back.
    ASSERT_TRUE(SetText(object, "Char", "4294967291"));
    EXPECT_EQ(object.m_char, char(-5));
}

TEST(RTTIPropertyTextFormTest, ReadingRules)
{
    AllPropertyTypes object;
    ASSERT_TRUE(SetText(object, "Color", "1 2 3 4 0.500000"));
    EXPECT_EQ(TextOf(object, "Color"), "1 2 3 4 0.500000");
    // Four floats are a float colour.
    ASSERT_TRUE(SetText(object, "Color", "2 1 0.5 1"));
    EXPECT_EQ(TextOf(object, "Color"), "255 127 63 255 2.000000");
    ASSERT_TRUE(SetText(object, "Color", "2 1 0 1"));
    EXPECT_EQ(TextOf(object, "Color"), "255 127 0 255 2.000000") << "four integers are a float colour too";
    AllPropertyTypes brighter;
    ASSERT_TRUE(SetText(brighter, "Color", "255 127 0 255 4"));
    EXPECT_FALSE(brighter.GetClassProperties()->FindProperty("Color")->Equals(&object, &brighter));
    // Math values that differ in their first component only are not equal.
    for (const char* name : {"Vector", "Vector3", "Quaternion", "Matrix"})
    {
        AllPropertyTypes filled, changed;
        filled.Fill();
        const RTTIProperty* property = filled.GetClassProperties()->FindProperty(name);
        char text[512] = "9";
        ASSERT_TRUE(property->ToText(&filled, text + 1, sizeof(text) - 1) && property->SetFromText(&changed, text));
        EXPECT_FALSE(property->Equals(&filled, &changed)) << name << ": " << text;
    }
    // So are arrays that differ in their last element only.
    AllPropertyTypes filled, changed;
    filled.Fill();
    changed.Fill();
    changed.m_ints[changed.m_ints.Count() - 1] += 1;
    EXPECT_FALSE(filled.GetClassProperties()->FindProperty("Ints")->Equals(&filled, &changed));
    // And arrays of objects whose elements differ inside.
    changed.m_embeddedPointers[0]->m_count += 1;
    EXPECT_FALSE(filled.GetClassProperties()->FindProperty("Embedded pointers")->Equals(&filled, &changed));
    changed.m_polyPointers[0]->m_weight += 1.0f;
    EXPECT_FALSE(filled.GetClassProperties()->FindProperty("Poly pointers")->Equals(&filled, &changed));

    ASSERT_TRUE(SetText(object, "Short", "70000"));
    EXPECT_EQ(object.m_short, 70000 & 0xFFFF);
    ASSERT_TRUE(SetText(object, "Unsigned", "junk"));
    EXPECT_EQ(object.m_unsigned, 0u);
    // An enumeration reads a choice by name or number, and refuses a text that is neither.
    static const char* const kChoices[] = {"None", "Box", "Face", nullptr};
    RTTIDirectAccessTypedProperty<AllPropertyTypes, uint32_t> choice("Collision", &AllPropertyTypes::m_unsigned,
                                                                     RTTI_PROPERTY_ENUMERATION);
    choice.SetEnumerationNames(kChoices);
    for (const auto& [text, accepted, value] :
         {std::tuple{"face", true, 2u}, {"Box", true, 1u}, {" 7 ", true, 7u}, {"Sphere", false, 7u}, {"", false, 7u}})
    {
        EXPECT_EQ(choice.SetFromText(&object, text), accepted) << text;
        EXPECT_EQ(object.m_unsigned, value) << text;
    }
    // A switch reads words as well as numbers.
    for (const auto& [text, on] : {std::pair{"TRUE", true}, {"0", false}, {"true", true}, {"False", false}, {"2", true}})
    {
        ASSERT_TRUE(SetText(object, "Bool", text));
        EXPECT_EQ(object.m_bool, on) << text;
    }

    // The block is zeroed first; a non-hex character counts as 0; short text stops early.
    object.m_block.bytes[2] = 0x5A;
    ASSERT_TRUE(SetText(object, "Block", "F1z2"));
    EXPECT_EQ(object.m_block.bytes[0], 0x1F);
    EXPECT_EQ(object.m_block.bytes[1], 0x20);
    EXPECT_EQ(object.m_block.bytes[2], 0);

    // A GUID that does not parse leaves the value.
    object.m_guid.bytes[0] = 9;
    EXPECT_FALSE(SetText(object, "GUID", "1234"));
    EXPECT_FALSE(SetText(object, "Entity", "1234"));
    EXPECT_EQ(object.m_guid.bytes[0], 9);
    EXPECT_FALSE(SetText(object, "Vector", "1 2"));
}

TEST(RTTIPropertyTextFormTest, GUIDTextIsMappedThroughTheActiveReplacementTable)
{
    SimpleGUID original;
    original.bytes[15] = 1;
    SimpleGUID replacement;
    replacement.bytes[15] = 2;
    AllPropertyTypes object;
    ASSERT_TRUE(BeginPendingEntityReferences());
    GUIDReplacementTable::GetActive()->AddReplacement(original, replacement);
    ASSERT_TRUE(SetText(object, "GUID", original.ToStringUnsafe()));
    ResolvePendingEntityReferences();
    EXPECT_EQ(object.m_guid, replacement);
    EXPECT_EQ(GUIDReplacementTable::GetActive(), nullptr);
    ASSERT_TRUE(SetText(object, "GUID", original.ToStringUnsafe()));
    EXPECT_EQ(object.m_guid, original);
}
