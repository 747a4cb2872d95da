#include "core/Crc32.h"
#include "core/filesystem/FileReader.h"
#include "core/reflection/RecordStream.h"
#include "core/reflection/ObjectRecord.h"
#include "support/AllPropertyTypes.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace
{
// Serializes in name order: its own table ("AlphaDerived") before its base's ("ZetaBase").
class ZetaBase : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(ZetaBase, RTTIPolyBaseClass)

public:
    uint32_t m_base = 0;
};

class AlphaDerived : public ZetaBase
{
    RTTI_DECLARE_CLASS(AlphaDerived, ZetaBase)

public:
    uint16_t m_derived = 0;
    std::string m_text;
};

RTTI_DEFINE_CLASS(ZetaBase, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS(AlphaDerived, ZetaBase)

void ZetaBase::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<ZetaBase, uint32_t>("Base", &ZetaBase::m_base));
}

void AlphaDerived::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<AlphaDerived, uint16_t>("Derived", &AlphaDerived::m_derived));
    table.AddProperty(new RTTIDirectAccessTypedProperty<AlphaDerived, std::string>("Text", &AlphaDerived::m_text));
}

// A derived class whose name sorts after its base's: name order puts the base's table first, as
// walking from the root would, but unlike walking from the class up.
class BetaBase : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(BetaBase, RTTIPolyBaseClass)

public:
    uint8_t m_base = 0;
};

class GammaDerived : public BetaBase
{
    RTTI_DECLARE_CLASS(GammaDerived, BetaBase)

public:
    uint8_t m_derived = 0;
};

// Same own property as GammaDerived, straight on the root, and the same with another base.
class GammaAlone : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(GammaAlone, RTTIPolyBaseClass)

public:
    uint8_t m_derived = 0;
};

RTTI_DEFINE_CLASS(BetaBase, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS(GammaDerived, BetaBase)
RTTI_DEFINE_CLASS(GammaAlone, RTTIPolyBaseClass)

void BetaBase::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<BetaBase, uint8_t>("Base", &BetaBase::m_base));
}

void GammaDerived::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<GammaDerived, uint8_t>("Derived", &GammaDerived::m_derived));
}

void GammaAlone::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<GammaAlone, uint8_t>("Derived", &GammaAlone::m_derived));
}

// Its pre-save hook grows a string, which must be counted in the record's size.
class GrowingOnSave : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(GrowingOnSave, RTTIPolyBaseClass)

public:
    void OnPreSave(uint32_t) override { m_text += "-saved-with-a-much-longer-text"; }
    std::string m_text = "x";
};

RTTI_DEFINE_CLASS(GrowingOnSave, RTTIPolyBaseClass)

void GrowingOnSave::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<GrowingOnSave, std::string>("Text", &GrowingOnSave::m_text));
}

class Empty : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(Empty, RTTIPolyBaseClass)
};

RTTI_DEFINE_CLASS(Empty, RTTIPolyBaseClass)

void Empty::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIPropertyGroup("Nothing to store"));
}

// Owns a child of its own class.
class ChainNode : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(ChainNode, RTTIPolyBaseClass)

public:
    ~ChainNode() override { delete m_child; }
    void OnPreSave(uint32_t) override { ++m_saves; }
    ChainNode* m_child = nullptr;
    int m_saves = 0;
};

RTTI_DEFINE_CLASS(ChainNode, RTTIPolyBaseClass)

void ChainNode::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIEmbeddedPolyObjectPointerProperty<ChainNode, ChainNode>("Child", &ChainNode::m_child));
}

// An embedded object whose hook grows it, which it runs only once the record's size was taken.
class GrowingChild : public ChainNode
{
    RTTI_DECLARE_CLASS(GrowingChild, ChainNode)

public:
    void OnPreSave(uint32_t) override { m_text += "-grown"; }
    std::string m_text;
};

RTTI_DEFINE_CLASS(GrowingChild, ChainNode)

void GrowingChild::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<GrowingChild, std::string>("Text", &GrowingChild::m_text));
}

// A payload of `depth` nested ChainNodes, assembled by hand.
std::vector<uint8_t> ChainPayload(int depth)
{
    std::vector<uint8_t> payload;
    const std::string name = "ChainNode";
    for (int i = 0; i < depth; ++i)
    {
        payload.push_back(uint8_t(name.size()));
        payload.insert(payload.end(), name.begin(), name.end());
    }
    payload.push_back(0);
    return payload;
}

std::vector<uint8_t> Bytes(const Dynarray<uint8_t>& record)
{
    return std::vector<uint8_t>(record.begin(), record.end());
}

std::vector<uint8_t> RecordOf(RTTIPolyBaseClass& object, uint32_t flags)
{
    Dynarray<uint8_t> record;
    EXPECT_TRUE(BuildObjectRecord(object, flags, record));
    return Bytes(record);
}

void PutU32(std::vector<uint8_t>& bytes, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.push_back(uint8_t(value >> (8 * i)));
}

class ObjectRecordTest : public ::testing::Test
{
protected:
    ObjectRecordTest()
    {
        RegisterAllPropertyTypesClasses();
        ZetaBase::RegisterRTTIClass();
        AlphaDerived::RegisterRTTIClass();
        BetaBase::RegisterRTTIClass();
        GammaDerived::RegisterRTTIClass();
        GammaAlone::RegisterRTTIClass();
        GrowingOnSave::RegisterRTTIClass();
        Empty::RegisterRTTIClass();
        ChainNode::RegisterRTTIClass();
        GrowingChild::RegisterRTTIClass();
        m_target.m_guid.bytes[0] = 0x11;
        m_target.m_type = 2;
        m_resolver.Add(&m_target);
    }

    bool Equal(const AllPropertyTypes& a, const AllPropertyTypes& b)
    {
        return AllPropertyTypes::StaticClassProperties()->AreObjectsEqual(&a, &b);
    }

    void FillWithEntities(AllPropertyTypes& object)
    {
        object.Fill();
        object.m_entity = &m_target;
        object.m_safeEntity = &m_target;
    }

    FakeEntityResolver m_resolver;
    SampleEntity m_target;
};
} // namespace

TEST_F(ObjectRecordTest, EveryPropertyTypeRoundTripsWithEachFlag)
{
    for (const uint32_t flags : {0u, 1u, 8u, 16u, 1u | 16u})
    {
        SCOPED_TRACE(flags);
        AllPropertyTypes source;
        FillWithEntities(source);
        const std::vector<uint8_t> record = RecordOf(source, flags);

        AllPropertyTypes copy;
        ASSERT_TRUE(ReadObjectRecord(copy, record.data(), record.size(), flags));
        if (flags & 1)
        {
            // The property flagged 4 stays out of the record.
            EXPECT_EQ(copy.m_byte, 0);
            copy.m_byte = source.m_byte;
        }
        if (flags & 8)
        {
            // Flags reach the embedded objects too: a derived element keeps only its own table.
            EXPECT_EQ(copy.m_poly->m_weight, 0.0f);
            copy.m_poly->m_weight = source.m_poly->m_weight;
        }
        EXPECT_TRUE(Equal(source, copy));
        EXPECT_EQ(copy.m_entity, &m_target);
        EXPECT_EQ(copy.m_safeEntity.Get(), &m_target);
        ASSERT_NE(dynamic_cast<SamplePolyDerived*>(copy.m_poly), nullptr);
        EXPECT_EQ(static_cast<SamplePolyDerived*>(copy.m_poly)->m_note, "derived");
        EXPECT_EQ(RecordOf(copy, flags), record);
        ASSERT_TRUE(ReadObjectRecord(copy, record.data(), record.size(), flags)); // frees the owned object it replaces
        delete std::exchange(copy.m_poly, nullptr); // an owned object never equals none, either way round
        EXPECT_FALSE(Equal(source, copy));
        EXPECT_FALSE(Equal(copy, source));
    }
}

TEST_F(ObjectRecordTest, ByteSwappedRecordsReverseEveryWordButRawBytes)
{
    AlphaDerived object;
    object.m_base = 0x01020304;
    object.m_derived = 0x0A0B;
    object.m_text = "ab";
    const std::vector<uint8_t> swapped = RecordOf(object, 2);
    // Size (swapped), then AlphaDerived's own properties, then ZetaBase's.
    const std::vector<uint8_t> expected = {0, 0, 0, 9, 0x0A, 0x0B, 'a', 'b', 0, 1, 2, 3, 4};
    EXPECT_EQ(swapped, expected);

    // With flag 16 too, the size is swapped but magic and CRC stay in native order.
    const std::vector<uint8_t> both = RecordOf(object, 2 | 16);
    ASSERT_EQ(both.size(), 12u + 9u);
    EXPECT_EQ(both[3], 9);
    const uint32_t magic = AlphaDerived::StaticClassProperties()->GetLayoutMagic();
    EXPECT_EQ(both[4], uint8_t(magic));
    EXPECT_EQ(both[7], uint8_t(magic >> 24));
    const uint32_t crc = ComputeCrc32(both.data() + 12, 9);
    EXPECT_EQ(both[8], uint8_t(crc));
    EXPECT_EQ(both[11], uint8_t(crc >> 24));

    // Every type of the big sample swaps without changing the record's size.
    AllPropertyTypes all;
    FillWithEntities(all);
    EXPECT_EQ(RecordOf(all, 2).size(), RecordOf(all, 0).size());
}

TEST_F(ObjectRecordTest, DerivedClassWhoseNameSortsFirstWritesItsOwnPropertiesFirst)
{
    AlphaDerived object;
    object.m_base = 0x01020304;
    object.m_derived = 0x0A0B;
    object.m_text = "ab";
    const std::vector<uint8_t> expected = {9, 0, 0, 0, 0x0B, 0x0A, 'a', 'b', 0, 4, 3, 2, 1};
    EXPECT_EQ(RecordOf(object, 0), expected);

    // Flag 8 keeps only the class's own table.
    const std::vector<uint8_t> own = {5, 0, 0, 0, 0x0B, 0x0A, 'a', 'b', 0};
    EXPECT_EQ(RecordOf(object, 8), own);
    AlphaDerived copy;
    copy.m_base = 77;
    ASSERT_TRUE(ReadObjectRecord(copy, own.data(), own.size(), 8));
    EXPECT_EQ(copy.m_base, 77u);
    EXPECT_EQ(copy.m_text, "ab");
}

TEST_F(ObjectRecordTest, TablesAreWalkedByClassNameNotByInheritance)
{
    GammaDerived object;
    object.m_base = 0x11;
    object.m_derived = 0x22;
    EXPECT_EQ(RecordOf(object, 0), (std::vector<uint8_t>{2, 0, 0, 0, 0x11, 0x22}));
    // u16 and an empty text's 0 of its own table, u32 of its base's.
    EXPECT_EQ(AlphaDerived::StaticClassProperties()->GetMinimumPayloadSize(0), 2u + 1u + 4u);
    GammaDerived copy;
    const std::vector<uint8_t> record = {2, 0, 0, 0, 0x33, 0x44};
    ASSERT_TRUE(ReadObjectRecord(copy, record.data(), record.size(), 0));
    EXPECT_EQ(copy.m_base, 0x33);
    EXPECT_EQ(copy.m_derived, 0x44);
}

TEST_F(ObjectRecordTest, LayoutMagicFoldsInTheBaseTables)
{
    // The same own table over another base makes another layout, by exactly the base's magic.
    const uint32_t derived = GammaDerived::StaticClassProperties()->GetLayoutMagic();
    const uint32_t alone = GammaAlone::StaticClassProperties()->GetLayoutMagic();
    const uint32_t base = BetaBase::StaticClassProperties()->GetLayoutMagic();
    EXPECT_NE(derived, alone);
    EXPECT_EQ(derived, alone ^ base);
}

TEST_F(ObjectRecordTest, HandAssembledRecordReads)
{
    std::vector<uint8_t> payload = {0x34, 0x12, 'h', 'i', '!', 0, 0xEF, 0xBE, 0xAD, 0xDE};
    std::vector<uint8_t> record;
    PutU32(record, uint32_t(payload.size()));
    PutU32(record, AlphaDerived::StaticClassProperties()->GetLayoutMagic());
    PutU32(record, ComputeCrc32(payload.data(), payload.size()));
    record.insert(record.end(), payload.begin(), payload.end());

    AlphaDerived object;
    ASSERT_TRUE(ReadObjectRecord(object, record.data(), record.size(), 16));
    EXPECT_EQ(object.m_derived, 0x1234);
    EXPECT_EQ(object.m_text, "hi!");
    EXPECT_EQ(object.m_base, 0xDEADBEEFu);
}

TEST_F(ObjectRecordTest, ChangedLayoutAndCorruptPayloadAreRefusedLeavingTheObject)
{
    AlphaDerived written;
    written.m_text = "written";
    std::vector<uint8_t> record = RecordOf(written, 16);

    // A reader whose class layout differs: a base table with another property.
    ZetaBase other;
    other.m_base = 5;
    {
        ConsoleCapture capture;
        EXPECT_FALSE(ReadObjectRecord(other, record.data(), record.size(), 16));
        EXPECT_TRUE(capture.Contains("SolidDeserializeFromFileReader - magic check error!!!", CONSOLE_ERROR));
    }
    EXPECT_EQ(other.m_base, 5u);

    AlphaDerived reader;
    reader.m_text = "kept";
    for (const uint32_t delta : {1u, ~0u}) // a magic one above or one below the reader's own
    {
        std::vector<uint8_t> shifted = record;
        const uint32_t magic = AlphaDerived::StaticClassProperties()->GetLayoutMagic() + delta;
        std::memcpy(&shifted[4], &magic, 4);
        EXPECT_FALSE(ReadObjectRecord(reader, shifted.data(), shifted.size(), 16)) << delta;
    }
    record.back() ^= 0x40;
    {
        ConsoleCapture capture;
        EXPECT_FALSE(ReadObjectRecord(reader, record.data(), record.size(), 16));
        EXPECT_TRUE(capture.Contains("SolidDeserializeFromFileReader - CRC check error!!!", CONSOLE_ERROR));
    }
    EXPECT_EQ(reader.m_text, "kept");
}

TEST_F(ObjectRecordTest, EveryTruncationIsRefusedLeavingTheObject)
{
    AllPropertyTypes source;
    FillWithEntities(source);
    const std::vector<uint8_t> record = RecordOf(source, 0);
    ConsoleCapture capture;
    for (size_t length = 0; length < record.size(); ++length)
    {
        AllPropertyTypes target;
        target.m_string = "untouched";
        const std::vector<uint8_t> head(record.begin(), record.begin() + long(length)); // nothing read past it
        EXPECT_FALSE(ReadObjectRecord(target, head.data(), length, 0)) << length;
        // The same cut with the size field claiming only the bytes there: the payload walk refuses.
        std::vector<uint8_t> cut(record.begin(), record.begin() + long(std::max<size_t>(length, 4)));
        const uint32_t claimed = uint32_t(cut.size() - 4);
        for (int i = 0; i < 4; ++i)
            cut[size_t(i)] = uint8_t(claimed >> (8 * i));
        if (claimed != 0)
        {
            EXPECT_FALSE(ReadObjectRecord(target, cut.data(), cut.size(), 0)) << length;
        }
        EXPECT_EQ(target.m_string, "untouched");
        EXPECT_EQ(target.m_ints.Count(), 0);
        EXPECT_EQ(target.m_poly, nullptr);
    }
    EXPECT_TRUE(capture.Contains("Record of class AllPropertyTypes is truncated or malformed; nothing was read", CONSOLE_ERROR));
}

TEST_F(ObjectRecordTest, ForgedCountsAreRefusedBeforeAllocating)
{
    AllPropertyTypes source;
    source.m_ints.Add(1);
    std::vector<uint8_t> record = RecordOf(source, 0);
    // The "Ints" count follows the size field directly (group and separator take no bytes).
    record[4] = 0xFF;
    record[5] = 0xFF;
    record[6] = 0xFF;
    record[7] = 0x7F;
    AllPropertyTypes target;
    ConsoleCapture capture;
    EXPECT_FALSE(ReadObjectRecord(target, record.data(), record.size(), 0));
    EXPECT_TRUE(capture.Contains("claims 2147483647 elements", CONSOLE_ERROR));
}

TEST_F(ObjectRecordTest, UnknownClassInAnArrayRefusesTheWholeRead)
{
    AllPropertyTypes source;
    SamplePolyBase* element = new SamplePolyBase;
    source.m_polyPointers.Add(element);
    std::vector<uint8_t> record = RecordOf(source, 0);
    // The element's class is written without the "Sample" prefix: "PolyBase".
    const std::string written = "PolyBase";
    auto at = std::search(record.begin(), record.end(), written.begin(), written.end());
    ASSERT_NE(at, record.end());
    *at = 'X';

    AllPropertyTypes target;
    target.m_float = 9.0f;
    ConsoleCapture capture;
    EXPECT_FALSE(ReadObjectRecord(target, record.data(), record.size(), 0));
    EXPECT_TRUE(capture.Contains("Class factory cannot create an object of class SampleXolyBase. Some objects cannot be "
                                 "deserialized properly.",
                                 CONSOLE_ERROR));
    EXPECT_EQ(target.m_float, 9.0f);
    EXPECT_EQ(target.m_polyPointers.Count(), 0);

    // A forged count (before the element's present byte) is refused by the check, before any read.
    *at = 'P';
    std::fill_n(at - 5, 4, uint8_t(0x7F));
    ConsoleCapture forged;
    EXPECT_FALSE(ReadObjectRecord(target, record.data(), record.size(), 0));
    EXPECT_TRUE(forged.Contains("\"Poly pointers\" claims 2139062143 elements", CONSOLE_ERROR));
    EXPECT_TRUE(forged.Contains("truncated or malformed; nothing was read", CONSOLE_ERROR));
}

TEST_F(ObjectRecordTest, ClassOutsideThePropertysBaseIsRefused)
{
    AllPropertyTypes source;
    source.m_poly = new SamplePolyBase;
    std::vector<uint8_t> record = RecordOf(source, 0);
    // Put a registered class of another family in the kind-4 slot, same name length.
    const std::string written = "SamplePolyBase";
    auto at = std::search(record.begin(), record.end(), written.begin(), written.end());
    ASSERT_NE(at, record.end());
    const std::string other = "SampleEmbedded";
    std::copy(other.begin(), other.end(), at);
    AllPropertyTypes target;
    ConsoleCapture capture;
    EXPECT_FALSE(ReadObjectRecord(target, record.data(), record.size(), 0));
    EXPECT_TRUE(capture.Contains("Class SampleEmbedded cannot be stored in property \"Poly\"", CONSOLE_ERROR));
    EXPECT_EQ(target.m_poly, nullptr);
}

TEST_F(ObjectRecordTest, PreSaveHookRunsBeforeTheSizeIsTaken)
{
    GrowingOnSave object;
    const std::vector<uint8_t> record = RecordOf(object, 0);
    const std::string expected = "x-saved-with-a-much-longer-text";
    ASSERT_EQ(record.size(), 4 + expected.size() + 1);
    EXPECT_EQ(record[0], expected.size() + 1);
    GrowingOnSave copy;
    ASSERT_TRUE(ReadObjectRecord(copy, record.data(), record.size(), 0));
    EXPECT_EQ(copy.m_text, expected);

    // A size query runs no hook; writing into a buffer that is too small is refused.
    EXPECT_EQ(object.SerializeToMemory(nullptr, 0, 0), expected.size() + 1);
    ChainNode parent;
    parent.m_child = new ChainNode;
    EXPECT_GT(parent.SerializeToMemory(nullptr, 0, 0), 0u);
    EXPECT_EQ(parent.m_child->m_saves, 0) << "nor for embedded objects";
    uint8_t buffer[64];
    EXPECT_GT(parent.SerializeToMemory(buffer, sizeof(buffer), 0), 0u);
    EXPECT_EQ(parent.m_child->m_saves, 1);
    uint8_t small[8];
    ConsoleCapture capture;
    EXPECT_EQ(object.SerializeToMemory(small, sizeof(small), 0), 0u);
    parent.m_child->m_child = new GrowingChild;
    Dynarray<uint8_t> grown;
    const bool built = BuildObjectRecord(parent, 0, grown);
    EXPECT_EQ(built, grown.Count() > 4) << "a record is built whole or reported as failed, never empty as if built";
}

TEST_F(ObjectRecordTest, SmallForms)
{
    Empty empty;
    const std::vector<uint8_t> nothing = RecordOf(empty, 16);
    EXPECT_EQ(nothing, std::vector<uint8_t>(4, 0));
    EXPECT_TRUE(ReadObjectRecord(empty, nothing.data(), nothing.size(), 16));

    SampleEmbedded embedded;
    EXPECT_EQ(embedded.SerializeToMemory(nullptr, 0, 0), 5u);
    embedded.m_label = NameString("ab");
    EXPECT_EQ(embedded.SerializeToMemory(nullptr, 0, 0), 8u);
}

TEST_F(ObjectRecordTest, SaveAndLoadThroughTheFileSystemRefusingTruncatedFiles)
{
    TempFolder folder;
    AlphaDerived object;
    object.m_base = 7;
    object.m_text = "on disk";
    const std::string path = folder / "object";
    ASSERT_TRUE(object.SaveToFile(path.c_str(), "bin", nullptr, 16));

    AlphaDerived loaded;
    ASSERT_TRUE(loaded.LoadFromFile(path.c_str(), "bin", nullptr, 16));
    EXPECT_EQ(loaded.m_text, "on disk");
    EXPECT_EQ(loaded.m_base, 7u);

    std::string bytes = folder.ReadFile("object.bin");
    AlphaDerived untouched;
    untouched.m_text = "before";
    // Cut in the payload, then inside the magic and CRC words.
    const struct
    {
        size_t length;
        const char* error;
    } cuts[] = {{bytes.size() - 2, "bytes is truncated"}, {6, "record header truncated"}};
    for (const auto& cut : cuts)
    {
        folder.WriteFile("cut.bin", bytes.substr(0, cut.length));
        ConsoleCapture capture;
        EXPECT_FALSE(untouched.LoadFromFile((folder / "cut").c_str(), "bin", nullptr, 16)) << cut.length;
        EXPECT_TRUE(capture.Contains(cut.error, CONSOLE_ERROR)) << cut.length;
        EXPECT_EQ(untouched.m_text, "before");
    }
    EXPECT_FALSE(untouched.LoadFromFile((folder / "missing").c_str(), "bin", nullptr, 0));

    // The short form reads a plain record from "<path>.bin".
    object.m_text = "plain";
    ASSERT_TRUE(object.SaveToFile(path.c_str(), "bin", nullptr, 0));
    ASSERT_TRUE(untouched.LoadFromFile(path.c_str(), nullptr));
    EXPECT_EQ(untouched.m_text, "plain");
}

TEST_F(ObjectRecordTest, EmptyPayloadsReadFromPlainAndCrcFiles)
{
    TempFolder folder;
    Empty empty;
    for (const uint32_t flags : {0u, 16u})
    {
        const std::string path = folder / ("empty" + std::to_string(flags));
        ASSERT_TRUE(empty.SaveToFile(path.c_str(), "bin", nullptr, flags));
        EXPECT_TRUE(empty.LoadFromFile(path.c_str(), "bin", nullptr, flags)) << flags;
    }

    // A sized payload of 0 bytes, then a real one behind it.
    AlphaDerived object;
    object.m_text = "behind";
    std::string bytes(4, '\0');
    const std::vector<uint8_t> record = RecordOf(object, 0);
    bytes.append(record.begin(), record.end());
    folder.WriteFile("sized.bin", bytes);
    Dynarray<uint8_t> scratch;
    FileReader reader((folder / "sized.bin").c_str(), nullptr, nullptr, 0);
    ASSERT_TRUE(Empty::StaticClassProperties()->DeserializeFromFileReader(reader, &empty, scratch, 0));
    AlphaDerived loaded;
    ASSERT_TRUE(AlphaDerived::StaticClassProperties()->DeserializeFromFileReader(reader, &loaded, scratch, 0));
    EXPECT_EQ(loaded.m_text, "behind");
}

TEST_F(ObjectRecordTest, TableReadsSizedPayloadsFromAFileReader)
{
    AlphaDerived first;
    first.m_text = "one";
    AlphaDerived second;
    second.m_text = "two";
    std::string bytes;
    for (AlphaDerived* object : {&first, &second})
    {
        const std::vector<uint8_t> record = RecordOf(*object, 0);
        bytes.append(record.begin(), record.end());
    }
    TempFolder folder;
    folder.WriteFile("pair.bin", bytes);
    folder.WriteFile("cut.bin", bytes.substr(0, bytes.size() - 1));

    const RTTIPropertiesBase* table = AlphaDerived::StaticClassProperties();
    Dynarray<uint8_t> scratch;
    FileReader reader((folder / "pair.bin").c_str(), nullptr, nullptr, 0);
    AlphaDerived a;
    AlphaDerived b;
    ASSERT_TRUE(table->DeserializeFromFileReader(reader, &a, scratch, 0));
    ASSERT_TRUE(table->DeserializeFromFileReader(reader, &b, scratch, 0));
    EXPECT_EQ(a.m_text, "one");
    EXPECT_EQ(b.m_text, "two");
    EXPECT_EQ(scratch.Count(), 0);

    ConsoleCapture capture;
    FileReader cut((folder / "cut.bin").c_str(), nullptr, nullptr, 0);
    ASSERT_TRUE(table->DeserializeFromFileReader(cut, &a, scratch, 0));
    EXPECT_FALSE(table->DeserializeFromFileReader(cut, &b, scratch, 0));
    EXPECT_TRUE(capture.Contains("Record of class AlphaDerived claims 10 bytes but the file is shorter", CONSOLE_ERROR));
    folder.WriteFile("short.bin", std::string("\2\0\0\0ab", 6)); // whole, but too short for the class
    FileReader shortRecord((folder / "short.bin").c_str(), nullptr, nullptr, 0);
    EXPECT_FALSE(table->DeserializeFromFileReader(shortRecord, &b, scratch, 0));
    EXPECT_EQ(b.m_text, "two");
}

TEST_F(ObjectRecordTest, NestingIsBoundedSoForgedRecordsCannotExhaustTheStack)
{
    ChainNode root;
    const std::vector<uint8_t> shallow = ChainPayload(RTTIPropertiesBase::kMaxNestingDepth - 1);
    ASSERT_TRUE(root.DeserializeFromMemory(shallow.data(), shallow.size(), 0));
    int depth = 0;
    for (ChainNode* node = root.m_child; node != nullptr; node = node->m_child)
        ++depth;
    EXPECT_EQ(depth, RTTIPropertiesBase::kMaxNestingDepth - 1);

    const std::vector<uint8_t> deep = ChainPayload(RTTIPropertiesBase::kMaxNestingDepth);
    ChainNode other;
    ConsoleCapture capture;
    EXPECT_FALSE(other.DeserializeFromMemory(deep.data(), deep.size(), 0));
    EXPECT_TRUE(capture.Contains("nests objects deeper than", CONSOLE_ERROR));
    EXPECT_EQ(other.m_child, nullptr);
}

TEST_F(ObjectRecordTest, EveryValueKindReadsBackAndSwapsEachWord)
{
    AllPropertyTypes object;
    FillWithEntities(object);
    for (const RTTIProperty* property : AllPropertyTypes::StaticClassProperties()->GetProperties())
    {
        const uint32_t type = property->GetType();
        if (!property->HasTextForm() || type <= RTTI_TYPE_SEPARATOR)
            continue;
        uint8_t plain[128] = {};
        uint8_t swapped[128] = {};
        RecordOutput plainOut(plain, sizeof(plain), false);
        RecordOutput swappedOut(swapped, sizeof(swapped), true);
        property->Serialize(plainOut, &object, 0);
        property->Serialize(swappedOut, &object, 2);
        ASSERT_EQ(plainOut.Size(), swappedOut.Size()) << property->GetName();
        if (type < RTTI_TYPE_ENTITY_POINTER)
        {
            AllPropertyTypes copy; // reads back as the same value, and one byte short is refused
            RecordInput in(plain, plainOut.Size()), cut(plain, plainOut.Size() - 1);
            EXPECT_TRUE(property->Deserialize(in, &copy, 0) && property->Equals(&object, &copy)) << property->GetName();
            EXPECT_FALSE(property->Deserialize(cut, &copy, 0)) << property->GetName();
            RecordInput skipped(plain, plainOut.Size()); // validation passes over exactly the value
            EXPECT_TRUE(property->Validate(skipped, 0) && skipped.Remaining() == 0) << property->GetName();
        }
        if (property->GetFixedSize() != 0)
        {
            // The direct form of one size reads back the same value.
            uint8_t at[128] = {};
            AllPropertyTypes direct;
            property->WriteFixed(at, &object, false);
            property->ReadFixed(at, &direct);
            ResolvePendingEntityReferences();
            EXPECT_TRUE(property->Equals(&object, &direct)) << property->GetName();
        }
        size_t word = 1;
        if (type == RTTI_TYPE_UNSIGNED_SHORT || type == RTTI_TYPE_WIDE_STRING)
            word = 2;
        else if (type == RTTI_TYPE_FLOAT || type == RTTI_TYPE_INT || type == RTTI_TYPE_UNSIGNED_INT ||
                 (type >= RTTI_TYPE_VECTOR && type <= RTTI_TYPE_MATRIX) || type == RTTI_TYPE_HDR_COLOR)
            word = 4;
        for (size_t at = 0; at < plainOut.Size(); at += word)
            for (size_t i = 0; i < word; ++i)
                EXPECT_EQ(swapped[at + i], plain[at + word - 1 - i]) << property->GetName() << " byte " << at + i;
    }
    // Arrays and objects one byte short: refused, and what was read so far is dropped, not kept (an
    // embedded object is read in place; whole records are validated before any of it is).
    const AllPropertyTypes fresh;
    for (const RTTIProperty* property : AllPropertyTypes::StaticClassProperties()->GetProperties())
    {
        if (property->HasTextForm())
            continue;
        uint8_t bytes[512] = {};
        RecordOutput out(bytes, sizeof(bytes), false);
        property->Serialize(out, &object, 0);
        AllPropertyTypes copy;
        RecordInput cut(bytes, out.Size() - 1);
        EXPECT_FALSE(property->Deserialize(cut, &copy, 0)) << property->GetName();
        EXPECT_TRUE(property->GetType() == RTTI_TYPE_EMBEDDED_OBJECT || property->Equals(&copy, &fresh))
            << property->GetName();
    }
}
