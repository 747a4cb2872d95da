#include "core/strings/TextAppend.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
std::u16string Text(const Dynarray<char16_t>& array)
{
    return std::u16string(array.Data() != nullptr ? array.Data() : u"", size_t(array.Count()));
}

TextReplacementTable MakeTable()
{
    TextReplacementTable table;
    TextReplacement narrow;
    narrow.key = NameString("nam\xE9");
    narrow.narrowText = "Ren\xE9";
    table.Add(narrow);
    TextReplacement wide;
    wide.key = NameString(std::string(63, 'k').c_str());
    wide.isWide = true;
    wide.wideText = u"\u0416X";
    table.Add(wide);
    return table;
}
} // namespace

TEST(TextAppendTest, AppendsWithoutTerminators)
{
    Dynarray<char> bytes;
    AppendString(bytes, "ab");
    AppendString(bytes, "");
    AppendString(bytes, nullptr);
    AppendString(bytes, "c");
    EXPECT_EQ(std::string(bytes.Data(), size_t(bytes.Count())), "abc");

    Dynarray<char16_t> wide;
    AppendWideString(wide, u"x\u4e2d");
    // Narrow text goes through the code page: 0xE9 is U+00E9, 0x80 the euro sign, never 0xFFxx.
    AppendAsciiString(wide, "\xE9\x80!");
    EXPECT_EQ(Text(wide), u"x\u4e2d\u00e9\u20ac!");
}

TEST(TextAppendTest, ExpandsKnownKeysAndDropsTheRest)
{
    const TextReplacementTable table = MakeTable();
    struct Case
    {
        const char16_t* text;
        const char16_t* expected;
    };
    const Case cases[] = {
        {u"Hello ^nam\u00e9^!", u"Hello Ren\u00e9!"},
        {u"^key^^nam\u00e9^", u"Ren\u00e9"},
        {u"a ^unknown^ b", u"a  b"},
        {u"a^^b", u"ab"},
        {u"open ^nam\u00e9", u"open "},
        {u"no tokens", u"no tokens"},
        {u"", u""},
    };
    for (const Case& c : cases)
    {
        Dynarray<char16_t> out;
        AppendWithReplacements(out, c.text, table);
        EXPECT_EQ(Text(out), std::u16string(c.expected));
    }
    const std::u16string longKeys = u"^" + std::u16string(63, u'k') + u"^^" + std::u16string(64, u'k') + u"^end";
    Dynarray<char16_t> out;
    AppendWithReplacements(out, longKeys.c_str(), table);
    EXPECT_EQ(Text(out), u"\u0416Xend");
}
