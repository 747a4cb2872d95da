#include "core/CoreConfig.h"
#include "core/Crc32.h"
#include "core/reflection/ObjectRecord.h"
#include "core/reflection/RTTIClass.h"
#include "core/strings/NameString.h"
#include "support/AllPropertyTypes.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
// Same fields, different layouts: one property never serialized, one renamed, one reflagged.
class LayoutA : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(LayoutA, RTTIPolyBaseClass)

public:
    int32_t m_value = 0;
    int32_t m_hidden = 0;
};

class LayoutRenamed : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(LayoutRenamed, RTTIPolyBaseClass)

public:
    int32_t m_value = 0;
    int32_t m_hidden = 0;
};

class LayoutReflagged : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(LayoutReflagged, RTTIPolyBaseClass)

public:
    int32_t m_value = 0;
    int32_t m_hidden = 0;
};

// Its table names a base that does not exist.
class Orphan : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(Orphan, RTTIPolyBaseClass)
};

// Offers bone names for its "Mount bone" and leaves every other name to its base.
class BoneOwner : public LayoutA
{
public:
    void GetPropertyChoices(const char* propertyName, DynarraySafe<NameString>& choices) const override
    {
        if (std::string(propertyName) != "Mount bone")
            return LayoutA::GetPropertyChoices(propertyName, choices);
        choices.Clear();
        choices.Add(NameString("Head"));
        choices.Add(NameString(""));
    }
};

RTTI_DEFINE_CLASS_TABLE(LayoutA, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS_TABLE(LayoutRenamed, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS_TABLE(LayoutReflagged, RTTIPolyBaseClass)

RTTIPropertiesBase* Orphan::StaticClassProperties()
{
    static RTTIPropertiesBase* const table = [] {
        RTTIPropertiesBase* built = new RTTIPropertiesBase;
        built->Init("Orphan", "NoSuchBaseClass");
        BuildClassProperties(*built);
        return built;
    }();
    return table;
}

void Orphan::BuildClassProperties(RTTIPropertiesBase&) {}

void LayoutA::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<LayoutA, int32_t>("Value", &LayoutA::m_value));
    table.AddProperty(new RTTIDirectAccessTypedProperty<LayoutA, int32_t>("Hidden", &LayoutA::m_hidden,
                                                                          RTTI_PROPERTY_NOT_SERIALIZED));
}

void LayoutRenamed::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<LayoutRenamed, int32_t>("Worth", &LayoutRenamed::m_value));
    table.AddProperty(new RTTIDirectAccessTypedProperty<LayoutRenamed, int32_t>("Hidden", &LayoutRenamed::m_hidden,
                                                                                RTTI_PROPERTY_NOT_SERIALIZED));
}

void LayoutReflagged::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<LayoutReflagged, int32_t>("Value", &LayoutReflagged::m_value));
    table.AddProperty(new RTTIDirectAccessTypedProperty<LayoutReflagged, int32_t>("Hidden", &LayoutReflagged::m_hidden));
}
} // namespace

TEST(RTTIPropertiesBaseTest, LookupByNameIgnoresCase)
{
    const RTTIPropertiesBase* table = CoreConfig::StaticClassProperties();
    const RTTIProperty* property = table->FindProperty("Log frame info");
    ASSERT_NE(property, nullptr);
    EXPECT_EQ(table->FindProperty("LOG FRAME INFO"), property);
    EXPECT_EQ(table->FindProperty("log Frame Info"), property);
    EXPECT_EQ(table->FindProperty("Log frame"), nullptr);
    // Of names that differ only in case, the first added is found.
    RTTIPropertiesBase clashing;
    for (const char* name : {"b", "A", "a", "A"})
        clashing.AddProperty(new RTTIDirectAccessTypedProperty<LayoutA, int32_t>(name, &LayoutA::m_value));
    EXPECT_EQ(clashing.FindProperty("a"), clashing.GetProperties()[1]);
    EXPECT_EQ(property->GetType(), uint32_t(RTTI_TYPE_UNSIGNED_CHAR));
    EXPECT_STREQ(property->GetEnumerationNames()[2], "Only when changed");
    EXPECT_EQ(RTTIPropertiesBase::FindTable("coreconfig"), table);
    EXPECT_EQ(table->GetBaseTable(), nullptr);
    // A table leaves the class list when it goes.
    {
        RTTIPropertiesBase passing;
        passing.Init("PassingTable", nullptr);
        EXPECT_EQ(RTTIPropertiesBase::FindTable("passingtable"), &passing);
    }
    EXPECT_EQ(RTTIPropertiesBase::FindTable("PassingTable"), nullptr);
}

TEST(RTTIPropertiesBaseTest, FreshCoreConfigIsThreeZeroBytes)
{
    CoreConfig config;
    Dynarray<uint8_t> record;
    ASSERT_TRUE(BuildObjectRecord(config, 0, record));
    EXPECT_EQ(std::vector<uint8_t>(record.begin(), record.end()), (std::vector<uint8_t>{3, 0, 0, 0, 0, 0, 0}));
}

TEST(RTTIPropertiesBaseTest, NeverSerializedPropertyCountsOnlyInTheMagic)
{
    LayoutA a;
    a.m_value = 3;
    a.m_hidden = 4;
    Dynarray<uint8_t> record;
    ASSERT_TRUE(BuildObjectRecord(a, 0, record));
    EXPECT_EQ(record.Count(), 8);

    const uint32_t magic = LayoutA::StaticClassProperties()->GetLayoutMagic();
    EXPECT_NE(magic, LayoutRenamed::StaticClassProperties()->GetLayoutMagic());
    EXPECT_NE(magic, LayoutReflagged::StaticClassProperties()->GetLayoutMagic());
    // By hand: a running CRC over each property's {type, flags} and name, then the signatures and count.
    const uint8_t value[8] = {10, 0, 0, 0, 0, 0, 0, 0};
    const uint8_t hidden[8] = {10, 0, 0, 0, 0, 0x40, 0, 0};
    uint32_t crc = ComputeCrc32(value, 8);
    crc = ComputeCrc32("Value", 5, crc);
    crc = ComputeCrc32(hidden, 8, crc);
    crc = ComputeCrc32("Hidden", 6, crc);
    EXPECT_EQ(magic, crc ^ 10u ^ (10u ^ 0x4000u) ^ 2u);
    // A flag sharing a bit with its type id, as every entity's skippable GUID does, still flips it.
    RTTIPropertiesBase guid;
    guid.AddProperty(new RTTIDirectAccessTypedProperty<AllPropertyTypes, SimpleGUID>("", &AllPropertyTypes::m_guid,
                                                                                      RTTI_PROPERTY_SKIPPABLE));
    const uint8_t skippable[8] = {21, 0, 0, 0, 4, 0, 0, 0};
    EXPECT_EQ(guid.GetLayoutMagic(), ComputeCrc32(skippable, 8) ^ (21u ^ 4u) ^ 1u);
    // A kind's type id is part of the stored magic: the memory block is 28.
    RTTIPropertiesBase block;
    block.AddProperty(new RTTIPureMemoryBlockProperty<AllPropertyTypes, 8>("", &AllPropertyTypes::m_block));
    const uint8_t blockSignature[8] = {28, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(block.GetLayoutMagic(), ComputeCrc32(blockSignature, 8) ^ 28u ^ 1u);
}

TEST(RTTIPropertiesBaseTest, UnknownBaseNameGivesNoBase)
{
    const RTTIPropertiesBase* table = Orphan::StaticClassProperties();
    EXPECT_EQ(table->GetBaseTable(), nullptr);
    ASSERT_EQ(table->GetClassChain().Count(), 1);
}

TEST(RTTIPropertiesBaseTest, ObjectsCompareEqualPropertyByProperty)
{
    LayoutA a;
    LayoutA b;
    const RTTIPropertiesBase* table = LayoutA::StaticClassProperties();
    EXPECT_TRUE(table->AreObjectsEqual(&a, &b));
    b.m_hidden = 1;
    EXPECT_FALSE(table->AreObjectsEqual(&a, &b));
}

TEST(RTTIPropertiesBaseTest, PropertyChoicesComeFromTheClassThatKnowsTheName)
{
    BoneOwner owner;
    const RTTIPolyBaseClass& object = owner;
    DynarraySafe<NameString> choices;
    choices.Add(NameString("kept"));
    object.GetPropertyChoices("Value", choices);
    ASSERT_EQ(choices.Count(), 1);
    EXPECT_STREQ(choices[0].CStr(), "kept");
    object.GetPropertyChoices("Mount bone", choices);
    ASSERT_EQ(choices.Count(), 2);
    EXPECT_STREQ(choices[0].CStr(), "Head");
    EXPECT_STREQ(choices[1].CStr(), "");
}

TEST(RTTIPropertiesBaseTest, ScriptTextAccessYieldsNothingAndRefusesToSet)
{
    LayoutA object;
    object.m_value = 5;
    const RTTIPropertiesBase* table = LayoutA::StaticClassProperties();
    EXPECT_EQ(table->GetPropertyValueAsString(&object, "Value"), "");
    EXPECT_FALSE(table->SetPropertyFromString(&object, "Value", "9"));
    EXPECT_EQ(object.m_value, 5);
}
