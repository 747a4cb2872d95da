// The font table: a hand-written "Fonts.Config", a missing or damaged file, and the prepared size
// chosen for a wanted one.
#include "ui/text/UIFontTable.h"

#include "core/filesystem/FileSystem.h"
#include "core/reflection/ObjectRecord.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"
#include "tools/datakit/FontWriter.h"

#include <gtest/gtest.h>

namespace
{
class UIFontTableTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(gFileSystem.MountDirectory("Common", m_folder.Path().c_str())); }
    void TearDown() override { gFileSystem.UnmountAll(); }

    TempFolder m_folder;
};

TEST_F(UIFontTableTest, AHandWrittenTableIsWhatTheKitWritesAndLoads)
{
    const std::string bytes = {20, 0, 0, 0,                       // payload size
                               2, 0, 0, 0,                        // definitions
                               1, 'a', '.', 't', 't', 'f', 0,     // "a.ttf"
                               2, 0, 0, 0,                        // outline 2
                               2, 0, 0, 0, 12, 24,                // sizes
                               0, 0, 0, 0, 0, 0, 0, 0, 0};        // unnamed, outline 0, no sizes
    // The unnamed definition: a 0 byte, outline and count; the payload size covers 29 bytes.
    std::string file = bytes;
    file[0] = char(file.size() - 4);
    EXPECT_EQ(FontWriter::EncodeFontTable({{"a.ttf", 2, {12, 24}}, {"", 0, {}}}),
              std::vector<uint8_t>(file.begin(), file.end()));
    m_folder.WriteFile("Fonts.Config", file);
    UIFontTable table;
    ASSERT_TRUE(table.LoadConfig());
    ASSERT_EQ(table.GetDefinitions().Count(), 2);
    EXPECT_STREQ(table.GetDefinitions()[0].font.CStr(), "a.ttf");
    EXPECT_EQ(table.GetDefinitions()[0].outlineWidth, 2u);
    const Dynarray<uint8_t>& sizes = table.GetDefinitions()[0].supportedSizes;
    EXPECT_EQ(std::vector<uint8_t>(sizes.begin(), sizes.end()), (std::vector<uint8_t>{12, 24}));
    EXPECT_TRUE(table.GetDefinitions()[1].font.IsEmpty());
    // The table's own record writer gives the same bytes back.
    Dynarray<uint8_t> record;
    ASSERT_TRUE(BuildObjectRecord(table, 0, record));
    EXPECT_EQ(std::string(record.begin(), record.end()), file);
}

TEST_F(UIFontTableTest, MissingAndDamagedTablesLeaveItEmpty)
{
    UIFontTable table;
    table.AddDefinition({NameString("old.ttf"), 0, {10}});
    EXPECT_FALSE(table.LoadConfig());
    EXPECT_EQ(table.GetDefinitions().Count(), 1); // a missing file changes nothing
    const std::vector<uint8_t> good = FontWriter::EncodeFontTable({{"a.ttf", 0, {12, 24}}, {"b.ttf", 1, {8}}});
    for (size_t length = 0; length < good.size(); ++length)
    {
        m_folder.WriteFile("Fonts.Config", std::string(good.begin(), good.begin() + long(length)));
        ConsoleCapture log;
        EXPECT_FALSE(table.LoadConfig()) << "cut at " << length;
        EXPECT_TRUE(table.GetDefinitions().IsEmpty()) << "cut at " << length;
        EXPECT_TRUE(log.Contains("Corrupt font table \"Fonts.Config\"", CONSOLE_ERROR)) << "cut at " << length;
    }
    // A record of size 0 is an empty table, not a damaged one.
    m_folder.WriteFile("Fonts.Config", std::string(4, '\0'));
    table.AddDefinition({NameString("old.ttf"), 0, {10}});
    EXPECT_TRUE(table.LoadConfig());
    EXPECT_TRUE(table.GetDefinitions().IsEmpty());
}

TEST_F(UIFontTableTest, TheLargestPreparedSizeNotAboveTheWantedOneIsChosen)
{
    UIFontTable table;
    table.AddDefinition({NameString("a.ttf"), 0, {12, 16, 24}});
    table.AddDefinition({NameString("a.ttf"), 2, {20}});
    table.AddDefinition({NameString("zero.ttf"), 0, {0}});
    const struct
    {
        const char* font;
        uint32_t outline;
        uint32_t wanted;
        uint32_t chosen;
        float scale;
    } cases[] = {
        {"a.ttf", 0, 30, 24, 1.0f}, // above the largest: enlarged by floor(30 / 24) only
        {"a.ttf", 0, 48, 24, 2.0f},
        {"a.ttf", 0, 47, 24, 1.0f},
        {"a.ttf", 0, 300, 24, 12.0f},
        {"a.ttf", 0, 24, 24, 1.0f},
        {"a.ttf", 0, 20, 16, 1.0f},
        {"a.ttf", 0, 12, 12, 1.0f},
        {"a.ttf", 0, 10, 10, 1.0f}, // below the smallest
        {"a.ttf", 2, 22, 20, 1.0f},
        {"a.ttf", 1, 22, 22, 1.0f}, // no definition with that outline
        {"b.ttf", 0, 22, 22, 1.0f},
        {"zero.ttf", 0, 22, 22, 1.0f},
    };
    for (const auto& c : cases)
    {
        float scale = 1.0f;
        EXPECT_EQ(table.ChooseSize(NameString(c.font), c.outline, c.wanted, scale), c.chosen) << c.font << " " << c.wanted;
        EXPECT_FLOAT_EQ(scale, c.scale) << c.font << " " << c.wanted;
    }
}
TEST_F(UIFontTableTest, DestroyingTheTableLogsItselfThenEachDefinition)
{
    ConsoleCapture log;
    {
        UIFontTable table;
        table.AddDefinition({NameString("a.ttf"), 0, {10}});
        table.AddDefinition({NameString("b.ttf"), 1, {12}});
    }
    std::vector<std::string> lines;
    for (const CapturedMessage& message : log.Messages())
        if (message.kind == CONSOLE_MESSAGE && message.channel == CONSOLE_CHANNEL_GENERAL)
            lines.push_back(message.text);
    EXPECT_EQ(lines, (std::vector<std::string>{"UIFontTable destruct", "UIFontDefinition destruct",
                                               "UIFontDefinition destruct"}));
}
} // namespace
