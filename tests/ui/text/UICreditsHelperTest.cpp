// The credits tokenizer: token sequences, syntax errors with their line numbers, tag names cut to
// their length, moving the tokenizer, and text tokens handed to an element.
#include "ui/text/UICreditsHelper.h"

#include "support/ConsoleCapture.h"
#include "ui/elements/UIText.h"
#include "ui/text/StringManager.h"

#include <gtest/gtest.h>

namespace
{
// "<name>" for tags, the text for text tokens, in order.
std::vector<std::string> Tokens(UICreditsHelper& credits)
{
    std::vector<std::string> tokens;
    while (!credits.IsEof())
    {
        if (credits.IsTag())
            tokens.push_back(std::string("<") + credits.GetTag() + ">");
        else if (credits.IsString())
        {
            std::string text;
            for (const char16_t* c = credits.GetTokenText(); *c != 0; ++c)
                text.push_back(char(*c));
            tokens.push_back(text);
        }
        credits.SkipToken();
    }
    return tokens;
}

TEST(UICreditsHelperTest, TagsAndTextRunsComeOneAtATime)
{
    const struct
    {
        const char16_t* text;
        std::vector<std::string> tokens;
        int errorLine; // -1: none
    } cases[] = {
        {u"<title>\nThe demo team\n", {"<title>", "The demo team"}, -1},
        {u"  \t<a><\u00e9>x y \t<c>\n\n  z", {"<a>", "<\xe9>", "x y \t", "<c>", "z"}, -1},
        {u"", {}, -1},
        {u"ok\n<open\n<b>", {"ok"}, 1},  // no ">" before the line feed
        {u"a > b", {"a "}, 0},           // a text run ends at ">", which is an error
        {u"\n\n>", {}, 2},
        {u"<unclosed", {}, 0},
    };
    for (const auto& c : cases)
    {
        ConsoleCapture log;
        UICreditsHelper credits;
        EXPECT_TRUE(credits.IsEof() && !credits.IsTag() && !credits.IsString()) << "no token before a text";
        credits.OpenText(c.text);
        EXPECT_EQ(Tokens(credits), c.tokens);
        if (c.errorLine >= 0)
            EXPECT_TRUE(log.Contains("Credits syntax error. Line: " + std::to_string(c.errorLine), CONSOLE_ERROR));
        else
            EXPECT_FALSE(log.Contains("Credits syntax error"));
        // Once at the end, more skips change nothing.
        credits.SkipToken();
        EXPECT_TRUE(credits.IsEof());
    }
}

TEST(UICreditsHelperTest, TagNamesAreCutAndCopiesMoveTheText)
{
    std::u16string text = u"<" + std::u16string(200, u'n') + u">rest";
    UICreditsHelper credits;
    credits.OpenText(text.c_str());
    ASSERT_TRUE(credits.IsTag());
    EXPECT_EQ(std::string(credits.GetTag()), std::string(127, 'n'));
    UICreditsHelper moved(credits);
    EXPECT_TRUE(credits.IsEof());
    EXPECT_FALSE(credits.IsTag());
    moved.SkipToken();
    ASSERT_TRUE(moved.IsString());
    EXPECT_EQ(std::u16string(moved.GetTokenText()), u"rest");
}

TEST(UICreditsHelperTest, OpenReadsTheLocalizedStringAndTextGoesIntoTheElement)
{
    StringManager strings(nullptr);
    strings.GetRootGroup().AddGroup("Demo").AddString("Credits").SetText(kTextLanguageEnglish, u"<name>\nAnn Lee");
    strings.MarkTreeChanged();
    gStringManager = &strings;
    UICreditsHelper credits;
    credits.Open("Demo/Credits");
    UIText* text = new UIText("font", 12);
    text->SetText("old");
    Vector size(1.0f, 1.0f, 1.0f, 1.0f);
    credits.TransferText(text, &size); // a tag: the element is emptied
    EXPECT_EQ(text->GetMainText(), u"");
    EXPECT_EQ(size.x, 0.0f);
    credits.SkipToken();
    credits.TransferText(text, &size);
    EXPECT_EQ(text->GetMainText(), u"Ann Lee");
    EXPECT_EQ(size.x, 0.0f); // no font: nothing to measure

    ConsoleCapture log;
    credits.Open("Demo/Missing");
    EXPECT_TRUE(credits.IsEof());
    EXPECT_TRUE(log.Contains("Unable to find string: Demo/Missing"));
    text->Release();
    gStringManager = nullptr;
}
} // namespace
