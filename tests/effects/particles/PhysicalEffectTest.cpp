#include "effects/particles/PhysicalEffect.h"

#include "scene/kinds/PhysicalEffectTemplate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <string>
#include <vector>

namespace
{
std::string Text(const PhysicalEffect& effect, const RTTIProperty& property)
{
    char buffer[256] = {};
    property.ToText(&effect, buffer, sizeof(buffer));
    return buffer;
}

TEST(PhysicalEffectTest, TheTableListsGroupsAndPropertiesInOrderWithTheirDefaults)
{
    struct Row
    {
        const char* name;
        uint32_t type;
        const char* text; // null for groups
    } const rows[] = {
        {"Spawn velocity", 0, nullptr},
        {"Pitch min", 9, "30.000000"},
        {"Pitch max", 9, "60.000000"},
        {"Speed", 9, "2.000000"},
        {"Speed var", 9, "0.000000"},
        {"Angular speed", 9, "2.000000"},
        {"Emitter", 0, nullptr},
        {"Spawn rate", 9, "2.000000"},
        {"Size", 9, "2.000000"},
        {"Material", 0, nullptr},
        {"Material def", 11, "0"},
        {"Restitution", 9, "0.200000"},
        {"Angular damping coefficient", 9, "0.050000"},
        {"Linear damping coefficient", 9, "0.000000"},
        {"Density (kg/m3)", 9, "7000.000000"},
        {"Static friction", 9, "0.900000"},
        {"Dynamic friction", 9, "0.900000"},
        {"Spawned objects", 0, nullptr},
        {"Shape def", 11, "0"},
        {"Ball radius / Cube half edge", 9, "1.000000"},
        {"Mesh template path", 22, ""},
        {"Particles", 0, nullptr},
        {"Particle template path", 22, ""},
        {"Collisions", 0, nullptr},
        {"With towers", 20, "1"},
        {"With units", 20, "1"},
        {"Other", 0, nullptr},
        {"Element lifetime", 9, "2.000000"},
        {"Element lifetime var", 9, "0.000000"},
    };
    const PhysicalEffect effect;
    const RTTIPropertiesBase* table = effect.GetClassProperties();
    EXPECT_STREQ(table->GetClassName(), "PhysicalEffect");
    EXPECT_EQ(table->GetBaseTable(), nullptr);
    const Dynarray<RTTIProperty*>& properties = table->GetProperties();
    ASSERT_EQ(properties.Count(), int32_t(std::size(rows)));
    for (int32_t i = 0; i < properties.Count(); ++i)
    {
        const Row& row = rows[i];
        EXPECT_EQ(properties[i]->GetName(), row.name) << i;
        EXPECT_EQ(properties[i]->GetType(), row.type) << row.name;
        if (row.text != nullptr)
        {
            EXPECT_EQ(Text(effect, *properties[i]), row.text) << row.name;
        }
    }
}

TEST(PhysicalEffectTest, AFreshTemplateStoresTheDefaults)
{
    // The effect's payload by hand, in property order.
    std::vector<uint8_t> expected;
    auto f32 = [&expected](float f) {
        const uint32_t v = std::bit_cast<uint32_t>(f);
        for (int i = 0; i < 4; ++i)
            expected.push_back(uint8_t(v >> (8 * i)));
    };
    for (float f : {30.0f, 60.0f, 2.0f, 0.0f, 2.0f, 2.0f, 2.0f})
        f32(f);
    expected.insert(expected.end(), {0, 0, 0, 0}); // "<Custom params>"
    for (float f : {0.2f, 0.05f, 0.0f, 7000.0f, 0.9f, 0.9f})
        f32(f);
    expected.insert(expected.end(), {0, 0, 0, 0}); // "Ball"
    f32(1.0f);
    expected.insert(expected.end(), {0, 0, 1, 1}); // two empty paths, both collision switches
    f32(2.0f);
    f32(0.0f);

    PhysicalEffect effect;
    std::vector<uint8_t> bytes(effect.SerializeToMemory(nullptr, 0, 0));
    ASSERT_EQ(effect.SerializeToMemory(bytes.data(), bytes.size(), 0), bytes.size());
    EXPECT_EQ(bytes, expected);

    // The template's record carries the same payload.
    PhysicalEffectTemplate fresh;
    std::vector<uint8_t> record(fresh.SerializeToMemory(nullptr, 0, 0));
    ASSERT_EQ(fresh.SerializeToMemory(record.data(), record.size(), 0), record.size());
    EXPECT_NE(std::search(record.begin(), record.end(), expected.begin(), expected.end()), record.end());

    // And a stored record gives the values back.
    expected[0] = 0; // "Pitch min" 30 -> a different float
    expected[expected.size() - 10] = 0; // "With towers" off
    PhysicalEffect read;
    ASSERT_TRUE(read.DeserializeFromMemory(expected.data(), expected.size(), 0));
    EXPECT_EQ(Text(read, *read.GetClassProperties()->FindProperty("With towers")), "0");
    EXPECT_FALSE(read.GetClassProperties()->AreObjectsEqual(&read, &effect));
}
} // namespace
