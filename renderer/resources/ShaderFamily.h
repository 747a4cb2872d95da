// Shader families: one HLSL source with its option keywords and parameter definitions, read from
// the shader definitions. A request by option words becomes a variant: a vertex and a pixel shader
// resource name that carry the selected options as a 128-bit mask ("Family/<32 hex digits>.vs_3_0",
// bit i = option i of the family's sorted list, digits least significant nibble first), and a
// shader resource turns its name back into the option names it compiles with.
//
// Families are built on the main thread; afterwards GetVariant runs under the shader manager's
// lock and the read-only operations on any thread that holds the family alive.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/reflection/RTTIPolyBaseClass.h"
#include "core/strings/NameString.h"
#include "renderer/resources/ShaderParameterDefinition.h"

#include <cstdint>

// One option keyword of a family (also a preprocessor macro of its source).
class ShaderOption : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(ShaderOption, RTTIPolyBaseClass)

public:
    NameString m_name;
    NameString m_disabledOptionNames; // switched off by this option; blank, tab or comma separated
    NameString m_enforcedOptionNames; // switched on by this option
    bool m_affectsVertexShader = true;
    bool m_affectsPixelShader = true;
    bool m_system = false;
    bool m_default = false;
    DynarraySafe<ShaderParameterDefinition> m_parameters;
};

// One cached variant of a family.
struct ShaderVariant
{
    static constexpr uint32_t kOptionTextSize = 256;
    static constexpr uint32_t kResourceNameSize = 128;
    char options[kOptionTextSize];
    char vertexName[kResourceNameSize];
    char pixelName[kResourceNameSize];
};

// An option name as listed for a shader resource (at most 255 characters).
struct ShaderOptionName
{
    char text[256];
};

// A reflected shader family and its variant cache.
class ShaderFamily : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(ShaderFamily, RTTIPolyBaseClass)

public:
    static constexpr uint32_t kMaskWords = 4;
    static constexpr uint32_t kMaxOptions = 128;

    // Keeps the options sorted by name, as lookups and masks need.
    void OnPostLoad(uint32_t flags) override;
    // Sorts the options (after they were changed in memory).
    void SortOptions();

    const char* GetName() const { return m_name.CStr(); }
    // Case-insensitive; index or -1.
    int32_t FindOption(const char* name) const;
    // Index or -1, and the option's stage flags (untouched when absent).
    int32_t GetOptionStages(const char* name, bool* vertex, bool* pixel) const;
    // The cached variant of exactly this option text (null = empty), or a new one. Returned by
    // value: the cache grows, so a reference into it would not outlive the next new variant.
    ShaderVariant GetVariant(const char* options);
    int32_t GetVariantCount() const { return m_variants.Count(); }
    // The option names of the part of a resource name after its '/': 32 hex digits, '.', stage.
    // With skipDeviceOptions "HARDWARE_DEPTH" and "HARDWARE_DEPTH_RAWZ" are left out. False when a
    // digit is not hexadecimal.
    bool ListOptionNames(const char* maskAndStage, Dynarray<ShaderOptionName>& names, bool skipDeviceOptions) const;

    NameString m_name;
    bool m_deferred = false;
    bool m_solidNonDeferred = false;
    DynarraySafe<ShaderOption> m_options;
    DynarraySafe<ShaderParameterDefinition> m_parameters;

private:
    ShaderVariant BuildVariant(const char* options);

    Dynarray<ShaderVariant> m_variants;
};

// Calls visit(token, length) for each blank-, tab- or comma-separated word, cut to 255 characters.
template <typename TVisit>
void ForEachShaderOptionToken(const char* text, TVisit&& visit)
{
    if (text == nullptr)
        return;
    const char* p = text;
    while (*p != 0)
    {
        while (*p == ' ' || *p == '\t' || *p == ',')
            ++p;
        const char* start = p;
        while (*p != 0 && *p != ' ' && *p != '\t' && *p != ',')
            ++p;
        if (p != start)
        {
            char token[256];
            const size_t length = size_t(p - start) < sizeof(token) ? size_t(p - start) : sizeof(token) - 1;
            for (size_t i = 0; i < length; ++i)
                token[i] = start[i];
            token[length] = 0;
            visit(static_cast<const char*>(token));
        }
    }
}
