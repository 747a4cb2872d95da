// Bitmap fonts: pages of glyph texels 1024 texels wide and a glyph table sorted by character,
// read from the binary font file "<resource name>.BinFont" in "Common/Fonts". The resource name
// carries the font: the base font name, an optional "#" and outline width, "~" and the pixel size,
// and an optional "_" and language name ("_system.ttf~020", "title.ttf#2~024_Japanese").
//
// Threads: loading (DoLoad, ReadBinaryFont, CreatePageTextures) runs on the resource thread and
// waits for renderer jobs; measuring runs on the main thread and only reads the glyph table, which
// is read-only once the resource is loaded.
#pragma once

#include "core/math/Vector.h"
#include "renderer/resources/Resource.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class FileReader;
class TextureHolder;

// One glyph: 14 bytes in memory order as in the file.
struct FontGlyphRecord
{
    uint16_t character = 0;
    uint8_t page = 0;
    int8_t xOffset = 0; // pen position to the quad's left edge
    int8_t yOffset = 0; // the quad's top edge lies at minus this value
    uint8_t advance = 0;
    uint16_t left = 0; // texel columns and rows of the quad's edges
    uint16_t right = 0;
    uint16_t top = 0;
    uint16_t bottom = 0;
};

// A font found and counted by the resource manager.
class ResourceFont : public Resource
{
public:
    static constexpr uint32_t kMagic = 0x23F20AE3u;
    static constexpr uint32_t kVersion = 6;
    static constexpr uint32_t kPageWidth = 1024;
    // Bounds on what a file may claim before it is believed.
    static constexpr uint32_t kMaxPages = 64;
    static constexpr uint32_t kMaxPageHeight = 4096;

    explicit ResourceFont(const char* name);
    ~ResourceFont() override;
    uint32_t GetType() const override { return RESOURCE_TYPE_FONT; }
    // Reads the binary font and makes its page textures; a missing or foreign file fails.
    bool DoLoad() override;

    // Parts of the name: "source" is the base name lower-cased.
    const std::string& GetSourceName() const { return m_sourceName; }
    uint32_t GetPixelSize() const { return m_pixelSize; }
    uint32_t GetOutlineWidth() const { return m_outlineWidth; }
    bool IsOutlined() const { return m_outlined; }

    // Reads a binary font; false (logged) for a foreign, old, truncated or inconsistent file, which
    // leaves the font empty.
    bool ReadBinaryFont(FileReader& reader);
    // Frees pages, textures and glyphs.
    void FreeData();

    // Index of the glyph of `character`, or -1.
    int32_t FindGlyph(char16_t character) const;
    // Width of the text in font pixels (the last character counts with its drawn width unless
    // `wholeAdvance`) and the line height; at most `maxCharacters` characters (-1: all), those
    // without a glyph counting but adding nothing.
    Vector GetTextExtent(const char16_t* text, int32_t spacing, int32_t maxCharacters, bool wholeAdvance) const;
    // The same for narrow text in the system code page (at most 2047 bytes).
    Vector GetTextExtentA(const char* text, int32_t spacing, int32_t maxCharacters, bool wholeAdvance) const;

    uint32_t GetLineHeight() const { return m_lineHeight; }
    const std::vector<FontGlyphRecord>& GetGlyphs() const { return m_glyphs; }
    const std::vector<uint32_t>& GetPageHeights() const { return m_pageHeights; }
    size_t GetPageTextureCount() const { return m_pageTextures.size(); }
    TextureHolder* GetPageTexture(size_t page) const { return page < m_pageTextures.size() ? m_pageTextures[page] : nullptr; }
    // Texel bytes of a page before its texture exists (empty afterwards).
    const std::vector<uint8_t>* GetPageTexels(size_t page) const
    {
        return page < m_pageTexels.size() ? &m_pageTexels[page] : nullptr;
    }

private:
    bool CreatePageTextures();
    void ReleasePageTextures();
    bool LoadFromTrueType();

    std::string m_sourceName;
    uint32_t m_pixelSize = 0;
    uint32_t m_outlineWidth = 0;
    bool m_outlined = false;
    std::vector<uint32_t> m_pageHeights;
    std::vector<std::vector<uint8_t>> m_pageTexels;
    std::vector<TextureHolder*> m_pageTextures;
    std::vector<FontGlyphRecord> m_glyphs;
    uint32_t m_lineHeight = 0;
};

// The parts of a font resource name (see above); without "~" nothing but the source is taken.
void ParseFontResourceName(const char* name, std::string& sourceName, uint32_t& pixelSize, uint32_t& outlineWidth);
