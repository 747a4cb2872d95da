#include "renderer/resources/ShaderFamily.h"

#include "core/SimpleGUID.h"
#include "core/reflection/RTTIClass.h"
#include "core/strings/StringUtils.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace
{
struct Mask
{
    uint32_t words[ShaderFamily::kMaskWords] = {};
    void Set(int32_t bit) { words[bit / 32] |= 1u << (bit % 32); }
    bool Test(uint32_t bit) const { return (words[bit / 32] & (1u << (bit % 32))) != 0; }
};

void CopyText(char* out, size_t size, const char* text)
{
    std::snprintf(out, size, "%s", text != nullptr ? text : "");
}

bool IsDeviceOption(const char* name)
{
    return StrICmp(name, "HARDWARE_DEPTH") == 0 || StrICmp(name, "HARDWARE_DEPTH_RAWZ") == 0;
}
} // namespace

RTTI_DEFINE_CLASS(ShaderOption, RTTIPolyBaseClass)

void ShaderOption::BuildClassProperties(RTTIPropertiesBase& table)
{
    using O = ShaderOption;
    table.AddProperty(new RTTIDirectAccessTypedProperty<O, NameString>("Name", &O::m_name));
    table.AddProperty(new RTTIDirectAccessTypedProperty<O, NameString>("DisabledOptionNames", &O::m_disabledOptionNames));
    table.AddProperty(new RTTIDirectAccessTypedProperty<O, NameString>("EnforcedOptionNames", &O::m_enforcedOptionNames));
    table.AddProperty(new RTTIDirectAccessTypedProperty<O, bool>("AffectsVertexShader", &O::m_affectsVertexShader));
    table.AddProperty(new RTTIDirectAccessTypedProperty<O, bool>("AffectsPixelShader", &O::m_affectsPixelShader));
    table.AddProperty(new RTTIDirectAccessTypedProperty<O, bool>("System", &O::m_system));
    table.AddProperty(new RTTIDirectAccessTypedProperty<O, bool>("Default", &O::m_default));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectsProperty<O, ShaderParameterDefinition>("Parameter definitions",
                                                                                             &O::m_parameters));
}

RTTI_DEFINE_CLASS(ShaderFamily, RTTIPolyBaseClass)

void ShaderFamily::BuildClassProperties(RTTIPropertiesBase& table)
{
    using F = ShaderFamily;
    table.AddProperty(new RTTIDirectAccessTypedProperty<F, NameString>("Name", &F::m_name));
    table.AddProperty(new RTTIDirectAccessTypedProperty<F, bool>("Deferred", &F::m_deferred));
    table.AddProperty(new RTTIDirectAccessTypedProperty<F, bool>("SolidNonDeferred", &F::m_solidNonDeferred));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectsProperty<F, ShaderOption>("Shader options", &F::m_options));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectsProperty<F, ShaderParameterDefinition>("Parameter definitions",
                                                                                             &F::m_parameters));
}

void ShaderFamily::OnPostLoad(uint32_t)
{
    SortOptions();
}

void ShaderFamily::SortOptions()
{
    std::stable_sort(m_options.begin(), m_options.end(), [](const ShaderOption& a, const ShaderOption& b) {
        return StrICmp(a.m_name.CStr(), b.m_name.CStr()) < 0;
    });
}

int32_t ShaderFamily::FindOption(const char* name) const
{
    const ShaderOption* first = m_options.begin();
    const ShaderOption* last = m_options.end();
    const ShaderOption* found = std::lower_bound(first, last, name, [](const ShaderOption& option, const char* key) {
        return StrICmp(option.m_name.CStr(), key) < 0;
    });
    if (found == last || StrICmp(found->m_name.CStr(), name) != 0)
        return -1;
    return int32_t(found - first);
}

int32_t ShaderFamily::GetOptionStages(const char* name, bool* vertex, bool* pixel) const
{
    const int32_t index = FindOption(name);
    if (index >= 0)
    {
        *vertex = m_options[index].m_affectsVertexShader;
        *pixel = m_options[index].m_affectsPixelShader;
    }
    return index;
}

ShaderVariant ShaderFamily::GetVariant(const char* options)
{
    const char* key = options != nullptr ? options : "";
    for (const ShaderVariant& variant : m_variants)
        if (std::strcmp(variant.options, key) == 0)
            return variant;
    return BuildVariant(key);
}

ShaderVariant ShaderFamily::BuildVariant(const char* options)
{
    Mask selected[2];
    Mask disabled[2];
    Mask enforced[2];
    // Marks an option named in a list into a stage pair of masks by that option's own stages.
    auto mark = [this](const char* name, Mask* masks) {
        const int32_t index = FindOption(name);
        if (index < 0 || index >= int32_t(kMaxOptions))
            return;
        if (m_options[index].m_affectsVertexShader)
            masks[0].Set(index);
        if (m_options[index].m_affectsPixelShader)
            masks[1].Set(index);
    };
    ForEachShaderOptionToken(options, [&](const char* token) {
        const int32_t index = FindOption(token);
        if (index < 0 || index >= int32_t(kMaxOptions))
            return;
        mark(token, selected);
        const ShaderOption& option = m_options[index];
        ForEachShaderOptionToken(option.m_disabledOptionNames.CStr(), [&](const char* name) { mark(name, disabled); });
        ForEachShaderOptionToken(option.m_enforcedOptionNames.CStr(), [&](const char* name) { mark(name, enforced); });
    });
    ShaderVariant variant = {};
    CopyText(variant.options, sizeof(variant.options), options);
    char* names[2] = {variant.vertexName, variant.pixelName};
    const char* const profiles[2] = {"vs_3_0", "ps_3_0"};
    for (int stage = 0; stage < 2; ++stage)
    {
        uint32_t words[kMaskWords];
        for (uint32_t w = 0; w < kMaskWords; ++w)
            words[w] = (selected[stage].words[w] & ~disabled[stage].words[w]) | enforced[stage].words[w];
        char hex[kMaskWords * 8 + 1];
        WordsToHexString(words, kMaskWords, hex);
        std::snprintf(names[stage], ShaderVariant::kResourceNameSize, "%s/%s.%s", GetName(), hex, profiles[stage]);
    }
    // A text the key cannot hold whole would never match its own entry again: its variant is built
    // each time rather than cached once per request.
    if (std::strlen(options) < sizeof(variant.options))
        m_variants.Add(variant);
    return variant;
}

bool ShaderFamily::ListOptionNames(const char* maskAndStage, Dynarray<ShaderOptionName>& names,
                                   bool skipDeviceOptions) const
{
    names.Clear();
    if (maskAndStage == nullptr || std::strlen(maskAndStage) < kMaskWords * 8)
        return false;
    char digits[kMaskWords * 8 + 1];
    std::memcpy(digits, maskAndStage, kMaskWords * 8);
    digits[kMaskWords * 8] = 0;
    Mask mask;
    if (!HexStringToWords(mask.words, kMaskWords, digits))
        return false;
    const char* dot = std::strrchr(maskAndStage, '.');
    const char stage = dot != nullptr ? char(dot[1] | 0x20) : 0;
    const uint32_t count = std::min<uint32_t>(uint32_t(m_options.Count()), kMaxOptions);
    for (uint32_t i = 0; i < count; ++i)
    {
        if (!mask.Test(i))
            continue;
        const ShaderOption& option = m_options[int32_t(i)];
        if ((stage == 'v' && !option.m_affectsVertexShader) || (stage == 'p' && !option.m_affectsPixelShader))
            continue;
        if (skipDeviceOptions && IsDeviceOption(option.m_name.CStr()))
            continue;
        ShaderOptionName name;
        CopyText(name.text, sizeof(name.text), option.m_name.CStr());
        names.Add(name);
    }
    return true;
}
