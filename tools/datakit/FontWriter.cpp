#include "tools/datakit/FontWriter.h"

#include <algorithm>

namespace
{
void PutU16(std::vector<uint8_t>& out, uint16_t value, bool swapped)
{
    if (swapped)
        value = uint16_t((value >> 8) | (value << 8));
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t value, bool swapped = false)
{
    if (swapped)
        value = __builtin_bswap32(value);
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}
} // namespace

namespace FontWriter
{
std::vector<uint8_t> EncodeFontTable(const std::vector<FontTableRow>& rows)
{
    std::vector<uint8_t> payload;
    PutU32(payload, uint32_t(rows.size()));
    for (const FontTableRow& row : rows)
    {
        if (row.font.empty())
            payload.push_back(0);
        else
        {
            payload.push_back(1);
            payload.insert(payload.end(), row.font.begin(), row.font.end());
            payload.push_back(0);
        }
        PutU32(payload, row.outlineWidth);
        PutU32(payload, uint32_t(row.supportedSizes.size()));
        payload.insert(payload.end(), row.supportedSizes.begin(), row.supportedSizes.end());
    }
    // Sized first: growing an empty vector here makes g++ 12's optimiser warn of a copy into nothing.
    std::vector<uint8_t> file;
    file.reserve(4 + payload.size());
    PutU32(file, uint32_t(payload.size()));
    file.insert(file.end(), payload.begin(), payload.end());
    return file;
}

std::vector<uint8_t> EncodeBinaryFont(const BinaryFontSpec& font, bool byteSwapped)
{
    std::vector<uint8_t> out;
    PutU32(out, ResourceFont::kMagic, byteSwapped);
    PutU32(out, ResourceFont::kVersion, byteSwapped);
    out.push_back(font.outlined ? 1 : 0);
    PutU32(out, uint32_t(font.pageHeights.size()), byteSwapped);
    for (uint32_t height : font.pageHeights)
        PutU32(out, height, byteSwapped);
    for (const std::vector<uint8_t>& page : font.pages)
        out.insert(out.end(), page.begin(), page.end());
    PutU32(out, uint32_t(font.glyphs.size()), byteSwapped);
    for (const FontGlyphRecord& glyph : font.glyphs)
    {
        PutU16(out, glyph.character, byteSwapped);
        out.push_back(glyph.page);
        out.push_back(uint8_t(glyph.xOffset));
        out.push_back(uint8_t(glyph.yOffset));
        out.push_back(glyph.advance);
        PutU16(out, glyph.left, byteSwapped);
        PutU16(out, glyph.right, byteSwapped);
        PutU16(out, glyph.top, byteSwapped);
        PutU16(out, glyph.bottom, byteSwapped);
    }
    PutU32(out, font.lineHeight, byteSwapped);
    return out;
}

BinaryFontSpec MakeSyntheticFont(const std::u16string& characters, const SyntheticFontMetrics& metrics)
{
    std::u16string sorted = characters;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    BinaryFontSpec font;
    font.outlined = metrics.outlined;
    font.lineHeight = metrics.lineHeight;
    const uint32_t texelSize = metrics.outlined ? 2 : 1;
    const uint32_t cellWidth = std::max<uint32_t>(metrics.drawnWidth, 1);
    const uint32_t perRow = std::max<uint32_t>(ResourceFont::kPageWidth / cellWidth, 1);
    const uint32_t perPage = metrics.glyphsPerPage != 0 ? metrics.glyphsPerPage : uint32_t(sorted.size());
    for (size_t i = 0; i < sorted.size(); ++i)
    {
        const uint32_t page = perPage != 0 ? uint32_t(i) / perPage : 0;
        const uint32_t slot = perPage != 0 ? uint32_t(i) % perPage : 0;
        const uint32_t rowsOnPage = (std::min<uint32_t>(perPage, uint32_t(sorted.size()) - page * perPage) + perRow - 1) / perRow;
        if (page >= font.pageHeights.size())
        {
            font.pageHeights.push_back(rowsOnPage * metrics.height);
            font.pages.emplace_back(size_t(rowsOnPage) * metrics.height * ResourceFont::kPageWidth * texelSize, 0);
        }
        FontGlyphRecord glyph;
        glyph.character = uint16_t(sorted[i]);
        glyph.page = uint8_t(page);
        glyph.xOffset = 0;
        glyph.yOffset = 0;
        glyph.advance = metrics.advance;
        glyph.left = uint16_t((slot % perRow) * cellWidth);
        glyph.right = uint16_t(glyph.left + metrics.drawnWidth);
        glyph.top = uint16_t((slot / perRow) * metrics.height);
        glyph.bottom = uint16_t(glyph.top + metrics.height);
        // Each glyph's cell is filled with its character's low byte, so a test can tell cells apart.
        std::vector<uint8_t>& texels = font.pages[page];
        for (uint32_t y = glyph.top; y < glyph.bottom; ++y)
            for (uint32_t x = glyph.left; x < glyph.right; ++x)
                for (uint32_t b = 0; b < texelSize; ++b)
                    texels[(size_t(y) * ResourceFont::kPageWidth + x) * texelSize + b] =
                        uint8_t(std::max<uint32_t>(glyph.character & 0xFF, 1));
        font.glyphs.push_back(glyph);
    }
    return font;
}
} // namespace FontWriter
