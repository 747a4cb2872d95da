// The string manager over tables written at test time in a mounted "Common" folder: lookups by
// exact path, the language rules and their fallbacks, the language choice, the editable tree, and
// tables that are truncated or corrupt.
#include "ui/text/StringManager.h"

#include "core/filesystem/FileSystem.h"
#include "core/reflection/ObjectRecord.h"
#include "engine/config/EngineConfig.h"
#include "engine/config/ProjectConfig.h"
#include "platform/steam/Steam.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"
#include "tools/datakit/StringTableWriter.h"

#include <gtest/gtest.h>

namespace
{
std::u16string Text(const char16_t* text)
{
    return text != nullptr ? std::u16string(text) : u"<null>";
}

StringTableRow Row(const char* path, uint32_t speaker, const char16_t* english, const char16_t* polish = u"",
                   const char16_t* german = u"")
{
    StringTableRow row;
    row.path = path;
    row.speaker = speaker;
    row.texts[1] = english;
    row.texts[0] = polish;
    row.texts[2] = german;
    return row;
}

class StringManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_savedDefault = gProjectConfig.m_defaultLanguage;
        m_savedMask = gProjectConfig.m_languageMask;
        gProjectConfig.m_defaultLanguage = 12;
        gProjectConfig.m_languageMask = 0xFFFFFFFFu;
        ASSERT_TRUE(gFileSystem.MountDirectory("Common", m_folder.Path().c_str()));
    }
    void TearDown() override
    {
        gFileSystem.UnmountAll();
        steam::Shutdown();
        steam::SetTestSettings(steam::TestSettings());
        gProjectConfig.m_defaultLanguage = m_savedDefault;
        gProjectConfig.m_languageMask = m_savedMask;
    }
    void WriteTable(const std::vector<uint8_t>& bytes) const
    {
        m_folder.WriteFile("L01n.bin", std::string(bytes.begin(), bytes.end()));
    }
    std::vector<uint8_t> SampleTable() const
    {
        // Out of path order on purpose: entries and strings are indexed differently.
        return StringTableWriter::EncodeStringTable({
            Row("KX/UI/Menu/Start", 2, u"Start", u"Rozpocznij", u"Beginnen"),
            Row("KX/UI/Menu", 0, u"Menu"),
            Row("KX/UI/Polish only", 0, u"", u"Tylko"),
            Row("KX/UI/Menu/start", 19, u"lower"),
            Row("KX/UI/None", 0, u""),
        });
    }

    TempFolder m_folder;
    uint32_t m_savedDefault = 0;
    uint32_t m_savedMask = 0;
};

TEST_F(StringManagerTest, LookupsMatchWholePathsExactlyAndReportTheSpeaker)
{
    WriteTable(SampleTable());
    StringManager strings(nullptr);
    ASSERT_TRUE(strings.LoadCompiledStrings());
    const struct
    {
        const char* path;
        const char16_t* english;
        const char* speaker;
    } cases[] = {
        {"KX/UI/Menu/Start", u"Start", "general"},
        {"KX/UI/Menu/start", u"lower", "vantu_Evans"},
        {"KX/UI/Menu", u"Menu", "none"},
        {"KX/UI/Menu/Sta", nullptr, nullptr},  // a prefix of a path
        {"KX/UI/Menu/StartX", nullptr, nullptr},
        {"kx/ui/menu/start", nullptr, nullptr}, // case matters
        {"", nullptr, nullptr},
        {"ZZ", nullptr, nullptr},
    };
    for (const auto& c : cases)
    {
        const char* speaker = "untouched";
        const char16_t* text = strings.GetString(c.path, 2, 2, 1, &speaker, false, false);
        EXPECT_EQ(Text(text), Text(c.english)) << c.path;
        if (c.speaker != nullptr)
            EXPECT_STREQ(speaker, c.speaker) << c.path;
        else
            EXPECT_EQ(speaker, nullptr) << c.path;
    }
}

TEST_F(StringManagerTest, MissingLanguagesFallBackToEnglishThenPolishOnlyWhenAsked)
{
    WriteTable(SampleTable());
    EngineConfig user;
    user.m_textLanguage = 2;
    StringManager strings(&user);
    ASSERT_TRUE(strings.LoadCompiledStrings());
    const struct
    {
        const char* path;
        uint32_t language;
        bool fallback;
        const char16_t* expected;
    } cases[] = {
        {"KX/UI/Menu/Start", 11, false, u"Beginnen"}, // 11: the user's text language
        {"KX/UI/Menu/Start", 0, false, u"Rozpocznij"},
        {"KX/UI/Menu", 2, false, nullptr},
        {"KX/UI/Menu", 2, true, u"Menu"},
        {"KX/UI/Polish only", 4, true, u"Tylko"},
        {"KX/UI/Polish only", 4, false, nullptr},
        {"KX/UI/None", 3, true, nullptr},
        {"KX/UI/Menu/Start", 12, true, nullptr}, // no such language
    };
    for (const auto& c : cases)
        EXPECT_EQ(Text(strings.GetString(c.path, 2, 2, c.language, nullptr, c.fallback, false)), Text(c.expected))
            << c.path << " in " << c.language;

    // A language past the table leaves the speaker alone.
    const char* speaker = "untouched";
    EXPECT_EQ(strings.GetStringNeutral("KX/UI/Menu/Start", 12, &speaker, true, true), nullptr);
    EXPECT_STREQ(speaker, "untouched");
    // "Default" in the user configuration falls back to the language chosen at start.
    user.m_textLanguage = 11;
    EXPECT_EQ(strings.GetCurrentLanguage(), 1u);
}

TEST_F(StringManagerTest, AMissingPathIsLoggedOnlyWhenAsked)
{
    WriteTable(SampleTable());
    StringManager strings(nullptr);
    ASSERT_TRUE(strings.LoadCompiledStrings());
    ConsoleCapture log;
    EXPECT_EQ(strings.GetStringNeutral("KX/Nope", 11, nullptr, true, false), nullptr);
    EXPECT_FALSE(log.Contains("Unable to find string"));
    EXPECT_EQ(strings.GetStringNeutral("KX/Nope", 11, nullptr, true, true), nullptr);
    EXPECT_TRUE(log.Contains("Unable to find string: KX/Nope", CONSOLE_ERROR));
}

TEST_F(StringManagerTest, AHandWrittenTableIsWhatTheWriterProducesAndLoads)
{
    // Paths "b/x" and "a", entries sorted ("a" first), strings in the written order.
    std::vector<uint8_t> bytes = {
        0x00, 0x00, 0x00, 0x00,                  // payload size, patched below
        0x06, 0x00, 0x00, 0x00, 'a', 0, 'b', '/', 'x', 0, // paths
        0x02, 0x00, 0x00, 0x00,                  // entries
        0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // "a" -> string 1
        0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, // "b/x" -> string 0
        0x02, 0x00, 0x00, 0x00,                  // strings
    };
    auto addString = [&bytes](const char* id, uint32_t speaker, char16_t english) {
        bytes.push_back(1);
        for (const char* c = id; *c != 0; ++c)
            bytes.push_back(uint8_t(*c));
        bytes.push_back(0);
        for (int i = 0; i < 4; ++i)
            bytes.push_back(uint8_t(speaker >> (8 * i)));
        for (int language = 0; language < 11; ++language)
        {
            if (language == 1)
                bytes.insert(bytes.end(), {uint8_t(english), 0});
            bytes.insert(bytes.end(), {0, 0});
        }
        bytes.insert(bytes.end(), {0, 0, 0});
    };
    addString("x", 3, u'X');
    addString("a", 0, u'A');
    const uint32_t payload = uint32_t(bytes.size() - 4);
    bytes[0] = uint8_t(payload);
    bytes[1] = uint8_t(payload >> 8);

    std::vector<StringTableRow> rows = {Row("b/x", 3, u"X"), Row("a", 0, u"A")};
    EXPECT_EQ(StringTableWriter::EncodeStringTable(rows), bytes);
    WriteTable(bytes);
    StringManager strings(nullptr);
    ASSERT_TRUE(strings.LoadCompiledStrings());
    EXPECT_EQ(Text(strings.GetStringNeutral("a", 1, nullptr, false, false)), u"A");
    const char* speaker = nullptr;
    EXPECT_EQ(Text(strings.GetStringNeutral("b/x", 1, &speaker, false, false)), u"X");
    EXPECT_STREQ(speaker, "naukowiec");
    ASSERT_NE(strings.FindStringByPath("b/x"), nullptr);
    EXPECT_STREQ(strings.FindStringByPath("b/x")->GetId().CStr(), "x");
    // As a record of the reflected collection: read by its checked reader, written back the same.
    CompiledGameStringCollection collection;
    ASSERT_TRUE(ReadObjectRecord(collection, bytes.data(), bytes.size(), 0));
    Dynarray<uint8_t> record;
    ASSERT_TRUE(BuildObjectRecord(collection, 0, record));
    EXPECT_EQ(std::vector<uint8_t>(record.begin(), record.end()), bytes);
}

TEST_F(StringManagerTest, TruncatedAndCorruptTablesAreRefusedAndLeaveNoStrings)
{
    const std::vector<uint8_t> good = StringTableWriter::EncodeStringTable({Row("a", 0, u"A"), Row("b", 0, u"B")});
    // Every cut of the file fails.
    for (size_t length = 0; length < good.size(); ++length)
    {
        WriteTable(std::vector<uint8_t>(good.begin(), good.begin() + long(length)));
        StringManager strings(nullptr);
        ConsoleCapture log;
        EXPECT_FALSE(strings.LoadCompiledStrings()) << "cut at " << length;
        EXPECT_EQ(strings.FindStringByPath("a"), nullptr) << "cut at " << length;
        EXPECT_TRUE(log.Contains("Corrupt string table", CONSOLE_ERROR)) << "cut at " << length;
    }
    // A record of size 0 is an empty table.
    WriteTable({0, 0, 0, 0});
    StringManager empty(nullptr);
    empty.GetRootGroup().AddString("a");
    ASSERT_TRUE(empty.LoadCompiledStrings());
    ASSERT_NE(empty.GetCompiledCollection(), nullptr);
    EXPECT_EQ(empty.GetCompiledCollection()->GetStringCount(), 0u);
    EXPECT_EQ(empty.FindStringByPath("a"), nullptr) << "the empty table is searched, not the tree";
    // Payload offsets: path block 0-7 ("a\0b\0"), entry 0 at 12 (index, path offset), entry 1 at 20.
    const struct
    {
        std::vector<std::pair<size_t, uint8_t>> changes;
        const char* reason;
    } corruptions[] = {
        {{{12, 2}}, "outside"},            // string index 2 of 2 strings
        {{{15, 0x80}}, "outside"},         // negative string index
        {{{16, 4}}, "outside"},            // path offset at the block's end
        {{{16, 2}, {24, 0}}, "path order"}, // "b" before "a"
        {{{7, 'a'}}, "terminated"},        // the block's last byte is no terminator
        {{{0, 0xFF}}, "path block"},       // a path block longer than the payload
    };
    for (const auto& c : corruptions)
    {
        std::vector<uint8_t> bytes = good;
        for (const auto& [offset, value] : c.changes)
            bytes[4 + offset] = value;
        WriteTable(bytes);
        StringManager strings(nullptr);
        ConsoleCapture log;
        EXPECT_FALSE(strings.LoadCompiledStrings()) << c.reason;
        EXPECT_TRUE(log.Contains(c.reason)) << c.reason;
        EXPECT_EQ(strings.FindStringByPath("a"), nullptr) << c.reason;
    }
}

TEST_F(StringManagerTest, AMissingFileKeepsThePreviousTableAndALanguageChangeReloadsIt)
{
    WriteTable(SampleTable());
    StringManager strings(nullptr);
    ASSERT_TRUE(strings.LoadCompiledStrings());
    const uint32_t loads = strings.GetLoadCount();
    std::remove((m_folder / "L01n.bin").c_str());
    EXPECT_FALSE(strings.LoadCompiledStrings());
    EXPECT_NE(strings.FindStringByPath("KX/UI/Menu"), nullptr);
    WriteTable(StringTableWriter::EncodeStringTable({Row("KX/UI/Menu", 0, u"Reloaded")}));
    EXPECT_TRUE(strings.ReloadStrings());
    EXPECT_GT(strings.GetLoadCount(), loads);
    EXPECT_EQ(Text(strings.GetStringNeutral("KX/UI/Menu", 1, nullptr, false, false)), u"Reloaded");

    strings.GetRootGroup().AddString("Tree").SetText(kTextLanguageEnglish, u"T");
    ConsoleCapture log;
    EXPECT_FALSE(strings.LoadStrings());
    EXPECT_TRUE(log.Contains("Loading localization strings"));
    for (const char* path : {"KX/UI/Menu", "Tree"})
        EXPECT_EQ(strings.FindStringByPath(path), nullptr) << path << ": both the table and the tree are emptied";
}

TEST_F(StringManagerTest, WithoutATableTheTreeIsWalkedByExactComponents)
{
    StringManager strings(nullptr);
    GameStringGroup& kx = strings.GetRootGroup().AddGroup("KX");
    kx.AddGroup("UI").AddString("Start").SetText(1, u"Start");
    kx.AddGroup("Sys").AddString("Quit").SetText(1, u"Quit");
    kx.AddString("Top").SetText(1, u"Top");
    strings.GetRootGroup().AddGroup("").AddString("Empty").SetText(1, u"Empty group");
    strings.MarkTreeChanged();
    const struct
    {
        const char* path;
        const char16_t* expected;
    } cases[] = {
        {"KX/UI/Start", u"Start"}, {"KX/Sys/Quit", u"Quit"}, {"KX/Top", u"Top"},   {"/Empty", u"Empty group"},
        {"KX/UI/", nullptr},       {"KX/UI", nullptr},       {"KX/ui/Start", nullptr}, {"KX/U/Start", nullptr},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Text(strings.GetStringNeutral(c.path, 1, nullptr, false, false)), Text(c.expected)) << c.path;
    const char* speaker = nullptr;
    strings.GetStringNeutral("KX/Top", 1, &speaker, false, false);
    EXPECT_STREQ(speaker, "none") << "a string added in the tree has no speaker";
    kx.AddString("Late").SetText(1, u"Late");
    EXPECT_EQ(Text(strings.GetStringNeutral("KX/Late", 1, nullptr, false, false)), Text(u"Late")) << "added after a lookup";

    kx.AddString("PolishOnly").SetText(kTextLanguagePolish, u"w");
    std::bitset<65536> characters;
    strings.CollectCharacters(4, characters);
    EXPECT_TRUE(characters.test(u'S') && characters.test(u's') && characters.test(u'Q') && characters.test(u'q'));
    EXPECT_TRUE(characters.test(u'r') && characters.test(u'R')) << "every character of a text, not its first alone";
    EXPECT_TRUE(characters.test(u'W')) << "a string without the language or English gives its Polish";
    EXPECT_TRUE(characters.test(u'T') && characters.test(u't'));
    EXPECT_FALSE(characters.test(u'z'));
}

TEST_F(StringManagerTest, TheTreeIsTheManagersRecord)
{
    // "RootGroup": Id, groups, strings, notes; one group "KX" holding the string "Top" ("T" in
    // English, speaker 2, the note "n") and a null string.
    std::vector<uint8_t> bytes = {0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 1, 'K', 'X', 0, 0, 0, 0, 0, 2, 0, 0, 0,
                                  1, 1, 'T', 'o', 'p', 0, 2, 0, 0, 0, 0, 0, 'T', 0, 0, 0};
    for (int language = 2; language < 11; ++language)
        bytes.insert(bytes.end(), {0, 0});
    bytes.insert(bytes.end(), {0, 'n', 0, 0, 0, 'g', 0, 0, 0, 0, 0, 0});
    bytes[0] = uint8_t(bytes.size() - 4);
    StringManager strings(nullptr);
    ASSERT_TRUE(ReadObjectRecord(strings, bytes.data(), bytes.size(), 0));
    const char* speaker = nullptr;
    EXPECT_EQ(Text(strings.GetStringNeutral("KX/Top", 1, &speaker, false, false)), u"T");
    EXPECT_STREQ(speaker, "general");
    ASSERT_EQ(strings.GetRootGroup().GetGroups().Count(), 1);
    EXPECT_EQ(strings.GetRootGroup().GetGroups()[0]->GetStrings()[1], nullptr);
    EXPECT_EQ(strings.FindStringByPath("KX/Top")->GetNote(1), "n");
    Dynarray<uint8_t> record;
    ASSERT_TRUE(BuildObjectRecord(strings, 0, record));
    EXPECT_EQ(std::vector<uint8_t>(record.begin(), record.end()), bytes);
    // Read again over a tree already searched: the new tree is the one found.
    bytes[12] = 'Y';
    ASSERT_TRUE(ReadObjectRecord(strings, bytes.data(), bytes.size(), 0));
    EXPECT_EQ(strings.FindStringByPath("KX/Top"), nullptr);
    EXPECT_NE(strings.FindStringByPath("KY/Top"), nullptr);
}

TEST_F(StringManagerTest, TheLanguageIsChosenFromTheProjectTheMaskAndTheGameClient)
{
    const struct
    {
        uint32_t defaultLanguage;
        uint32_t mask;
        const char* clientLanguage; // null: the client service is not running
        uint32_t expected;
        bool logged;
    } cases[] = {
        {2, 0xFFFFFFFFu, "french", 2, false},
        {0xFFFFFFFFu, 0xFFFFFFFFu, "german", 2, true}, // "choose", never language -1
        {11, 0xFFFFFFFFu, "GERMAN", 2, true},           // the first number past the languages
        {12, 0x3u, "german", 1, true},                  // masked out
        {12, 0x29u, "klingon", 0, true},                // no English: the lowest allowed, Polish too
        {12, 0x800u, "english", 1, true},               // no language of 0 to 10 allowed
        {12, 0xFFFFFFFFu, nullptr, 1, false},
    };
    for (const auto& c : cases)
    {
        gProjectConfig.m_defaultLanguage = c.defaultLanguage;
        gProjectConfig.m_languageMask = c.mask;
        steam::TestSettings settings;
        settings.gameLanguage = c.clientLanguage;
        steam::SetTestSettings(settings);
        if (c.clientLanguage != nullptr)
            steam::Init();
        else
            steam::Shutdown();
        ConsoleCapture log;
        StringManager strings(nullptr);
        EXPECT_EQ(strings.GetChosenLanguage(), c.expected) << c.defaultLanguage << " " << c.mask;
        EXPECT_EQ(log.Contains("Steam language: "), c.logged) << c.defaultLanguage << " " << c.mask;
        if (c.logged)
        {
            EXPECT_TRUE(log.Contains(std::string("Steam language: ") + c.clientLanguage + " (" +
                                     std::to_string(c.expected) + ")"));
        }
    }
}
} // namespace
