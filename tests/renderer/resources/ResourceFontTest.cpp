// ctest-labels: thread
// Font resources: names, binary fonts written by the data kit loaded on the resource thread into
// page textures of the graphics stand-in, exact measuring, and damaged files that fail cleanly.
#include "renderer/resources/ResourceFont.h"

#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileWriter.h"
#include "core/filesystem/FileSystem.h"
#include "platform/gpu/GpuTexture.h"
#include "renderer/jobs/TextureHolder.h"
#include "support/ConsoleCapture.h"
#include "support/RenderDataHarness.h"
#include "support/TempFolder.h"
#include "tools/datakit/FontWriter.h"
#include "ui/text/StringManager.h"

#include <gtest/gtest.h>

namespace
{
std::string AsString(const std::vector<uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

SyntheticFontMetrics Metrics()
{
    SyntheticFontMetrics metrics;
    metrics.advance = 10;
    metrics.drawnWidth = 8;
    metrics.height = 12;
    metrics.lineHeight = 14;
    return metrics;
}

TEST(ResourceFontNameTest, NamesGiveTheSourceSizeAndOutline)
{
    const struct
    {
        const char* name;
        const char* source;
        uint32_t size;
        uint32_t outline;
    } cases[] = {
        {"_system.ttf~020", "_system.ttf", 20, 0},
        {"Title.TTF#2~024_Japanese", "title.ttf", 24, 2},
        {"Body.ttf~012_German", "body.ttf", 12, 0},
        {"NoSize#3", "nosize#3", 0, 0}, // without "~" nothing is parsed
    };
    for (const auto& c : cases)
    {
        ResourceFont font(c.name);
        EXPECT_EQ(font.GetSourceName(), c.source) << c.name;
        EXPECT_EQ(font.GetPixelSize(), c.size) << c.name;
        EXPECT_EQ(font.GetOutlineWidth(), c.outline) << c.name;
        EXPECT_EQ(font.IsOutlined(), c.outline > 0) << c.name;
    }
    EXPECT_EQ(ResourceFont(std::string(600, 'a').c_str()).GetSourceName(), std::string(127, 'a'));
    EXPECT_EQ(ResourceFont("a~012").GetTextExtent(u"A", 0, -1, false).y, 0.0f) << "nothing loaded, no line";
}

TEST(ResourceFontNameTest, ASourceFontNeedsLatin1AndEveryLanguagesStrings)
{
    StringManager strings(nullptr);
    GameString& title = strings.GetRootGroup().AddGroup("UI").AddString("Title");
    title.SetText(kTextLanguagePolish, u"\u017b");
    title.SetText(6, u"\u65e5");
    gStringManager = &strings;
    std::bitset<65536> characters;
    ResourceFont::CollectSourceCharacters(characters);
    gStringManager = nullptr;
    EXPECT_TRUE(characters.test(0) && characters.test(u'a') && characters.test(255));
    EXPECT_TRUE(characters.test(0x017B) && characters.test(0x017C)) << "Polish, with the case counterpart";
    EXPECT_TRUE(characters.test(0x65E5)) << "Japanese, not only the current language";
    EXPECT_EQ(characters.count(), 256u + 3u);
}

// Reads binary fonts straight from a mounted folder, without a renderer.
class ResourceFontFileTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(gFileSystem.MountDirectory("Common", m_folder.Path().c_str())); }
    void TearDown() override { gFileSystem.UnmountAll(); }
    bool Read(ResourceFont& font, const std::string& bytes)
    {
        m_folder.WriteFile("Fonts/test~010.BinFont", bytes);
        FileReader reader("test~010", "BinFont", "Common/Fonts", 0);
        EXPECT_TRUE(reader.IsOpen());
        return font.ReadBinaryFont(reader);
    }

    TempFolder m_folder;
};

TEST_F(ResourceFontFileTest, AHandWrittenFontIsWhatTheKitWritesAndReads)
{
    std::string bytes = {'\xE3', '\x0A', '\xF2', '\x23', 6, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0};
    std::string texels(2 * 1024, '\0');
    texels[3] = '\x7F';
    bytes += texels;
    bytes += std::string{1, 0, 0, 0};
    // 'A' on page 0, x offset -1, y offset 9, advance 7, columns 2..8, rows 0..2.
    bytes += std::string{'A', 0, 0, '\xFF', 9, 7, 2, 0, 8, 0, 0, 0, 2, 0};
    bytes += std::string{11, 0, 0, 0};

    BinaryFontSpec spec;
    spec.pageHeights = {2};
    spec.pages = {std::vector<uint8_t>(texels.begin(), texels.end())};
    FontGlyphRecord glyph;
    glyph.character = u'A';
    glyph.xOffset = -1;
    glyph.yOffset = 9;
    glyph.advance = 7;
    glyph.left = 2;
    glyph.right = 8;
    glyph.bottom = 2;
    spec.glyphs = {glyph};
    spec.lineHeight = 11;
    EXPECT_EQ(AsString(FontWriter::EncodeBinaryFont(spec)), bytes);

    ResourceFont font("test~010");
    ASSERT_TRUE(Read(font, bytes));
    ASSERT_EQ(font.GetGlyphs().size(), 1u);
    const FontGlyphRecord& read = font.GetGlyphs()[0];
    EXPECT_EQ(read.xOffset, -1);
    EXPECT_EQ(read.yOffset, 9);
    EXPECT_EQ(read.advance, 7);
    EXPECT_EQ(read.right, 8);
    EXPECT_EQ(read.bottom, 2);
    EXPECT_EQ(font.GetLineHeight(), 11u);
    EXPECT_EQ(font.GetPageHeights(), std::vector<uint32_t>{2});
    ASSERT_NE(font.GetPageTexels(0), nullptr);
    EXPECT_EQ((*font.GetPageTexels(0))[3], 0x7F);
}

TEST_F(ResourceFontFileTest, TextMeasuresByAdvanceWithTheLastCharacterDrawnWidth)
{
    ResourceFont font("test~010");
    ASSERT_TRUE(Read(font, AsString(FontWriter::EncodeBinaryFont(FontWriter::MakeSyntheticFont(u"ABCDE ", Metrics())))));
    const struct
    {
        const char16_t* text;
        int32_t spacing;
        int32_t maximum;
        bool whole;
        float width;
    } cases[] = {
        {u"A", 0, -1, false, 8.0f},          // drawn width, not advance
        {u"A", 2, -1, true, 12.0f},          // advance + spacing
        {u"AB", 1, -1, false, 19.0f},        // 10 + 1, then 8
        {u"ABCDE", 0, 3, false, 28.0f},      // the first three only
        {u"\x01\x02", 0, -1, false, 0.0f},   // no glyphs
        {u"A\x01", 0, -1, false, 10.0f},     // the last one taken has no glyph: no drawn-width step
        {u"\x01\x01" u"AB", 0, 3, false, 8.0f}, // missing glyphs count towards the maximum
        {u"", 0, -1, false, 0.0f},
        {nullptr, 0, -1, false, 0.0f},
    };
    for (const auto& c : cases)
    {
        const Vector extent = font.GetTextExtent(c.text, c.spacing, c.maximum, c.whole);
        EXPECT_EQ(extent.x, c.width) << (c.text != nullptr ? std::string(c.text, c.text + 1) : "null");
        EXPECT_EQ(extent.y, 14.0f);
    }
    EXPECT_EQ(font.GetTextExtentA("AB", 1, -1, false).x, 19.0f);
    EXPECT_EQ(font.FindGlyph(u'C'), 3);
    EXPECT_EQ(font.FindGlyph(u'F'), -1);
    EXPECT_EQ(font.FindGlyph(u' '), 0);
}

TEST_F(ResourceFontFileTest, DamagedFontsAreRefusedWithTheirReasonAndLeaveNothing)
{
    SyntheticFontMetrics metrics = Metrics();
    metrics.glyphsPerPage = 2;
    const std::vector<uint8_t> good = FontWriter::EncodeBinaryFont(FontWriter::MakeSyntheticFont(u"ABC", metrics));
    // Two pages of 12 rows: the heights start at 13, the glyphs after the pages and their count.
    const size_t pageHeights = 13;
    const size_t glyphs = pageHeights + 8 + 2 * 12 * 1024 + 4;
    const struct
    {
        std::vector<std::pair<size_t, uint8_t>> changes;
        const char* reason;
    } cases[] = {
        {{{0, 0xE4}}, "not a binary font file"},
        {{{4, 5}}, "version 5, expected 6"},
        {{{9, 65}}, "too many pages"},
        {{{pageHeights, 0x01}, {pageHeights + 1, 0x10}}, "a page is too high"}, // 4097 rows
        {{{pageHeights, 0x00}, {pageHeights + 1, 0x10}}, "the file is truncated"}, // 4096 rows may be
        {{{glyphs + 14, 'A'}}, "the glyph table is not sorted"}, // second glyph 'A' again
        {{{glyphs + 2, 2}}, "names a page"},
    };
    for (const auto& c : cases)
    {
        std::vector<uint8_t> bytes = good;
        for (const auto& [offset, value] : c.changes)
            bytes[offset] = value;
        ResourceFont font("test~010");
        ConsoleCapture log;
        EXPECT_FALSE(Read(font, AsString(bytes))) << c.reason;
        EXPECT_TRUE(log.Contains(c.reason, CONSOLE_WARNING)) << c.reason;
        EXPECT_TRUE(font.GetGlyphs().empty()) << c.reason;
        EXPECT_EQ(font.GetLineHeight(), 0u) << c.reason;
    }
    std::vector<size_t> cuts;
    for (size_t length = 8; length < 40; ++length)
        cuts.push_back(length);
    for (size_t back : {1, 4, 5, 14, 20, 44, 1000})
        cuts.push_back(good.size() - back);
    for (size_t length : cuts)
    {
        ResourceFont font("test~010");
        ConsoleCapture log;
        EXPECT_FALSE(Read(font, AsString(std::vector<uint8_t>(good.begin(), good.begin() + long(length)))))
            << "cut at " << length;
        EXPECT_TRUE(log.Contains("the file is truncated")) << "cut at " << length;
        EXPECT_TRUE(font.GetGlyphs().empty() && font.GetPageHeights().empty()) << "cut at " << length;
    }
}

TEST_F(ResourceFontFileTest, AReadFontSavesTheBytesItWasReadFromInEitherByteOrder)
{
    SyntheticFontMetrics metrics = Metrics();
    metrics.glyphsPerPage = 2;
    metrics.outlined = true;
    BinaryFontSpec spec = FontWriter::MakeSyntheticFont(u"ABC", metrics);
    spec.glyphs[1].xOffset = -3;
    spec.glyphs[1].yOffset = 5;
    const std::vector<uint8_t> bytes = FontWriter::EncodeBinaryFont(spec);
    ResourceFont font("test~010");
    ASSERT_TRUE(Read(font, AsString(bytes)));
    EXPECT_TRUE(font.IsOutlined()) << "the file says so, though the name has no outline";
    m_folder.WriteFile("Fonts/test~010.BinFont", "old");
    ASSERT_TRUE(font.SaveBinaryFont(0));
    EXPECT_EQ(m_folder.ReadFile("Fonts/test~010.BinFont"), AsString(bytes));
    ASSERT_TRUE(font.SaveBinaryFont(FileWriter::kByteSwapFlag));
    EXPECT_EQ(m_folder.ReadFile("Fonts/test~010.BinFont"), AsString(FontWriter::EncodeBinaryFont(spec, true)));

}

// Full loads on the resource thread with a renderer.
class ResourceFontTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataRoot data;
        SyntheticFontMetrics metrics = Metrics();
        metrics.glyphsPerPage = 3;
        data.AddFile("common", "Fonts/plain.ttf~010.BinFont",
                     AsString(FontWriter::EncodeBinaryFont(FontWriter::MakeSyntheticFont(u"ABCDE", metrics))));
        metrics.outlined = true;
        metrics.glyphsPerPage = 0;
        data.AddFile("common", "Fonts/plain.ttf#2~010.BinFont",
                     AsString(FontWriter::EncodeBinaryFont(FontWriter::MakeSyntheticFont(u"AB", metrics))));
        ASSERT_TRUE(m_harness.WriteAndMount(data));
        ASSERT_TRUE(m_harness.Start());
    }
    void TearDown() override
    {
        for (Resource* resource : m_loaded)
            resource->Release();
        m_harness.Stop();
    }
    ResourceFont* Load(const char* name)
    {
        Resource* resource = m_harness.GetManager().GetResource(RESOURCE_TYPE_FONT, name, 0, true, 0);
        EXPECT_NE(resource, nullptr);
        resource->Load(true);
        m_loaded.push_back(resource);
        return static_cast<ResourceFont*>(resource);
    }
    // The alpha of a page texel once the render thread is idle.
    uint32_t Texel(const ResourceFont* font, size_t page, uint32_t x, uint32_t y)
    {
        m_harness.GetRenderer().SubmitCommands(true);
        TextureHolder* holder = font->GetPageTexture(page);
        if (holder == nullptr || holder->GetTexture() == nullptr)
            return 0xFFFFFFFFu;
        gpu::GpuSurface* surface = nullptr;
        if (static_cast<gpu::GpuTexture*>(holder->GetTexture())->GetSurfaceLevel(0, &surface) != gpu::kOk)
            return 0xFFFFFFFFu;
        const uint32_t texel = surface->ReadPixelArgb(x, y);
        surface->Release();
        return texel;
    }

    ConsoleCapture m_log;
    RenderDataHarness m_harness;
    std::vector<Resource*> m_loaded;
};

TEST_F(ResourceFontTest, PagesBecomeTexturesAndGlyphsMeasure)
{
    ResourceFont* font = Load("Plain.ttf~010");
    ASSERT_TRUE(font->IsLoaded());
    ASSERT_EQ(font->GetPageTextureCount(), 2u);
    EXPECT_EQ(font->GetSize(), 2u * 12 * 1024);
    EXPECT_EQ(font->GetPageTexels(0), nullptr); // handed over to the textures
    // 'D' is the first glyph of page 1; each cell holds its character.
    const FontGlyphRecord& d = font->GetGlyphs()[size_t(font->FindGlyph(u'D'))];
    EXPECT_EQ(d.page, 1);
    EXPECT_EQ(Texel(font, 1, d.left, d.top) >> 24, uint32_t('D'));
    const FontGlyphRecord& b = font->GetGlyphs()[size_t(font->FindGlyph(u'B'))];
    EXPECT_EQ(Texel(font, 0, b.right - 1u, b.bottom - 1u) >> 24, uint32_t('B'));
    EXPECT_EQ(Texel(font, 0, b.right, b.top) >> 24, uint32_t('C'));
    EXPECT_EQ(font->GetTextExtent(u"ABE", 0, -1, true).x, 30.0f);

    ResourceFont* outlined = Load("plain.ttf#2~010");
    ASSERT_TRUE(outlined->IsLoaded());
    EXPECT_TRUE(outlined->IsOutlined());
    EXPECT_EQ(outlined->GetSize(), 12u * 1024 * 2);
    EXPECT_EQ(Texel(outlined, 0, 0, 0) >> 24, uint32_t('A'));
}

TEST_F(ResourceFontTest, AFontWithoutItsBinaryFileFailsAndMeasuresNothing)
{
    ResourceFont* font = Load("_system.ttf~020");
    EXPECT_TRUE(font->HasLoadFailed());
    EXPECT_TRUE(m_log.Contains("Unable to load binary font file. Reading the source TTF (_system.ttf)", CONSOLE_INFO));
    EXPECT_EQ(font->GetTextExtent(u"AB", 0, -1, false).x, 0.0f);
    EXPECT_EQ(font->GetPageTextureCount(), 0u);
}
} // namespace
