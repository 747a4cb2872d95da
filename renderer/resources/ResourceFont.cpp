#include "renderer/resources/ResourceFont.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileWriter.h"
#include "platform/os/CodePage.h"
#include "renderer/jobs/RendererJobs.h"
#include "ui/text/StringManager.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace
{
constexpr size_t kNameCapacity = 520;
constexpr size_t kSourceNameCapacity = 128;
constexpr size_t kNarrowTextCapacity = 2048;
constexpr uint32_t kGlyphRecordBytes = 14;

uint32_t ParseDecimal(const char* text)
{
    uint32_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        value = value * 10 + uint32_t(*text - '0');
    return value;
}

bool ReadGlyph(FileReader& reader, FontGlyphRecord& glyph)
{
    uint8_t page = 0;
    uint8_t x = 0;
    uint8_t y = 0;
    return reader.ReadU16(glyph.character) && reader.ReadU8(page) && reader.ReadU8(x) && reader.ReadU8(y) &&
           reader.ReadU8(glyph.advance) && reader.ReadU16(glyph.left) && reader.ReadU16(glyph.right) &&
           reader.ReadU16(glyph.top) && reader.ReadU16(glyph.bottom) &&
           ((glyph.page = page, glyph.xOffset = int8_t(x), glyph.yOffset = int8_t(y)), true);
}
} // namespace

void ParseFontResourceName(const char* name, std::string& sourceName, uint32_t& pixelSize, uint32_t& outlineWidth)
{
    char text[kNameCapacity] = {};
    if (name != nullptr)
        std::strncpy(text, name, kNameCapacity - 1);
    char* tilde = std::strchr(text, '~');
    if (tilde != nullptr)
    {
        if (char* hash = std::strchr(text, '#'))
        {
            *hash = 0;
            outlineWidth = ParseDecimal(hash + 1);
        }
        *tilde = 0;
        pixelSize = ParseDecimal(tilde + 1);
    }
    sourceName.clear();
    for (const char* c = text; *c != 0 && sourceName.size() < kSourceNameCapacity - 1; ++c)
        sourceName.push_back(char(std::tolower(uint8_t(*c))));
}

ResourceFont::ResourceFont(const char* name) : Resource(name)
{
    ParseFontResourceName(name, m_sourceName, m_pixelSize, m_outlineWidth);
    m_outlined = m_outlineWidth > 0;
}

ResourceFont::~ResourceFont()
{
    FreeData();
}

bool ResourceFont::DoLoad()
{
    FreeData();
    FileReader reader(GetDisplayName(), "BinFont", "Common/Fonts", 0);
    if (!reader.IsOpen() || !ReadBinaryFont(reader))
    {
        // Rasterising a source font is not part of the game: a font without its binary file fails.
        LoadFromTrueType();
        return false;
    }
    return CreatePageTextures();
}

bool ResourceFont::LoadFromTrueType()
{
    FreeData();
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "Unable to load binary font file. Reading the source TTF (%s)",
                    m_sourceName.c_str());
    // The source and the characters to draw from it are what a generator of the binary font needs;
    // rasterising is not part of the game, so the font still fails to load.
    FileReader reader(m_sourceName.c_str(), nullptr, "Common/Fonts", 0);
    std::vector<uint8_t> source(reader.IsOpen() ? reader.GetSize() : 0);
    if (!source.empty() && !reader.Read(source.data(), uint32_t(source.size())))
        source.clear();
    std::bitset<65536> characters;
    CollectSourceCharacters(characters);
    FreeData();
    return false;
}

void ResourceFont::CollectSourceCharacters(std::bitset<65536>& characters)
{
    for (uint32_t c = 0; c < 256; ++c)
        characters.set(c);
    if (gStringManager == nullptr)
        return;
    for (uint32_t language = 0; language < kTextLanguageCount; ++language)
        gStringManager->CollectCharacters(language, characters);
}

bool ResourceFont::ReadBinaryFont(FileReader& reader)
{
    FreeData();
    const char* name = GetDisplayName();
    uint32_t magic = 0;
    uint32_t version = 0;
    if (!reader.ReadU32(magic) || magic != kMagic)
    {
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Binary font %s: not a binary font file", name);
        return false;
    }
    if (!reader.ReadU32(version) || version != kVersion)
    {
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Binary font %s: version %u, expected %u", name, version, kVersion);
        return false;
    }
    // Everything after the header is checked against what the file holds: a short read or an
    // impossible count must not leave a half font that drawing would index past.
    auto fail = [this, name](const char* reason) {
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Binary font %s: %s", name, reason);
        FreeData();
        return false;
    };
    uint8_t outlined = 0;
    uint32_t pageCount = 0;
    if (!reader.ReadU8(outlined) || !reader.ReadU32(pageCount))
        return fail("the file is truncated");
    if (pageCount > kMaxPages)
        return fail("too many pages");
    const uint32_t texelSize = outlined != 0 ? 2 : 1;
    m_pageHeights.resize(pageCount);
    for (uint32_t& height : m_pageHeights)
    {
        if (!reader.ReadU32(height))
            return fail("the file is truncated");
        if (height > kMaxPageHeight)
            return fail("a page is too high");
    }
    m_pageTexels.resize(pageCount);
    for (uint32_t page = 0; page < pageCount; ++page)
    {
        const uint32_t bytes = m_pageHeights[page] * kPageWidth * texelSize;
        if (bytes > reader.GetRemaining())
            return fail("the file is truncated");
        m_pageTexels[page].resize(bytes);
        if (!reader.Read(m_pageTexels[page].data(), bytes))
            return fail("the file is truncated");
    }
    uint32_t glyphCount = 0;
    if (!reader.ReadU32(glyphCount) || glyphCount > reader.GetRemaining() / kGlyphRecordBytes)
        return fail("the file is truncated");
    m_glyphs.resize(glyphCount);
    for (uint32_t i = 0; i < glyphCount; ++i)
    {
        FontGlyphRecord& glyph = m_glyphs[i];
        if (!ReadGlyph(reader, glyph))
            return fail("the file is truncated");
        // Lookups search the table by halving; an unsorted table would miss glyphs it holds.
        if (i > 0 && glyph.character <= m_glyphs[i - 1].character)
            return fail("the glyph table is not sorted");
        if (glyph.page >= pageCount)
            return fail("a glyph names a page the file does not have");
    }
    if (!reader.ReadU32(m_lineHeight))
        return fail("the file is truncated");
    m_outlined = outlined != 0;
    return true;
}

bool ResourceFont::HoldsPageTexels() const
{
    // Once the pages are textures their texels live on the device only: a file written then would
    // hold pages of no bytes and be refused by every reader.
    if (m_pageTexels.size() == m_pageHeights.size())
        return true;
    gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Binary font %s: the page texels are no longer held", GetDisplayName());
    return false;
}

bool ResourceFont::WriteBinaryFont(FileWriter& writer, uint32_t flags) const
{
    if (!HoldsPageTexels())
        return false;
    const uint32_t texelSize = m_outlined ? 2 : 1;
    bool ok = writer.WriteU32(kMagic, flags) && writer.WriteU32(kVersion, flags) && writer.WriteU8(m_outlined ? 1 : 0) &&
              writer.WriteU32(uint32_t(m_pageHeights.size()), flags);
    for (uint32_t height : m_pageHeights)
        ok = ok && writer.WriteU32(height, flags);
    for (size_t page = 0; ok && page < m_pageTexels.size(); ++page)
    {
        const std::vector<uint8_t>& texels = m_pageTexels[page];
        ok = texels.size() == size_t(m_pageHeights[page]) * kPageWidth * texelSize &&
             writer.Write(texels.data(), uint32_t(texels.size()));
    }
    ok = ok && writer.WriteU32(uint32_t(m_glyphs.size()), flags);
    for (size_t i = 0; ok && i < m_glyphs.size(); ++i)
    {
        const FontGlyphRecord& glyph = m_glyphs[i];
        ok = writer.WriteU16(glyph.character, flags) && writer.WriteU8(glyph.page) &&
             writer.WriteU8(uint8_t(glyph.xOffset)) && writer.WriteU8(uint8_t(glyph.yOffset)) &&
             writer.WriteU8(glyph.advance) && writer.WriteU16(glyph.left, flags) && writer.WriteU16(glyph.right, flags) &&
             writer.WriteU16(glyph.top, flags) && writer.WriteU16(glyph.bottom, flags);
    }
    ok = ok && writer.WriteU32(m_lineHeight, flags);
    if (!ok)
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Binary font %s: writing failed", GetDisplayName());
    return ok;
}

bool ResourceFont::SaveBinaryFont(uint32_t flags) const
{
    // Refused before the file opens: an unwritten file would still replace the last good one.
    if (!HoldsPageTexels())
        return false;
    FileWriter writer(GetDisplayName(), "BinFont", "Common/Fonts", 0);
    if (!writer.IsOpen())
        return false;
    return WriteBinaryFont(writer, flags) && writer.Close();
}

bool ResourceFont::CreatePageTextures()
{
    ReleasePageTextures();
    const uint32_t texelSize = m_outlined ? 2 : 1;
    std::vector<NorvexRendererTextureCreationJob*> jobs;
    uint32_t accounted = 0;
    for (size_t page = 0; page < m_pageTexels.size(); ++page)
    {
        std::vector<uint8_t>& texels = m_pageTexels[page];
        const uint32_t bytes = uint32_t(texels.size());
        accounted += m_pageHeights[page] * kPageWidth * texelSize;
        NorvexRendererTextureCreationJob::Description description = {};
        description.width = kPageWidth;
        description.height = m_pageHeights[page];
        description.mips = 1;
        description.format = m_outlined ? gpu::kFormatA8L8 : gpu::kFormatA8;
        description.pool = gpu::kPoolManaged;
        auto* job = new NorvexRendererTextureCreationJob(description, nullptr, texels.data(), bytes, false);
        if (!PostRendererJob(job, false))
        {
            delete job;
            job = nullptr;
        }
        jobs.push_back(job);
    }
    bool created = true;
    for (NorvexRendererTextureCreationJob* job : jobs)
    {
        TextureHolder* holder = job != nullptr && job->Wait() ? job->TakeHolder() : nullptr;
        delete job;
        created = created && holder != nullptr;
        m_pageTextures.push_back(holder);
    }
    // The jobs copied the texels; the buffers are no longer needed.
    m_pageTexels.clear();
    SetSize(accounted);
    if (!created)
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Font %s: a page texture could not be created", GetDisplayName());
    return created;
}

void ResourceFont::ReleasePageTextures()
{
    for (TextureHolder* holder : m_pageTextures)
        if (holder != nullptr)
            PostTextureDeletionJob(holder, false);
    m_pageTextures.clear();
    SetSize(0);
}

void ResourceFont::FreeData()
{
    m_pageTexels.clear();
    m_pageHeights.clear();
    ReleasePageTextures();
    m_glyphs.clear();
    m_lineHeight = 0;
}

int32_t ResourceFont::FindGlyph(char16_t character) const
{
    const auto found = std::lower_bound(m_glyphs.begin(), m_glyphs.end(), character,
                                        [](const FontGlyphRecord& glyph, char16_t c) { return glyph.character < c; });
    if (found == m_glyphs.end() || found->character != character)
        return -1;
    return int32_t(found - m_glyphs.begin());
}

Vector ResourceFont::GetTextExtent(const char16_t* text, int32_t spacing, int32_t maxCharacters, bool wholeAdvance) const
{
    int32_t width = 0;
    const FontGlyphRecord* last = nullptr;
    int32_t taken = 0;
    for (const char16_t* c = text; c != nullptr && *c != 0 && (maxCharacters < 0 || taken < maxCharacters); ++c, ++taken)
    {
        const int32_t index = FindGlyph(*c);
        last = index >= 0 ? &m_glyphs[size_t(index)] : nullptr;
        if (last != nullptr)
            width += last->advance + spacing;
    }
    if (last != nullptr && !wholeAdvance)
        width += (int32_t(last->right) - int32_t(last->left)) - last->advance - spacing;
    return Vector(float(width), float(m_lineHeight), 0.0f, 0.0f);
}

Vector ResourceFont::GetTextExtentA(const char* text, int32_t spacing, int32_t maxCharacters, bool wholeAdvance) const
{
    char16_t wide[kNarrowTextCapacity] = {};
    if (text != nullptr)
        os::NarrowToWide(os::kCodePageSystem, text, std::min(std::strlen(text), kNarrowTextCapacity - 1), wide,
                         kNarrowTextCapacity - 1);
    return GetTextExtent(wide, spacing, maxCharacters, wholeAdvance);
}
