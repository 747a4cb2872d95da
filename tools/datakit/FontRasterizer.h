// Real glyph pages for the demo: renders the characters of a TrueType font at one pixel size with
// FreeType into binary font pages (one alpha byte per texel). Only the data kit rasterises glyphs;
// the engine reads the pages. Any thread; each call opens its own FreeType library.
#pragma once

#include "tools/datakit/FontWriter.h"

#include <cstdint>
#include <string>

namespace FontRasterizer
{
// Pages are cut at this height; a taller set of glyphs goes on to the next page, and a page grows
// past it only to hold a single glyph that is taller still.
constexpr uint32_t kPageHeight = 256;
// Whether a glyph `height` texels tall on the row starting at `rowTop` goes on to a new page.
bool StartsNewPage(uint32_t rowTop, uint32_t height);
// The Debian font the demo data draws with.
extern const char* const kDefaultFontPath;
// Renders `characters` at `pixelSize`; glyph tops are measured from the top of the line (the
// font's ascender). False with a reason when the font cannot be opened or sized, or when a glyph's
// metrics do not fit the fields of its record (naming glyph and field).
bool RenderFont(const std::string& fontPath, uint32_t pixelSize, const std::u16string& characters, BinaryFontSpec& font,
                std::string& error);
} // namespace FontRasterizer
