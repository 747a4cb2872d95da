// ctest-labels: thread
// The project's shader definitions and the shader manager's tables against stored copies: every
// family with its options and parameters as their text form gives them, the variant names of no
// option, of each option alone and of all of them with the option names read back from each name;
// then every pair of the system, light and shadow-map tables after Init, with its resources' flags
// and state. NORVEX_UPDATE_GOLDEN=1 rewrites the stored copies instead.
#include "renderer/ShaderManager.h"
#include "core/reflection/RTTIPropertiesBase.h"
#include "renderer/resources/Resource.h"
#include "support/GoldenText.h"
#include "support/RenderDataHarness.h"
#include "support/SystemTextures.h"

#include <cstring>
#include <map>

namespace
{
// Every property of the object that has a text form, as "name=text".
std::string TextForm(const RTTIPolyBaseClass& object)
{
    std::string text;
    char value[512];
    for (const RTTIProperty* property : object.GetClassProperties()->GetProperties())
        if (property->HasTextForm() && property->ToText(&object, value, sizeof(value)))
            text += " " + property->GetName() + "=" + value;
    return text;
}

// A variant's two names, each with the option names the family reads back from it.
std::string Variant(ShaderFamily& family, const std::string& options)
{
    const ShaderVariant variant = family.GetVariant(options.c_str());
    std::string text = "  variant '" + options + "'";
    for (const char* name : {variant.vertexName, variant.pixelName})
    {
        Dynarray<ShaderOptionName> names;
        const bool read = family.ListOptionNames(std::strchr(name, '/') + 1, names, false);
        text += std::string("\n    ") + name + (read ? "" : " unreadable");
        for (const ShaderOptionName& option : names)
            text += std::string(" ") + option.text;
    }
    return text + "\n";
}

// A table's pair: each resource's name, flags, state and the option names the manager reads from it.
std::string Pair(const std::string& heading, const ShaderPair& pair)
{
    std::string text = heading;
    for (const Resource* resource : {pair.m_vertexResource, pair.m_pixelResource})
    {
        Dynarray<ShaderOptionName> names;
        text += resource == nullptr ? "\n  none" : std::string("\n  ") + resource->GetName() + " flags " +
                                                     std::to_string(resource->GetFlags()) +
                                                     (resource->IsLoaded() ? " loaded |" : " not loaded |");
        if (resource != nullptr && gShaderManager.GetVariantOptionNames(resource->GetName(), names, true))
            for (const ShaderOptionName& option : names)
                text += std::string(" ") + option.text;
    }
    return text + (pair.IsValid() ? "\n  valid\n" : "\n");
}
} // namespace

TEST(ShaderManagerGoldenTest, EveryFamilyWithItsOptionsParametersAndVariants)
{
    std::map<std::string, std::string> files;
    ASSERT_TRUE(CollectShaderData(nullptr, files));
    const std::string& source = files["Shaders/Shaders.Def"];
    const std::string& binary = files["Shaders/Shaders.DefBin"];
    ShaderDefinitions definitions[2];
    ASSERT_TRUE(definitions[0].ReadText(source.data(), source.size(), "Shaders.Def"));
    ASSERT_TRUE(definitions[1].ReadBinary(reinterpret_cast<const uint8_t*>(binary.data()), binary.size()));
    std::string texts[2];
    for (int form = 0; form < 2; ++form)
        for (int32_t f = 0; f < definitions[form].Count(); ++f)
        {
            ShaderFamily& family = *definitions[form].Get(f);
            std::string& text = texts[form];
            text += "Family" + TextForm(family) + "\n";
            std::string all;
            for (const ShaderOption& option : family.m_options)
            {
                text += "  option" + TextForm(option) + "\n";
                for (const ShaderParameterDefinition& parameter : option.m_parameters)
                    text += "    parameter" + TextForm(parameter) + "\n";
                all += (all.empty() ? "" : " ") + std::string(option.m_name.CStr());
            }
            for (const ShaderParameterDefinition& parameter : family.m_parameters)
                text += "  parameter" + TextForm(parameter) + "\n";
            text += Variant(family, "");
            for (const ShaderOption& option : family.m_options)
                text += Variant(family, option.m_name.CStr());
            // Twice: the second answer comes from the cache.
            if (family.m_options.Count() > 1)
                text += Variant(family, all) + Variant(family, all);
            text += "  variants cached " + std::to_string(family.GetVariantCount()) + "\n";
        }
    EXPECT_EQ(texts[0], texts[1]) << "the binary form holds what the text form does";
    ExpectTextMatchesStoredCopy(texts[0], "tests/renderer/golden/ShaderFamilies.txt");
}

TEST(ShaderManagerGoldenTest, TheManagersTablesAfterInit)
{
    DataRoot data;
    ASSERT_FALSE(AddSystemTextures(data).empty());
    RenderDataHarness harness;
    ASSERT_TRUE(harness.StartWithShaders(data));
    std::string text;
    for (uint32_t slot = 0; slot < ShaderManager::kSystemShaderCount; ++slot)
        text += Pair("system " + std::to_string(slot), gShaderManager.GetSystemShader(slot));
    for (uint32_t row = 0; row < ShaderManager::kLightRows; ++row)
        for (uint32_t mask = 0; mask < ShaderManager::kLightMasks; ++mask)
            if (gShaderManager.GetLightShader(row, mask).m_vertexResource != nullptr)
                text += Pair("light " + std::to_string(row) + " " + std::to_string(mask),
                             gShaderManager.GetLightShader(row, mask));
    for (uint32_t mask = 0; mask < ShaderManager::kShadowMapMasks; ++mask)
        text += Pair("shadow map " + std::to_string(mask), gShaderManager.GetShadowMapShader(mask));
    for (uint32_t slot = 0; slot < ShaderManager::kSystemTextureCount; ++slot)
    {
        const ShaderManager::SystemTexture& texture = gShaderManager.GetSystemTexture(slot);
        text += "texture " + std::to_string(slot) + "\n  " + texture.resource->GetName() + " flags " +
                std::to_string(texture.resource->GetFlags()) + (texture.texture != nullptr ? " on the device\n" : "\n");
    }
    harness.Stop();
    ExpectTextMatchesStoredCopy(text, "tests/renderer/golden/ShaderManagerTables.txt");
}
