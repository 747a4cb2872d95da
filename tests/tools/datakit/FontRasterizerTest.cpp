// Glyph pages rendered from the Debian font: sizes whose metrics do not fit the font record are
// refused by glyph and field, a glyph taller than a page gets a page of its height, and the soft
// hyphen has no ink.
#include "tools/datakit/FontRasterizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace
{
TEST(FontRasterizerTest, GlyphsKeepTheirMetricsOrTheSizeIsRefused)
{
    // A row that ends exactly on the page height still fits its page.
    EXPECT_FALSE(FontRasterizer::StartsNewPage(200, FontRasterizer::kPageHeight - 200));
    EXPECT_TRUE(FontRasterizer::StartsNewPage(200, FontRasterizer::kPageHeight - 199));
    if (!std::filesystem::exists(FontRasterizer::kDefaultFontPath))
        GTEST_SKIP() << "the Debian font is not installed";
    std::u16string latin1; // the data kit's printable Latin-1
    for (char16_t c = 32; c < 256; ++c)
        if (c < 127 || c >= 160)
            latin1.push_back(c);
    const struct
    {
        uint32_t size;
        std::u16string characters;
        const char* refusal; // empty: rendered
        char16_t probe;      // the glyph whose record is checked
        std::vector<long> record; // x offset, y offset, advance, drawn width, rows, page height
    } cases[] = {
        // The largest size whose low glyphs still fit: the underscore's top lies 127 rows down.
        {116, latin1, "", u'_', {-2, -127, 58, 62, 8, 212}},
        {255, latin1, "glyph U+002C ',' does not fit the font record: y offset -205 is outside -128 to 127", 0, {}},
        {255, u"_", "glyph U+005F '_' does not fit the font record: y offset -279", 0, {}},
        // 257 rows, one more than a page is cut at: the page grows to hold the glyph whole.
        {255, u"\u00FDa", "", u'\u00FD', {7, -33, 151, 137, 257, 257}},
        {12, latin1, "", u'\u00AD', {0, 0, 0, 0, 0, 26}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.size << " px, probe U+" << std::hex << unsigned(c.probe));
        BinaryFontSpec font;
        std::string error;
        const bool rendered = FontRasterizer::RenderFont(FontRasterizer::kDefaultFontPath, c.size, c.characters, font, error);
        if (*c.refusal != 0)
        {
            EXPECT_FALSE(rendered);
            EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
            continue;
        }
        ASSERT_TRUE(rendered) << error;
        EXPECT_EQ(font.glyphs.size(), c.characters.size());
        const auto glyph = std::find_if(font.glyphs.begin(), font.glyphs.end(),
                                        [&c](const FontGlyphRecord& g) { return g.character == c.probe; });
        ASSERT_NE(glyph, font.glyphs.end());
        EXPECT_EQ((std::vector<long>{glyph->xOffset, glyph->yOffset, glyph->advance, glyph->right - glyph->left,
                                     glyph->bottom - glyph->top, long(font.pageHeights[glyph->page])}),
                  c.record);
        ASSERT_EQ(font.pages[glyph->page].size(), size_t(font.pageHeights[glyph->page]) * ResourceFont::kPageWidth);
        if (glyph->bottom > glyph->top)
        {
            const uint8_t* lastRow = &font.pages[glyph->page][size_t(glyph->bottom - 1) * ResourceFont::kPageWidth];
            EXPECT_TRUE(std::any_of(lastRow + glyph->left, lastRow + glyph->right, [](uint8_t t) { return t != 0; }))
                << "the glyph's bottom row holds ink";
        }
    }
}
} // namespace
