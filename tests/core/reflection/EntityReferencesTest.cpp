#include "core/reflection/GUIDReplacementTable.h"
#include "core/reflection/ObjectRecord.h"
#include "support/AllPropertyTypes.h"
#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace
{
// Embedded in Holder: its post-load hook runs inside the outer load and reads another record there.
class NestedReader : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(NestedReader, RTTIPolyBaseClass)

public:
    void OnPostLoad(uint32_t) override
    {
        if (m_innerRecord.empty())
            return;
        m_inner = std::make_unique<AllPropertyTypes>();
        ReadObjectRecord(*m_inner, m_innerRecord.data(), m_innerRecord.size(), 0);
        m_innerSetDuringLoad = m_inner->m_entity != nullptr;
    }

    std::vector<uint8_t> m_innerRecord;
    std::unique_ptr<AllPropertyTypes> m_inner;
    bool m_innerSetDuringLoad = false;
};

class Holder : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(Holder, RTTIPolyBaseClass)

public:
    void SetEntity(SampleEntity* entity) { m_entity = entity; }
    SampleEntity* GetEntity() const { return m_entity; }

    SampleEntity* m_entity = nullptr;
    NestedReader m_reader;
};

// Plain values only: its reads run no property code.
class PlainValues : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(PlainValues, RTTIPolyBaseClass)

public:
    int32_t m_number = 0;
    std::string m_text;
};

RTTI_DEFINE_CLASS_TABLE(NestedReader, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS_TABLE(Holder, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS_TABLE(PlainValues, RTTIPolyBaseClass)

void PlainValues::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<PlainValues, int32_t>("Number", &PlainValues::m_number));
    table.AddProperty(new RTTIDirectAccessTypedProperty<PlainValues, std::string>("Text", &PlainValues::m_text));
}

void NestedReader::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIPropertyGroup("Reader"));
}

void Holder::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIEntityPointerProperty<Holder, SampleEntity>("Entity", &Holder::SetEntity,
                                                                          &Holder::GetEntity, 0));
    table.AddProperty(new RTTIEmbeddedObjectProperty<Holder, NestedReader>("Reader", &Holder::m_reader));
}

SimpleGUID GUIDOf(uint8_t value)
{
    SimpleGUID guid;
    guid.bytes[0] = value;
    return guid;
}

std::vector<uint8_t> RecordReferring(const SimpleGUID& guid, uint32_t flags = 0)
{
    FakeEntityResolver writer;
    SampleEntity stand;
    stand.m_guid = guid;
    writer.Add(&stand);
    Holder holder;
    holder.m_entity = &stand;
    Dynarray<uint8_t> record;
    EXPECT_TRUE(BuildObjectRecord(holder, flags, record));
    return std::vector<uint8_t>(record.begin(), record.end());
}

std::vector<uint8_t> AllTypesReferring(const SimpleGUID& pointer, const SimpleGUID& safe)
{
    FakeEntityResolver writer;
    SampleEntity a;
    a.m_guid = pointer;
    SampleEntity b;
    b.m_guid = safe;
    writer.Add(&a);
    writer.Add(&b);
    AllPropertyTypes object;
    object.m_entity = &a;
    object.m_safeEntity = &b;
    Dynarray<uint8_t> record;
    EXPECT_TRUE(BuildObjectRecord(object, 0, record));
    return std::vector<uint8_t>(record.begin(), record.end());
}
} // namespace

TEST(EntityReferencesTest, ForwardReferencesResolveAtTheEndOfTheOutermostLoad)
{
    FakeEntityResolver resolver;
    const std::vector<uint8_t> record = AllTypesReferring(GUIDOf(1), GUIDOf(2));
    AllPropertyTypes object;
    SampleEntity a;
    a.m_guid = GUIDOf(1);
    a.m_type = 2;
    SampleEntity b;
    b.m_guid = GUIDOf(2);

    // A scene load: the references are read before their entities exist.
    ASSERT_TRUE(BeginPendingEntityReferences());
    EXPECT_TRUE(AreEntityReferencesPending()) << "an open load counts before anything is queued";
    EXPECT_FALSE(BeginPendingEntityReferences());
    ASSERT_TRUE(ReadObjectRecord(object, record.data(), record.size(), 0));
    EXPECT_EQ(object.m_entity, nullptr);
    EXPECT_EQ(object.m_safeEntity.Get(), nullptr);
    resolver.Add(&a);
    resolver.Add(&b);
    ResolvePendingEntityReferences();
    EXPECT_FALSE(ArePendingEntityReferencesOpen());
    EXPECT_EQ(object.m_entity, &a);
    EXPECT_EQ(object.m_safeEntity.Get(), &b);
}

TEST(EntityReferencesTest, NestedLoadsDoNotResolveEarly)
{
    FakeEntityResolver resolver;
    SampleEntity a;
    a.m_guid = GUIDOf(5);
    a.m_type = 1;
    resolver.Add(&a);

    Holder holder;
    holder.m_reader.m_innerRecord = AllTypesReferring(GUIDOf(5), SimpleGUID());
    const std::vector<uint8_t> outer = RecordReferring(GUIDOf(5));
    ASSERT_TRUE(ReadObjectRecord(holder, outer.data(), outer.size(), 0));
    ASSERT_NE(holder.m_reader.m_inner, nullptr);
    EXPECT_FALSE(holder.m_reader.m_innerSetDuringLoad);
    EXPECT_EQ(holder.m_reader.m_inner->m_entity, &a);
    EXPECT_EQ(holder.m_entity, &a);
}

TEST(EntityReferencesTest, MismatchedAndMissingEntitiesAreReportedAndLeftNull)
{
    FakeEntityResolver resolver;
    SampleEntity wrongType;
    wrongType.m_guid = GUIDOf(7);
    wrongType.m_type = 3;
    resolver.Add(&wrongType);

    ConsoleCapture capture;
    AllPropertyTypes object;
    const std::vector<uint8_t> mismatched = AllTypesReferring(GUIDOf(7), SimpleGUID());
    ASSERT_TRUE(ReadObjectRecord(object, mismatched.data(), mismatched.size(), 0));
    EXPECT_EQ(object.m_entity, nullptr);
    EXPECT_TRUE(capture.Contains("Unable to deserialize entity pointer due to type mismatch. Guid=" +
                                     std::string(GUIDOf(7).ToStringUnsafe()) + ", type=3, expected=1",
                                 CONSOLE_ERROR));

    const std::vector<uint8_t> missing = AllTypesReferring(GUIDOf(8), SimpleGUID());
    ASSERT_TRUE(ReadObjectRecord(object, missing.data(), missing.size(), 0));
    EXPECT_EQ(object.m_entity, nullptr);
    EXPECT_TRUE(capture.Contains("Unable to deserialize entity pointer. Guid=" + std::string(GUIDOf(8).ToStringUnsafe()),
                                 CONSOLE_ERROR));
}

TEST(EntityReferencesTest, ImmediatePathChecksTheTypeToo)
{
    FakeEntityResolver resolver;
    SampleEntity wrongType;
    wrongType.m_guid = GUIDOf(9);
    wrongType.m_type = 3;
    resolver.Add(&wrongType);

    // Flag 4: no list is opened, so the pointer is looked up at once.
    AllPropertyTypes object;
    ConsoleCapture capture;
    const std::vector<uint8_t> record = AllTypesReferring(GUIDOf(9), SimpleGUID());
    ASSERT_TRUE(ReadObjectRecord(object, record.data(), record.size(), 4));
    EXPECT_EQ(object.m_entity, nullptr);
    EXPECT_TRUE(capture.Contains("type mismatch", CONSOLE_ERROR));

    wrongType.m_type = 2;
    ASSERT_TRUE(ReadObjectRecord(object, record.data(), record.size(), 4));
    EXPECT_EQ(object.m_entity, &wrongType);
}

TEST(EntityReferencesTest, SafeReferenceReadOutsideALoadWaitsAndSurvivesItsObjectDying)
{
    FakeEntityResolver resolver;
    SampleEntity target;
    target.m_guid = GUIDOf(4);
    resolver.Add(&target);
    const std::vector<uint8_t> record = AllTypesReferring(SimpleGUID(), GUIDOf(4));

    ConsoleCapture capture;
    auto doomed = std::make_unique<AllPropertyTypes>();
    AllPropertyTypes survivor;
    ASSERT_TRUE(ReadObjectRecord(*doomed, record.data(), record.size(), 4));
    ASSERT_TRUE(ReadObjectRecord(survivor, record.data(), record.size(), 4));
    EXPECT_EQ(survivor.m_safeEntity.Get(), nullptr);
    doomed.reset();

    // The next resolution sets the survivor and skips the dead object.
    ASSERT_TRUE(BeginPendingEntityReferences());
    ResolvePendingEntityReferences();
    EXPECT_EQ(survivor.m_safeEntity.Get(), &target);
    EXPECT_EQ(capture.CountOfKind(CONSOLE_ERROR), 0u) << "the null entity pointer is no failed lookup";
}

// A load of plain values queues nothing, but it is still a load: references waiting from outside
// one are resolved at its end, and inside an open load it resolves nothing early.
TEST(EntityReferencesTest, LoadsOfPlainValuesStillResolveWaitingReferences)
{
    FakeEntityResolver resolver;
    SampleEntity target;
    target.m_guid = GUIDOf(6);
    resolver.Add(&target);
    const std::vector<uint8_t> referring = AllTypesReferring(SimpleGUID(), GUIDOf(6));
    PlainValues plain;
    plain.m_number = 12;
    plain.m_text = "plain";
    Dynarray<uint8_t> plainRecord;
    ASSERT_TRUE(BuildObjectRecord(plain, 0, plainRecord));

    AllPropertyTypes waiting;
    ASSERT_TRUE(ReadObjectRecord(waiting, referring.data(), referring.size(), 4));
    ASSERT_TRUE(BeginPendingEntityReferences());
    PlainValues inner;
    ASSERT_TRUE(ReadObjectRecord(inner, plainRecord.Data(), size_t(plainRecord.Count()), 0));
    EXPECT_TRUE(ArePendingEntityReferencesOpen());
    EXPECT_EQ(waiting.m_safeEntity.Get(), nullptr);
    ResolvePendingEntityReferences();
    EXPECT_EQ(waiting.m_safeEntity.Get(), &target);

    AllPropertyTypes later;
    ASSERT_TRUE(ReadObjectRecord(later, referring.data(), referring.size(), 4));
    EXPECT_EQ(later.m_safeEntity.Get(), nullptr);
    PlainValues read;
    ASSERT_TRUE(ReadObjectRecord(read, plainRecord.Data(), size_t(plainRecord.Count()), 0));
    EXPECT_EQ(read.m_number, 12);
    EXPECT_EQ(read.m_text, "plain");
    EXPECT_EQ(later.m_safeEntity.Get(), &target);
    EXPECT_FALSE(ArePendingEntityReferencesOpen());
    // Nothing waits any more: the next plain load opens nothing and leaves nothing open.
    ASSERT_TRUE(ReadObjectRecord(read, plainRecord.Data(), size_t(plainRecord.Count()), 0));
    EXPECT_FALSE(ArePendingEntityReferencesOpen());
}

TEST(EntityReferencesTest, ReplacementTableMapsReferencesAtResolution)
{
    FakeEntityResolver resolver;
    SampleEntity renamed;
    renamed.m_guid = GUIDOf(21);
    renamed.m_type = 1;
    resolver.Add(&renamed);
    const std::vector<uint8_t> record = AllTypesReferring(GUIDOf(20), SimpleGUID());

    AllPropertyTypes object;
    ASSERT_TRUE(BeginPendingEntityReferences());
    GUIDReplacementTable::GetActive()->AddReplacement(GUIDOf(20), GUIDOf(21));
    ASSERT_TRUE(ReadObjectRecord(object, record.data(), record.size(), 0));
    ResolvePendingEntityReferences();
    EXPECT_EQ(object.m_entity, &renamed);
}

TEST(EntityReferencesTest, ImmediatePathReplacesAnOldPointerWithNullWhenNothingFits)
{
    FakeEntityResolver resolver;
    SampleEntity old;
    old.m_guid = GUIDOf(30);
    old.m_type = 1;
    SampleEntity wrongType;
    wrongType.m_guid = GUIDOf(31);
    wrongType.m_type = 3;
    resolver.Add(&old);
    resolver.Add(&wrongType);

    ConsoleCapture capture;
    AllPropertyTypes object;
    object.m_entity = &old;
    const std::vector<uint8_t> missing = AllTypesReferring(GUIDOf(32), SimpleGUID());
    ASSERT_TRUE(ReadObjectRecord(object, missing.data(), missing.size(), 4));
    EXPECT_EQ(object.m_entity, nullptr);
    EXPECT_TRUE(capture.Contains("Unable to deserialize entity pointer. Guid=" + std::string(GUIDOf(32).ToStringUnsafe()),
                                 CONSOLE_ERROR));

    object.m_entity = &old;
    const std::vector<uint8_t> mismatched = AllTypesReferring(GUIDOf(31), SimpleGUID());
    ASSERT_TRUE(ReadObjectRecord(object, mismatched.data(), mismatched.size(), 4));
    EXPECT_EQ(object.m_entity, nullptr);

    // A null reference clears it as well.
    object.m_entity = &old;
    const std::vector<uint8_t> none = AllTypesReferring(SimpleGUID(), SimpleGUID());
    ASSERT_TRUE(ReadObjectRecord(object, none.data(), none.size(), 4));
    EXPECT_EQ(object.m_entity, nullptr);
}
