#include "tools/datakit/FontRasterizer.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

namespace
{
// Pages are cut at this height; a taller set of glyphs goes on to the next page.
constexpr uint32_t kMaxPageHeight = 256;
// Texels between glyphs, so sampling one never bleeds into its neighbour.
constexpr uint32_t kPadding = 1;

int8_t ClampToI8(long value)
{
    return int8_t(std::clamp<long>(value, -128, 127));
}

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
} // namespace

namespace FontRasterizer
{
const char* const kDefaultFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

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
    const long ascender = ft.face->size->metrics.ascender >> 6;
    font.lineHeight = uint32_t(std::max<long>(ft.face->size->metrics.height >> 6, 1));
    std::u16string sorted = characters;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    uint32_t penX = 0;
    uint32_t rowTop = 0;
    uint32_t rowHeight = 0;
    auto newPage = [&font, &penX, &rowTop, &rowHeight] {
        font.pageHeights.push_back(kMaxPageHeight);
        font.pages.emplace_back(size_t(kMaxPageHeight) * ResourceFont::kPageWidth, 0);
        penX = rowTop = rowHeight = 0;
    };
    newPage();
    for (char16_t character : sorted)
    {
        if (FT_Load_Char(ft.face, character, FT_LOAD_RENDER) != 0 || FT_Get_Char_Index(ft.face, character) == 0)
            continue;
        const FT_GlyphSlot slot = ft.face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        const uint32_t width = bitmap.width;
        const uint32_t height = bitmap.rows;
        if (penX + width + kPadding > ResourceFont::kPageWidth)
        {
            rowTop += rowHeight + kPadding;
            penX = rowHeight = 0;
        }
        if (rowTop + height > kMaxPageHeight)
            newPage();
        std::vector<uint8_t>& page = font.pages.back();
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x)
                page[size_t(rowTop + y) * ResourceFont::kPageWidth + penX + x] =
                    bitmap.buffer[size_t(y) * size_t(std::abs(bitmap.pitch)) + x];
        FontGlyphRecord glyph;
        glyph.character = uint16_t(character);
        glyph.page = uint8_t(font.pages.size() - 1);
        glyph.xOffset = ClampToI8(slot->bitmap_left);
        // The quad's top lies at minus this value, measured down from the top of the line.
        glyph.yOffset = ClampToI8(slot->bitmap_top - ascender);
        glyph.advance = uint8_t(std::clamp<long>(slot->advance.x >> 6, 0, 255));
        glyph.left = uint16_t(penX);
        glyph.right = uint16_t(penX + width);
        glyph.top = uint16_t(rowTop);
        glyph.bottom = uint16_t(rowTop + height);
        font.glyphs.push_back(glyph);
        penX += width + kPadding;
        rowHeight = std::max(rowHeight, height);
    }
    // The last page keeps only the rows it uses.
    const uint32_t used = std::max<uint32_t>(rowTop + rowHeight, 1);
    font.pageHeights.back() = used;
    font.pages.back().resize(size_t(used) * ResourceFont::kPageWidth);
    return true;
}
} // namespace FontRasterizer
