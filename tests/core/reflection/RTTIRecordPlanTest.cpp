#include "core/reflection/RTTIRecordPlan.h"

#include "core/SimpleGUID.h"
#include "core/math/BoundingBox4.h"
#include "core/math/HDRColor.h"
#include "core/math/Matrix.h"
#include "core/math/Quaternion.h"
#include "core/math/Vector.h"
#include "core/math/Vector3.h"
#include "core/reflection/RTTIClass.h"
#include "core/reflection/RTTIObjectProperties.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
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
class Bytes
{
public:
    explicit Bytes(bool swap) : m_swap(swap) {}
    Bytes& U8(uint8_t value)
    {
        m_bytes.push_back(value);
        return *this;
    }
    Bytes& U16(uint16_t value)
    {
        if (m_swap)
            value = __builtin_bswap16(value);
        return U8(uint8_t(value)).U8(uint8_t(value >> 8));
    }
    Bytes& U32(uint32_t value)
    {
        if (m_swap)
            value = __builtin_bswap32(value);
        for (int i = 0; i < 4; ++i)
            U8(uint8_t(value >> (8 * i)));
        return *this;
    }
    Bytes& F(float value) { return U32(std::bit_cast<uint32_t>(value)); }
    Bytes& Text(const char* text)
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
    Bytes b(swap);
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

std::vector<uint8_t> Write(PlanSample& sample, uint32_t flags)
{
    std::vector<uint8_t> bytes(sample.SerializeToMemory(nullptr, 0, flags));
    EXPECT_EQ(sample.SerializeToMemory(bytes.data(), bytes.size(), flags), bytes.size());
    return bytes;
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
        EXPECT_EQ(Write(sample, 0), Expected(false)) << pass;
        EXPECT_EQ(Write(sample, RTTI_BYTE_SWAP), Expected(true)) << pass;
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
        EXPECT_EQ(Write(read, 0), Expected(false));
    }
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
