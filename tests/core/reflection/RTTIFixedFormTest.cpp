// The fixed binary forms of the float-component kinds (vectors, three-float vectors, quaternions and
// the matrix and box built on them): the bytes each stores, plain and swapped, checked against
// bytes assembled here word by word, and the same bytes through a record's setter and array paths.
#include "core/reflection/RTTIFixedForm.h"

#include "core/reflection/RTTIClass.h"
#include "core/reflection/RTTIObjectProperties.h"
#include "core/reflection/RecordStream.h"
#include "support/RecordBytes.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <vector>

namespace
{
// Little-endian words of the given floats, or each word's bytes reversed.
std::vector<uint8_t> FloatBytes(std::initializer_list<float> values, bool swap)
{
    std::vector<uint8_t> bytes;
    for (const float value : values)
    {
        uint32_t word = std::bit_cast<uint32_t>(value);
        if (swap)
            word = __builtin_bswap32(word);
        for (int i = 0; i < 4; ++i)
            bytes.push_back(uint8_t(word >> (8 * i)));
    }
    return bytes;
}

// Stores into a block of exactly the form's size, so a form that wrote past it would be caught.
template <typename T>
std::vector<uint8_t> Stored(const T& value, bool swap)
{
    std::vector<uint8_t> bytes(RTTIFixedForm<T>::kSize);
    RTTIFixedForm<T>::Store(bytes.data(), value, swap);
    return bytes;
}

template <typename T>
T Loaded(const std::vector<uint8_t>& bytes)
{
    EXPECT_EQ(bytes.size(), RTTIFixedForm<T>::kSize);
    T value{};
    RTTIFixedForm<T>::Load(bytes.data(), value);
    return value;
}
} // namespace

// Every component keeps its own place and its own word when swapped.
TEST(RTTIFixedFormTest, FloatComponentKindsStoreAndLoadEachComponentInItsWord)
{
    for (const bool swap : {false, true})
    {
        EXPECT_EQ(Stored(Vector(1.5f, -2.0f, 3.25f, 4.0f), swap), FloatBytes({1.5f, -2.0f, 3.25f, 4.0f}, swap));
        EXPECT_EQ(Stored(Vector3(5.0f, -6.5f, 7.75f), swap), FloatBytes({5.0f, -6.5f, 7.75f}, swap));
        EXPECT_EQ(Stored(Quaternion(0.125f, -0.25f, 0.5f, 0.75f), swap),
                  FloatBytes({0.125f, -0.25f, 0.5f, 0.75f}, swap));
    }
    EXPECT_EQ(RTTIFixedForm<Vector>::kSize, 16u);
    EXPECT_EQ(RTTIFixedForm<Vector3>::kSize, 12u);
    EXPECT_EQ(RTTIFixedForm<Quaternion>::kSize, 16u);

    const Vector v = Loaded<Vector>(FloatBytes({9.0f, 8.0f, -7.0f, 6.0f}, false));
    EXPECT_EQ(v.x, 9.0f);
    EXPECT_EQ(v.y, 8.0f);
    EXPECT_EQ(v.z, -7.0f);
    EXPECT_EQ(v.w, 6.0f);
    const Vector3 v3 = Loaded<Vector3>(FloatBytes({-1.0f, 2.0f, -3.0f}, false));
    EXPECT_EQ(v3.x, -1.0f);
    EXPECT_EQ(v3.y, 2.0f);
    EXPECT_EQ(v3.z, -3.0f);
    const Quaternion q = Loaded<Quaternion>(FloatBytes({0.1f, 0.2f, 0.3f, 0.4f}, false));
    EXPECT_EQ(q.x, 0.1f);
    EXPECT_EQ(q.y, 0.2f);
    EXPECT_EQ(q.z, 0.3f);
    EXPECT_EQ(q.w, 0.4f);

    Matrix m;
    for (int row = 0; row < 4; ++row)
        m.rows[row] = Vector(float(row * 4 + 1), float(row * 4 + 2), float(row * 4 + 3), float(row * 4 + 4));
    for (const bool swap : {false, true})
    {
        EXPECT_EQ(Stored(m, swap), FloatBytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, swap));
        EXPECT_EQ(Stored(BoundingBox4(Vector(-1, -2, -3, 1), Vector(4, 5, 6, 1)), swap),
                  FloatBytes({-1, -2, -3, 1, 4, 5, 6, 1}, swap));
    }
    const Matrix read = Loaded<Matrix>(FloatBytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, false));
    EXPECT_EQ(std::memcmp(&read, &m, sizeof(Matrix)), 0);
    EXPECT_EQ(Loaded<uint8_t>({0xA7}), 0xA7); // byte arrays and byte setters read through this form too
    EXPECT_TRUE(Loaded<bool>({2}) && !Loaded<bool>({0})); // so do bools: any nonzero byte is true
}

namespace
{
// Quaternions and vectors behind a setter and in arrays: the paths a record takes through the
// fixed forms rather than copying a field's memory whole.
class ComponentSample : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(ComponentSample, RTTIPolyBaseClass)

public:
    void SetTurn(const Quaternion& value)
    {
        m_turn = value;
        ++m_turnSets;
    }
    const Quaternion* GetTurn() const { return &m_turn; }

    Quaternion m_turn;
    int m_turnSets = 0;
    Dynarray<Quaternion> m_turns;
    Dynarray<Vector> m_points;
    Dynarray<Vector3> m_scales;
};

RTTI_DEFINE_CLASS_TABLE(ComponentSample, RTTIPolyBaseClass)

void ComponentSample::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = ComponentSample;
    table.AddProperty(new RTTISGProperty<C, Quaternion>("Turn", &C::SetTurn, &C::GetTurn));
    table.AddProperty(new RTTIDynarrayProperty<C, Quaternion>("Turns", &C::m_turns));
    table.AddProperty(new RTTIDynarrayProperty<C, Vector>("Points", &C::m_points));
    table.AddProperty(new RTTIDynarrayProperty<C, Vector3>("Scales", &C::m_scales));
}

std::vector<uint8_t> Append(std::vector<uint8_t> bytes, const std::vector<uint8_t>& more)
{
    bytes.insert(bytes.end(), more.begin(), more.end());
    return bytes;
}

std::vector<uint8_t> CountBytes(uint32_t count, bool swap)
{
    return FloatBytes({std::bit_cast<float>(count)}, swap);
}

std::vector<uint8_t> ExpectedRecord(bool swap)
{
    std::vector<uint8_t> bytes = FloatBytes({0.5f, -0.5f, 0.25f, -0.25f}, swap);
    bytes = Append(bytes, CountBytes(2, swap));
    bytes = Append(bytes, FloatBytes({1, 2, 3, 4, -1, -2, -3, -4}, swap));
    bytes = Append(bytes, CountBytes(1, swap));
    bytes = Append(bytes, FloatBytes({10, 20, 30, 40}, swap));
    bytes = Append(bytes, CountBytes(2, swap));
    return Append(bytes, FloatBytes({7, 8, 9, -7, -8, -9}, swap));
}

} // namespace

// Written plain and swapped, read back, and written again: the same bytes every time.
TEST(RTTIFixedFormTest, RecordsRoundTripComponentsThroughSettersAndArrays)
{
    ComponentSample sample;
    sample.SetTurn(Quaternion(0.5f, -0.5f, 0.25f, -0.25f));
    sample.m_turns.Add(Quaternion(1, 2, 3, 4));
    sample.m_turns.Add(Quaternion(-1, -2, -3, -4));
    sample.m_points.Add(Vector(10, 20, 30, 40));
    sample.m_scales.Add(Vector3(7, 8, 9));
    sample.m_scales.Add(Vector3(-7, -8, -9));
    for (int pass = 0; pass < 2; ++pass)
    {
        EXPECT_EQ(SerializeToBytes(sample, 0), ExpectedRecord(false)) << pass;
        EXPECT_EQ(SerializeToBytes(sample, RTTI_BYTE_SWAP), ExpectedRecord(true)) << pass;
    }

    const std::vector<uint8_t> bytes = ExpectedRecord(false);
    for (int pass = 0; pass < 2; ++pass)
    {
        ComponentSample read;
        read.m_turns.Add(Quaternion(5, 5, 5, 5));
        read.m_turns.Add(Quaternion(5, 5, 5, 5));
        read.m_turns.Add(Quaternion(5, 5, 5, 5));
        ASSERT_TRUE(read.DeserializeFromMemory(bytes.data(), bytes.size(), 0)) << pass;
        EXPECT_EQ(read.m_turnSets, 1);
        EXPECT_EQ(read.m_turn.x, 0.5f);
        EXPECT_EQ(read.m_turn.y, -0.5f);
        EXPECT_EQ(read.m_turn.z, 0.25f);
        EXPECT_EQ(read.m_turn.w, -0.25f);
        ASSERT_EQ(read.m_turns.Count(), 2);
        EXPECT_EQ(read.m_turns[1].y, -2.0f);
        EXPECT_EQ(read.m_turns[1].z, -3.0f);
        EXPECT_EQ(read.m_turns[1].w, -4.0f);
        ASSERT_EQ(read.m_points.Count(), 1);
        EXPECT_EQ(read.m_points[0].w, 40.0f);
        ASSERT_EQ(read.m_scales.Count(), 2);
        EXPECT_EQ(read.m_scales[1].z, -9.0f);
        EXPECT_EQ(SerializeToBytes(read, 0), bytes);
    }
}
