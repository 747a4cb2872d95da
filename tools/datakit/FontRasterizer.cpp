#include "tools/datakit/FontRasterizer.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>

namespace
{
// Texels between glyphs, so sampling one never bleeds into its neighbour.
constexpr uint32_t kFontRasterizerPadding = 1;
// Marks where a word may break; text renderers give it neither ink nor width.
constexpr char16_t kFontRasterizerSoftHyphen = 0x00AD;

// A FreeType library and face closed on every way out.
struct FreeTypeFace
{
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~FreeTypeFace()
    {
        if (face != nullptr)
            FT_Done_Face(face);
        if (library != nullptr)
            FT_Done_FreeType(library);
    }
};

// A glyph metric that does not fit its field of the font record would place the glyph wrongly
// once clamped, so the size is refused instead, naming glyph and field.
bool FontRasterizerFieldFits(long value, long low, long high, char16_t character, const char* field,
                             const std::string& where, std::string& error)
{
    if (value >= low && value <= high)
        return true;
    char glyph[32];
    if (character >= 0x21 && character < 0x7F)
        std::snprintf(glyph, sizeof(glyph), "U+%04X '%c'", unsigned(character), char(character));
    else
        std::snprintf(glyph, sizeof(glyph), "U+%04X", unsigned(character));
    error = where + ": glyph " + glyph + " does not fit the font record: " + field + " " + std::to_string(value) +
            " is outside " + std::to_string(low) + " to " + std::to_string(high) + "; choose a smaller size";
    return false;
}
} // namespace

namespace FontRasterizer
{
const char* const kDefaultFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

bool StartsNewPage(uint32_t rowTop, uint32_t height)
{
    return rowTop > 0 && rowTop + height > kPageHeight;
}

bool RenderFont(const std::string& fontPath, uint32_t pixelSize, const std::u16string& characters, BinaryFontSpec& font,
                std::string& error)
{
    font = BinaryFontSpec();
    FreeTypeFace ft;
    if (FT_Init_FreeType(&ft.library) != 0 || FT_New_Face(ft.library, fontPath.c_str(), 0, &ft.face) != 0)
    {
        error = "cannot open the font " + fontPath;
        return false;
    }
    if (FT_Set_Pixel_Sizes(ft.face, 0, pixelSize) != 0)
    {
        error = "cannot size the font " + fontPath + " at " + std::to_string(pixelSize);
        return false;
    }
    const std::string where = fontPath + " at " + std::to_string(pixelSize) + " px";
    const long ascender = ft.face->size->metrics.ascender >> 6;
    font.lineHeight = uint32_t(std::max<long>(ft.face->size->metrics.height >> 6, 1));
    std::u16string sorted = characters;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    uint32_t penX = 0;
    uint32_t rowTop = 0;
    uint32_t rowHeight = 0;
    auto newPage = [&font, &penX, &rowTop, &rowHeight] {
        font.pageHeights.push_back(0);
        font.pages.emplace_back();
        penX = rowTop = rowHeight = 0;
    };
    newPage();
    for (char16_t character : sorted)
    {
        if (FT_Load_Char(ft.face, character, FT_LOAD_RENDER) != 0 || FT_Get_Char_Index(ft.face, character) == 0)
            continue;
        const FT_GlyphSlot slot = ft.face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        const bool inked = character != kFontRasterizerSoftHyphen && bitmap.width != 0 && bitmap.rows != 0;
        const uint32_t width = inked ? bitmap.width : 0;
        const uint32_t height = inked ? bitmap.rows : 0;
        // Without ink the quad is empty wherever it lies, so only inked glyphs carry offsets.
        const long xOffset = inked ? long(slot->bitmap_left) : 0;
        const long yOffset = inked ? long(slot->bitmap_top) - ascender : 0;
        const long advance = character == kFontRasterizerSoftHyphen ? 0 : long(slot->advance.x >> 6);
        if (!FontRasterizerFieldFits(xOffset, -128, 127, character, "x offset", where, error) ||
            !FontRasterizerFieldFits(yOffset, -128, 127, character, "y offset", where, error) ||
            !FontRasterizerFieldFits(advance, 0, 255, character, "advance", where, error) ||
            !FontRasterizerFieldFits(long(width), 0, long(ResourceFont::kPageWidth), character, "width", where, error))
            return false;
        if (penX + width + kFontRasterizerPadding > ResourceFont::kPageWidth)
        {
            rowTop += rowHeight + kFontRasterizerPadding;
            penX = rowHeight = 0;
        }
        if (FontRasterizer::StartsNewPage(rowTop, height))
            newPage();
        const uint32_t bottom = rowTop + height;
        if (!FontRasterizerFieldFits(long(font.pages.size() - 1), 0, 255, character, "page index", where, error) ||
            !FontRasterizerFieldFits(long(bottom), 0, 0xFFFF, character, "texel row", where, error))
            return false;
        std::vector<uint8_t>& page = font.pages.back();
        if (bottom > font.pageHeights.back())
        {
            font.pageHeights.back() = bottom;
            page.resize(size_t(bottom) * ResourceFont::kPageWidth);
        }
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x)
                page[size_t(rowTop + y) * ResourceFont::kPageWidth + penX + x] =
                    bitmap.buffer[size_t(y) * size_t(std::abs(bitmap.pitch)) + x];
        FontGlyphRecord glyph;
        glyph.character = uint16_t(character);
        glyph.page = uint8_t(font.pages.size() - 1);
        glyph.xOffset = int8_t(xOffset);
        // The quad's top lies at minus this value, measured down from the top of the line.
        glyph.yOffset = int8_t(yOffset);
        glyph.advance = uint8_t(advance);
        glyph.left = uint16_t(penX);
        glyph.right = uint16_t(penX + width);
        glyph.top = uint16_t(rowTop);
        glyph.bottom = uint16_t(bottom);
        font.glyphs.push_back(glyph);
        penX += width + kFontRasterizerPadding;
        rowHeight = std::max(rowHeight, height);
    }
    // A font without ink still gets one row, so its page makes a texture.
    if (font.pageHeights.back() == 0)
    {
        font.pageHeights.back() = 1;
        font.pages.back().resize(ResourceFont::kPageWidth);
    }
    return true;
}
} // namespace FontRasterizer
