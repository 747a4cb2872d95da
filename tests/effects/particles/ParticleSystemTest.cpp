// The particle system definition: its property table (order, groups, flags, enumerations), defaults
// that survive a record round trip, the shader options by quality level and the global list.
#include "effects/particles/ParticleSystem.h"

#include "core/reflection/RTTIPropertiesBase.h"
#include "support/ParticleTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
TEST(ParticleSystemTest, ThePropertyTableListsGroupsAndValuesInOrder)
{
    ParticleSystem system;
    const RTTIPropertiesBase* table = system.GetClassProperties();
    std::vector<std::string> names;
    const Dynarray<RTTIProperty*>& properties = table->GetProperties();
    for (int32_t i = 0; i < properties.Count(); ++i)
        names.push_back(properties[i]->GetName());
    const std::vector<std::string> expected = {
        "Basic parameters", "Local space", "Life time", "Life time variable", "Spawn rate",
        "No spawn rate reduction", "Emitter size", "Initial velocity", "Initial velocity var", "Global gravity",
        "Local gravity", "Velocity damping", "Circle velocity", "Circle velocity enabled",
        "Circle velocity yaw range", "Circle velocity pitch range", "Circle velocity const", "Circle velocity var",
        "Shape parameters", "Face camera mode", "Anchor", "Shape", "Rotation parameters", "Random rotation at start",
        "Rotation speed", "Rotation speed var", "Secondary rotation speed", "Secondary rotation speed var",
        "Texture parameters", "Texture file name", "Texture frames X", "Texture frames Y", "Animation mode",
        "Desaturation factor", "Mesh parameters", "Mesh template", "Shader preset", "Color and size",
        "Blending mode", "Alpha test mode", "Sort mode", "Alpha reference value", "Z buffer read", "Z buffer write",
        "Softness", "Fog", "Node 0", "Node 0 size", "Node 0 color", "Node 1", "Node 1 time", "Node 1 size",
        "Node 1 color", "Node 2", "Node 2 time", "Node 2 size", "Node 2 color", "Node 3", "Node 3 size",
        "Node 3 color", "Physics", "Bounce strength", "Fake terrain collision", "iPhone specific",
        "High precision mode"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(table->FindProperty("Emitter size")->GetFlags(), 64u);
    EXPECT_EQ(table->FindProperty("Texture file name")->GetFlags(), 2048u);
    EXPECT_EQ(table->FindProperty("Mesh template")->GetFlags(), 4096u);
    EXPECT_EQ(table->FindProperty("Node 0")->GetType(), uint32_t(RTTI_TYPE_SEPARATOR));
    EXPECT_STREQ(table->FindProperty("Face camera mode")->GetEnumerationNames()[5], "Velocity normal");
    EXPECT_STREQ(table->FindProperty("Blending mode")->GetEnumerationNames()[3], "Add+Alpha");
    EXPECT_STREQ(table->FindProperty("Animation mode")->GetEnumerationNames()[2], "Cycle with blend");
    EXPECT_STREQ(table->FindProperty("Sort mode")->GetEnumerationNames()[1], "Reverse");
}

TEST(ParticleSystemTest, DefaultsRoundTripThroughARecord)
{
    ParticleSystem source;
    struct Case
    {
        const char* property;
        const char* text;
    };
    const Case defaults[] = {
        {"Node 0 color", "255 255 255 0 1"}, {"Node 1 color", "255 255 255 255 1"}, {"Node 1 time", "0.1"},
        {"Node 2 time", "0.9"}, {"Node 0 size", "0"}, {"Node 3 size", "0.1"}, {"Spawn rate", "10"},
        {"Blending mode", "3"}, {"Alpha test mode", "1"}, {"Face camera mode", "3"}, {"Animation mode", "2"},
        {"Z buffer read", "1"}, {"Fog", "1"}, {"Bounce strength", "0.8"}, {"Texture file name", "SFX/glow.dds"},
        {"Circle velocity yaw range", "180"}, {"Circle velocity var", "0.2"}, {"Velocity damping", "1"},
    };
    ParticleSystem expected;
    for (const Case& c : defaults)
        SetParticleProperty(expected, c.property, c.text);
    EXPECT_TRUE(source.GetClassProperties()->AreObjectsEqual(&source, &expected));
    EXPECT_EQ(source.GetNodeTime(3), 1.0f);
    // The accessors hand each node its own value: faded out at the ends, no size at the start.
    for (uint32_t node = 0; node < 4; ++node)
    {
        EXPECT_EQ(source.GetNodeColor(node).a, node == 1 || node == 2 ? 255 : 0) << node;
        EXPECT_EQ(source.GetNodeSize(node), node == 0 ? 0.0f : 0.1f) << node;
    }
    EXPECT_EQ(source.GetAnchor().x, 0.5f);
    EXPECT_EQ(source.GetInitialVelocity().y, 1.0f);

    SetParticleProperty(source, "Spawn rate", "42");
    SetParticleProperty(source, "Shape", "1 2 3 4");
    std::vector<uint8_t> bytes(source.SerializeToMemory(nullptr, 0, 0));
    ASSERT_EQ(source.SerializeToMemory(bytes.data(), bytes.size(), 0), bytes.size());
    ParticleSystem copy;
    ASSERT_TRUE(copy.DeserializeFromMemory(bytes.data(), bytes.size(), 0));
    EXPECT_TRUE(copy.GetClassProperties()->AreObjectsEqual(&source, &copy));
    EXPECT_EQ(copy.GetSpawnRate(), 42.0f);
    EXPECT_EQ(copy.GetShape().w, 4.0f);
}

TEST(ParticleSystemTest, ShaderOptionsFollowTheValuesAndTheQualityLevel)
{
    struct Case
    {
        std::vector<std::pair<const char*, const char*>> values;
        uint32_t quality;
        const char* options;
    };
    const Case cases[] = {
        {{}, 3, "FOG "},
        {{{"Texture frames Y", "2"}}, 3, "TEXTURE_ANIMATION TEXTURE_FRAME_INTERPOLATION FOG "},
        {{{"Texture frames X", "2"}, {"Animation mode", "1"}}, 3, "TEXTURE_ANIMATION FOG "},
        {{{"Animation mode", "2"}, {"Fog", "0"}}, 3, ""},
        {{{"Desaturation factor", "0.5"}, {"Softness", "1"}}, 0, "FOG "},
        {{{"Desaturation factor", "0.5"}, {"Softness", "1"}}, 1, "TEXTURE_DESATURATION FOG "},
        {{{"Desaturation factor", "0.5"}, {"Softness", "1"}}, 2, "TEXTURE_DESATURATION SOFTNESS FOG "},
        {{{"Blending mode", "0"}, {"Fog", "0"}}, 3, "BLEND_ALPHA "},
        {{{"Blending mode", "1"}, {"Fog", "0"}}, 3, "BLEND_ALPHA "},
        {{{"Blending mode", "4"}, {"Fog", "0"}}, 3, "BLEND_ALPHA "},
        {{{"Blending mode", "2"}, {"Fog", "0"}}, 3, ""},
    };
    for (const Case& c : cases)
    {
        ParticleSystem system;
        for (const auto& [property, text] : c.values)
            SetParticleProperty(system, property, text);
        EXPECT_EQ(system.BuildShaderOptions(c.quality), c.options) << c.options << " at " << c.quality;
    }
}

TEST(ParticleSystemTest, SystemsJoinTheGlobalListAndAnUnknownMeshLeavesNoHandles)
{
    const uint32_t before = ParticleSystem::GetLiveSystemCount();
    EXPECT_EQ(before, 0u) << "no system outlives the test that made it";
    {
        ParticleSystem a;
        auto b = std::make_unique<ParticleSystem>();
        ParticleSystem c;
        EXPECT_EQ(ParticleSystem::GetLiveSystemCount(), before + 3);
        b.reset();
        EXPECT_EQ(ParticleSystem::GetLiveSystemCount(), before + 2);
        SetParticleProperty(a, "Mesh template", "01234567-89AB-CDEF-0123-456789ABCDEF");
        // Rebuilding walks the list past the removed system.
        ParticleSystem::RebuildAllShaders();
        EXPECT_EQ(a.GetMeshTemplate(), nullptr);
        EXPECT_EQ(a.GetVertexShaderResource(), nullptr);
        EXPECT_EQ(a.GetTextureResource(), nullptr);
    }
    EXPECT_EQ(ParticleSystem::GetLiveSystemCount(), before);
}
} // namespace
