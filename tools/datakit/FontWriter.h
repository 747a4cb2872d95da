// Font data: the font table ("Fonts.Config") and binary font files ("<name>.BinFont"), with
// synthetic glyphs of fixed metrics for tests. Real glyph pages come from FontRasterizer.h. Any
// thread; no shared state.
#pragma once

#include "renderer/resources/ResourceFont.h"

#include <cstdint>
#include <string>
#include <vector>

// One row of the font table.
struct FontTableRow
{
    std::string font;
    uint32_t outlineWidth = 0;
    std::vector<uint8_t> supportedSizes;
};

// Everything a binary font file holds.
struct BinaryFontSpec
{
    bool outlined = false;
    std::vector<uint32_t> pageHeights;
    std::vector<std::vector<uint8_t>> pages; // height x 1024 x (outlined ? 2 : 1) bytes each
    std::vector<FontGlyphRecord> glyphs;     // ascending by character
    uint32_t lineHeight = 0;
};

// Metrics shared by every glyph of a synthetic font.
struct SyntheticFontMetrics
{
    uint8_t advance = 10;
    uint16_t drawnWidth = 8; // right - left
    uint16_t height = 12;    // bottom - top
    uint32_t lineHeight = 14;
    uint32_t glyphsPerPage = 0; // 0: all on one page
    bool outlined = false;
};

namespace FontWriter
{
// The whole "Fonts.Config" file (u32 payload size first).
std::vector<uint8_t> EncodeFontTable(const std::vector<FontTableRow>& rows);
// The whole binary font file; `byteSwapped` writes the big-endian form.
std::vector<uint8_t> EncodeBinaryFont(const BinaryFontSpec& font, bool byteSwapped = false);
// One glyph per character (sorted and de-duplicated), each a filled cell on its page.
BinaryFontSpec MakeSyntheticFont(const std::u16string& characters, const SyntheticFontMetrics& metrics);
} // namespace FontWriter
