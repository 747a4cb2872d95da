// The string table's text form: columns by name, escapes, speakers, UTF-8 and the errors that name
// their line.
#include "tools/datakit/StringTableWriter.h"

#include <gtest/gtest.h>

namespace
{
TEST(StringTableWriterTest, RowsComeFromNamedColumnsWithEscapesAndUtf8)
{
    const std::string text = "# comment\n"
                             "Path\tPolish\tSpeaker\tEnglish\tNotes\r\n"
                             "\n"
                             "A/B\tZa\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87\tgeneral\tline\\none\\ttab\\\\\tfor actors\n"
                             "A/C\t\t5\t\xf0\x9f\x98\x80\n"
                             "A/D\tx\t\ty\n";
    std::vector<StringTableRow> rows(2); // a reused list: the parse replaces what it held
    std::string error;
    ASSERT_TRUE(StringTableWriter::ParseStringTableText(text, rows, error)) << error;
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].path, "A/B");
    EXPECT_EQ(rows[0].speaker, 2u);
    EXPECT_EQ(rows[0].texts[0], u"Za\u017c\u00f3\u0142\u0107");
    EXPECT_EQ(rows[0].texts[1], u"line\none\ttab\\");
    EXPECT_EQ(rows[0].notes[2], "for actors");
    EXPECT_EQ(rows[1].speaker, 5u);
    EXPECT_TRUE(rows[1].texts[0].empty());
    EXPECT_EQ(rows[1].texts[1], u"\xD83D\xDE00");
    EXPECT_EQ(rows[2].speaker, 0u) << "an empty speaker cell";
    EXPECT_EQ(StringTableWriter::Utf8ToUtf16("a\xff" "b\xef\xa4\x80"), u"a\uFFFDb\uF900");
}

TEST(StringTableWriterTest, MalformedTextsAreRefusedWithTheLine)
{
    const struct
    {
        const char* text;
        const char* error;
    } cases[] = {
        {"English\nx\n", "line 1: the header has no \"Path\" column"},
        {"Path\tKlingon\nA\tx\n", "line 2: unknown column \"Klingon\""},
        {"Path\tSpeaker\nA\tnobody\n", "line 2: unknown speaker \"nobody\""},
        {"Path\tEnglish\n\tx\n", "line 2: no path"},
        {"Path\nA\tx\n", "line 2: more cells than columns"},
    };
    for (const auto& c : cases)
    {
        std::vector<StringTableRow> rows;
        std::string error;
        EXPECT_FALSE(StringTableWriter::ParseStringTableText(c.text, rows, error)) << c.text;
        EXPECT_EQ(error, c.error);
    }
}
} // namespace
