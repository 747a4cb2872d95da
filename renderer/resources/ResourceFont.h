// Bitmap fonts: pages of glyph texels 1024 texels wide and a glyph table sorted by character,
// read from the binary font file "<resource name>.BinFont" in "Common/Fonts". The resource name
// carries the font: the base font name, an optional "#" and outline width, "~" and the pixel size,
// and an optional "_" and language name ("_system.ttf~020", "title.ttf#2~024_Japanese").
//
// Threads: loading (DoLoad, ReadBinaryFont, CreatePageTextures) runs on the resource thread and
// waits for renderer jobs; measuring runs on the main thread and only reads the glyph table, which
// is read-only once the resource is loaded; drawing runs on the render thread only and fills the
// renderer's one shared text vertex table.
#pragma once

#include "core/math/Matrix.h"
#include "core/math/Vector.h"
#include "renderer/resources/Resource.h"

#include <bitset>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class FileReader;
class FileWriter;
class PixelShaderObject;
class TextureHolder;
class VertexShaderObject;

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
    // Narrow text is converted in chunks of at most this many bytes.
    static constexpr uint32_t kMaxNarrowCharacters = 2047;
    // The system shader slots of the plain and the outlined font shader pairs.
    static constexpr uint32_t kPlainShaderSlot = 15;
    static constexpr uint32_t kOutlinedShaderSlot = 16;

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
    // Writes the font in the binary form (flags: FileWriter::kByteSwapFlag for the other byte
    // order); false (logged) when the page texels were already handed to textures or a write failed.
    bool WriteBinaryFont(FileWriter& writer, uint32_t flags) const;
    // Writes "<resource name>.BinFont" in "Common/Fonts"; false when the file does not open or the
    // write fails.
    bool SaveBinaryFont(uint32_t flags) const;
    // Frees pages, textures and glyphs.
    void FreeData();
    // The characters a font made from its source would need: 0 to 255 and every character of every
    // language of the string tree (with its case counterpart).
    static void CollectSourceCharacters(std::bitset<65536>& characters);

    // Index of the glyph of `character`, or -1.
    int32_t FindGlyph(char16_t character) const;
    // Width of the text in font pixels (the last character counts with its drawn width unless
    // `wholeAdvance`) and the line height; at most `maxCharacters` characters (-1: all), those
    // without a glyph counting but adding nothing.
    Vector GetTextExtent(const char16_t* text, int32_t spacing, int32_t maxCharacters, bool wholeAdvance) const;
    // The same for narrow text in the system code page (at most 2047 bytes).
    Vector GetTextExtentA(const char* text, int32_t spacing, int32_t maxCharacters, bool wholeAdvance) const;

    // Render thread: draws the text under `transform` in font pixels (y down, the pen on the top
    // line) and gives the pen's final x. Top vertices take the top colour, bottom ones the bottom
    // colour; the effect colour is the outline's. Character i has its alpha multiplied by
    // clamp(i x fadeStep + fadeBase, 0, 1). At most `maxCharacters` characters (-1: all), those
    // without a glyph counting but drawing nothing. `cullFlag` is the caller's mirror state.
    float DrawText(const char16_t* text, const Matrix& transform, const Vector& topColor, const Vector& bottomColor,
                   const Vector& effectColor, int32_t spacing, uint32_t blendMode, bool cullFlag,
                   uint32_t depthCompare, int32_t maxCharacters, float fadeStep, float fadeBase) const;
    // The same for narrow text (at most 2047 bytes, system code page), one colour, no fade.
    float DrawTextA(const char* text, const Matrix& transform, const Vector& color, int32_t spacing,
                    uint32_t blendMode, bool cullFlag, uint32_t depthCompare) const;
    // Replaces the shader manager's font pair (plain or outlined); null objects give it back.
    static void SetShaders(bool outlined, const VertexShaderObject* vertex, const PixelShaderObject* pixel);

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
    // Whether every page's texels are still held (logged when not).
    bool HoldsPageTexels() const;
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
