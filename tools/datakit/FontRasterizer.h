// Real glyph pages for the demo: renders the characters of a TrueType font at one pixel size with
// FreeType into binary font pages (one alpha byte per texel). Only the data kit rasterises glyphs;
// the engine reads the pages. Any thread; each call opens its own FreeType library.
#pragma once

#include "tools/datakit/FontWriter.h"

#include <string>

namespace FontRasterizer
{
// The Debian font the demo data draws with.
extern const char* const kDefaultFontPath;
// Renders `characters` at `pixelSize`; glyph tops are measured from the top of the line (the
// font's ascender). False with a reason when the font cannot be opened or sized, or when a glyph's
// metrics do not fit the fields of its record (naming glyph and field).
bool RenderFont(const std::string& fontPath, uint32_t pixelSize, const std::u16string& characters, BinaryFontSpec& font,
                std::string& error);
} // namespace FontRasterizer
