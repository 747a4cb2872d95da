#include "renderer/resources/ShaderParameterDefinition.h"

#include "core/reflection/RTTIClass.h"
#include "core/strings/StringUtils.h"

#include <cstdio>
#include <cstdlib>

namespace
{
const char* const kRegisterNames[] = {
    "AlphaTest",       "AlphaRef",           "BlendMode",      "CullMode",       "DepthBias",
    "MappingScale",    "MappingOffset",      "MappingDrift",   "RefractionPower", "RefractionGranularity",
    "OutlineIndex",    "SunShadow",          "ColorWrite",     "MinRefractionQualityLevel", "RenderToLightmap",
    "DesaturationPower", "DepthWrite",       "DepthRead",      "LineWidth",      "LineSoftness",
    "UseLocalColor",   "SpecularExponent",   "LightingType",   "CastGI",         "MapAnimFramesX",
    "MapAnimFramesY",  "MapAnimFrameTime",   "MapAnimMode",
};
constexpr int32_t kRegisterNameCount = int32_t(sizeof(kRegisterNames) / sizeof(kRegisterNames[0]));

const char* const kTypeNames[] = {"unknown", "option", "texture", "vector", "color",
                                  "float",   "mask",   "group",   "enum",   "bool"};
constexpr uint32_t kTypeCount = uint32_t(sizeof(kTypeNames) / sizeof(kTypeNames[0]));

using P = ShaderParameterDefinition;
using TextProperty = RTTISGProperty<P, std::string>;
} // namespace

RTTI_DEFINE_CLASS(ShaderParameterDefinition, RTTIPolyBaseClass)

void ShaderParameterDefinition::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<P, NameString>("Name", &P::m_name));
    table.AddProperty(new RTTIDirectAccessTypedProperty<P, uint32_t>("ParamType", &P::m_paramType));
    table.AddProperty(new TextProperty("Register", &P::SetRegisterText, &P::GetRegisterText));
    table.AddProperty(new RTTIDirectAccessTypedProperty<P, uint32_t>("Flags", &P::m_flags));
    table.AddProperty(new RTTIDirectAccessTypedProperty<P, int32_t>("SecondaryRegister", &P::m_secondaryRegister));
    table.AddProperty(new RTTIDirectAccessTypedProperty<P, NameString>("Default", &P::m_default));
    table.AddProperty(new RTTIDirectAccessTypedProperty<P, uint32_t>("DefaultFlags", &P::m_defaultFlags));
    table.AddProperty(new RTTIDirectAccessTypedProperty<P, NameString>("AssociatedOption", &P::m_associatedOption));
    table.AddProperty(new RTTIDirectAccessTypedProperty<P, NameString>("RequiredOption", &P::m_requiredOption));
    const uint32_t textOnly = RTTI_PROPERTY_NOT_SERIALIZED;
    table.AddProperty(new TextProperty("Type", &P::SetTypeText, &P::GetTypeText, textOnly));
    table.AddProperty(new TextProperty("Subregister", &P::SetSubregisterText, &P::GetSubregisterText, textOnly));
    table.AddProperty(new TextProperty("Shader", &P::SetShaderText, &P::GetShaderText, textOnly));
    table.AddProperty(new TextProperty("SRGB", &P::SetSrgbText, &P::GetSrgbText, textOnly));
    table.AddProperty(new TextProperty("NoAlpha", &P::SetNoAlphaText, &P::GetNoAlphaText, textOnly));
    table.AddProperty(new TextProperty("Trilinear", &P::SetTrilinearText, &P::GetTrilinearText, textOnly));
}

const char* ShaderParameterDefinition::GetRegisterName(int32_t id)
{
    return id < 0 && id >= -kRegisterNameCount ? kRegisterNames[-id - 1] : nullptr;
}

const std::string* ShaderParameterDefinition::GetRegisterText() const
{
    const char* name = GetRegisterName(m_register);
    m_text = name != nullptr ? name : std::to_string(m_register);
    return &m_text;
}

void ShaderParameterDefinition::SetRegisterText(const std::string& text)
{
    for (int32_t i = 0; i < kRegisterNameCount; ++i)
        if (StrICmp(text.c_str(), kRegisterNames[i]) == 0)
        {
            m_register = -i - 1;
            return;
        }
    m_register = int32_t(std::strtol(text.c_str(), nullptr, 10));
}

const std::string* ShaderParameterDefinition::GetTypeText() const
{
    m_text = m_paramType < kTypeCount ? kTypeNames[m_paramType] : "unknown";
    return &m_text;
}

void ShaderParameterDefinition::SetTypeText(const std::string& text)
{
    for (uint32_t i = 0; i < kTypeCount; ++i)
        if (StrICmp(text.c_str(), kTypeNames[i]) == 0)
        {
            m_paramType = i;
            return;
        }
    m_flags |= FLAG_BAD_TEXT;
}

const std::string* ShaderParameterDefinition::GetSubregisterText() const
{
    static const char* const kNames[] = {"x", "y", "z", "w"};
    m_text = kNames[(m_flags & FLAG_SUBREGISTER_MASK) >> 1];
    return &m_text;
}

void ShaderParameterDefinition::SetSubregisterText(const std::string& text)
{
    const char first = text.empty() ? 0 : text[0];
    const int index = first == 'x' ? 0 : first == 'y' ? 1 : first == 'z' ? 2 : first == 'w' ? 3 : -1;
    if (index < 0)
    {
        m_flags |= FLAG_BAD_TEXT;
        return;
    }
    m_flags = (m_flags & ~FLAG_SUBREGISTER_MASK) | uint32_t(index) << 1;
}

const std::string* ShaderParameterDefinition::GetShaderText() const
{
    m_text = (m_flags & FLAG_PIXEL_SHADER) != 0 ? "pixel" : "vertex";
    return &m_text;
}

void ShaderParameterDefinition::SetShaderText(const std::string& text)
{
    if (text == "pixel")
        m_flags |= FLAG_PIXEL_SHADER;
    else if (text == "vertex")
        m_flags &= ~FLAG_PIXEL_SHADER;
    else
        m_flags |= FLAG_BAD_TEXT;
}

void ShaderParameterDefinition::SetFlagFromText(uint32_t flag, const std::string& text, bool setOn)
{
    if (text != "0" && text != "1")
    {
        m_flags |= FLAG_BAD_TEXT;
        return;
    }
    if ((text == "1") == setOn)
        m_flags |= flag;
    else
        m_flags &= ~flag;
}

// The flag texts are one character, assigned as one: g++ 12 takes a literal copied over a string for
// an overlapping copy.
const std::string* ShaderParameterDefinition::GetSrgbText() const
{
    m_text.assign(1, (m_flags & FLAG_SRGB_OFF) != 0 ? '0' : '1');
    return &m_text;
}

void ShaderParameterDefinition::SetSrgbText(const std::string& text) { SetFlagFromText(FLAG_SRGB_OFF, text, false); }

const std::string* ShaderParameterDefinition::GetNoAlphaText() const
{
    m_text.assign(1, (m_flags & FLAG_NO_ALPHA) != 0 ? '1' : '0');
    return &m_text;
}

void ShaderParameterDefinition::SetNoAlphaText(const std::string& text) { SetFlagFromText(FLAG_NO_ALPHA, text, true); }

const std::string* ShaderParameterDefinition::GetTrilinearText() const
{
    m_text.assign(1, (m_flags & FLAG_TRILINEAR) != 0 ? '1' : '0');
    return &m_text;
}

void ShaderParameterDefinition::SetTrilinearText(const std::string& text)
{
    SetFlagFromText(FLAG_TRILINEAR, text, true);
}
