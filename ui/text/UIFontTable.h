// The project's font table ("Fonts.Config" in "Common"): per font file and outline width, the pixel
// sizes prepared as binary fonts, which text elements consult to pick a prepared size. Reflected
// classes: the table's record is "Font definitions", each definition's "Font", "Outline width" and
// "Supported sizes". Loaded at engine start in game mode; read on the main thread.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/reflection/RTTIPolyBaseClass.h"
#include "core/strings/NameString.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>

class FileReader;

// One font with its prepared sizes (ascending).
class UIFontDefinition : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(UIFontDefinition, RTTIPolyBaseClass)

public:
    UIFontDefinition() = default;
    UIFontDefinition(const NameString& fontName, uint32_t outline, std::initializer_list<uint8_t> sizes);

    NameString font;
    uint32_t outlineWidth = 0;
    Dynarray<uint8_t> supportedSizes;
};

// The list of prepared fonts.
class UIFontTable : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(UIFontTable, RTTIPolyBaseClass)

public:
    UIFontTable() = default;
    ~UIFontTable() override;
    UIFontTable(const UIFontTable&) = delete;
    UIFontTable& operator=(const UIFontTable&) = delete;

    // Replaces the table with "Fonts.Config" from "Common"; a missing file leaves it empty, a
    // corrupt one is refused with a logged error (and leaves it empty). True when a table loaded.
    bool LoadConfig();
    bool Read(FileReader& reader);
    // Destroys every definition, each saying so in the log.
    void Clear();

    // The prepared size for a wanted size `size` (already quantized) of the font and outline:
    // the largest size not above it; above the largest, the largest, with `scale` multiplied by the
    // whole number of times the largest fits into the wanted size; below the smallest or for a
    // font without definition, the wanted size.
    uint32_t ChooseSize(const NameString& font, uint32_t outlineWidth, uint32_t size, float& scale) const;

    const DynarraySafe<UIFontDefinition>& GetDefinitions() const { return m_definitions; }
    void AddDefinition(const UIFontDefinition& definition) { m_definitions.Add(definition); }

private:
    DynarraySafe<UIFontDefinition> m_definitions;
};

// The engine's font table between start-up and shutdown; null otherwise.
extern UIFontTable* gUIFontTable;
