// Shader definitions in both forms, and the variant names and option lists of shader families.
#include "renderer/ShaderOptionWords.h"
#include "core/reflection/RTTIPropertiesBase.h"
#include "renderer/resources/ShaderDefinitions.h"
#include "support/ConsoleCapture.h"
#include "tools/datakit/ShaderDataWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{
const char* const kDefinitionZeros = "00000000000000000000000000000000";

std::string Names(const Dynarray<ShaderOptionName>& names)
{
    std::string out;
    for (const ShaderOptionName& name : names)
        out += std::string(out.empty() ? "" : " ") + name.text;
    return out;
}

// Options sort as A_PIXEL, B, C, D, E_ON, ...: bit 0 is A_PIXEL.
const char* const kText = R"(# test families
Family Fx
    Deferred = 1
    Option E_ON
    End
    Option D
        EnforcedOptionNames = E_ON
    End
    Option C
        DisabledOptionNames = B, E_ON
    End
    Option B
        AffectsPixelShader = 0
    End
    Option A_PIXEL
        AffectsVertexShader = 0
        Parameter Tint
            Type = color
            Register = AlphaRef
            Shader = pixel
            Subregister = z
            SRGB = 0
        End
    End
    Option HARDWARE_DEPTH
    End
    Option HARDWARE_DEPTH_RAWZ
    End
    Parameter Base
        Register = 12
        Type = texture
    End
End
Family   Another
End
)";
} // namespace

TEST(ShaderDefinitionsTest, TextFormBuildsSortedFamiliesAndOptions)
{
    ShaderDefinitions definitions;
    ASSERT_TRUE(definitions.ReadText(kText, std::strlen(kText), "test.Def"));
    ASSERT_EQ(definitions.Count(), 2);
    EXPECT_STREQ(definitions.Get(0)->GetName(), "Another");
    ShaderFamily* family = definitions.Find("fX");
    ASSERT_NE(family, nullptr);
    EXPECT_TRUE(family->m_deferred);
    EXPECT_FALSE(family->m_solidNonDeferred) << "unless the text says so";
    EXPECT_EQ(family->FindOption("a_pixel"), 0);
    EXPECT_EQ(family->FindOption("HARDWARE_DEPTH"), 5);
    EXPECT_EQ(family->FindOption("missing"), -1);
    bool vertex = true;
    bool pixel = false;
    EXPECT_EQ(family->GetOptionStages("A_PIXEL", &vertex, &pixel), 0);
    EXPECT_FALSE(vertex);
    EXPECT_TRUE(pixel);
    EXPECT_FALSE(family->m_options[0].m_default || family->m_options[0].m_system) << "unless the text says so";
    const ShaderParameterDefinition& tint = family->m_options[0].m_parameters[0];
    EXPECT_EQ(tint.m_paramType, uint32_t(ShaderParameterDefinition::PARAM_COLOR));
    EXPECT_EQ(tint.m_register, -2);
    EXPECT_EQ(tint.m_flags, 1u | 4u | 8u);
    EXPECT_EQ(tint.m_defaultFlags, 0u);
    EXPECT_EQ(family->m_parameters[0].m_register, 12);
    EXPECT_EQ(definitions.GetStamp(), ShaderDefinitions::HashText(kText, std::strlen(kText)));
    EXPECT_EQ(ShaderDefinitions::HashText("a", 1), 0xAF63DC4C8601EC8Cull) << "stored stamps keep their hash";
}

TEST(ShaderDefinitionsTest, BadTextIsRefusedWithItsLineAndKeepsTheLoadedList)
{
    ShaderDefinitions definitions;
    ASSERT_TRUE(definitions.ReadText(kText, std::strlen(kText), "test.Def"));
    ConsoleCapture log;
    const char* const unknown = "Family X\n  Colour = 3\nEnd\n";
    EXPECT_FALSE(definitions.ReadText(unknown, std::strlen(unknown), "bad.Def"));
    EXPECT_TRUE(log.Contains("bad.Def(2)"));
    // Open at the end, a family in a family, an option in an option, a family twice, an end of nothing,
    // a property outside any block.
    for (const char* bad : {"Family X\n", "Family X\n Option Y\n", "Family X\n Family Y\n End\nEnd\n",
                            "Family X\n Option Y\n  Option Z\n  End\n End\nEnd\n", "Family X\nEnd\nFamily x\nEnd\n",
                            "End\n", "Deferred = 1\n"})
        EXPECT_FALSE(definitions.ReadText(bad, std::strlen(bad), "bad.Def")) << bad;
    EXPECT_EQ(definitions.Count(), 2);
}

TEST(ShaderDefinitionsTest, VariantMasksFollowSelectionDisablingAndEnforcing)
{
    ShaderDefinitions definitions;
    ASSERT_TRUE(definitions.ReadText(kText, std::strlen(kText), "test.Def"));
    ShaderFamily& family = *definitions.Find("Fx");

    const ShaderVariant none = family.GetVariant("NOT_AN_OPTION");
    EXPECT_EQ(std::string(none.vertexName), std::string("Fx/") + kDefinitionZeros + ".vs_3_0");
    EXPECT_EQ(std::string(none.pixelName), std::string("Fx/") + kDefinitionZeros + ".ps_3_0");

    // Option 4 (E_ON) is the second digit: least significant nibble first.
    const ShaderVariant eOn = family.GetVariant("E_ON");
    EXPECT_EQ(std::string(eOn.vertexName).substr(0, 6), "Fx/010");
    // A pixel-only option leaves the vertex name alone.
    const ShaderVariant pixelOnly = family.GetVariant("A_PIXEL");
    EXPECT_EQ(std::string(pixelOnly.vertexName), std::string(none.vertexName));
    EXPECT_EQ(std::string(pixelOnly.pixelName).substr(0, 5), "Fx/10");
    // C disables B and E_ON; D enforces E_ON, which wins over the disabling.
    const ShaderVariant disabled = family.GetVariant("B C");
    EXPECT_EQ(std::string(disabled.vertexName).substr(0, 5), "Fx/40");
    const ShaderVariant enforced = family.GetVariant("B,C\tD");
    EXPECT_EQ(std::string(enforced.vertexName).substr(0, 5), "Fx/C1");

    const int32_t cached = family.GetVariantCount();
    EXPECT_STREQ(family.GetVariant("E_ON").pixelName, eOn.pixelName);
    EXPECT_EQ(family.GetVariantCount(), cached);
    // Another spelling is another entry with the same names.
    const ShaderVariant respelled = family.GetVariant("D B C");
    EXPECT_EQ(family.GetVariantCount(), cached + 1);
    EXPECT_STREQ(respelled.vertexName, enforced.vertexName);
    EXPECT_EQ(family.GetVariant(nullptr).options[0], 0);

    // Options 31 and 32 straddle the first mask word; option 128, even enforced by option 0, has no bit.
    std::string many = "Family Many\n";
    for (int i = 100; i < 240; ++i)
        many += "Option O" + std::to_string(i) + (i == 100 ? "\nEnforcedOptionNames = O228" : "") + "\nEnd\n";
    ASSERT_TRUE(definitions.ReadText((many + "End\n").c_str(), many.size() + 4, "many.Def"));
    EXPECT_EQ(std::string(definitions.Find("Many")->GetVariant("O100 O131 O132 O228").vertexName).substr(0, 15),
              "Many/1000000810");
    const std::string spaced = std::string(250, ' ') + "O100";
    EXPECT_STREQ(definitions.Find("Many")->GetVariant(spaced.c_str()).options, spaced.c_str()) << "kept whole";
    // A text longer than the cache key gets its variant every time without filling the cache.
    const std::string longer = std::string(300, ' ') + "O100";
    const int32_t held = definitions.Find("Many")->GetVariantCount();
    for (int i = 0; i < 2; ++i)
        EXPECT_STREQ(definitions.Find("Many")->GetVariant(longer.c_str()).vertexName,
                     definitions.Find("Many")->GetVariant(spaced.c_str()).vertexName);
    EXPECT_EQ(definitions.Find("Many")->GetVariantCount(), held);
}

TEST(ShaderDefinitionsTest, OptionNamesComeBackPerStageAndWithoutDeviceOptions)
{
    ShaderDefinitions definitions;
    ASSERT_TRUE(definitions.ReadText(kText, std::strlen(kText), "test.Def"));
    ShaderFamily& family = *definitions.Find("Fx");
    const ShaderVariant variant = family.GetVariant("A_PIXEL B HARDWARE_DEPTH HARDWARE_DEPTH_RAWZ");
    Dynarray<ShaderOptionName> names;
    const char* vertexRest = std::strchr(variant.vertexName, '/') + 1;
    const char* pixelRest = std::strchr(variant.pixelName, '/') + 1;
    ASSERT_TRUE(family.ListOptionNames(vertexRest, names, false));
    EXPECT_EQ(Names(names), "B HARDWARE_DEPTH HARDWARE_DEPTH_RAWZ");
    ASSERT_TRUE(family.ListOptionNames(pixelRest, names, true));
    EXPECT_EQ(Names(names), "A_PIXEL") << "B is a vertex option";
    ASSERT_TRUE(family.ListOptionNames((std::string("2") + (kDefinitionZeros + 1) + ".PS_3_0").c_str(), names, false));
    EXPECT_EQ(Names(names), "") << "B's bit in a pixel name names no pixel option";
    ASSERT_TRUE(family.ListOptionNames((std::string("2") + (kDefinitionZeros + 1)).c_str(), names, false));
    EXPECT_EQ(Names(names), "B") << "a mask without a stage names the options of both";
    EXPECT_FALSE(family.ListOptionNames("0000000G000000000000000000000000.vs_3_0", names, false));
    EXPECT_FALSE(family.ListOptionNames("00", names, false));
}

TEST(ShaderDefinitionsTest, BinaryFormReadsHandWrittenBytesAndRefusesDamage)
{
    // One family "Fx" (Deferred) with one option "A" that affects only the pixel shader.
    const uint8_t family[] = {
        1, 'F', 'x', 0,       // Name
        1, 0,                 // Deferred, SolidNonDeferred
        1, 0, 0, 0,           // one option
        1, 'A', 0, 0, 0,      // Name, DisabledOptionNames, EnforcedOptionNames
        0, 1, 0, 0,           // AffectsVertexShader, AffectsPixelShader, System, Default
        0, 0, 0, 0,           // option parameters
        0, 0, 0, 0,           // family parameters
    };
    std::string file = {'\xC0', '\x5B', '\xEA', '\x23', 1, 2, 3, 4, 5, 6, 7, 8, 1, 0, 0, 0};
    file += char(sizeof(family));
    file += std::string(3, '\0');
    file.append(reinterpret_cast<const char*>(family), sizeof(family));

    ShaderDefinitions definitions;
    ASSERT_TRUE(definitions.ReadBinary(reinterpret_cast<const uint8_t*>(file.data()), file.size()));
    EXPECT_EQ(definitions.GetStamp(), 0x0807060504030201ull);
    ShaderFamily* fx = definitions.Find("FX");
    ASSERT_NE(fx, nullptr);
    EXPECT_TRUE(fx->m_deferred);
    EXPECT_STREQ(fx->GetVariant("A").vertexName, (std::string("Fx/") + kDefinitionZeros + ".vs_3_0").c_str());
    EXPECT_EQ(std::string(fx->GetVariant("A").pixelName).substr(0, 4), "Fx/1");
    // The kit writes the same bytes back.
    EXPECT_EQ(WriteShaderDefBin(definitions), file);

    ConsoleCapture log;
    for (size_t cut = 0; cut < file.size(); ++cut)
        EXPECT_FALSE(definitions.ReadBinary(reinterpret_cast<const uint8_t*>(file.data()), cut)) << cut;
    std::string wrongMagic = file;
    wrongMagic[0] = 0;
    EXPECT_FALSE(definitions.ReadBinary(reinterpret_cast<const uint8_t*>(wrongMagic.data()), wrongMagic.size()));
    EXPECT_TRUE(log.Contains("Shaders.DefBin magic mismatch", CONSOLE_ERROR));
    std::string manyFamilies = file;
    manyFamilies[12] = 9; // nine byte counts alone take more than the 31 bytes after the header
    EXPECT_FALSE(definitions.ReadBinary(reinterpret_cast<const uint8_t*>(manyFamilies.data()), manyFamilies.size()));
    EXPECT_TRUE(log.Contains("claims 9 families", CONSOLE_ERROR));
    std::string nameless = file;
    nameless.erase(21, 2); // the name "Fx" becomes empty
    nameless[16] = char(sizeof(family) - 2);
    EXPECT_FALSE(definitions.ReadBinary(reinterpret_cast<const uint8_t*>(nameless.data()), nameless.size()));
    EXPECT_TRUE(log.Contains("family record 0 has no name", CONSOLE_ERROR));
    std::string twice = file + file.substr(16); // the same family again
    twice[12] = 2;
    EXPECT_FALSE(definitions.ReadBinary(reinterpret_cast<const uint8_t*>(twice.data()), twice.size()));
    // Failed reads keep what was loaded.
    EXPECT_NE(definitions.Find("Fx"), nullptr);
}

TEST(ShaderDefinitionsTest, KitBuildsTheProjectDefinitionsWithTheTextStamp)
{
    std::map<std::string, std::string> files;
    ASSERT_TRUE(CollectShaderData(nullptr, files));
    ASSERT_TRUE(files.count("Shaders/Shaders.DefBin"));
    ASSERT_TRUE(files.count("Shaders/Common.hlsl"));
    const std::string& binary = files["Shaders/Shaders.DefBin"];
    const std::string& text = files["Shaders/Shaders.Def"];
    ShaderDefinitions fromBinary;
    ShaderDefinitions fromText;
    ASSERT_TRUE(fromBinary.ReadBinary(reinterpret_cast<const uint8_t*>(binary.data()), binary.size()));
    ASSERT_TRUE(fromText.ReadText(text.data(), text.size(), "Shaders.Def"));
    EXPECT_EQ(fromBinary.GetStamp(), fromText.GetStamp());
    ASSERT_EQ(fromBinary.Count(), fromText.Count());
    for (const char* name : {"FixedPipelineReplacement", "Upscale", "iPhoneFakeShadow", "iPhoneLightmapComposition",
                             "Font", "iPhoneUI", "Light", "LightCubeGeneration", "LightFinalComponents",
                             "MeshShadowMap"})
    {
        EXPECT_NE(fromBinary.Find(name), nullptr) << name;
        EXPECT_TRUE(files.count(std::string("Shaders/") + name + ".hlsl")) << name;
    }
}

TEST(ShaderOptionWordsTest, RemovesOnlyWholeWords)
{
    char text[] = "USE_SHADOWMAP SHADOWMAP_FILTERING SHADOWMAP FOG";
    EXPECT_TRUE(RemoveOptionWord(text, "SHADOWMAP"));
    EXPECT_STREQ(text, "USE_SHADOWMAP SHADOWMAP_FILTERING           FOG");
    EXPECT_FALSE(RemoveOptionWord(text, "SHADOWMAP"));
    char last[] = "A FOG";
    EXPECT_TRUE(RemoveOptionWord(last, "FOG"));
    EXPECT_STREQ(last, "A    ");
    char prefix[] = "FOGGY FOG";
    EXPECT_TRUE(RemoveOptionWord(prefix, "FOG"));
    EXPECT_STREQ(prefix, "FOGGY    ");
    EXPECT_FALSE(RemoveOptionWord(prefix, ""));
}

TEST(ShaderParameterDefinitionTest, TextViewsWriteBackWhatTheyRead)
{
    ShaderParameterDefinition parameter;
    const RTTIPropertiesBase* table = parameter.GetClassProperties();
    auto set = [&](const char* name, const char* text) { return table->FindProperty(name)->SetFromText(&parameter, text); };
    auto get = [&](const char* name) {
        char buffer[64];
        table->FindProperty(name)->ToText(&parameter, buffer, sizeof(buffer));
        return std::string(buffer);
    };
    EXPECT_EQ(parameter.m_secondaryRegister, -1);
    // Stored definitions keep the render-state ids: each name has its fixed place.
    for (const auto& [name, id] : {std::pair<const char*, int32_t>{"AlphaTest", -1}, {"DepthWrite", -17},
                                   {"DepthRead", -18}, {"MapAnimMode", -28}})
    {
        ASSERT_TRUE(set("Register", name));
        EXPECT_EQ(parameter.m_register, id) << name;
        EXPECT_EQ(get("Register"), name);
    }
    ASSERT_TRUE(set("Register", "17"));
    EXPECT_EQ(get("Register"), "17");
    set("Type", "bool");
    set("Subregister", "w");
    set("Shader", "pixel");
    set("NoAlpha", "1");
    set("Trilinear", "1");
    set("SRGB", "1");
    EXPECT_EQ(parameter.m_paramType, 9u);
    EXPECT_EQ(parameter.m_flags, 1u | 6u | 16u | 32u);
    EXPECT_EQ(get("Type"), "bool");
    EXPECT_EQ(get("Subregister"), "w");
    EXPECT_EQ(get("Shader"), "pixel");
    EXPECT_EQ(get("SRGB"), "1");
    EXPECT_EQ(get("NoAlpha") + get("Trilinear"), "11");
    set("Type", "vec5");
    EXPECT_EQ(parameter.m_flags & ShaderParameterDefinition::FLAG_BAD_TEXT, ShaderParameterDefinition::FLAG_BAD_TEXT);
    EXPECT_EQ(parameter.m_paramType, 9u);
    parameter.m_flags = 1u | 16u; // pixel shader, no alpha
    set("Shader", "Vertex"); // no stage: flagged, the stage kept
    EXPECT_EQ(parameter.m_flags, 1u | 16u | ShaderParameterDefinition::FLAG_BAD_TEXT);
    set("Shader", "vertex");
    set("NoAlpha", "1"); // already on: stays on
    set("NoAlpha", "yes"); // neither 0 nor 1: flagged, the switch kept
    EXPECT_EQ(parameter.m_flags, 16u | ShaderParameterDefinition::FLAG_BAD_TEXT);
    EXPECT_EQ(get("NoAlpha") + get("Trilinear"), "10");
    // The views are text only: the binary form has the nine stored properties.
    const size_t size = parameter.SerializeToMemory(nullptr, 0, 0);
    EXPECT_EQ(size, 1u + 4 + 3 + 4 + 4 + 1 + 4 + 1 + 1);
}
