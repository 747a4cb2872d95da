// One row of the project's font replacements: which font stands in for another in a language.
// Main thread.
#pragma once

#include "core/reflection/RTTIPolyBaseClass.h"
#include "core/strings/NameString.h"

#include <cstdint>
#include <string>

// Reflected font replacement; its "Language" property is the language's name, stored as its id.
class FontReplacement : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(FontReplacement, RTTIPolyBaseClass)

public:
    // The name of ids 0 to 10, else an empty name.
    const std::string* GetLanguageName() const;
    // Case-insensitive; a name that is not among ids 0 to 10 gives 11.
    void SetLanguageName(const std::string& name);
    const NameString* GetOriginal() const { return &m_original; }
    void SetOriginal(const NameString& font) { m_original = font; }

    uint32_t m_language = 0;
    NameString m_original;
    NameString m_replacement;
    float m_scale = 1.0f;
    uint32_t m_granularity = 1;
    uint32_t m_maxSize = 0;
};
