// One parameter of a shader family or option: a shader register (or a negative render-state id)
// with its type, flags and defaults, read from the shader definitions. Its text-only properties are
// views onto ParamType and Flags for the text form. Main thread while built; read-only afterwards.
#pragma once

#include "core/reflection/RTTIPolyBaseClass.h"
#include "core/strings/NameString.h"

#include <cstdint>
#include <string>

// Reflected parameter definition of the shader definitions.
class ShaderParameterDefinition : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(ShaderParameterDefinition, RTTIPolyBaseClass)

public:
    enum ParamType : uint32_t
    {
        PARAM_UNKNOWN = 0,
        PARAM_OPTION = 1,
        PARAM_TEXTURE = 2,
        PARAM_VECTOR = 3,
        PARAM_COLOR = 4,
        PARAM_FLOAT = 5,
        PARAM_MASK = 6,
        PARAM_GROUP = 7,
        PARAM_ENUM = 8,
        PARAM_BOOL = 9,
    };
    enum Flag : uint32_t
    {
        FLAG_PIXEL_SHADER = 1,
        FLAG_SUBREGISTER_MASK = 6, // bits 1-2: x 0, y 2, z 4, w 6
        FLAG_SRGB_OFF = 8,
        FLAG_NO_ALPHA = 16,
        FLAG_TRILINEAR = 32,
        FLAG_BAD_TEXT = 0x80000000u, // a text value was not understood
    };

    // Register name of a negative render-state id ("AlphaTest" for -1 ...), or null.
    static const char* GetRegisterName(int32_t id);

    NameString m_name;
    NameString m_default;
    NameString m_associatedOption;
    NameString m_requiredOption;
    uint32_t m_defaultFlags = 0;
    uint32_t m_paramType = PARAM_UNKNOWN;
    int32_t m_register = 0;
    int32_t m_secondaryRegister = -1;
    uint32_t m_flags = 0;

private:
    // Text views (the getters fill m_text, which only they use).
    const std::string* GetRegisterText() const;
    void SetRegisterText(const std::string& text);
    const std::string* GetTypeText() const;
    void SetTypeText(const std::string& text);
    const std::string* GetSubregisterText() const;
    void SetSubregisterText(const std::string& text);
    const std::string* GetShaderText() const;
    void SetShaderText(const std::string& text);
    const std::string* GetSrgbText() const;
    void SetSrgbText(const std::string& text);
    const std::string* GetNoAlphaText() const;
    void SetNoAlphaText(const std::string& text);
    const std::string* GetTrilinearText() const;
    void SetTrilinearText(const std::string& text);
    // Sets or clears a flag from "1"/"0" (inverted for SRGB); anything else marks FLAG_BAD_TEXT.
    void SetFlagFromText(uint32_t flag, const std::string& text, bool setOn);

    mutable std::string m_text;
};
