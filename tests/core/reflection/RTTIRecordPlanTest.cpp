#include "core/reflection/RTTIRecordPlan.h"

#include "core/SimpleGUID.h"
#include "core/math/BoundingBox4.h"
#include "core/math/HDRColor.h"
#include "core/math/Matrix.h"
#include "core/math/Quaternion.h"
#include "core/math/Vector.h"
#include "core/math/Vector3.h"
#include "core/reflection/GUIDReplacementTable.h"
#include "core/reflection/RTTIClass.h"
#include "core/reflection/RTTIObjectProperties.h"
#include "core/reflection/RecordStream.h"
#include "core/strings/NameString.h"
#include "support/ConsoleCapture.h"
#include "support/RecordBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace
{
// Every fixed-size kind, laid out so that some neighbours are copied as one block (a, b, c), some
// are split by padding (scale, transform) or by a variable-size property (text), and some are
// never copied raw (the bools and the value behind a setter).
class PlanSample : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(PlanSample, RTTIPolyBaseClass)

public:
    uint32_t m_a = 0;
    float m_b = 0.0f;
    uint16_t m_c = 0;
    bool m_flag = false;
    uint8_t m_byte = 0;
    char m_char = 0;
    std::string m_text;
    Vector m_position;
    Vector3 m_scale;
    Matrix m_transform;
    Quaternion m_rotation;
    BoundingBox4 m_box;
    SimpleGUID m_guid;
    HDRColor m_color;
    bool m_last = false;
    Dynarray<uint16_t> m_list;

    void SetHealth(const int32_t& value)
    {
        m_health = value;
        ++m_healthSets;
    }
    const int32_t* GetHealth() const { return &m_health; }
    int32_t m_health = 0;
    int m_healthSets = 0;
};

RTTI_DEFINE_CLASS_TABLE(PlanSample, RTTIPolyBaseClass)

template <typename T>
void Add(RTTIPropertiesBase& table, const char* name, T PlanSample::*member)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<PlanSample, T>(name, member));
}

void PlanSample::BuildClassProperties(RTTIPropertiesBase& table)
{
    Add(table, "A", &PlanSample::m_a);
    Add(table, "B", &PlanSample::m_b);
    Add(table, "C", &PlanSample::m_c);
    Add(table, "Flag", &PlanSample::m_flag);
    Add(table, "Byte", &PlanSample::m_byte);
    Add(table, "Char", &PlanSample::m_char);
    table.AddProperty(new RTTISGProperty<PlanSample, int32_t>("Health", &PlanSample::SetHealth, &PlanSample::GetHealth));
    Add(table, "Text", &PlanSample::m_text);
    Add(table, "Position", &PlanSample::m_position);
    Add(table, "Scale", &PlanSample::m_scale);
    Add(table, "Transform", &PlanSample::m_transform);
    Add(table, "Rotation", &PlanSample::m_rotation);
    Add(table, "Box", &PlanSample::m_box);
    Add(table, "GUID", &PlanSample::m_guid);
    Add(table, "Color", &PlanSample::m_color);
    Add(table, "Last", &PlanSample::m_last);
    table.AddProperty(new RTTIDynarrayProperty<PlanSample, uint16_t>("List", &PlanSample::m_list));
}

// The expected payload, assembled word by word.
class PlanBytes
{
public:
    explicit PlanBytes(bool swap) : m_swap(swap) {}
    PlanBytes& U8(uint8_t value)
    {
        m_bytes.push_back(value);
        return *this;
    }
    PlanBytes& U16(uint16_t value)
    {
        if (m_swap)
            value = __builtin_bswap16(value);
        return U8(uint8_t(value)).U8(uint8_t(value >> 8));
    }
    PlanBytes& U32(uint32_t value)
    {
        if (m_swap)
            value = __builtin_bswap32(value);
        for (int i = 0; i < 4; ++i)
            U8(uint8_t(value >> (8 * i)));
        return *this;
    }
    PlanBytes& F(float value) { return U32(std::bit_cast<uint32_t>(value)); }
    PlanBytes& Text(const char* text)
    {
        for (; *text != 0; ++text)
            U8(uint8_t(*text));
        return U8(0);
    }
    std::vector<uint8_t> m_bytes;

private:
    bool m_swap;
};

void Fill(PlanSample& sample)
{
    sample.m_a = 0x11223344u;
    sample.m_b = 1.5f;
    sample.m_c = 0xA1B2;
    sample.m_flag = true;
    sample.m_byte = 0xC3;
    sample.m_char = char(-2);
    sample.m_health = -77;
    sample.m_text = "plan";
    sample.m_position = Vector(1, 2, 3, 4);
    sample.m_scale = Vector3(5, 6, 7);
    for (int row = 0; row < 4; ++row)
        sample.m_transform.rows[row] = Vector(float(10 + 4 * row), float(11 + 4 * row), float(12 + 4 * row),
                                              float(13 + 4 * row));
    sample.m_rotation = Quaternion();
    sample.m_rotation.x = 0.25f;
    sample.m_box = BoundingBox4(Vector(-1, -2, -3, 1), Vector(8, 9, 10, 1));
    for (int i = 0; i < 16; ++i)
        sample.m_guid.bytes[i] = uint8_t(0xF0 + i);
    sample.m_color.r = 1;
    sample.m_color.g = 2;
    sample.m_color.b = 3;
    sample.m_color.a = 4;
    sample.m_color.multiplier = 2.0f;
    sample.m_last = false;
    sample.m_list.Add(7);
    sample.m_list.Add(0x0102);
}

std::vector<uint8_t> Expected(bool swap, uint8_t flagByte = 1)
{
    PlanBytes b(swap);
    b.U32(0x11223344u).F(1.5f).U16(0xA1B2).U8(flagByte).U8(0xC3).U8(0xFE).U32(uint32_t(-77)).Text("plan");
    b.F(1).F(2).F(3).F(4).F(5).F(6).F(7);
    for (int i = 0; i < 16; ++i)
        b.F(float(10 + i));
    b.F(0.25f).F(0).F(0).F(1);
    b.F(-1).F(-2).F(-3).F(1).F(8).F(9).F(10).F(1);
    for (int i = 0; i < 16; ++i)
        b.m_bytes.push_back(uint8_t(0xF0 + i)); // never swapped
    b.U32(0x04030201u).F(2.0f).U8(0);
    b.U32(2).U16(7).U16(0x0102);
    return b.m_bytes;
}

} // namespace

// Blocks copied whole, padding between fields, setters and swapped words all give the bytes that
// value-by-value writing gives; written twice, so a plan made on the first write is used again.
TEST(RTTIRecordPlanTest, WritesEveryFixedKindAsItsValueForm)
{
    PlanSample sample;
    Fill(sample);
    for (int pass = 0; pass < 2; ++pass)
    {
        EXPECT_EQ(SerializeToBytes(sample, 0), Expected(false)) << pass;
        EXPECT_EQ(SerializeToBytes(sample, RTTI_BYTE_SWAP), Expected(true)) << pass;
    }
}

TEST(RTTIRecordPlanTest, ReadsEveryFixedKindBackThroughFieldsAndSetters)
{
    const std::vector<uint8_t> bytes = Expected(false, 2);
    for (int pass = 0; pass < 2; ++pass)
    {
        PlanSample read;
        read.m_list.Add(99);
        read.m_list.Add(98);
        read.m_list.Add(97);
        ASSERT_TRUE(read.DeserializeFromMemory(bytes.data(), bytes.size(), 0));
        PlanSample expected;
        Fill(expected);
        EXPECT_EQ(read.m_a, expected.m_a);
        EXPECT_EQ(read.m_b, expected.m_b);
        EXPECT_EQ(read.m_c, expected.m_c);
        // Any nonzero byte is true, stored as a real bool.
        EXPECT_EQ(read.m_flag, true);
        EXPECT_EQ(read.m_byte, expected.m_byte);
        EXPECT_EQ(read.m_char, expected.m_char);
        EXPECT_EQ(read.m_health, -77);
        EXPECT_EQ(read.m_healthSets, 1);
        EXPECT_EQ(read.m_text, "plan");
        EXPECT_EQ(std::memcmp(&read.m_position, &expected.m_position, sizeof(Vector)), 0);
        EXPECT_EQ(read.m_scale.z, 7.0f);
        EXPECT_EQ(std::memcmp(&read.m_transform, &expected.m_transform, sizeof(Matrix)), 0);
        EXPECT_EQ(read.m_rotation.x, 0.25f);
        EXPECT_EQ(read.m_rotation.w, 1.0f);
        EXPECT_EQ(std::memcmp(&read.m_box, &expected.m_box, sizeof(BoundingBox4)), 0);
        EXPECT_TRUE(read.m_guid == expected.m_guid);
        EXPECT_EQ(read.m_color.b, 3);
        EXPECT_EQ(read.m_color.multiplier, 2.0f);
        EXPECT_FALSE(read.m_last);
        ASSERT_EQ(read.m_list.Count(), 2);
        EXPECT_EQ(read.m_list[0], 7);
        EXPECT_EQ(read.m_list[1], 0x0102);
        EXPECT_EQ(SerializeToBytes(read, 0), Expected(false));
    }
    // Fixed values in plain fields are copied in runs, so a class of only those runs no property code.
    GUIDReplacementEntry entry;
    EXPECT_TRUE(RTTIRecordPlan(*entry.GetClassProperties(), 0).ReadCallsNothing(&entry));
}

// A run is checked as a whole before anything is stored: cut anywhere, nothing changes.
TEST(RTTIRecordPlanTest, TruncatedRunsLeaveTheObjectUntouched)
{
    const std::vector<uint8_t> bytes = Expected(false);
    for (size_t size = 0; size < bytes.size(); ++size)
    {
        PlanSample read;
        read.m_a = 5;
        read.m_scale.x = 9.0f;
        read.m_list.Add(3);
        EXPECT_FALSE(read.DeserializeFromMemory(bytes.data(), size, 0)) << size;
        EXPECT_EQ(read.m_a, 5u);
        EXPECT_EQ(read.m_scale.x, 9.0f);
        EXPECT_EQ(read.m_healthSets, 0);
        ASSERT_EQ(read.m_list.Count(), 1);
        EXPECT_EQ(read.m_list[0], 3);
    }
}

namespace
{
// Texts, names and arrays beside fixed values: the kinds the read plan moves without their
// property's calls (bools copied with their neighbours, strings and names in plain fields, arrays
// of fixed elements checked in one go), the same kinds behind setters, which it leaves to them, a
// text handed in place to its text setter, and a group header (no bytes) between two fixed values.
class TextSample : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(TextSample, RTTIPolyBaseClass)

public:
    uint32_t m_count = 0;
    Matrix m_frame; // a 64-byte block right before a bool, which then starts a block of its own
    bool m_on = false;
    bool m_off = false;
    uint8_t m_level = 0;
    std::string m_title;
    NameString m_name;
    NameString m_emptyName;
    float m_weight = 0.0f;
    Dynarray<uint32_t> m_values;
    bool m_tail = false;

    void SetNote(const std::string& value)
    {
        m_note = value;
        ++m_noteSets;
    }
    const std::string* GetNote() const { return &m_note; }
    void SetLabel(const NameString& value) { m_label = value; }
    const NameString* GetLabel() const { return &m_label; }
    void SetCaption(const char* text)
    {
        m_caption = text;
        ++m_captionSets;
    }
    const std::string* GetCaption() const { return &m_caption; }
    std::string m_note;
    int m_noteSets = 0;
    NameString m_label;
    std::string m_caption;
    int m_captionSets = 0;
};

RTTI_DEFINE_CLASS_TABLE(TextSample, RTTIPolyBaseClass)

void TextSample::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = TextSample;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Count", &C::m_count));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Matrix>("Frame", &C::m_frame));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("On", &C::m_on));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Off", &C::m_off));
    table.AddProperty(new RTTIPropertyGroup("Levels"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint8_t>("Level", &C::m_level));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, std::string>("Title", &C::m_title));
    table.AddProperty(new RTTISGProperty<C, std::string>("Note", &C::SetNote, &C::GetNote));
    table.AddProperty(new RTTISGTextProperty<C>("Caption", &C::SetCaption, &C::GetCaption));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Name", &C::m_name));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("EmptyName", &C::m_emptyName));
    table.AddProperty(new RTTISGProperty<C, NameString>("Label", &C::SetLabel, &C::GetLabel));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Weight", &C::m_weight));
    table.AddProperty(new RTTIDynarrayProperty<C, uint32_t>("Values", &C::m_values));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Tail", &C::m_tail));
}

void Fill(TextSample& sample)
{
    sample.m_count = 0x01020304u;
    sample.m_on = true;
    sample.m_level = 9;
    sample.m_title = "a title longer than one machine word";
    sample.SetNote("note");
    sample.SetCaption("caption text");
    sample.m_name = NameString("plan name");
    sample.SetLabel(NameString("label"));
    sample.m_weight = 0.5f;
    sample.m_values.Add(11);
    sample.m_values.Add(22);
    sample.m_values.Add(33);
    sample.m_tail = true;
}

void Prefill(TextSample& sample)
{
    sample.m_count = 77;
    sample.m_off = true;
    sample.m_title = "old";
    sample.m_note = "old note";
    sample.m_caption = "old caption";
    sample.m_name = NameString("old name");
    sample.m_emptyName = NameString("old empty");
    sample.m_values.Add(5);
}

// The reference: every property checked by its own Validate, then read by its own Deserialize.
bool ReadPropertyByProperty(RTTIPolyBaseClass& object, const uint8_t* data, size_t size)
{
    std::vector<const RTTIProperty*> properties;
    for (const RTTIPropertiesBase* table : object.GetClassProperties()->GetClassChain())
        for (const RTTIProperty* property : table->GetProperties())
            if (property->IsSerialized(0))
                properties.push_back(property);
    RecordInput probe(data, size);
    for (const RTTIProperty* property : properties)
        if (!property->Validate(probe, 0))
            return false;
    RecordInput in(data, size);
    for (const RTTIProperty* property : properties)
        if (!property->Deserialize(in, &object, 0))
            return false;
    return true;
}

// Bools must hold 0 or 1 in memory whatever byte the record had.
bool BoolsAreCanonical(const TextSample& sample)
{
    for (const bool* flag : {&sample.m_on, &sample.m_off, &sample.m_tail})
    {
        uint8_t byte;
        std::memcpy(&byte, flag, 1);
        if (byte > 1)
            return false;
    }
    return true;
}

void ExpectSameRead(const std::vector<uint8_t>& bytes, size_t size, const std::string& what)
{
    TextSample planned;
    TextSample reference;
    Prefill(planned);
    Prefill(reference);
    const bool plannedRead = planned.DeserializeFromMemory(bytes.data(), size, 0);
    const bool referenceValid = [&] {
        RecordInput probe(bytes.data(), size);
        return TextSample::StaticClassProperties()->ValidateObject(probe, 0);
    }();
    const bool referenceRead = referenceValid && ReadPropertyByProperty(reference, bytes.data(), size);
    ASSERT_EQ(plannedRead, referenceRead) << what;
    EXPECT_TRUE(TextSample::StaticClassProperties()->AreObjectsEqual(&planned, &reference)) << what;
    EXPECT_EQ(SerializeToBytes(planned), SerializeToBytes(reference)) << what;
    EXPECT_EQ(planned.m_noteSets, reference.m_noteSets) << what;
    EXPECT_EQ(planned.m_captionSets, reference.m_captionSets) << what;
    EXPECT_TRUE(BoolsAreCanonical(planned)) << what;
}
// A read trusts a validation's lengths only as far as its own bytes reach: handed the findings of a
// whole record over a cut of it (each cut its own allocation, so any read past it is caught), it
// stops at the cut, whether the cut falls in fixed values, a text or a name.
template <typename TSample>
void ExpectCutsRefusedWithALongerRecordsFindings()
{
    TSample source;
    Fill(source);
    const std::vector<uint8_t> bytes = SerializeToBytes(source);
    const RTTIPropertiesBase* const table = TSample::StaticClassProperties();
    RecordInput probe(bytes.data(), bytes.size());
    RecordTextLengths found;
    ASSERT_TRUE(table->ValidateObject(probe, 0, &found));
    EXPECT_EQ(found.payloadSize, bytes.size());
    for (size_t size = 0; size < bytes.size(); ++size)
    {
        const std::unique_ptr<uint8_t[]> cut(new uint8_t[std::max<size_t>(size, 1)]);
        std::memcpy(cut.get(), bytes.data(), size);
        TSample read;
        RecordInput in(cut.get(), size);
        EXPECT_FALSE(table->ReadValidatedObject(in, &read, 0, &found)) << size;
    }
}
} // namespace

TEST(RTTIRecordPlanTest, AReadGivenALongerRecordsValidationStopsAtItsOwnEnd)
{
    ExpectCutsRefusedWithALongerRecordsFindings<PlanSample>();
    ExpectCutsRefusedWithALongerRecordsFindings<TextSample>();
}

// The plan reads what property-by-property reading reads, on whole, cut and damaged records:
// damage to a length, a terminator, a count or a bool byte must never make them differ, and a
// refused record leaves the object as it was.
TEST(RTTIRecordPlanTest, TextsNamesAndArraysReadAsTheirPropertiesWouldOnAnyInput)
{
    TextSample source;
    Fill(source);
    const std::vector<uint8_t> bytes = SerializeToBytes(source);
    // The third pass reads as an embedded object does, without lengths found beforehand.
    for (int pass = 0; pass < 3; ++pass)
    {
        TextSample read;
        Prefill(read);
        RecordInput in(bytes.data(), bytes.size());
        ASSERT_TRUE(pass < 2 ? read.DeserializeFromMemory(bytes.data(), bytes.size(), 0)
                             : TextSample::StaticClassProperties()->ReadValidatedObject(in, &read, 0));
        EXPECT_TRUE(TextSample::StaticClassProperties()->AreObjectsEqual(&read, &source));
        EXPECT_EQ(read.m_noteSets, 1);
        EXPECT_EQ(read.m_captionSets, 1);
        EXPECT_EQ(read.m_caption, "caption text");
        EXPECT_TRUE(read.m_emptyName.IsEmpty());
        EXPECT_EQ(SerializeToBytes(read), bytes);
    }
    for (size_t size = 0; size < bytes.size(); ++size)
    {
        ExpectSameRead(bytes, size, "cut at " + std::to_string(size));
        TextSample read;
        Prefill(read);
        ASSERT_FALSE(read.DeserializeFromMemory(bytes.data(), size, 0));
        EXPECT_EQ(read.m_title, "old");
        EXPECT_EQ(std::string(read.m_emptyName.CStr()), "old empty");
        EXPECT_EQ(read.m_values.Count(), 1);
        EXPECT_EQ(read.m_noteSets, 0);
        EXPECT_EQ(read.m_captionSets, 0);
        EXPECT_EQ(read.m_caption, "old caption");
    }
    for (size_t at = 0; at < bytes.size(); ++at)
    {
        for (const uint8_t value : {uint8_t(0), uint8_t(1), uint8_t(2), uint8_t('x'), uint8_t(0xFF)})
        {
            std::vector<uint8_t> damaged = bytes;
            damaged[at] = value;
            ExpectSameRead(damaged, damaged.size(), "byte " + std::to_string(at) + " = " + std::to_string(value));
        }
    }
}

// Arrays read into arrays of another length keep exactly the new elements.
TEST(RTTIRecordPlanTest, ArraysShrinkAndGrowToTheStoredCount)
{
    TextSample longer;
    Fill(longer);
    for (uint32_t i = 0; i < 40; ++i)
        longer.m_values.Add(100 + i);
    TextSample shorter;
    Fill(shorter);
    shorter.m_values.Clear();
    shorter.m_values.Add(1);
    const std::vector<uint8_t> longBytes = SerializeToBytes(longer);
    const std::vector<uint8_t> shortBytes = SerializeToBytes(shorter);

    TextSample read;
    ASSERT_TRUE(read.DeserializeFromMemory(longBytes.data(), longBytes.size(), 0));
    ASSERT_EQ(read.m_values.Count(), 43);
    EXPECT_EQ(read.m_values[42], 139u);
    ASSERT_TRUE(read.DeserializeFromMemory(shortBytes.data(), shortBytes.size(), 0));
    ASSERT_EQ(read.m_values.Count(), 1);
    EXPECT_EQ(read.m_values[0], 1u);
    ASSERT_TRUE(read.DeserializeFromMemory(longBytes.data(), longBytes.size(), 0));
    ASSERT_EQ(read.m_values.Count(), 43);
    EXPECT_EQ(read.m_values[1], 22u);
    EXPECT_EQ(read.m_values[3], 100u);
}

// A count that the bytes after it cannot hold is refused, naming those bytes; texts read into
// fields that held longer or shorter ones keep exactly the new text.
TEST(RTTIRecordPlanTest, ForgedCountsAreRefusedAndTextsReplaceOldOnesWhole)
{
    TextSample source;
    Fill(source);
    std::vector<uint8_t> bytes = SerializeToBytes(source);
    // The count of "Values" (3) is followed by its 12 bytes and the 1-byte "Tail".
    const size_t countAt = bytes.size() - 17;
    ASSERT_EQ(bytes[countAt], 3);
    bytes[countAt] = 5;
    TextSample read;
    Prefill(read);
    {
        ConsoleCapture capture;
        EXPECT_FALSE(read.DeserializeFromMemory(bytes.data(), bytes.size(), 0));
        EXPECT_TRUE(capture.Contains("Array \"Values\" claims 5 elements but only 13 bytes follow", CONSOLE_ERROR));
    }
    EXPECT_EQ(read.m_values.Count(), 1);

    TextSample shorter;
    Fill(shorter);
    shorter.m_title = "short";
    const std::vector<uint8_t> shortBytes = SerializeToBytes(shorter);
    const std::vector<uint8_t> longBytes = SerializeToBytes(source);
    ASSERT_TRUE(read.DeserializeFromMemory(longBytes.data(), longBytes.size(), 0));
    EXPECT_EQ(read.m_title, source.m_title);
    ASSERT_TRUE(read.DeserializeFromMemory(shortBytes.data(), shortBytes.size(), 0));
    EXPECT_EQ(read.m_title, "short");
    EXPECT_EQ(std::strlen(read.m_title.c_str()), 5u);
    ASSERT_TRUE(read.DeserializeFromMemory(longBytes.data(), longBytes.size(), 0));
    EXPECT_EQ(read.m_title, source.m_title);
}

namespace
{
// More texts than the validation remembers: the ones past that are looked for again.
#define NORVEX_MANY_TEXTS(X) X(0) X(1) X(2) X(3) X(4) X(5) X(6) X(7) X(8) X(9) X(10) X(11) X(12) X(13) X(14) X(15) X(16) X(17) X(18) X(19)
class ManyTexts : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(ManyTexts, RTTIPolyBaseClass)

public:
#define NORVEX_TEXT_MEMBER(i) std::string m_text##i;
    NORVEX_MANY_TEXTS(NORVEX_TEXT_MEMBER)
#undef NORVEX_TEXT_MEMBER
    NameString m_lastName;
};

RTTI_DEFINE_CLASS_TABLE(ManyTexts, RTTIPolyBaseClass)

void ManyTexts::BuildClassProperties(RTTIPropertiesBase& table)
{
#define NORVEX_TEXT_PROPERTY(i) \
    table.AddProperty(new RTTIDirectAccessTypedProperty<ManyTexts, std::string>("Text" #i, &ManyTexts::m_text##i));
    NORVEX_MANY_TEXTS(NORVEX_TEXT_PROPERTY)
#undef NORVEX_TEXT_PROPERTY
    table.AddProperty(new RTTIDirectAccessTypedProperty<ManyTexts, NameString>("LastName", &ManyTexts::m_lastName));
}
} // namespace

TEST(RTTIRecordPlanTest, TextsPastWhatValidationRemembersStillReadBack)
{
    ManyTexts source;
#define NORVEX_TEXT_FILL(i) source.m_text##i = std::string(size_t(i) * 3, char('a' + i));
    NORVEX_MANY_TEXTS(NORVEX_TEXT_FILL)
#undef NORVEX_TEXT_FILL
    source.m_lastName = NameString("last");
    const std::vector<uint8_t> bytes = SerializeToBytes(source);
    ManyTexts read;
    read.m_text19 = "stale";
    ASSERT_TRUE(read.DeserializeFromMemory(bytes.data(), bytes.size(), 0));
    EXPECT_TRUE(ManyTexts::StaticClassProperties()->AreObjectsEqual(&read, &source));
    EXPECT_EQ(read.m_text19, std::string(57, 't'));
    EXPECT_EQ(std::string(read.m_lastName.CStr()), "last");
}
#undef NORVEX_MANY_TEXTS

// A buffer one byte short anywhere refuses the record and is never written past, the array of
// fixed elements (reserved as a whole) included.
TEST(RTTIRecordPlanTest, BuffersTooSmallRefuseTheRecordWithoutWritingPastThem)
{
    TextSample source;
    Fill(source);
    const std::vector<uint8_t> whole = SerializeToBytes(source);
    for (size_t capacity = 0; capacity < whole.size(); ++capacity)
    {
        std::vector<uint8_t> buffer(capacity + 1, 0xAB);
        EXPECT_EQ(source.SerializeToMemory(buffer.data(), capacity, 0), 0u) << capacity;
        EXPECT_EQ(buffer[capacity], 0xAB) << capacity;
    }
}

namespace
{
// The reference write: every serialized property's own Serialize, in order, into a buffer of
// `capacity` bytes (with one guard byte after it).
struct WrittenBuffer
{
    std::vector<uint8_t> bytes;
    size_t size = 0;
    bool overflowed = false;
};

WrittenBuffer WritePropertyByProperty(const RTTIPolyBaseClass& object, size_t capacity)
{
    WrittenBuffer written;
    written.bytes.assign(capacity + 1, 0xAB);
    RecordOutput out(written.bytes.data(), capacity, false);
    for (const RTTIPropertiesBase* table : object.GetClassProperties()->GetClassChain())
        for (const RTTIProperty* property : table->GetProperties())
            if (property->IsSerialized(0))
                property->Serialize(out, &object, 0);
    written.size = out.Size();
    written.overflowed = out.Overflowed();
    return written;
}

WrittenBuffer WriteWithPlan(const RTTIPolyBaseClass& object, size_t capacity)
{
    WrittenBuffer written;
    written.bytes.assign(capacity + 1, 0xAB);
    RecordOutput out(written.bytes.data(), capacity, false);
    object.GetClassProperties()->SerializeObject(out, &object, 0);
    written.size = out.Size();
    written.overflowed = out.Overflowed();
    return written;
}
} // namespace

// Texts and names in plain fields are written by the plan itself: for every length (each size of
// copy piece) and every buffer too short by any number of bytes, the buffer, the size and the
// overflow are what the properties' own writes give; the bytes read back into longer old texts.
TEST(RTTIRecordPlanTest, TextsAndNamesWriteAsTheirPropertiesWouldAtAnyLengthAndCapacity)
{
    for (size_t length = 0; length <= 40; ++length)
    {
        TextSample source;
        Fill(source);
        source.m_title.clear();
        for (size_t i = 0; i < length; ++i)
            source.m_title.push_back(char('A' + i % 26));
        const std::string nameText(length, char('a' + length % 26));
        source.m_name = length == 0 ? NameString() : NameString(nameText.c_str());
        source.m_emptyName = length % 3 == 0 ? NameString() : NameString(source.m_title.c_str());

        const WrittenBuffer reference = WritePropertyByProperty(source, 1024);
        ASSERT_FALSE(reference.overflowed);
        const WrittenBuffer planned = WriteWithPlan(source, 1024);
        ASSERT_EQ(planned.size, reference.size) << length;
        ASSERT_EQ(planned.bytes, reference.bytes) << length;
        // A run of fixed fields is reserved whole, so a short buffer may stop earlier than the
        // properties' own writes would; what it holds is still the record's start, and nothing
        // lands past it.
        for (size_t capacity = 0; capacity < reference.size; ++capacity)
        {
            const WrittenBuffer cut = WriteWithPlan(source, capacity);
            EXPECT_TRUE(cut.overflowed) << length << " " << capacity;
            ASSERT_LE(cut.size, capacity) << length;
            EXPECT_TRUE(std::equal(cut.bytes.begin(), cut.bytes.begin() + ptrdiff_t(cut.size), reference.bytes.begin()))
                << length << " " << capacity;
            EXPECT_EQ(cut.bytes[capacity], 0xAB) << length << " " << capacity;
        }

        TextSample read;
        Prefill(read);
        read.m_title = std::string(60, '#');
        read.m_name = NameString(std::string(60, char('a' + length % 26)).c_str()); // the new name is its prefix
        ASSERT_TRUE(read.DeserializeFromMemory(planned.bytes.data(), planned.size, 0)) << length;
        EXPECT_EQ(read.m_title, source.m_title);
        EXPECT_EQ(std::string(read.m_name.CStr()), length == 0 ? std::string() : nameText);
        EXPECT_EQ(read.m_name.IsEmpty(), length == 0);
        EXPECT_EQ(std::string(read.m_emptyName.CStr()), std::string(source.m_emptyName.CStr()));
    }
}
