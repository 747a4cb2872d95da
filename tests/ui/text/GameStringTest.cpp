// Gender tags: the parts kept for each speaker and receiver gender, spaces, the cache and the
// errors of malformed tags.
#include "ui/text/GameString.h"

#include "core/reflection/RTTIPropertiesBase.h"

#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

namespace
{
TEST(GameStringTest, GenderTagsKeepThePartsOfTheResolvedGenders)
{
    const struct
    {
        const char16_t* text;
        uint32_t speaker;
        uint32_t receiver;
        const char16_t* expected;
    } cases[] = {
        {u"I am {fs|ready}{ms|set}.", 1, 0, u"I am ready."},
        {u"I am {fs|ready}{ms|set}.", 0, 1, u"I am set."},
        {u"I am {fs|ready}{ms|set}.", 2, 2, u"I am {fs|ready}{ms|set}."}, // both neutral: untouched
        // Speaker neutral counts as male; the receiver's parts follow the receiver.
        {u"{ms|he}{fs|she} tells {fr|her}{mr|him}", 2, 1, u"he tells her"},
        {u"{ms|he}{fs|she} tells {fr|her}{mr|him}", 1, 2, u"she tells him"},
        {u"{MS|up}{FS|low}", 0, 0, u"up"},
        {u" a  b {fs|x  y} ", 1, 1, u" a b x y "}, // runs of spaces shrink, a leading one stays
        {u"open {ms|tag", 0, 0, u"open tag"},       // a text may end inside a tag
        {u"{fr|never}", 1, 0, u""},
        {u"{ms|he}{fs|she} tells {fr|her}{mr|him}", 7, 1, u"he tells her"}, // past neutral counts as male
    };
    for (const auto& c : cases)
    {
        GameString string;
        string.SetText(kTextLanguageEnglish, c.text);
        const char16_t* resolved = string.ResolveGenderTags(kTextLanguageEnglish, c.speaker, c.receiver);
        ASSERT_NE(resolved, nullptr);
        EXPECT_EQ(std::u16string(resolved), std::u16string(c.expected))
            << "speaker " << c.speaker << ", receiver " << c.receiver;
    }
}

TEST(GameStringTest, ResolvedTextsAreCachedPerGenderPairUntilTheLanguageChanges)
{
    GameString string;
    string.SetText(kTextLanguageEnglish, u"{ms|a}{fs|b}");
    const char16_t* first = string.ResolveGenderTags(kTextLanguageEnglish, 2, 0);
    EXPECT_EQ(string.ResolveGenderTags(kTextLanguageEnglish, 0, 0), first); // neutral speaker = male
    EXPECT_EQ(string.ResolveGenderTags(kTextLanguageEnglish, 3, 9), first); // and so do values past neutral
    EXPECT_NE(string.ResolveGenderTags(kTextLanguageEnglish, 1, 0), first);
    EXPECT_EQ(string.ResolveGenderTags(kTextLanguagePolish, 1, 0), nullptr);
    string.SetText(kTextLanguageEnglish, u"{ms|c}");
    EXPECT_EQ(std::u16string(string.ResolveGenderTags(kTextLanguageEnglish, 0, 0)), u"c");
    // Set by its property, as records and editors do, the text drops what was resolved as well.
    const RTTIProperty* english = GameString::StaticClassProperties()->FindProperty("English");
    ASSERT_NE(english, nullptr);
    ASSERT_TRUE(english->SetFromText(&string, "{ms|d}"));
    EXPECT_EQ(std::u16string(string.ResolveGenderTags(kTextLanguageEnglish, 0, 0)), u"d");
}

TEST(GameStringTest, BadTagsAreReportedEveryTimeAndGiveTheRawText)
{
    const struct
    {
        const char16_t* text;
        const char* argument;
    } cases[] = {{u"a {x|b}", "(x)"}, {u"a {xs|b}", "(x)"}, {u"a {mq|b}", "(mq)"}, {u"{Fz|b}", "(fz)"}};
    for (const auto& c : cases)
    {
        GameString string;
        string.SetText(kTextLanguageEnglish, c.text);
        for (int repeat = 0; repeat < 2; ++repeat)
        {
            ConsoleCapture log;
            EXPECT_EQ(std::u16string(string.ResolveGenderTags(kTextLanguageEnglish, 0, 1)), std::u16string(c.text));
            EXPECT_TRUE(log.Contains(std::string("Invalid tag ") + c.argument + "! Valid tags: m, f, mr, fr",
                                     CONSOLE_ERROR))
                << c.argument;
        }
    }
}
} // namespace
